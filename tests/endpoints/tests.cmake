# The posting programs once more, against the store whose waits give up after 300 ms, so a
# test can see them give up.
foreach(name tunnex ddns portvia ins stationmark credset fillmeter aersignal)
  add_endpoint(${name} VARIANT shortwait STORE commn_short_wait)
  add_dependencies(posting_test ${name}-shortwait)
endforeach()
