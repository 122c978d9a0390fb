# Fuzz targets, one per input surface, each in a directory of its own with its corpus. In the
# test builds a target is linked with the replay driver and runs over its committed corpus as a
# test labelled corpus; with FUZZING (clang, scripts/fuzz.sh) it is linked with libFuzzer.
set(fuzz_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(fuzz_support STATIC ${fuzz_dir}/fuzz.cpp)
target_include_directories(fuzz_support PUBLIC ${fuzz_dir})
target_link_libraries(fuzz_support PUBLIC request commn jsonc)

function(add_fuzz_target name)
  set(target fuzz-${name})
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE fuzz_support)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(FUZZING)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${target} PRIVATE ${fuzz_dir}/replay.cpp)
    add_test(NAME corpus.${name} COMMAND ${target} ${fuzz_dir}/${name}/corpus)
    set_tests_properties(corpus.${name} PROPERTIES LABELS corpus TIMEOUT 300)
  endif()
endfunction()

add_fuzz_target(request ${fuzz_dir}/request/reader_fuzz.cpp)

# Each program's source is compiled into the target as it is built for the device.
set(programs)
foreach(name tunnex ddns portvia ins credset stationmark)
  list(APPEND programs ${fuzz_dir}/settings/${name}.cpp)
endforeach()
set_source_files_properties(${programs} PROPERTIES COMPILE_OPTIONS "${PRODUCT_FLAGS}")
add_fuzz_target(settings ${fuzz_dir}/settings/settings_fuzz.cpp ${programs})
target_include_directories(fuzz-settings PRIVATE ${PROJECT_SOURCE_DIR}/cgi)
find_package(Threads REQUIRED)
target_link_libraries(fuzz-settings PRIVATE service Threads::Threads)

add_fuzz_target(upload ${fuzz_dir}/upload/multipart_fuzz.cpp)
target_link_libraries(fuzz-upload PRIVATE multipart)

add_fuzz_target(aerlist ${fuzz_dir}/aerlist/aerlist_fuzz.cpp)
target_include_directories(fuzz-aerlist PRIVATE ${PROJECT_SOURCE_DIR}/cgi)
target_compile_options(fuzz-aerlist PRIVATE ${PRODUCT_FLAGS})
