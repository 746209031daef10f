#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once plain,
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

status=0
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs") || status=1

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DJQ_SANITIZE=ON -DJQ_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j "$jobs") || status=1

if [ "$status" -ne 0 ]; then
  echo "Some tests failed."
fi
exit "$status"
