# The store's headers compile as C, layout checks included.
add_library(store_c_header_check OBJECT ${CMAKE_CURRENT_LIST_DIR}/c_header_check.c)
target_include_directories(store_c_header_check PRIVATE ${PROJECT_SOURCE_DIR}/cgi/commn)
