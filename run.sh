#!/usr/bin/env bash
# Installs what is missing, builds, prepares the working folder and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
./tools/prepare-work-folder.sh work-folder
cd work-folder
exec ../build/bin/junqi "$@"
