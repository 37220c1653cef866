#!/usr/bin/env bash
# Installs what is missing, builds Vaultrane with its tests and runs every test.
# Extra arguments go to cmake's configure step (e.g. -DVAULTRANE_SANITIZE=ON);
# BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dir="${BUILD_DIR:-build}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$dir" -j"$(nproc)"
# The tests labelled "display" need an X server; .ci/run runs them once.
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" -LE display
