# cpack -G DEB: a Debian package of the install tree, its library dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
# There is no project address to write to or web site to visit: the maintainer's address is in the
# reserved domain .invalid, which says so, and the package names no home page.
set(CPACK_PACKAGE_CONTACT "The Quillet developers <developers@quillet.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sticky notes on the desktop")
# The lines of the long description stay under 80 characters, as Debian's tools show them unwrapped.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quillet keeps short notes as small windows on the desktop. Each note holds"
    "formatted text and has its own title, colour and transparency; it can stay"
    "above other windows, be locked against changes and carry a reminder that"
    "shakes the note and plays a sound when it is due."
    "."
    "An icon in the notification area creates notes and acts on all of them at"
    "once. Every note is kept in one file and is there again at the next start."
    "A single note can be saved as a note file, as plain text or as rich text,"
    "and printed. The interface is in English, Russian, Bulgarian and Greek.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's X11 platform plugin, Qt's own translations,
# and the GStreamer elements that the audio module plays WAV and MP3 sounds with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
include(CPack)
