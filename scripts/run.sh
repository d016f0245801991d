#!/usr/bin/env bash
# Builds the project and starts the workspace window. Without a display the program says so and
# how to start it under a virtual display, and the bundled samples are measured headless instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec build/bin/vantry "$@"
fi
build/bin/vantry || true
bin=build/bin
echo
echo "Headless measurement of the bundled samples with vantry-measure:"
echo "--- read $bin/sample_edge_explicit.dcm"
$bin/vantry-measure read $bin/sample_edge_explicit.dcm --preset DICOM
echo "--- view $bin/sample_edge.raw, magnification 2, written to $bin/sample_edge_view.png"
$bin/vantry-measure view $bin/sample_edge.raw --preset SAMPLE-EDGE-RAW --mag 2 --png $bin/sample_edge_view.png
echo "--- ROI on the dark side, background on the bright side of the edge"
$bin/vantry-measure roi $bin/sample_edge.raw --preset SAMPLE-EDGE-RAW --roi 100,400,200,200 --back 700,400,200,200
