#!/usr/bin/env bash
# Installs what Talvesk needs, builds it and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/src/talvesk "$@"
