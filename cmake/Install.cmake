# Install rules and the Debian package of the hub's programs.
#
# Everything that goes onto the hub is in the install component "hub": the
# three programs (sbin), their manual pages (share/man/man8), the init scripts
# and the package's copyright and changelog (share/doc/qor-maintenance). No
# test binary and no host tool has an install rule.
#
# The init scripts follow the usual rule for the configuration folder: with
# the prefix /usr they go to /etc/init.d, with any other prefix to
# <prefix>/etc/init.d. So
#
#   DESTDIR=/tmp/hub cmake --install build/arm --strip --component hub --prefix /usr
#
# lays out the hub's files as they lie on the hub (/tmp/hub/usr/sbin,
# /tmp/hub/etc/init.d, ...), and the package installs the programs to
# /usr/sbin and the scripts to /etc/init.d.
#
# Packages: "cpack --config <build>/CPackConfig.cmake" (or scripts/package,
# which builds both into build/packages).

include(GNUInstallDirs)

set(QOR_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)
get_filename_component(QOR_PACKAGING_DIR ${QOR_PACKAGING_DIR} ABSOLUTE)
set(QOR_PACKAGE_NAME qor-maintenance)
set(QOR_PACKAGE_MAINTAINER "QOR maintenance developers <qor-maintenance@example.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(QOR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QOR_PACKAGE_NAME})
set(QOR_MAN_PAGES qorutil qor-watchdog qor-startup)
set(QOR_INIT_SCRIPTS qor-startup qor-watchdog)

# --- Programs ---------------------------------------------------------------
set(QOR_PROGRAMS qorutil qor-watchdog)
if(TARGET qor-startup)
  list(APPEND QOR_PROGRAMS qor-startup)
else()
  message(STATUS "No qor-startup target: qor-startup is left out of the install rules")
endif()
install(TARGETS ${QOR_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT hub)

# --- Manual pages, copyright and changelog ------------------------------------
# Compressed as Debian wants them: gzip -9n, no name or time stamp inside.
set(QOR_GZ_DIR ${CMAKE_BINARY_DIR}/packaging)
set(QOR_GZ_FILES)
function(qor_gzip source name)
  set(plain ${QOR_GZ_DIR}/${name})
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QOR_GZ_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
    COMMAND gzip -9nf ${plain}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  set(QOR_GZ_FILES ${QOR_GZ_FILES} ${plain}.gz PARENT_SCOPE)
endfunction()
foreach(page IN LISTS QOR_MAN_PAGES)
  qor_gzip(${QOR_PACKAGING_DIR}/man/${page}.8 ${page}.8)
endforeach()
qor_gzip(${QOR_PACKAGING_DIR}/debian/changelog changelog)
add_custom_target(qor-package-docs ALL DEPENDS ${QOR_GZ_FILES})

foreach(page IN LISTS QOR_MAN_PAGES)
  install(FILES ${QOR_GZ_DIR}/${page}.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT hub)
endforeach()
install(FILES ${QOR_PACKAGING_DIR}/debian/copyright ${QOR_GZ_DIR}/changelog.gz
        DESTINATION ${QOR_DOC_DIR} COMPONENT hub)

# --- Init scripts -------------------------------------------------------------
# The folder is chosen at install time, from the prefix given then.
set(QOR_INIT_SOURCES)
foreach(script IN LISTS QOR_INIT_SCRIPTS)
  list(APPEND QOR_INIT_SOURCES "\"${QOR_PACKAGING_DIR}/init.d/${script}\"")
endforeach()
list(JOIN QOR_INIT_SOURCES " " QOR_INIT_SOURCES)
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/*$\")
    set(qor_init_dir /etc/init.d)
  else()
    set(qor_init_dir \"\${CMAKE_INSTALL_PREFIX}/etc/init.d\")
  endif()
  file(INSTALL DESTINATION \"\${qor_init_dir}\" TYPE PROGRAM FILES ${QOR_INIT_SOURCES})
" COMPONENT hub)

# --- Debian package -------------------------------------------------------------
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  # The hub: arm-linux-gnueabi, the soft-float EABI.
  if(CMAKE_LIBRARY_ARCHITECTURE MATCHES "gnueabihf$")
    set(QOR_DEB_ARCH armhf)
  else()
    set(QOR_DEB_ARCH armel)
  endif()
else()
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE QOR_DEB_ARCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT QOR_DEB_ARCH)
    set(QOR_DEB_ARCH amd64)
  endif()
endif()

# Init scripts are configuration files: dpkg keeps local changes to them.
set(QOR_CONFFILES "")
foreach(script IN LISTS QOR_INIT_SCRIPTS)
  string(APPEND QOR_CONFFILES "/etc/init.d/${script}\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/packaging/control/conffiles "${QOR_CONFFILES}")
foreach(script postinst prerm postrm)
  configure_file(${QOR_PACKAGING_DIR}/debian/${script} ${CMAKE_BINARY_DIR}/packaging/control/${script}
                 COPYONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                           WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QOR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME ${QOR_DEB_ARCH})
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};hub;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_CONTACT "${QOR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maintenance programs of the QOR access-control hub")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"The native maintenance programs of the QOR hub, which talk to the hub's
controller over the serial line /dev/ttyAM1:
 - qor-startup runs once at boot: it arms the controller watchdog,
   processes a USB service stick, installs a pending application update
   and waits for the stick's removal;
 - qorutil is the technicians' tool: device identifier, keypad text,
   reboots, clock, controller watchdog, boot-loader information, firmware
   version and the hub event journal;
 - qor-watchdog reboots the board when the client application stops
   checking in with SIGUSR1.
The package carries their init scripts and manual pages.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QOR_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the C and C++ runtime packages, also for armel (the
# multiarch libc6:armel and libstdc++6:armel of this machine).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/packaging/control/conffiles
    ${CMAKE_BINARY_DIR}/packaging/control/postinst
    ${CMAKE_BINARY_DIR}/packaging/control/prerm
    ${CMAKE_BINARY_DIR}/packaging/control/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)

# --- Tests ---------------------------------------------------------------------
if(BUILD_TESTING)
  if(NOT CMAKE_CROSSCOMPILING)
    add_test(NAME packaging.manpages
             COMMAND ${QOR_PACKAGING_DIR}/tests/manpages_test.sh ${QOR_PACKAGING_DIR}/man
                     ${CMAKE_BINARY_DIR}/bin ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  endif()
  if(QOR_TOOLS_BIN)
    string(JOIN " " QOR_PACKAGE_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
    add_test(NAME packaging.deb
             COMMAND ${QOR_PACKAGING_DIR}/tests/package_test.sh ${CMAKE_BINARY_DIR} ${QOR_DEB_ARCH}
                     ${QOR_TOOLS_BIN} "${QOR_PACKAGE_EMULATOR}")
    set_tests_properties(packaging.deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    if(NOT CMAKE_CROSSCOMPILING)
      add_test(NAME packaging.init-watchdog
               COMMAND ${QOR_PACKAGING_DIR}/tests/init_watchdog_test.sh ${QOR_PACKAGING_DIR}/init.d
                       ${CMAKE_BINARY_DIR}/bin ${QOR_TOOLS_BIN})
      set_tests_properties(packaging.init-watchdog PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
      if(TARGET qor-startup)
        add_test(NAME packaging.init-startup
                 COMMAND ${QOR_PACKAGING_DIR}/tests/init_startup_test.sh ${QOR_PACKAGING_DIR}/init.d
                         ${CMAKE_BINARY_DIR}/bin ${QOR_TOOLS_BIN})
        set_tests_properties(packaging.init-startup PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
      endif()
    endif()
  endif()
endif()
