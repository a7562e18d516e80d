// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

namespace talvesk {

// Settings the browser engine reads from the environment when it starts; call them before
// the application object exists.

// The engine's sandbox refuses to run as root; without it the engine starts as root too.
void allowEngineAsRoot();

// No window system at all: the offscreen platform, and the engine kept off the GPU and off
// the network for its own background tasks, drawing a page as soon as it can. Settings the
// user made are kept.
void selectHeadlessPlatform();

// The engine writes its diagnostics (Qt's logging categories, and Chromium's processes
// writing to standard error directly) where no one running a batch wants them. Points the
// process's standard error, which the engine's processes inherit, at /dev/null and returns
// a stream on the real one for the program's own lines; Qt messages that report an error
// still reach it. Call before the application object exists.
std::FILE *silenceEngineDiagnostics();

} // namespace talvesk
