# Two Debian packages from one build (cpack -G DEB, or scripts/package):
# ostrel-monitor, the monitor, its tools and its service, for a print server
# that has no desktop; ostrel-console, the Qt console, which pulls in Qt and
# the X libraries. Both install under /usr whatever the build's prefix.

set(OSTREL_PACKAGE_MAINTAINER "Ostrel developers <developers@ostrel.invalid>"
  CACHE STRING "The Maintainer field of the Debian packages")

set(package_source ${PROJECT_SOURCE_DIR}/packaging)
set(package_build ${PROJECT_BINARY_DIR}/packaging)

# Every package carries its copyright and, being native, changelog.gz.
configure_file(${package_source}/changelog.in ${package_build}/changelog @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${package_build}/changelog.gz
  COMMAND ${GZIP} -9nkf ${package_build}/changelog
  DEPENDS ${package_build}/changelog
  VERBATIM)
add_custom_target(ostrel_package_changelog ALL DEPENDS ${package_build}/changelog.gz)
foreach(component monitor console)
  install(FILES ${package_source}/copyright ${package_build}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ostrel-${component} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${OSTREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL monitor console)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
# Depends from the libraries the programs link, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_MONITOR_PACKAGE_NAME ostrel-monitor)
# The scheduler whose printers the monitor watches; CUPS can also be told
# to watch another machine's (client.conf), but a print server has its own.
set(CPACK_DEBIAN_MONITOR_PACKAGE_DEPENDS cups)
set(CPACK_DEBIAN_MONITOR_PACKAGE_CONTROL_EXTRA
  ${package_source}/monitor/postinst ${package_source}/monitor/prerm ${package_source}/monitor/postrm)
set(CPACK_COMPONENT_MONITOR_DESCRIPTION "print monitoring and accounting for CUPS printers
Ostrel watches the CUPS printers you choose and records every job that
leaves their queues (document, pages, cost, printer, user, time) in XML
period logs: day, week, month, quarter, semester and year, for the
machine, each user and each printer.
.
This package holds the monitor and its service, kestrun-host, the mailer
of the daily report, Relayer, and the command-line tools ostrel-admin
(the console's settings without a desktop), ostrel-reg, ostrel-report and
ostrel-setup. The desktop console is in ostrel-console.")

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME ostrel-console)
set(CPACK_COMPONENT_CONSOLE_DEPENDS monitor)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_CONTROL_EXTRA
  ${package_source}/console/postinst ${package_source}/console/postrm)
set(CPACK_COMPONENT_CONSOLE_DESCRIPTION "desktop console of the Ostrel print monitor
Quillmere, the console of Ostrel, switches print monitoring on and off,
chooses the printers to watch, sets their costs and the e-mail settings,
and shows the reports of every period. It lives in the notification
area; the members of the group ostrel may change the settings.")

include(CPack)
