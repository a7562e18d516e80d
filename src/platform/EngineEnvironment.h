#pragma once

namespace talvesk {

// Settings the browser engine reads from the environment when it starts; call them before
// the application object exists.

// The engine's sandbox refuses to run as root; without it the engine starts as root too.
void allowEngineAsRoot();

// No window system at all: the offscreen platform, and the engine kept off the GPU and off
// the network for its own background tasks. Settings the user made are kept.
void selectHeadlessPlatform();

} // namespace talvesk
