#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Talvesk needs, builds it and runs every test: once in a normal build (GCC),
# once under AddressSanitizer and UndefinedBehaviorSanitizer (clang, which builds that tree in
# less than half GCC's time). The tests run headless; both trees replay the fuzz targets'
# corpora (scripts/fuzz.sh builds them for libFuzzer and fuzzes). Then checks the launcher,
# the metadata, the man page and the documents as they are installed, and the Debian package
# as a distribution would (lintian, hardening, stripping).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

scripts/build.sh build -DTALVESK_WERROR=ON
ctest --test-dir build --output-on-failure -j "$jobs"

# Tests that add nothing under the sanitizers are left out of that build (NOT_SANITIZED in the
# tests' CMakeLists.txt files, which say why).
scripts/build.sh build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DTALVESK_WERROR=ON -DTALVESK_SANITIZE=ON \
  -DTALVESK_BENCH=OFF
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks are checked in our own code; the browser engine's library reports its own at exit.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" -L core
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" -L engine

fail() {
  echo "$1" >&2
  exit 1
}

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
DESTDIR="$staging" cmake --install build --prefix /usr >/dev/null
share="$staging/usr/share"
# Hints (such as two main categories) count as failures too.
desktop_hints=$(desktop-file-validate "$share/applications/talvesk.desktop" 2>&1) || true
[ -z "$desktop_hints" ] || fail "desktop entry: $desktop_hints"
appstreamcli validate --no-net "$share/metainfo/io.github.talvesk.Talvesk.metainfo.xml"
# groff's warnings (bad requests, lines it cannot fit) count as failures.
man_warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$share/man/man1/talvesk.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man page: $man_warnings"
grep -q '^License: GPL-3.0-or-later$' "$share/doc/talvesk/copyright" ||
  fail "copyright: no GPL-3.0-or-later licence"
changelog_version=$(gzip -dc "$share/doc/talvesk/changelog.gz" | dpkg-parsechangelog -l - -S Version) ||
  fail "changelog: not in Debian changelog format"
scripts/check-spdx.sh || fail "sources: licence identifier missing (listed above)"
echo "Installed files check out."

# The package, from the same build folder: lintian's errors and warnings fail, and so do the
# pedantic tags for a binary built without hardening or left unstripped.
rm -f build/talvesk_*.deb
(cd build && cpack -G DEB >/dev/null)
package=$(echo build/talvesk_*.deb)
package_version=$(dpkg-deb -f "$package" Version)
[ "$changelog_version" = "$package_version" ] ||
  fail "changelog: newest entry $changelog_version, package $package_version"
lintian_output=$(lintian --pedantic -I --fail-on error,warning "$package" 2>&1) ||
  fail "lintian: $lintian_output"
echo "$lintian_output"
# Its one override (no fortified call linked) holds only if the program is built fortified.
grep -q '_FORTIFY_SOURCE=2.*src/app/main.cpp' build/compile_commands.json ||
  fail "build: the program is not compiled with _FORTIFY_SOURCE=2"
if grep -qE 'hardening-|binary-has-unneeded-section' <<<"$lintian_output"; then
  fail "lintian: the program lacks hardening or carries unneeded sections"
fi
unpacked="$staging/package"
dpkg-deb -x "$package" "$unpacked"
program="$unpacked/usr/bin/talvesk"
readelf -hW "$program" | grep -q 'Type: *DYN' || fail "package: the program is not position-independent"
readelf -lW "$program" | grep -q GNU_RELRO || fail "package: the program has no RELRO segment"
readelf -dW "$program" | grep -q 'FLAGS.*\bNOW\b' || fail "package: the program is not bound at start-up"
if readelf -SW "$program" | grep -E '\.comment|\.debug_'; then
  fail "package: the program is not stripped"
fi
echo "Package checks out."
