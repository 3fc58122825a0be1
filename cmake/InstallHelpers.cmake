# Run by cmake --install (and by cpack), before any other install rule: the
# helpers that put the links and the administrator's files in place.
# MORVAK_SYSCONFDIR and MORVAK_LOCALSTATEDIR are GNUInstallDirs' values as
# configured; CMAKE_INSTALL_PREFIX is the prefix of this installation.

# morvak_system_dir(OUT RELATIVE): the absolute folder GNUInstallDirs means by
# RELATIVE for this prefix (/etc and /var when the prefix is /usr).
function(morvak_system_dir out relative)
  if(IS_ABSOLUTE "${relative}")
    set(${out} "${relative}" PARENT_SCOPE)
  elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr" AND relative MATCHES "^(etc|var)$")
    set(${out} "/${relative}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${relative}" PARENT_SCOPE)
  endif()
endfunction()

morvak_system_dir(MORVAK_CONFIG_DIR "${MORVAK_SYSCONFDIR}")
set(MORVAK_CONFIG_DIR "${MORVAK_CONFIG_DIR}/morvak")
morvak_system_dir(MORVAK_STATE_DIR "${MORVAK_LOCALSTATEDIR}")
set(MORVAK_STATE_DIR "${MORVAK_STATE_DIR}/lib/morvak")

# The absolute path of PATH (absolute, or relative to the prefix) under DESTDIR.
function(morvak_staged out path)
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${CMAKE_INSTALL_PREFIX}/${path}")
  endif()
  set(${out} "$ENV{DESTDIR}${path}" PARENT_SCOPE)
endfunction()

# morvak_install_link(LINK TARGET): a symbolic link LINK (relative to the
# prefix, or absolute) that reads TARGET, recorded like an installed file.
function(morvak_install_link link target)
  morvak_staged(staged "${link}")
  get_filename_component(folder "${staged}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  message(STATUS "Installing: ${staged} -> ${target}")
  file(CREATE_LINK "${target}" "${staged}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${staged}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

# morvak_install_config(SOURCE NAME): the configuration file NAME in the
# configuration folder. One already there is the administrator's and stays
# as it is.
function(morvak_install_config source name)
  morvak_staged(staged "${MORVAK_CONFIG_DIR}/${name}")
  if(EXISTS "${staged}")
    file(SHA256 "${staged}" have)
    file(SHA256 "${source}" shipped)
    if(NOT have STREQUAL shipped)
      message(STATUS "Keeping: ${staged} (it differs from the shipped ${source})")
      return()
    endif()
  endif()
  # file(INSTALL) puts DESTDIR in front itself.
  file(INSTALL DESTINATION "${MORVAK_CONFIG_DIR}" TYPE FILE FILES "${source}")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${staged}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

# morvak_install_state_copy(SOURCE NAME): a copy of SOURCE (relative to the
# prefix) as NAME in the state folder, unless something is there already: the
# administrator puts the real file there, and no later install overwrites it.
function(morvak_install_state_copy source name)
  morvak_staged(from "${source}")
  morvak_staged(to "${MORVAK_STATE_DIR}/${name}")
  if(EXISTS "${to}" OR IS_SYMLINK "${to}")
    message(STATUS "Keeping: ${to}")
    return()
  endif()
  message(STATUS "Installing: ${to} (a copy of ${from})")
  get_filename_component(folder "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${from}" "${to}")
endfunction()
