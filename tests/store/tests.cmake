# The store's headers compile as C, layout checks included.
add_library(store_c_header_check OBJECT ${CMAKE_CURRENT_LIST_DIR}/c_header_check.c)
target_include_directories(store_c_header_check PRIVATE ${PROJECT_SOURCE_DIR}/cgi/commn)

# The mailbox wait of a store built with a 300 ms bound, run as a program of its own.
add_endpoint(store-wait VARIANT probe STORE commn_short_wait
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/wait_probe.cpp)
add_dependencies(store_mailbox_test store-wait-probe)
