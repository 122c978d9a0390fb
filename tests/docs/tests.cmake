# The integrator's documents, checked against the build: their examples run through the
# programs (the failure answers through the short-wait builds), their figures are compared with
# the records' types, and their daemon example is built as C and run against the programs.
target_compile_definitions(docs_test PRIVATE DOCS_DIR="${PROJECT_SOURCE_DIR}/docs")
foreach(name tunnex ddns portvia ins stationmark credset fillmeter aersignal)
  add_dependencies(docs_test ${name}-shortwait)
endforeach()

add_executable(example-daemon ${PROJECT_SOURCE_DIR}/docs/example-daemon.c)
target_link_libraries(example-daemon PRIVATE commn)
add_dependencies(docs_test example-daemon)
