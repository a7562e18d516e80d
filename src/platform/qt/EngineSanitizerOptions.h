// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Include in the file holding main() of a program that runs the browser engine, once per program.

#if defined(__SANITIZE_ADDRESS__)
// The browser engine's bundled Chromium deletes some objects through a sized delete of another
// type; AddressSanitizer reports that inside the engine's own library, never in our code.
// Options given in ASAN_OPTIONS still apply on top of this.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif
