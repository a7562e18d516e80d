# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs.
set(CPACK_PACKAGE_NAME talvesk)
set(CPACK_PACKAGE_VENDOR "The Talvesk developers")
# A package must name a mail address and the project has none yet: the reserved .invalid
# domain can never reach a stranger by mistake. The changelog's entries sign with the same.
set(CPACK_PACKAGE_CONTACT "The Talvesk developers <talvesk@talvesk.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collect and download the pictures of a marketplace item page")
set(CPACK_PACKAGE_DESCRIPTION "Talvesk opens an item page of an online marketplace in its
built-in browser, collects the item's main, colour and description pictures
and saves them into a folder named after the item. The same collect and
download also run from the command line, headless.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# What it does is fetch files from web pages, like the downloaders of that section.
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to shlibdeps: Qt's Chinese texts for its own dialogs, and
# the SVG icon engine that draws the window's and the toolbar's pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6svg6")
# The window's texts are Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")

# A stripped install (`cmake --install --strip`, and so the package) also drops the compiler's
# version notes, as Debian's own packages do; plain strip keeps them.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:talvesk>\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")

include(CPack)
