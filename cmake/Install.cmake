# Installation and the Debian package.
#
#   cmake --install build --prefix PREFIX   PREFIX/bin/lyrebox-player
#                                           PREFIX/lib/lyrebox/liblyrebox-platform.so
#                                           PREFIX/lib/lyrebox/liblyrebox-dialogkit.so
#                                           PREFIX/lib/lyrebox/plugins/gen_lyrebox.so
#                                           PREFIX/lib/systemd/user/lyrebox.service
#   scripts/package.sh                      lyrebox_VERSION_amd64.deb (prefix /usr)
#
# The executable finds the platform and dialog libraries through its RPATH, the plugin
# finds it beside its own folder; the player gives each user a plugins folder
# of their own that links to the installed plugin (host/PluginFolder.h).
set(LYREBOX_INSTALL_LIBDIR lib/lyrebox)
# Installing and packaging need only the installed targets, not every test
# and benchmark of the tree (scripts/package.sh builds those three first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set_target_properties(lyrebox-player PROPERTIES INSTALL_RPATH "$ORIGIN/../${LYREBOX_INSTALL_LIBDIR}")
set_target_properties(gen_lyrebox PROPERTIES INSTALL_RPATH "$ORIGIN/..")
# The dialog toolkit lies beside the platform library it links.
set_target_properties(lyrebox-dialogkit PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS lyrebox-player RUNTIME DESTINATION bin COMPONENT player)
install(TARGETS lyrebox-platform lyrebox-dialogkit LIBRARY DESTINATION ${LYREBOX_INSTALL_LIBDIR} NAMELINK_SKIP COMPONENT player)
install(TARGETS gen_lyrebox LIBRARY DESTINATION ${LYREBOX_INSTALL_LIBDIR}/plugins COMPONENT player)

# The systemd user unit, naming the executable where it is installed (the
# prefix is known only when installing: the package's is /usr).
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/scripts/lyrebox-installed.service.in\" unit)
  string(REPLACE \"@PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" unit \"\${unit}\")
  file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/lyrebox.service\" \"\${unit}\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/lyrebox.service\")
" COMPONENT player)

set(CPACK_PACKAGE_NAME lyrebox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lyrebox")
set(CPACK_PACKAGE_CONTACT "Lyrebox developers <lyrebox@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Music player with a web remote control and media library")
set(CPACK_PACKAGE_DESCRIPTION
    "lyrebox-player plays music and serves a web app from which any browser on the network\n"
    "controls it: play list, media library with search, downloads and streams. It runs in a\n"
    "terminal or headless as a systemd user service, and desktops drive it through MPRIS.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install scripts see the real prefix (/usr) and stage under DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The platform library is the package's own: dpkg-shlibdeps finds it there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${LYREBOX_INSTALL_LIBDIR})
# Decoders and sinks are loaded at run time, so shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-pulseaudio | gstreamer1.0-alsa")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL player)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
