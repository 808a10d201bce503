# The Debian package: cmake --build build --target package writes
# build/kx-inventory_<version>_<arch>.deb with the flat installation folder
# in /opt/kx-inventory, the systemd units in /lib/systemd/system, config.ini
# and update.ini as configuration files kept across upgrades, and maintainer
# scripts that enable the timers (packaging/debian/).
set(KX_PACKAGE_PREFIX /opt/kx-inventory)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx-inventory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KX Inventory maintainers <kx-inventory@example.com>")
set(CPACK_PACKAGE_VENDOR "KX Inventory")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "asset-inventory agent and its updater")
set(CPACK_PACKAGE_DESCRIPTION "KX_InventoryAGT collects this machine's hardware and software inventory
and uploads it to the management server over WebDAV, once a day.
KX_Updater keeps the installed modules current from the update server.
Both are started by systemd timers; settings are in
/opt/kx-inventory/config.ini and update.ini.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${KX_PACKAGE_PREFIX})
# Installed through DESTDIR, so the units and manuals under absolute paths
# land in the package, not on this machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${KX_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified units manuals packaging)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies are computed from the binaries (dpkg-shlibdeps); the shell
# tools the collection script and the maintainer scripts call are added.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "init-system-helpers (>= 1.54~)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dmidecode, pciutils, iproute2, udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(kx_control ${CMAKE_BINARY_DIR}/packaging/debian)
file(MAKE_DIRECTORY ${kx_control})
file(WRITE ${kx_control}/conffiles
  "${KX_PACKAGE_PREFIX}/config.ini\n${KX_PACKAGE_PREFIX}/update.ini\n")
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script} ${kx_control}/${script} @ONLY)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${kx_control}/conffiles ${kx_control}/postinst ${kx_control}/prerm ${kx_control}/postrm)

# What Debian asks of every package: copyright, changelog, and the lintian
# overrides for what this package does on purpose (reasons in the file).
add_custom_command(OUTPUT ${kx_control}/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${kx_control}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${kx_control}/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${kx_control}/changelog.gz
        DESTINATION /usr/share/doc/kx-inventory COMPONENT packaging EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION /usr/share/lintian/overrides RENAME kx-inventory
        COMPONENT packaging EXCLUDE_FROM_ALL)

include(CPack)
