# SPDX-License-Identifier: GPL-3.0-or-later
# Fails the build when a part of the program reaches into a part it must not know.

# Fails when a line of one of the files matches the pattern, naming why it must not.
function(forbid pattern why)
  foreach(source IN LISTS ARGN)
    file(STRINGS ${source} matches REGEX "${pattern}" ENCODING UTF-8)
    if(matches)
      message(FATAL_ERROR "${source}: ${why}: ${matches}")
    endif()
  endforeach()
endfunction()

file(GLOB_RECURSE command_sources
  ${SOURCE_DIR}/collect/*.h ${SOURCE_DIR}/collect/*.cpp
  ${SOURCE_DIR}/download/*.h ${SOURCE_DIR}/download/*.cpp)
file(GLOB platform_interfaces ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp)
file(GLOB_RECURSE platform_qt_sources ${SOURCE_DIR}/platform/qt/*.h ${SOURCE_DIR}/platform/qt/*.cpp)

# The core must stay usable without a window.
forbid("#[ \t]*include[ \t]*[<\"](QtWidgets|QtWebEngine|QtGui|QWidget|QWebEngine|QApplication|QMainWindow)"
       "the core must not include GUI headers" ${command_sources} ${platform_interfaces})

# The commands report values and await answers: the lines and the dialogs that show them, and
# every sentence in them, are the window's and the command line's.
forbid("#[ \t]*include[ \t]*\"(platform/(MessageList|Dialogs)|app/)"
       "a command must not include what shows its lines" ${command_sources})
# Text beyond ASCII in a command is a sentence for the user, except the data the marketplace
# and the item folders are known by: the slider's phrase and the folder names.
set(sentence_sources ${command_sources})
list(FILTER sentence_sources EXCLUDE REGEX "/(MarketplaceGate|DownloadCommand)\\.cpp$")
forbid("Literal\\(\"[^\"]*[^ -~]" "a command must not write sentences" ${sentence_sources})

# The Qt side of the platform implements its interfaces for the window and the command line: it
# knows neither them nor the commands that use it.
forbid("#[ \t]*include[ \t]*\"(app|collect|download)/"
       "the platform must not include the program's parts" ${platform_qt_sources})
