set(VZRM_PACKAGE_RELEASE 1 CACHE STRING "The Debian revision of the package")

# What an installation holds besides the programs, and the Debian package.
# The files of the machine (/etc/default, the systemd units) are a component
# of their own that only the package installs: `cmake --install --prefix DIR`
# writes nothing outside DIR.

set(data_dir ${CMAKE_INSTALL_DATADIR}/vzrmaud)
# What an installation needs built, and nothing more: the install and the
# package build only this, not the tests and benchmarks of the same tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
add_custom_target(installed_files)
add_dependencies(installed_files vzrmaud vzrmaud_window vzrmreg vzrmlog evtxgen evtgen)
if(TARGET man_pages)
  add_dependencies(installed_files man_pages)
endif()
install(TARGETS vzrmaud vzrmreg vzrmlog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT program)
# The test-log writers are tools of the site's tests, not of every user: off
# the PATH.
install(TARGETS evtxgen evtgen RUNTIME DESTINATION lib/vzrmaud COMPONENT program)
install(TARGETS vzrmaud_window RUNTIME DESTINATION ${VZRM_WINDOW_PROGRAM_DIR} COMPONENT program)
install(FILES resources/install/installation.reg.in DESTINATION ${data_dir} COMPONENT program)
install(FILES resources/messages/security.mc resources/messages/auditing.mc
              resources/messages/parameters.mc
        DESTINATION ${data_dir}/system32 COMPONENT program)
foreach(folder help images)
  if(EXISTS ${PROJECT_SOURCE_DIR}/resources/${folder})
    install(DIRECTORY resources/${folder}/ DESTINATION ${data_dir}/${folder} COMPONENT program)
  endif()
endforeach()

# The desktop entry and the program's icon in the sizes the menus ask for.
install(FILES resources/desktop/vzrmaud.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT program)
install(FILES resources/images/icon.svg RENAME vzrmaud.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
foreach(size 16 32 48 256)
  install(FILES resources/images/icon_${size}.png RENAME vzrmaud.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT program)
endforeach()

set(doc_dir ${PROJECT_BINARY_DIR}/doc)
set(VERSION ${PROJECT_VERSION}-${VZRM_PACKAGE_RELEASE})
configure_file(resources/debian/changelog.in ${doc_dir}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${doc_dir}/changelog.Debian.gz
  COMMAND gzip -9nkf ${doc_dir}/changelog.Debian
  DEPENDS ${doc_dir}/changelog.Debian
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${doc_dir}/changelog.Debian.gz)
add_dependencies(installed_files package_changelog)
install(FILES resources/debian/copyright ${doc_dir}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vzrmaud COMPONENT program)
install(FILES resources/debian/lintian-overrides RENAME vzrmaud
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT program)

install(FILES resources/systemd/vzrmaud.service resources/systemd/vzrmaud.timer
        DESTINATION /lib/systemd/system COMPONENT machine EXCLUDE_FROM_ALL)
install(FILES resources/systemd/vzrmaud.default DESTINATION /etc/default RENAME vzrmaud
        COMPONENT machine EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME vzrmaud)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora ZRM Auditor maintainers <vzrmaud@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audit reports of recording files from the Security event log")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Velmora ZRM Auditor tells a recording site who created, opened, wrote,\n\
closed or deleted its recording files, from an exported Windows Security\n\
event log (EVTX or the classic format): a CSV audit report and a running\n\
summary after each run. A systemd timer (installed disabled) runs the\n\
report daily into the folder named in /etc/default/vzrmaud.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VZRM_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/resources/debian/postinst ${PROJECT_SOURCE_DIR}/resources/debian/prerm
    ${PROJECT_SOURCE_DIR}/resources/debian/postrm ${PROJECT_SOURCE_DIR}/resources/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# One package of both components.
set(CPACK_COMPONENTS_ALL program machine)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
