# The device tree as one archive, for unpacking over the device's root file system: whatever
# the project installs (www/, www/cgi-bin/, etc/lighttpd/, and the static build's libexec/),
# stripped. `cpack` in a build directory writes it, named for the version, the target and the
# kind of build.
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME receiver-cgi)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(package_target ${CMAKE_LIBRARY_ARCHITECTURE})
if(NOT package_target)
  set(package_target ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(package_kind)
if(PROGRAMS_STATIC)
  set(package_kind -static)
endif()
set(CPACK_PACKAGE_FILE_NAME
  ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${package_target}${package_kind})
include(CPack)
