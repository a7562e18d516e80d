# SPDX-License-Identifier: GPL-3.0-or-later
# Fails the build when a source of the core library includes a widget or browser-engine header:
# the core must stay usable without a window; nor may a command include the window's parts.
file(GLOB_RECURSE core_sources
  ${SOURCE_DIR}/collect/*.h ${SOURCE_DIR}/collect/*.cpp
  ${SOURCE_DIR}/download/*.h ${SOURCE_DIR}/download/*.cpp
  ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp)
list(FILTER core_sources EXCLUDE REGEX "/platform/qt/")
foreach(source IN LISTS core_sources)
  file(STRINGS ${source} bad_includes
       REGEX "#[ \t]*include[ \t]*[<\"](QtWidgets|QtWebEngine|QtGui|QWidget|QWebEngine|QApplication|QMainWindow)")
  if(bad_includes)
    message(FATAL_ERROR "${source}: the core must not include GUI headers: ${bad_includes}")
  endif()
endforeach()

# The commands report values and await answers: the lines and the dialogs that show them are
# the window's and the command line's.
file(GLOB_RECURSE command_sources
  ${SOURCE_DIR}/collect/*.h ${SOURCE_DIR}/collect/*.cpp
  ${SOURCE_DIR}/download/*.h ${SOURCE_DIR}/download/*.cpp)
foreach(source IN LISTS command_sources)
  file(STRINGS ${source} bad_includes REGEX "#[ \t]*include[ \t]*\"(platform/(MessageList|Dialogs)|app/)")
  if(bad_includes)
    message(FATAL_ERROR "${source}: a command must not include what shows its lines: ${bad_includes}")
  endif()
endforeach()

# The Qt side of the platform implements its interfaces for the window and the command line: it
# knows neither them nor the commands that use it.
file(GLOB_RECURSE platform_qt_sources ${SOURCE_DIR}/platform/qt/*.h ${SOURCE_DIR}/platform/qt/*.cpp)
foreach(source IN LISTS platform_qt_sources)
  file(STRINGS ${source} bad_includes REGEX "#[ \t]*include[ \t]*\"(app|collect|download)/")
  if(bad_includes)
    message(FATAL_ERROR "${source}: the platform must not include the program's parts: ${bad_includes}")
  endif()
endforeach()
