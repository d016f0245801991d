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

# The reader's fuzz targets (clang, libFuzzer): two minutes each over the committed seeds and
# reproducers; new inputs go to a scratch folder.
cmake --preset fuzz
cmake --build --preset fuzz -j"$jobs"
for target in read_image dicom_roundtrip; do
    scratch=$(mktemp -d)
    inputs=(fuzz/corpus/$target)
    [ -d fuzz/reproducers/$target ] && inputs+=(fuzz/reproducers/$target)
    build-fuzz/bin/${target}_fuzzer -max_total_time=120 -print_final_stats=1 "$scratch" "${inputs[@]}"
    rm -rf "$scratch"
done

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
