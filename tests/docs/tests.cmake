# The integrator's documents, checked against the build: their examples run through the
# programs (the failure answers through the short-wait builds), their figures are compared with
# the records' types, their daemon example is built as C and run against the programs, and the
# deployment's settings, layout and package name are compared with the project's files and an
# install of this build.
target_compile_definitions(docs_test PRIVATE
  DOCS_DIR="${PROJECT_SOURCE_DIR}/docs"
  SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  BINARY_DIR="${CMAKE_BINARY_DIR}"
  CMAKE_COMMAND="${CMAKE_COMMAND}"
  PROGRAMS_STATIC=$<BOOL:${PROGRAMS_STATIC}>)
foreach(name tunnex ddns portvia ins stationmark credset fillmeter aersignal)
  add_dependencies(docs_test ${name}-shortwait)
endforeach()

add_executable(example-daemon ${PROJECT_SOURCE_DIR}/docs/example-daemon.c)
target_link_libraries(example-daemon PRIVATE commn)
add_dependencies(docs_test example-daemon)
