#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian/Ubuntu packages Talvesk needs to build, run and test, and any further
# packages named as arguments.
#   scripts/install-deps.sh [PACKAGE...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  libre2-dev libgtest-dev libgmock-dev qcoro-qt6-dev
  # at run time: the SVG icon engine, Qt's Chinese texts, a Chinese font
  libqt6svg6 qt6-translations-l10n fonts-noto-cjk
  # the package (cpack -G DEB), the checks of the installed files and of the package
  dpkg-dev file desktop-file-utils appstream man-db lintian
  # the download benchmark and the screenshot
  curl xvfb xauth
  # the window on a desktop in the tests: a window manager, and the X client library they ask it with
  openbox libxcb1-dev
)
# Installed without what they only recommend: clang's recommended LLVM development files
# alone are larger than the compiler, and building the fuzz targets needs none of them. The
# packages named as arguments too.
lean=(
  # the sanitizer build and the fuzz targets: clang 14 with its sanitizers and libFuzzer
  clang-14 libclang-rt-14-dev
  "$@"
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

missing() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || echo "$package"
  done
}
mapfile -t missing_packages < <(missing "${packages[@]}")
mapfile -t missing_lean < <(missing "${lean[@]}")
if [ ${#missing_packages[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
  "${sudo[@]}" apt-get update -qq
fi
if [ ${#missing_packages[@]} -gt 0 ]; then
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing_packages[@]}"
fi
if [ ${#missing_lean[@]} -gt 0 ]; then
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing_lean[@]}"
fi
