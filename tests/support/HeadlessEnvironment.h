#pragma once

namespace talvesk::test {

// Makes the process headless before any Qt object exists: the offscreen platform, no GPU,
// and no browser sandbox when running as root (which the sandbox refuses).
void prepareHeadlessEnvironment();

} // namespace talvesk::test
