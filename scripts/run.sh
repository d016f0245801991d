#!/usr/bin/env bash
# Builds the project and starts the workspace window. Without a display the program says so and
# how to start it under a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
exec build/bin/vantry "$@"
