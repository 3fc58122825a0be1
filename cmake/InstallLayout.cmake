# Where cmake --install (and the Debian package) puts things. With prefix /usr:
#
#   /usr/bin/morvak, morvak-cli, morvak-mkimg   links to the programs below
#   /usr/lib/morvak/                            the programs and their file/ folder:
#     file/LURRA.ini -> /etc/morvak/LURRA.ini     the configuration, an administrator's file
#     file/2ND.nb0 etc. -> /var/lib/morvak/...    the handset maker's target programs
#   /usr/share/morvak/stand-in/                 the virtual handset's stand-ins for them
#
# The programs find file/ beside their real executable (links resolved), so
# the build tree's bin/ and a copied folder work as they are. The system
# folders follow GNUInstallDirs (/etc and /var for prefix /usr, PREFIX/etc and
# PREFIX/var otherwise) and are worked out at install time, so that
# `cmake --install --prefix` and the package both get them right.
include(GNUInstallDirs)

# Every install rule that does not name another component belongs to the
# program; MorvakLocalState (tools/file/) is left out of the package.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME Runtime)

set(MORVAK_INSTALL_PRIVATEDIR "lib/morvak" CACHE STRING
    "Folder, relative to the prefix, of the programs and their file/ folder")
set(MORVAK_INSTALL_STANDINDIR "${CMAKE_INSTALL_DATADIR}/morvak/stand-in")

# Everything installed, so that a package build can make just that.
add_custom_target(morvak_installable)

# The helpers the install rules below call, loaded for every component.
install(CODE "set(MORVAK_SYSCONFDIR \"${CMAKE_INSTALL_SYSCONFDIR}\")
set(MORVAK_LOCALSTATEDIR \"${CMAKE_INSTALL_LOCALSTATEDIR}\")" ALL_COMPONENTS)
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallHelpers.cmake ALL_COMPONENTS)

# morvak_install_program(TARGET): the program goes to the private folder, with
# a link of the same name on the PATH.
function(morvak_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${MORVAK_INSTALL_PRIVATEDIR})
  file(RELATIVE_PATH relative "/${CMAKE_INSTALL_BINDIR}" "/${MORVAK_INSTALL_PRIVATEDIR}/${target}")
  install(CODE "morvak_install_link(\"${CMAKE_INSTALL_BINDIR}/${target}\" \"${relative}\")")
  add_dependencies(morvak_installable ${target})
endfunction()
