#!/usr/bin/env bash
# Builds the project and starts the workspace window. Without a display the program says so and
# how to start it under a virtual display, and the bundled samples are measured headless instead:
# reading, ROI, the MTF (both methods), the 2D-NNPS and the IEC-style DQE with its report.
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
echo "--- MTF of the edge, the written method (first figures)"
$bin/vantry-measure mtf $bin/sample_edge.raw --preset SAMPLE-EDGE-RAW --roi 362,412,300,200 | sed -n '1,5p'
echo "--- the same edge, the precise method"
$bin/vantry-measure mtf $bin/sample_edge.raw --preset SAMPLE-EDGE-RAW --roi 362,412,300,200 --method precise \
    | sed -n '/^point/!p'
echo "--- 2D-NNPS of the flat field"
$bin/vantry-measure nnps $bin/sample_flat.raw --preset SAMPLE-FLAT-RAW --roi 0,0,1024,1024 \
    | sed -n '/^\(point\|blocks\|pixels\|note\)/p'
echo "--- conversion function of the three flat fields of the offset detector"
conversion=$($bin/vantry-measure convert --preset SAMPLE-FLAT-RAW --roi 256,256,512,512 \
    --flat $bin/sample_flat_2.5ugy.raw --kerma 2.5 --flat $bin/sample_flat_5ugy.raw --kerma 5 \
    --flat $bin/sample_flat_10ugy.raw --kerma 10 | sed -n 's/^conversion //p')
echo "conversion $conversion"
echo "--- IEC-style DQE of the two edges and the 2.5 uGy flat field (report: $bin/dqe-report.pdf)"
$bin/vantry-measure dqe --method iec --preset SAMPLE-FLAT-RAW --beam RQA5 --kerma 2.5 \
    --edge-h $bin/sample_edge.raw --edge-h-roi 362,412,300,200 \
    --edge-v $bin/sample_edge_v.raw --edge-v-roi 412,362,200,300 \
    --flat $bin/sample_flat_2.5ugy.raw --conversion "$conversion" --report $bin/dqe-report.pdf \
    | sed -n '/^\(point \(0\.5000\|1\.0000\|2\.0000\|3\.0000\) \|warning\|mean_kerma\)/p'
