# A program built from the frame alone: it answers with the request object it parsed.
add_executable(frame-probe ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
target_compile_options(frame-probe PRIVATE ${PRODUCT_FLAGS})
target_link_libraries(frame-probe PRIVATE request commn)
