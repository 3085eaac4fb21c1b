# What is installed, and the packages made of it with CPack: on Linux the
# Debian packages vemo and scorvane, on Windows the release archive of
# Vemo.scr. Every version in them is PROJECT_VERSION.

set(pkg_dir ${CMAKE_SOURCE_DIR}/packaging)
set(pkg_gen ${CMAKE_BINARY_DIR}/packaging)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Scorvane project")
set(CPACK_PACKAGE_CONTACT "Scorvane developers <scorvane@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://scorvane.example.org/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/build/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The archive a Windows user unpacks: the saver of each width, how to
  # install it, an example of the one setting worth changing by hand, and the
  # licences. Either Windows tree makes the same archive, taking the other
  # width's saver from its sibling tree, which must be built first.
  configure_file(${pkg_dir}/README.txt.in ${pkg_gen}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${pkg_dir}/Vemo-Server.reg ${pkg_gen}/Vemo-Server.reg @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${pkg_gen}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(own_width 64-bit)
    set(other_width 32-bit)
    set(other_tree win32)
  else()
    set(own_width 32-bit)
    set(other_width 64-bit)
    set(other_tree win64)
  endif()
  set(SCORVANE_SIBLING_WINDOWS_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/${other_tree} CACHE PATH
      "The Windows build tree of the other width, whose Vemo.scr the archive carries too")
  install(TARGETS vemo_scr RUNTIME DESTINATION ${own_width} COMPONENT vemo)
  install(PROGRAMS ${SCORVANE_SIBLING_WINDOWS_BUILD_DIR}/Vemo.scr DESTINATION ${other_width} COMPONENT vemo)
  install(FILES ${pkg_gen}/README.txt ${pkg_gen}/Vemo-Server.reg ${pkg_gen}/LICENSE.txt
          DESTINATION . COMPONENT vemo)

  # The setup program, the usual way in: the saver of the machine's width
  # into the system folder, chosen as the user's screen saver, an uninstaller
  # under Apps (packaging/vemo-setup.nsi.in). Like the archive it carries both
  # savers, stripped, so it too needs the sibling tree; `make package` builds
  # it (target vemo_setup) beside the archive. vemo_setup_savers alone gives
  # the stripped savers, which the setup test builds its own installer from.
  find_program(SCORVANE_MAKENSIS makensis)
  # The x86-64 binutils read the executables of both widths, the i686 ones
  # only their own.
  find_program(SCORVANE_PE_STRIP x86_64-w64-mingw32-strip)
  set(setup_savers ${pkg_gen}/setup-savers)
  set(setup_license ${pkg_gen}/LICENSE.txt)
  set(setup_icon ${CMAKE_SOURCE_DIR}/res/vemo.ico)
  set(setup_exe ${CPACK_OUTPUT_FILE_PREFIX}/Vemo-${PROJECT_VERSION}-setup.exe)
  configure_file(${pkg_dir}/vemo-setup.nsi.in ${pkg_gen}/vemo-setup.nsi @ONLY)
  add_custom_command(OUTPUT ${setup_savers}/32-bit/Vemo.scr ${setup_savers}/64-bit/Vemo.scr
    COMMAND ${CMAKE_COMMAND} -E make_directory ${setup_savers}/32-bit ${setup_savers}/64-bit
    COMMAND ${SCORVANE_PE_STRIP} -o ${setup_savers}/${own_width}/Vemo.scr $<TARGET_FILE:vemo_scr>
    COMMAND ${SCORVANE_PE_STRIP} -o ${setup_savers}/${other_width}/Vemo.scr
            ${SCORVANE_SIBLING_WINDOWS_BUILD_DIR}/Vemo.scr
    DEPENDS vemo_scr ${SCORVANE_SIBLING_WINDOWS_BUILD_DIR}/Vemo.scr
    COMMENT "Stripping both savers for the setup program"
    VERBATIM)
  add_custom_target(vemo_setup_savers DEPENDS ${setup_savers}/32-bit/Vemo.scr ${setup_savers}/64-bit/Vemo.scr)
  if(SCORVANE_MAKENSIS)
    add_custom_command(OUTPUT ${setup_exe}
      COMMAND ${SCORVANE_MAKENSIS} -V2 ${pkg_gen}/vemo-setup.nsi
      DEPENDS vemo_setup_savers ${setup_savers}/32-bit/Vemo.scr ${setup_savers}/64-bit/Vemo.scr
              ${pkg_gen}/vemo-setup.nsi ${pkg_dir}/vemo-setup.nsi.in ${setup_license} ${setup_icon}
      COMMENT "Building Vemo-${PROJECT_VERSION}-setup.exe"
      VERBATIM)
    add_custom_target(vemo_setup DEPENDS ${setup_exe})
  else()
    add_custom_target(vemo_setup
      COMMAND ${CMAKE_COMMAND} -E echo "makensis not found: the setup program needs Debian's nsis (scripts/install-deps)"
      COMMAND ${CMAKE_COMMAND} -E false
      VERBATIM)
  endif()

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Vemo)
  set(CPACK_PACKAGE_FILE_NAME Vemo-${PROJECT_VERSION}-windows)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_COMPONENTS_ALL vemo)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(doc ${CMAKE_INSTALL_DATADIR}/doc)

