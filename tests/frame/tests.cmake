# A program built from the frame alone: it answers with the request object it parsed.
add_endpoint(frame VARIANT probe STORE commn SOURCE ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
add_dependencies(request_test frame-probe)
add_dependencies(attach_test frame-probe)
