# The upload reader is tested on its own as well as through aerkind.
target_link_libraries(multipart_test PRIVATE multipart)
target_include_directories(multipart_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz/upload)

# The scripts that make real clients' upload bodies.
target_compile_definitions(aerkind_test PRIVATE ANTENNA_TEST_DIR="${CMAKE_CURRENT_LIST_DIR}")
