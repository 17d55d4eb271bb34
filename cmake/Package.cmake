# The Debian package corvane_<version>_<arch>.deb (scripts/package makes it; tests/package
# checks it): the install layout staged under /usr with the programs stripped, and the
# dependencies computed from the programs' shared libraries by dpkg-shlibdeps.
if(NOT TARGET corvane OR NOT TARGET tessick)
  return()  # a package without the player would not be Corvane
endif()

# The changelog's newest entry names the version packaged: it must be this one.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog corvane_newest LIMIT_COUNT 1)
if(NOT corvane_newest MATCHES "^corvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog has no entry for version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Staged through DESTDIR with the prefix /usr itself, so what the install computes from the
# prefix (the desktop entry's Exec path) names the installed place, not the staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${corvane_maintainer}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its windowing plugins at run time, so no library the programs link names them;
# the help page and the update address open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for recorded voice messages")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Corvane plays voicemail and dictation recordings that arrive as WAVE files in
encodings ordinary players reject or decode wrongly: G.711 A-law and mu-law,
IMA, OKI and Microsoft ADPCM, GSM 06.10 and G.729, as well as linear PCM and
headerless GSM files. It decodes each file into 16-bit PCM and plays it in
one small window with play and pause, stop, jumps back and forward, speeds
that keep the pitch and a volume control.

Mail clients and scripts hand recordings to the running player with the
launcher tessick, optionally with a name to show in place of the file name.
The converter corvane-convert writes the decoded recordings as PCM WAVE
files, one at a time or in batches.]])
include(CPack)
