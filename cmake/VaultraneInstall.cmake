# Where Vaultrane's programs, private libraries and data go when installed,
# and helpers that every executable of the project uses (vaultrane,
# vaultrane-box, vaultrane-agent), so that they share one layout:
#
#   bin/                              the programs
#   lib/<multiarch>/vaultrane/        our builds of the three platform
#                                     libraries, found through the programs'
#                                     RUNPATH only (never on the system's path,
#                                     so they cannot collide with the
#                                     system's own copies)
#   share/vaultrane/translations/     compiled translations (*.qm) and
#   share/vaultrane/images/           images, for any loaded from disk; today
#                                     both are compiled into the programs'
#                                     resources, so nothing goes there
#
# Variables (destinations relative to the install prefix, for install()):
#   VAULTRANE_INSTALL_BINDIR, VAULTRANE_INSTALL_PRIVATE_LIBDIR,
#   VAULTRANE_INSTALL_DATADIR, VAULTRANE_INSTALL_TRANSLATIONSDIR,
#   VAULTRANE_INSTALL_IMAGESDIR, VAULTRANE_INSTALL_MANDIR (share/man),
#   VAULTRANE_INSTALL_BASH_COMPLETIONDIR, VAULTRANE_INSTALL_AUTOSTARTDIR
#   (absolute: /etc/xdg/autostart for the /usr prefix)
# Functions:
#   vaultrane_install_program(<target>)  RUNPATH to our libraries + install to bin
#   vaultrane_install_manpage(<file.N>)  gzip -9n at build time + install to man<N>
#   vaultrane_install_autostart(<file>)  install to the XDG autostart folder,
#                                        registered as a conffile of the package

include(GNUInstallDirs)

set(VAULTRANE_INSTALL_BINDIR "${CMAKE_INSTALL_BINDIR}")
set(VAULTRANE_INSTALL_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vaultrane")
set(VAULTRANE_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/vaultrane")
set(VAULTRANE_INSTALL_TRANSLATIONSDIR "${VAULTRANE_INSTALL_DATADIR}/translations")
set(VAULTRANE_INSTALL_IMAGESDIR "${VAULTRANE_INSTALL_DATADIR}/images")
set(VAULTRANE_INSTALL_MANDIR "${CMAKE_INSTALL_MANDIR}")
set(VAULTRANE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/vaultrane")
set(VAULTRANE_INSTALL_BASH_COMPLETIONDIR "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
set(VAULTRANE_INSTALL_AUTOSTARTDIR "${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart")

file(RELATIVE_PATH _vaultrane_libdir_from_bindir
  "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${VAULTRANE_INSTALL_PRIVATE_LIBDIR}")
# $ORIGIN keeps the installed tree relocatable.
set(VAULTRANE_INSTALL_RPATH "$ORIGIN/${_vaultrane_libdir_from_bindir}")

function(vaultrane_install_program target)
  if(NOT VAULTRANE_SYSTEM_PLATFORM_LIBS)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${VAULTRANE_INSTALL_RPATH}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION "${VAULTRANE_INSTALL_BINDIR}")
endfunction()

function(vaultrane_install_manpage source)
  get_filename_component(name "${source}" NAME)
  get_filename_component(absolute "${source}" ABSOLUTE)
  string(REGEX MATCH "[0-9]$" section "${name}")
  set(compressed "${CMAKE_CURRENT_BINARY_DIR}/${name}.gz")
  add_custom_command(OUTPUT "${compressed}"
    COMMAND gzip -9 -n -c "${absolute}" > "${compressed}"
    DEPENDS "${absolute}"
    COMMENT "Compressing the manual page ${name}")
  add_custom_target(manpage_${name} ALL DEPENDS "${compressed}")
  install(FILES "${compressed}" DESTINATION "${VAULTRANE_INSTALL_MANDIR}/man${section}")
endfunction()

# Files under /etc are configuration files of the package: dpkg keeps an
# administrator's changes to them on upgrade.
set_property(GLOBAL PROPERTY VAULTRANE_CONFFILES "")
function(vaultrane_install_autostart source)
  get_filename_component(name "${source}" NAME)
  install(FILES "${source}" DESTINATION "${VAULTRANE_INSTALL_AUTOSTARTDIR}")
  set_property(GLOBAL APPEND PROPERTY VAULTRANE_CONFFILES "${VAULTRANE_INSTALL_AUTOSTARTDIR}/${name}")
endfunction()
