# The Debian package: install rules for the documentation every Debian package carries, and the
# CPack settings. `scripts/package` builds it; `scripts/check-package` checks it.

# Directories the install creates: 0755 whatever the umask, as Debian expects.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(velta_doc_dir share/doc/velta-control-center)
set(velta_packaging_out ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${velta_packaging_out})

# Man pages and the changelog are shipped compressed with gzip -9n: no name or time stamp in the
# header, so the same sources give the same bytes.
set(velta_man_pages velta.1)
if(VELTA_BUILD_UI)
  list(APPEND velta_man_pages velta-control-center.1)
endif()
set(velta_gzipped)
foreach(page ${velta_man_pages})
  add_custom_command(
    OUTPUT ${velta_packaging_out}/${page}.gz
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/${page} > ${velta_packaging_out}/${page}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page}
    VERBATIM)
  list(APPEND velta_gzipped ${velta_packaging_out}/${page}.gz)
  install(FILES ${velta_packaging_out}/${page}.gz DESTINATION share/man/man1)
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${velta_packaging_out}/changelog @ONLY)
add_custom_command(
  OUTPUT ${velta_packaging_out}/changelog.gz
  COMMAND gzip -9nc ${velta_packaging_out}/changelog > ${velta_packaging_out}/changelog.gz
  DEPENDS ${velta_packaging_out}/changelog
  VERBATIM)
list(APPEND velta_gzipped ${velta_packaging_out}/changelog.gz)
add_custom_target(velta_packaging_docs ALL DEPENDS ${velta_gzipped})

# The fixture file for lighting programs, printed at build time by the velta just built, so it
# always follows the channel map (there is no copy in the sources to drift). A cross build can't
# run the program it builds and leaves it out.
if(NOT CMAKE_CROSSCOMPILING)
  set(velta_fixture ${velta_packaging_out}/Velta-LED-Display.qxf)
  add_custom_command(
    OUTPUT ${velta_fixture}
    COMMAND velta fixture --format qlcplus > ${velta_fixture}
    DEPENDS velta
    VERBATIM)
  add_custom_target(velta_fixture_file ALL DEPENDS ${velta_fixture})
  install(FILES ${velta_fixture} DESTINATION share/velta)
endif()

# The service that drives one display from the lighting network, an instance per display, installed
# disabled; the group its transmitter access goes through; and an example of its options, which
# the administrator copies to /etc/default (the package ships nothing in /etc, so it has no
# configuration files of its own to keep across upgrades).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velta-serve@.service DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velta.sysusers DESTINATION lib/sysusers.d
        RENAME velta.conf)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velta-serve.default
        DESTINATION ${velta_doc_dir}/examples)

# The version has no Debian revision, so this is a native package: its changelog is
# changelog.gz, not changelog.Debian.gz.
install(FILES ${velta_packaging_out}/changelog.gz DESTINATION ${velta_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${velta_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velta-control-center)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velta Control Center developers")
set(CPACK_PACKAGE_CONTACT "Velta Control Center developers <velta-dev@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for a USB LED display")
set(CPACK_PACKAGE_DESCRIPTION
    "Velta Control Center edits the content of the Velta LED display - a 32 by 12
LED grid, twenty RGB pods, twelve LED rings and a scrolling text line - and
sends it through the display's USB HID transmitter. It logs the packed data as
hex lines ready to copy into display sequences.

The package holds the window program, velta-control-center, and the command
line program, velta, which lists transmitters, sends designs and texts, plays
sequences, switches RF mode, prints or decodes Data Center and report text and
prints the display's fixture definition for lighting software (also installed
in /usr/share/velta). velta serve drives the display live from lighting
software over sACN, Art-Net or DDP; the velta-serve@ systemd service (disabled
until enabled) runs one instance per display.
A udev rule gives the user at the seat, and the service, access to the
transmitter.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst
                                      ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
