# Read by cpack (CPACK_PROJECT_CONFIG_FILE): the package's Depends, worked out
# by dpkg-shlibdeps from the binaries it holds. CPack's own scan
# (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) would also give the package maintainer
# scripts that call ldconfig, for the plug-in under /usr/lib, although its
# folder is none of the linker's and the plug-in is opened by full path.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(scratch "${CPACK_TOLVANE2_SHLIBDEPS_FOLDER}")
  file(REMOVE_RECURSE "${scratch}")
  file(MAKE_DIRECTORY "${scratch}/debian")
  file(TOUCH "${scratch}/debian/control")  # dpkg-shlibdeps wants one, even empty
  execute_process(COMMAND dpkg-shlibdeps -O ${CPACK_TOLVANE2_BINARIES}
    WORKING_DIRECTORY "${scratch}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR NOT output MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${CPACK_TOLVANE2_BINARIES}: ${errors}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endif()
