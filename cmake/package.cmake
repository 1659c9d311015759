# Installation and the Debian package (make package): the tools in /usr/bin,
# the plug-in in /usr/lib/tolvane2/, the template in /usr/share/tolvane2/, where
# the executables look for them relative to their own folder, so that an
# unpacked or moved tree works as well as an installed one.
if(WIN32)
  return()  # the Windows build is packed as a zip (tools/windows-package.sh)
endif()

set(TOLVANE2_DOC_DIR share/doc/tolvane2)
set(package_doc ${CMAKE_BINARY_DIR}/package-doc)

install(TARGETS Tolvane2 RUNTIME DESTINATION bin)
# Added once its own branch is merged; the audit's subfolder must come before
# this file is included.
if(TARGET Tolvane2Audit)
  install(TARGETS Tolvane2Audit RUNTIME DESTINATION bin)
endif()
# Loaded, not executed: no execute bit, as for any shared object.
install(TARGETS Strata_SQLite LIBRARY DESTINATION lib/tolvane2
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${CMAKE_BINARY_DIR}/PellamDB/dbtemplate.db DESTINATION share/tolvane2/PellamDB)
# The nightly audit: a timer and service per storage, which the operator
# enables (nothing is enabled by the package), and the script they run.
if(TARGET Tolvane2Audit)
  install(PROGRAMS packaging/systemd/tolvane2-nightly-audit DESTINATION lib/tolvane2)
  install(FILES packaging/systemd/tolvane2-audit@.service packaging/systemd/tolvane2-audit@.timer
    DESTINATION lib/systemd/system)
endif()

# Man pages and the changelog carry the version, and are gzipped without a
# time stamp (-n) so that the same sources give the same package.
find_program(GZIP_PROGRAM gzip)
if(NOT GZIP_PROGRAM)
  message(FATAL_ERROR "gzip is needed for the man pages")
endif()
set(man_pages Tolvane2.1)
if(TARGET Tolvane2Audit)
  list(APPEND man_pages Tolvane2Audit.1)
endif()
set(gzipped)
foreach(source ${man_pages} changelog)
  if(source STREQUAL "changelog")
    set(input ${PROJECT_SOURCE_DIR}/doc/changelog)
  else()
    set(input ${PROJECT_SOURCE_DIR}/doc/man/${source})
  endif()
  configure_file(${input} ${package_doc}/${source} @ONLY)
  add_custom_command(
    OUTPUT ${package_doc}/${source}.gz
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_PROGRAM} ${package_doc}/${source} ${package_doc}/${source}.gz
    DEPENDS ${package_doc}/${source}
    VERBATIM)
  list(APPEND gzipped ${package_doc}/${source}.gz)
endforeach()
add_custom_target(package_documents ALL DEPENDS ${gzipped})
list(TRANSFORM man_pages APPEND .gz OUTPUT_VARIABLE man_gz)
list(TRANSFORM man_gz PREPEND ${package_doc}/)
install(FILES ${man_gz} DESTINATION share/man/man1)
install(FILES ${package_doc}/changelog.gz README.md doc/copyright DESTINATION ${TOLVANE2_DOC_DIR})
# The README shows it by this path, relative to itself.
install(FILES doc/audit-page.png DESTINATION ${TOLVANE2_DOC_DIR}/doc)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tolvane2_<version>_<arch>.deb
set(CPACK_PACKAGE_CONTACT "Tolvane2 maintainers <maintainers@users.noreply.c-seed-8e94ee25.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps on the binaries the package holds (package-depends.cmake).
set(CPACK_TOLVANE2_BINARIES ${CMAKE_BINARY_DIR}/Tolvane2 ${CMAKE_BINARY_DIR}/Strata_SQLite.so)
if(TARGET Tolvane2Audit)
  list(APPEND CPACK_TOLVANE2_BINARIES ${CMAKE_BINARY_DIR}/Tolvane2Audit)
endif()
set(CPACK_TOLVANE2_SHLIBDEPS_FOLDER ${CMAKE_BINARY_DIR}/package-shlibdeps)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package-depends.cmake)
# The summary line, then the long description: the same text opens the Windows
# zip's README.txt (tools/windows-package.sh).
set(package_description ${PROJECT_SOURCE_DIR}/doc/description.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${package_description})
file(READ ${package_description} CPACK_DEBIAN_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
