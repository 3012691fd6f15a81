# Installation layout and packages. Linux: a Debian package with the tool and its
# default configuration together under /usr/lib/tavisk (the tool reads
# standard.xml beside its real path) and /usr/bin/tavisk linking there, with
# support's reader /usr/bin/tavisk-report beside it. Windows: a zip with both
# executables, the engine under the name the builds load, the default
# configuration and a read-me, ready to unpack and run.
set(CPACK_PACKAGE_NAME tavisk)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "machine inventory packed into one archive for support")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS tavisk tavisk-report RUNTIME DESTINATION .)
  install(FILES ${TAVISK_DEFAULT_CONFIGURATION} DESTINATION .)
  install(FILES ${TAVISK_ENGINE_SOURCE} DESTINATION . RENAME ${TAVISK_ENGINE_NAME})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/windows/LIESMICH.txt DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME windows-x86_64)
  else()
    set(CPACK_SYSTEM_NAME windows-i686)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS tavisk RUNTIME DESTINATION lib/tavisk)
  install(TARGETS tavisk-report RUNTIME DESTINATION bin)
  install(FILES ${TAVISK_DEFAULT_CONFIGURATION} DESTINATION lib/tavisk)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  file(CREATE_LINK ../lib/tavisk/tavisk ${CMAKE_BINARY_DIR}/packaging/tavisk SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/tavisk DESTINATION bin)
  # Debian wants its change log compressed, without a time stamp that changes the package.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/debian/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog)
  add_custom_target(tavisk_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
          DESTINATION share/doc/tavisk)
  # The manual pages, compressed alike.
  foreach(page tavisk.1 tavisk-report.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
      COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/debian/${page} > ${CMAKE_BINARY_DIR}/packaging/${page}.gz
      DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/${page})
    list(APPEND TAVISK_MANUAL_PAGES ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
  endforeach()
  add_custom_target(tavisk_manual_pages ALL DEPENDS ${TAVISK_MANUAL_PAGES})
  install(FILES ${TAVISK_MANUAL_PAGES} DESTINATION share/man/man1)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora Support <support@velmora.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary in front as the synopsis.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavisk collects what an XML configuration asks for (system figures, files,
directory listings, services, users) into one XML report and packs it with
the 7-Zip engine into a .tavisk archive.")
  # The engine is loaded at run time, so the linker cannot see this dependency.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS p7zip-full)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
