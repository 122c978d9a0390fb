# The upload reader is tested on its own as well as through aerkind.
set(aerkind_dir ${PROJECT_SOURCE_DIR}/cgi/aerkind)
target_sources(multipart_test PRIVATE ${aerkind_dir}/multipart.cpp)
target_include_directories(multipart_test PRIVATE ${aerkind_dir})

# The scripts that make real clients' upload bodies.
target_compile_definitions(aerkind_test PRIVATE ANTENNA_TEST_DIR="${CMAKE_CURRENT_LIST_DIR}")
