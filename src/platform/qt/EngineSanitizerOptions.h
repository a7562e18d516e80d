// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Include in the file holding main() of a program that runs the browser engine, once per program.

#if defined(__has_feature) // clang
#if __has_feature(address_sanitizer)
#define TALVESK_ADDRESS_SANITIZER
#endif
#elif defined(__SANITIZE_ADDRESS__) // GCC
#define TALVESK_ADDRESS_SANITIZER
#endif

#ifdef TALVESK_ADDRESS_SANITIZER
// The browser engine's bundled Chromium deletes some objects through a sized delete of another
// type; AddressSanitizer reports that inside the engine's own library, never in our code.
// Options given in ASAN_OPTIONS still apply on top of this.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif
