# The Debian package, built by CPack from the installed files:
#   cd build && cpack -G DEB     ->  vintermoot_<version>_<arch>.deb
# The player and vintermoot-capture in /usr/bin, the data in
# /usr/share/vintermoot/data, the desktop entry, its icon and the manual
# page.  The library dependencies come from the programs themselves
# (dpkg-shlibdeps); the font the show letters its texts with is found at run
# time through fontconfig, so its package is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintermoot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vintermoot 2002, a real-time OpenGL demo with tracker music")
set(CPACK_PACKAGE_DESCRIPTION "Six scripted 3D scenes playing in step with an XM tracker \
module, in a window or full screen; vintermoot-capture renders the show headless to \
pictures or video.")
set(CPACK_PACKAGE_CONTACT "Vintermoot 2002 developers <vintermoot@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")
set(CPACK_STRIP_FILES ON)
include(CPack)
