# `make package`: a Debian package of both programs and their desktop files, built by CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Kelvaro developers <kelvaro@kelvaro.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "paint depth over a picture and make a swaying 3D GIF of it")
# CPack starts each line of the description with a space for the control file, and Debian shows
# the lines as they are: one string a line, each under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Kelvaro opens a picture, lets you paint a depth map over it in nine levels and"
    "renders an eight-frame animated GIF in which the picture sways sideways or up"
    "and down, each pixel moving by its level. The editor speaks Japanese (English"
    "with --lang en); kelvaro-render makes the same GIFs from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kelvaro.org/)
# Libraries the programs and the MP4 module (lib/kelvaro/kelvaro_mp4.so) link come from
# dpkg-shlibdeps, which reads every shared object in the package (OpenCV's libopencv-core406 and
# libopencv-imgproc406, and through the module FFmpeg's libavcodec59 (which brings libx264),
# libavformat59, libswscale6 and libavutil57 among them); what they only load at run time is named:
# the picture-format plug-ins (WebP, TIFF, TGA), Qt's Japanese texts and the dialog font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-image-formats-plugins, qt6-translations-l10n, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-wayland")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

# Debian's documentation of the package: the copyright file names the licence and points to its
# text in /usr/share/common-licenses, and the changelog has one entry for this version. The entry's
# date is fixed in changelog.in (the metainfo's release date: change both with the version), and
# gzip -n stores no name or time, so the changelog's bytes do not depend on when it was built.
install(FILES res/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvaro)
install(FILES res/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME kelvaro)
set(debian_changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian)
configure_file(res/debian/changelog.in ${debian_changelog} @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${debian_changelog}.gz
    COMMAND ${GZIP} -9nkf ${debian_changelog}
    DEPENDS ${debian_changelog}
    COMMENT "Debian changelog"
    VERBATIM)
add_custom_target(kelvaro-debian-changelog ALL DEPENDS ${debian_changelog}.gz)
install(FILES ${debian_changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvaro)
include(CPack)
