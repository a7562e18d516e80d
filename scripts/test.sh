#!/usr/bin/env bash
# Installs what Talvesk needs, builds it and runs every test: once in a normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer. The tests run headless.
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