# Man pages and changelogs go in compressed, as Debian wants them; the
# version in a man page's header is filled in here.
function(scorvane_gzip_doc out)
  cmake_parse_arguments(ARG "" "FROM;MODE" "" ${ARGN})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${ARG_FROM} -DOUT=${out} -DMODE=${ARG_MODE}
            -DVERSION=${PROJECT_VERSION} "-DMAINTAINER=${CPACK_PACKAGE_CONTACT}" -P ${pkg_dir}/debian_doc.cmake
    DEPENDS ${ARG_FROM} ${pkg_dir}/debian_doc.cmake
    VERBATIM)
endfunction()
scorvane_gzip_doc(${pkg_gen}/vemo.6.gz FROM ${CMAKE_SOURCE_DIR}/platform/x11/vemo.6 MODE man)
scorvane_gzip_doc(${pkg_gen}/scorvane.1.gz FROM ${pkg_dir}/scorvane.1 MODE man)
scorvane_gzip_doc(${pkg_gen}/changelog.gz FROM ${CMAKE_SOURCE_DIR}/CHANGELOG.md MODE changelog)
add_custom_target(package_docs ALL DEPENDS ${pkg_gen}/vemo.6.gz ${pkg_gen}/scorvane.1.gz ${pkg_gen}/changelog.gz)

# vemo: the hack where XScreenSaver runs its hacks from, its description for
# xscreensaver-settings, and whatever settings program the build makes.
install(TARGETS vemo RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver COMPONENT vemo)
# vemo /c starts the settings program from the libexec folder.
install(TARGETS vemo-settings RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR} COMPONENT vemo)
install(FILES ${CMAKE_SOURCE_DIR}/platform/x11/vemo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config COMPONENT vemo)
install(FILES ${pkg_gen}/vemo.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT vemo)

# scorvane: the tool, its completion, and `scorvane serve` as a service.
install(TARGETS scorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT scorvane)
install(FILES ${pkg_gen}/scorvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT scorvane)
install(FILES ${pkg_dir}/scorvane.bash-completion RENAME scorvane
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT scorvane)
# Debian 12 keeps system units under /lib (its /usr merge is not yet done
# in dpkg's view); user units have always lived under /usr.
install(FILES ${pkg_dir}/scorvane.service DESTINATION /lib/systemd/system COMPONENT scorvane)
install(FILES ${pkg_dir}/scorvane-user.service RENAME scorvane.service
        DESTINATION lib/systemd/user COMPONENT scorvane)
install(FILES ${pkg_dir}/scorvane.default RENAME scorvane DESTINATION /etc/default COMPONENT scorvane)
# The snapshot of public match results: what `scorvane serve` shows when
# the public source cannot be reached, and the saver's last resort when it
# has kept nothing of its own.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/football.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/scorvane COMPONENT scorvane)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/football.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vemo COMPONENT vemo)

foreach(component vemo scorvane)
  install(FILES ${pkg_dir}/copyright ${pkg_gen}/changelog.gz
          DESTINATION ${doc}/${component} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL vemo scorvane)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE scorvane)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross tree packages for the machine it builds for, not for the one cpack
# runs on (which is what CPack asks dpkg by default). dpkg-shlibdeps hears
# of it through DEB_HOST_ARCH when cpack runs: it then reads the binaries
# with that architecture's objdump and looks their libraries up in that
# architecture's multiarch folders first, instead of in whatever folders the
# build machine's loader happens to list.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -f -t ${CMAKE_LIBRARY_ARCHITECTURE} -q DEB_HOST_ARCH
    OUTPUT_VARIABLE deb_host_arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE deb_arch_result)
  if(NOT deb_arch_result EQUAL 0 OR NOT deb_host_arch)
    message(FATAL_ERROR "dpkg-architecture (Debian's dpkg-dev) cannot name the Debian architecture of "
                        "'${CMAKE_LIBRARY_ARCHITECTURE}': the toolchain file must set CMAKE_LIBRARY_ARCHITECTURE")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_host_arch})
  file(CONFIGURE OUTPUT ${pkg_gen}/cpack_cross.cmake CONTENT "set(ENV{DEB_HOST_ARCH} @deb_host_arch@)\n" @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${pkg_gen}/cpack_cross.cmake)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_VEMO_PACKAGE_NAME vemo)
set(CPACK_DEBIAN_VEMO_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_VEMO_PACKAGE_SUGGESTS "xscreensaver, scorvane")
set(CPACK_DEBIAN_VEMO_DESCRIPTION "football league table screen saver
Vemo shows the current national-league table of one football association
as animated scenes: a ball falls and turns into a club emblem, the rows of
the table fly in, stand and fly out while fading, and small balls dart
across the screen. The table is downloaded once when the saver starts,
from a standings site such as the one scorvane serves.
.
It runs as an XScreenSaver hack or on its own, and has a settings dialog
for choosing the association.")
set(CPACK_DEBIAN_SCORVANE_PACKAGE_NAME scorvane)
set(CPACK_DEBIAN_SCORVANE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SCORVANE_PACKAGE_CONTROL_EXTRA ${pkg_dir}/conffiles)
set(CPACK_DEBIAN_SCORVANE_DESCRIPTION "standings site and tools for the Vemo screen saver
scorvane serves football standings pages for the Vemo screen saver, made up
or from tables of your own, as a service or by hand. It also downloads a
page the saver's way and prints its rows, prints the events of the markup
tokenizer, and plays the saver's board headless into a PNG or GIF.")
include(CPack)
