# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs.
set(CPACK_PACKAGE_NAME talvesk)
set(CPACK_PACKAGE_VENDOR "Talvesk 开发组")
set(CPACK_PACKAGE_CONTACT "Talvesk 开发组 <talvesk@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collect and download the pictures of a marketplace item page")
set(CPACK_PACKAGE_DESCRIPTION "Talvesk opens an item page of an online marketplace in its
built-in browser, collects the item's main, colour and description pictures
and saves them into a folder named after the item. The same collect and
download also run from the command line, headless.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/talvesk/talvesk")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to shlibdeps: Qt's Chinese texts for its own dialogs, and
# the SVG icon engine that draws the window's and the toolbar's pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6svg6")
# The window's texts are Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")

include(CPack)
