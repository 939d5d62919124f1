#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# With --sanitize the build (in build-sanitize/) has AddressSanitizer and
# UndefinedBehaviorSanitizer, and any finding fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options=(-DVIMRA_SANITIZE=ON)
fi
./scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure --timeout 600
