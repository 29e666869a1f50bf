# The Debian packages, one per install component: quillon (the SMS service
# and quillonctl), heraldo and vigimon. `make package` writes them to
# <build>/packages/. The programs' own install() rules put each program in
# lib/<program>/ under the prefix (/usr); this file adds the rest of each
# package from packaging/, and the test that checks the three.

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_out}/man)

# The unit, rendered by the code that writes "Quillon -Service"'s, so that
# the package's service and one registered from source are the same.
add_custom_command(OUTPUT ${packaging_out}/quillon.service
  COMMAND service_unit /usr/lib/quillon/Quillon ${packaging_out}/quillon.service
  DEPENDS service_unit
  COMMENT "Rendering quillon.service")

# Man pages carry the project's version; Debian wants them, and the
# changelog, compressed reproducibly.
set(packaging_generated ${packaging_out}/quillon.service ${packaging_out}/changelog.gz)
set(gzip_to sh -c "gzip -9n -c \"$0\" > \"$1\"")
add_custom_command(OUTPUT ${packaging_out}/changelog.gz
  COMMAND ${gzip_to} ${packaging}/changelog ${packaging_out}/changelog.gz
  DEPENDS ${packaging}/changelog VERBATIM)
foreach(page Quillon.8 quillonctl.1 Heraldo.1 Vigimon.1)
  configure_file(${packaging}/man/${page} ${packaging_out}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${packaging_out}/man/${page}.gz
    COMMAND ${gzip_to} ${packaging_out}/man/${page} ${packaging_out}/man/${page}.gz
    DEPENDS ${packaging_out}/man/${page} VERBATIM)
  list(APPEND packaging_generated ${packaging_out}/man/${page}.gz)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${packaging_generated})

# The commands in the search path: links for the two that need nothing
# set, the launchers of the windowed programs (which set their program
# directory) installed below.
file(CREATE_LINK ../lib/quillon/quillonctl ${packaging_out}/quillonctl SYMBOLIC)
file(CREATE_LINK ../lib/quillon/Quillon ${packaging_out}/Quillon SYMBOLIC)

# Every package: its copyright and changelog.
foreach(component quillon heraldo vigimon)
  install(FILES ${packaging}/copyright ${packaging_out}/changelog.gz
    DESTINATION share/doc/${component} COMPONENT ${component})
endforeach()

# quillon. Quillon is an administrator's command (section 8), in sbin.
install(FILES ${packaging_out}/Quillon DESTINATION sbin COMPONENT quillon)
install(FILES ${packaging_out}/quillonctl DESTINATION bin COMPONENT quillon)
install(FILES ${packaging_out}/quillon.service DESTINATION /lib/systemd/system COMPONENT quillon)
install(FILES ${packaging}/quillon/70-quillon.rules DESTINATION /lib/udev/rules.d COMPONENT quillon)
install(FILES ${packaging}/quillon/default DESTINATION /etc/default RENAME quillon COMPONENT quillon)
install(FILES ${packaging}/quillon/quillonctl.bash-completion
  DESTINATION share/bash-completion/completions RENAME quillonctl COMPONENT quillon)
install(FILES ${packaging_out}/man/Quillon.8.gz DESTINATION share/man/man8 COMPONENT quillon)
install(FILES ${packaging_out}/man/quillonctl.1.gz DESTINATION share/man/man1 COMPONENT quillon)
# The alerting rules for a Prometheus, their tests and an example configuration.
install(FILES ${packaging}/prometheus/alerts.yml ${packaging}/prometheus/alerts.test.yml
  ${packaging}/prometheus/prometheus.yml DESTINATION share/quillon/prometheus COMPONENT quillon)

# heraldo: the launcher, the settings a first start copies, the menu entry.
install(PROGRAMS ${packaging}/heraldo/Heraldo DESTINATION bin COMPONENT heraldo)
install(FILES ${packaging}/heraldo/SMS.ini ${packaging}/heraldo/SMServer.ini
  DESTINATION share/heraldo COMPONENT heraldo)
install(FILES ${packaging}/heraldo/heraldo.desktop DESTINATION share/applications COMPONENT heraldo)
install(FILES ${packaging}/heraldo/heraldo.svg DESTINATION share/icons/hicolor/scalable/apps COMPONENT heraldo)
install(FILES ${packaging_out}/man/Heraldo.1.gz DESTINATION share/man/man1 COMPONENT heraldo)
# The lintian warnings it accepts, each with its reason in the file.
install(FILES ${packaging}/lintian/heraldo DESTINATION share/lintian/overrides COMPONENT heraldo)

