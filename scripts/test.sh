#!/usr/bin/env bash
# Installs what Talvesk needs, builds it and runs every test: once in a normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer. The tests run headless. Then checks
# the launcher, the metadata and the man page as they are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

scripts/build.sh build -DTALVESK_WERROR=ON
ctest --test-dir build --output-on-failure -j "$jobs"

scripts/build.sh build-asan -DTALVESK_WERROR=ON -DTALVESK_SANITIZE=ON -DTALVESK_BENCH=OFF
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks are checked in our own code; the browser engine's library reports its own at exit.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" -L core
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 ctest --test-dir build-asan --output-on-failure -j "$jobs" -L engine

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
DESTDIR="$staging" cmake --install build --prefix /usr >/dev/null
share="$staging/usr/share"
desktop-file-validate "$share/applications/talvesk.desktop"
appstreamcli validate --no-net "$share/metainfo/io.github.talvesk.Talvesk.metainfo.xml"
# groff's warnings (bad requests, lines it cannot fit) count as failures.
man_warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$share/man/man1/talvesk.1.gz" 2>&1 >/dev/null)
if [ -n "$man_warnings" ]; then
  echo "man page: $man_warnings" >&2
  exit 1
fi
echo "Installed files check out."
