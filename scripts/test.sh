#!/usr/bin/env bash
# Builds everything and runs every test twice: in the release build with warnings as errors, and
# in the AddressSanitizer + UndefinedBehaviorSanitizer build, where any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/fetch-test-dicom.sh .cache/test-dicom
jobs=$(nproc)

cmake --preset ci
cmake --build --preset ci -j"$jobs"
ctest --preset ci -j"$jobs"

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
