# `make install` (PREFIX, DESTDIR) and `make package` (a Debian package).
# The program, its menu entry, its icon at every size the icon script draws
# and the README; nothing else of the build is installed.
include(GNUInstallDirs)
install(TARGETS ambrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/ambrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/src/app/resources/icons/ambrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ambrel.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ambrel)
# Copying the program drops the capability to bind port 80; root installing
# into the live system grants it again (a package does it in its postinst).
install(CODE [[
  set(program "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/ambrel")
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_program(setcap_program setcap PATHS /usr/sbin /sbin)
  if("$ENV{DESTDIR}" STREQUAL "" AND uid STREQUAL "0" AND setcap_program)
    execute_process(COMMAND ${setcap_program} cap_net_bind_service=+ep ${program})
  endif()
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ambrel)
set(CPACK_PACKAGE_VERSION ${AMBREL_VERSION})
set(CPACK_PACKAGE_VENDOR "Ambrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small desktop web server for developing PHP and CGI sites")
set(CPACK_PACKAGE_DESCRIPTION
    "Ambrel HTTP Server serves a folder on port 80 of this computer, runs PHP\n\
through php-cgi and CGI programs, keeps an access log, and is started,\n\
stopped and set up from a small window and a tray icon.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ambrel developers <ambrel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION httpd)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap for the postinst; PHP and a folder chooser are welcome, not needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "php-cgi, zenity | kdialog")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
include(CPack)