# vigimon: the same, and its log-in entry, installed disabled.
install(PROGRAMS ${packaging}/vigimon/Vigimon DESTINATION bin COMPONENT vigimon)
install(FILES ${packaging}/vigimon/Vigimon.ini DESTINATION share/vigimon COMPONENT vigimon)
install(FILES ${packaging}/vigimon/vigimon.desktop DESTINATION share/applications COMPONENT vigimon)
install(FILES ${packaging}/vigimon/vigimon-autostart.desktop
  DESTINATION /etc/xdg/autostart RENAME vigimon.desktop COMPONENT vigimon)
install(FILES ${packaging}/vigimon/vigimon.svg DESTINATION share/icons/hicolor/scalable/apps COMPONENT vigimon)
install(FILES ${packaging_out}/man/Vigimon.1.gz DESTINATION share/man/man1 COMPONENT vigimon)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(QUILLON_PACKAGE_MAINTAINER "Quillon developers <quillon@example.org>" CACHE STRING
  "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${QUILLON_PACKAGE_MAINTAINER}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL quillon heraldo vigimon)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE quillon)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies come from dpkg-shlibdeps; only what the programs use
# without linking it is named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_QUILLON_PACKAGE_NAME quillon)
# adduser makes the service's user in postinst.
set(CPACK_DEBIAN_QUILLON_PACKAGE_DEPENDS "adduser")
# udevadm prints the properties "quillonctl udev-rule" builds a rule from.
set(CPACK_DEBIAN_QUILLON_PACKAGE_SUGGESTS "udev")
set(CPACK_DEBIAN_QUILLON_PACKAGE_CONTROL_EXTRA
  ${packaging}/quillon/postinst ${packaging}/quillon/prerm ${packaging}/quillon/postrm ${packaging}/quillon/conffiles)
set(CPACK_DEBIAN_QUILLON_DESCRIPTION "SMS service for public-address installations
Quillon owns one GSM modem on a serial port and serves local clients over a
small binary protocol on TCP port 8200: they open the modem, send SMS and
fetch the SMS it received. It runs at boot as a systemd service under its
own unprivileged user, listening on 127.0.0.1 only.
.
The package also holds quillonctl, the operator's tool for the service, its
PDUs and packets, which prints the udev rule that names a modem.")

# The window's Chinese texts need a CJK font; Qt's Chinese texts for the
# standard buttons are a translation file it reads at run time.
set(windowed_depends "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
set(windowed_recommends "qt6-translations-l10n")

set(CPACK_DEBIAN_HERALDO_PACKAGE_NAME heraldo)
set(CPACK_DEBIAN_HERALDO_PACKAGE_DEPENDS "${windowed_depends}")
set(CPACK_DEBIAN_HERALDO_PACKAGE_RECOMMENDS "${windowed_recommends}, quillon")
set(CPACK_DEBIAN_HERALDO_DESCRIPTION "SMS broadcast gateway for public-address installations
Heraldo fetches the SMS the Quillon service received, checks each sender
against its authorisation table, speaks the text (espeak-ng's Mandarin
voice), encodes it to MP3 and has the broadcast server play it on the
sender's terminals. It runs in a window or headless.")

set(CPACK_DEBIAN_VIGIMON_PACKAGE_NAME vigimon)
set(CPACK_DEBIAN_VIGIMON_PACKAGE_DEPENDS "${windowed_depends}")
set(CPACK_DEBIAN_VIGIMON_PACKAGE_RECOMMENDS "${windowed_recommends}, quillon")
set(CPACK_DEBIAN_VIGIMON_PACKAGE_CONTROL_EXTRA ${packaging}/vigimon/conffiles)
set(CPACK_DEBIAN_VIGIMON_DESCRIPTION "terminal fault monitor for public-address installations
Vigimon polls the state of every terminal of the broadcast platform, sends
alert SMS through the Quillon service when the offline share of the
installation or of an area rises, and a report per area at set times. It
lives in the notification area, or runs headless, and exports the terminal
table as a workbook.")

include(CPack)

quillon_add_test(SOURCE packaging/tests/default_settings_test.cpp LIBS gateway_settings monitor_settings)
quillon_register_test(package_test package 300 /usr/bin/python3 ${packaging}/tests/package_test.py)
