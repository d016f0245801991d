#!/usr/bin/env bash
# Builds the project and runs a short demonstration of the kernel libraries: the benchmark of the
# FFT against FFTW and of the display transfer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
exec build/bin/kernel_bench --benchmark_min_time=0.1 "$@"
