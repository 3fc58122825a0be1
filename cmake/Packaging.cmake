# The Debian package: `cpack -G DEB` in the build tree makes
# morvak_<version>_<arch>.deb, installed with prefix /usr (see
# cmake/InstallLayout.cmake), its dependencies worked out from the programs
# by dpkg-shlibdeps. scripts/check-package.sh builds and tries it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Morvak developers")
set(CPACK_PACKAGE_CONTACT "The Morvak developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash firmware images into handsets whose chip boots from USB")
set(CPACK_PACKAGE_DESCRIPTION
    "Morvak flashes firmware images (.img or .raw) into mobile handsets whose
chip boots from USB: it sends the second-stage loader and the flash
programmer, and streams the image block by block, each block checked with
CRC-16. The package holds the window (morvak), the console front end for
scripted runs (morvak-cli) and the image writer (morvak-mkimg). A built-in
virtual handset lets everything run without hardware; a real handset needs
its maker's target programs in /var/lib/morvak.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

# Installed under DESTDIR with prefix /usr, whatever prefix the build was
# configured with, so that the install rules work out /etc and /var as for
# a system installation.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# One package of the Runtime component: MorvakLocalState, which copies the
# stand-ins where the maker's programs go, is the postinst's job in the package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Runtime)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME morvak)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(MORVAK_GUI)
  # The window's texts include Chinese.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-microhei)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${MORVAK_DEB_CONTROL_EXTRA})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
