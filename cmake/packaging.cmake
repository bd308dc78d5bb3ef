# cpack -G DEB: a Debian package of the install tree, its library dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_CONTACT "The Quillet developers <developers@quillet.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillet.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sticky notes on the desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet keeps short notes as small windows on the desktop, each with formatted text, its own colour, \
transparency, stay-on-top and text lock, and a reminder that shakes the note and plays a sound. An icon \
in the notification area creates notes and acts on all of them at once.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's X11 platform plugin, and the GStreamer
# elements that Qt Multimedia plays WAV and MP3 sounds with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
include(CPack)
