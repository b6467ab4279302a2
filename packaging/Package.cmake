# cpack -G DEB: a Debian package whose library dependencies come from the
# linked libraries, plus the Chinese font the pages need.
set(CPACK_PACKAGE_NAME tavril)
set(CPACK_PACKAGE_VENDOR "Tavril")
set(CPACK_PACKAGE_CONTACT "Tavril developers <dev@tavril.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, discreet reader for plain-text novels")
set(CPACK_PACKAGE_DESCRIPTION "Tavril reads long plain-text books, mostly Chinese novels, in whatever
encoding they come (UTF-8, GBK, GB18030, UTF-16, UTF-32). It shows one page
at a time in a frameless, optionally transparent window that stays where it
is put, and hides and shows with system-wide hot keys.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The speech plug-in is only recommended by Qt's library; OpenCC's configs
# are data nothing links to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qttranslations5-l10n, qtspeech5-speechd-plugin, libopencc-data")
# Without Qt's Wayland plugin a Wayland session runs the reader through
# XWayland without a word: global keys and placement then go wrong.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qtwayland5, speech-dispatcher, speech-dispatcher-espeak-ng")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TAVRIL_SITE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
