#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# With --sanitize the build (in build-sanitize/) has AddressSanitizer and
# UndefinedBehaviorSanitizer, and any finding fails its test; with
# --sanitize=thread (in build-tsan/) it has ThreadSanitizer, and any race fails
# its test.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
options=()
case "${1:-}" in
  "") ;;
  --sanitize)
    build=build-sanitize
    options=(-DVIMRA_SANITIZE=ON) ;;
  --sanitize=thread)
    build=build-tsan
    options=(-DVIMRA_SANITIZE_THREAD=ON) ;;
  *)
    echo "usage: $0 [--sanitize | --sanitize=thread]" >&2
    exit 2 ;;
esac
./scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure --timeout 3600
