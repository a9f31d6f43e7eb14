# The Debian package, built by CPack from the installed files:
#   cd build && cpack -G DEB     ->  vintermoot_<version>_<arch>.deb
# A game in Debian's sense (section games): the player and vintermoot-capture
# in /usr/games, the data in /usr/share/games/vintermoot/data, the desktop
# entry, its icon, the software-centre metadata and the manual pages
# (section 6, games), the copyright file and the changelog in
# /usr/share/doc/vintermoot.  The library dependencies
# come from the programs themselves (dpkg-shlibdeps); the font the show
# letters its texts with is found at run time through fontconfig, so its
# package is named here.  scripts/package_test.sh checks the package with
# lintian.
#
# Reproducible: every file is dated at the commit's time (SOURCE_DATE_EPOCH,
# packaging/changelog.cmake and cpack_config.cmake), compressed files carry
# no time of their own, and the programs are stripped.
set(VM_MAINTAINER "Vintermoot 2002 team <vintermoot@users.noreply.github.com>")
set(VM_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

add_custom_target(vm_changelog ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DTEMPLATE=${CMAKE_SOURCE_DIR}/packaging/changelog.in -DOUT=${VM_PACKAGING_DIR}
    -DVM_VERSION=${PROJECT_VERSION} -DVM_MAINTAINER=${VM_MAINTAINER}
    -P ${CMAKE_SOURCE_DIR}/packaging/changelog.cmake
  BYPRODUCTS ${VM_PACKAGING_DIR}/changelog.gz ${VM_PACKAGING_DIR}/source_date_epoch
  COMMENT "Package changelog dated at the last commit"
  VERBATIM)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${VM_PACKAGING_DIR}/changelog.gz
  DESTINATION share/doc/vintermoot)

# What software centres show (AppStream): the metadata named after its id,
# as AppStream asks, launching the desktop entry; the screenshots are the
# README's pictures at the project's public address (AppStream takes only
# web addresses for them).
set(VM_PROJECT_URL "https://github.com/vintermoot/vintermoot" CACHE STRING
  "The project's public home; the software-centre screenshots are its docs/pictures")
set(VM_APPSTREAM_ID io.github.vintermoot.vintermoot)
set(VM_METAINFO ${VM_PACKAGING_DIR}/${VM_APPSTREAM_ID}.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/packaging/vintermoot.metainfo.xml.in ${VM_METAINFO} @ONLY)
install(FILES ${VM_METAINFO} DESTINATION share/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintermoot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${VM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VM_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time OpenGL demo of a winter night, set to tracker music")
# The extended description (CPack puts the summary above it): lines of at
# most 80 characters, "." between paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vintermoot 2002 is a demo in the demoscene's tradition: six scripted 3D
scenes (a chain of cubes bringing in the title, a tunnel of bits, spheres
with greetings, flying words, a landscape with the credits and a finale of
sparks) play for five and a half minutes in step with an XM tracker module,
whose notes drive flashes, pulses and picture changes.
.
It runs full screen or in a window of any size, keeping its 4:3 picture,
and can start at any moment of the song.  Without a GPU, Mesa's software
renderer draws it at the music's pace.  vintermoot-capture renders the show
headless and frame-exact to PNG frames, contact sheets or a video.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")
set(CPACK_STRIP_FILES ON)
set(CPACK_VM_PACKAGING_DIR ${VM_PACKAGING_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/packaging/cpack_config.cmake)
include(CPack)
