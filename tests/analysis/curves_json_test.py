#!/usr/bin/python3
"""Reads a curves file the analysis window saved with Python's own json module and checks it
against the tables the window put on the clipboard: the written MTF (Clip MTF) and the IEC NNPS
H and V. Usage: curves_json_test.py ANALYSIS_TESTS_BINARY"""
import json
import math
import os
import subprocess
import sys
import tempfile


def rows(path):
    with open(path, newline="") as f:
        text = f.read()
    assert text.endswith("\r\n"), "every clipboard line ends with CR LF"
    return [line.split("\t") for line in text[:-2].split("\r\n")]


def main():
    binary = sys.argv[1]
    with tempfile.TemporaryDirectory() as out:
        env = dict(os.environ, VANTRY_CURVES_OUT=out)
        run = subprocess.run([binary, "--gtest_filter=CurvesRoad.SavedFileForAnIndependentReader"],
                             env=env, capture_output=True, text=True)
        assert run.returncode == 0, run.stdout + run.stderr
        with open(os.path.join(out, "curves.json"), encoding="utf-8") as f:
            doc = json.load(f)
        mtf_clip = rows(os.path.join(out, "clip_mtf.txt"))
        iec_clip = rows(os.path.join(out, "clip_iec.txt"))

    assert doc["format"] == "vantry-curves" and doc["version"] == 1, doc.get("format")
    assert doc["units"]["frequency"] == "cycles/mm"
    curves = {(c["kind"], c["number"]): c for c in doc["curves"]}
    assert set(curves) == {("mtf", 1), ("mtf", 2), ("nnps", 3), ("nnps", 4), ("nnps", 5), ("nnps", 6), ("nnps", 7)}, sorted(curves)

    # Clip MTF: a label row, then "f<TAB>MTF" at 0, 0.1, ... 5.0 with the MTF to 3 decimals.
    written = curves[("mtf", 1)]
    assert mtf_clip[0] == ["", written["label"]], mtf_clip[0]
    table = mtf_clip[1:]
    points = written["points"]
    assert len(points) == len(table) == 51, (len(points), len(table))
    for (f, value), (ftext, vtext) in zip(points, table):
        assert abs(f - float(ftext)) < 1e-6, (f, ftext)
        assert abs(value - float(vtext)) <= 0.0005 + 1e-7, (f, value, vtext)
    assert abs(points[0][1] - 1.0) < 1e-6, "the MTF is 1 at 0"
    assert written["source"]["method"] == "written"
    assert written["source"]["path"].endswith("sample_edge.raw")
    assert written["pitch"] == 0.1

    # The precise MTF carries a standard error on every point, and it is small and positive.
    precise = curves[("mtf", 2)]
    assert all(len(p) == 3 and 0 <= p[2] < 0.05 for p in precise["points"]), precise["points"][:3]

    # Clip of IEC NNPS: label, header, then f, NNPS H, NNPS V, SE H, SE V (4 significant digits).
    h, v = curves[("nnps", 6)], curves[("nnps", 7)]
    assert iec_clip[1] == ["f (1/mm)", "NNPS H", "NNPS V", "SE H", "SE V"], iec_clip[1]
    table = iec_clip[2:]
    assert len(table) == len(h["points"]) == len(v["points"]), (len(table), len(h["points"]))
    for row, ph, pv in zip(table, h["points"], v["points"]):
        assert abs(ph[0] - float(row[0])) < 0.005 + 1e-6 and ph[0] == pv[0], (row, ph, pv)
        for got, shown in ((ph[1], row[1]), (pv[1], row[2])):
            assert got > 0 and math.isfinite(got)
            # The store keeps log10 of the power in single precision: 2e-7 relative at most.
            assert abs(got / float(shown) - 1) < 5e-4 + 1e-6, (row[0], got, shown)
    # The flat field's noise: white, (625 + 1/12) / 2000^2 x 0.01 mm^2, within 20 %.
    level = (625 + 1 / 12) / 2000 ** 2 * 0.01
    mean_h = sum(p[1] for p in h["points"]) / len(h["points"])
    assert abs(mean_h / level - 1) < 0.2, (mean_h, level)
    print("curves file agrees with the clipboard tables:", len(doc["curves"]), "curves")


if __name__ == "__main__":
    main()
