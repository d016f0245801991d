#!/usr/bin/python3
"""vantry-measure mtf: edges the written method must measure right or refuse (an edge off the
middle of the ROI, untilted, 45 degree and coarse-pitch edges, a ramp, a short ROI), and
--method precise against the analytic MTF of the bundled edge."""
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np

MEASURE = None
BIN = None

# The bundled edge: 0.1 mm pixels, a Gaussian blur of 1.2 pixels sampled at the pixel centres,
# tilted by 3 degrees, levels 600 and 3000, white noise of 12.
BLUR_MM, TILT_DEG = 0.12, 3.0
ROI_TEXT = "362,412,300,200"


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=120)


def sample_edge(*extra, roi=ROI_TEXT):
    return run("mtf", os.path.join(BIN, "sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW", "--roi", roi,
               *extra)


def figure(stdout, name):
    return re.search(r"^%s (\S+)$" % name, stdout, re.M).group(1)


def written_values(stdout):
    """The "0.000" values between the label and the tab-led table."""
    lines = stdout.split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith("mtf_nyquist ")) + 2
    end = next(i for i, line in enumerate(lines) if line.startswith("\t"))
    return [float(v) for v in lines[start:end]]


class EdgeFiles:
    """Synthetic edges written as raw files with a detector list of their own."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.listing = os.path.join(tmp, "list.txt")
        with open(self.listing, "w") as f:
            f.write("Detector Width Height Pitch(mm) Encoding Offset Header\n"
                    "E01 512 512 0.1 1 0 0\nE1MM 512 512 1 1 0 0\n")

    def write(self, name, image):
        path = os.path.join(self.tmp, name + ".raw")
        np.clip(np.rint(image), -32768, 32767).astype("<i2").tofile(path)
        return path

    def edge(self, name, tilt_deg, sigma_px=0.8, noise=4.0, low=600.0, high=3000.0):
        """An edge across x through the image centre, its normal turned by tilt_deg."""
        y, x = np.mgrid[0:512, 0:512] + 0.5
        t = math.radians(tilt_deg)
        u = ((x - 256) * math.cos(t) + (y - 256) * math.sin(t)) / (sigma_px * math.sqrt(2))
        step = 0.5 * (1 + np.frompyfunc(math.erf, 1, 1)(u).astype(float))
        noise_field = np.random.default_rng(5).standard_normal(u.shape) * noise
        return self.write(name, low + (high - low) * step + noise_field)

    def measure(self, path, roi, *extra, preset="E01"):
        return run("mtf", path, "--preset", preset, "--list", self.listing, "--roi", roi, *extra)


class WrittenRightOrRefused(unittest.TestCase):
    def assertRefused(self, result, *reasons):
        self.assertEqual(result.returncode, 3, result.stdout[:300] + result.stderr)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
        for reason in reasons:
            self.assertIn(reason, result.stderr)

    def test_an_edge_off_the_middle_gives_the_centred_curve(self):
        # The ROI moved 22 pixels left once gave an MTF of 7.7 at 0.1 cycles/mm, 26 right an
        # MTF50 of 0.89 instead of 1.55.
        centred = sample_edge("--fmax", "5")
        self.assertEqual(centred.returncode, 0, centred.stderr)
        for roi in ("340,412,300,200", "388,412,300,200", "310,412,300,200", "410,412,300,200"):
            moved = sample_edge("--fmax", "5", roi=roi)
            self.assertEqual(moved.returncode, 0, moved.stderr)
            self.assertNotIn("warning", moved.stdout, roi)
            self.assertAlmostEqual(float(figure(moved.stdout, "mtf50")), float(figure(centred.stdout, "mtf50")),
                                   delta=0.015 * 1.55, msg=roi)
            # The LSF of an edge 50 samples off the middle ends 98 samples out instead of 135: the
            # noise of 12 in the tails left out moves single values by up to 0.02.
            for a, b in zip(written_values(moved.stdout), written_values(centred.stdout)):
                self.assertAlmostEqual(a, b, delta=0.025, msg=roi)
            self.assertTrue(all(v <= 1.0005 for v in written_values(moved.stdout)), roi)

    def test_untilted_45_degree_and_half_shift_edges_exit_3_naming_the_tilt(self):
        with tempfile.TemporaryDirectory() as tmp:
            files = EdgeFiles(tmp)
            untilted = files.edge("untilted", 0)
            diagonal = files.edge("diagonal", 45)
            tilted = files.edge("tilted", 3)
            for result in (files.measure(untilted, "106,156,300,200"), files.measure(diagonal, "106,156,300,200"),
                           files.measure(tilted, "106,156,300,200", "--shift", "0.5")):
                self.assertRefused(result, "too small or too close to a simple fraction", "Tilt the edge")
            self.assertEqual(files.measure(tilted, "106,156,300,200").returncode, 0)

    def test_coarse_pitch_exits_3_naming_the_bin_width_that_works(self):
        with tempfile.TemporaryDirectory() as tmp:
            files = EdgeFiles(tmp)
            tilted = files.edge("tilted", 3)
            # 21 lines typed 0.05 apart at 1 mm: the pixels fall at 20 places a pixel, bins of
            # 0.03 pixel leave gaps.
            result = files.measure(tilted, "106,246,300,21", "--shift", "0.05", preset="E1MM")
            self.assertRefused(result, "too coarse for the bin width", "Widen the bin in Setting")
            wider = re.search(r"at least (\.\d+) mm", result.stderr).group(1)
            again = files.measure(tilted, "106,246,300,21", "--shift", "0.05", "--binw", "0" + wider,
                                  preset="E1MM")
            self.assertEqual(again.returncode, 0, again.stderr)

    def test_short_roi_and_edge_outside_the_blocks_exit_3_with_the_length_needed(self):
        self.assertRefused(sample_edge(roi="462,412,100,60"), "at least 110 samples across")
        # The edge crosses x = 512 (row 512): a ROI from 470 puts it at sample 42.
        self.assertRefused(sample_edge(roi="470,412,300,200"), "needs 313 samples across")

    def test_ramp_and_noisy_edge_are_measured_with_warning_lines_first(self):
        with tempfile.TemporaryDirectory() as tmp:
            files = EdgeFiles(tmp)
            y, x = np.mgrid[0:512, 0:512]
            ramp = files.write("ramp", 600 + 8 * (x - 0.05 * y))
            noisy = files.edge("noisy", 3, noise=80, low=1000, high=1800)
            for path, words in ((ramp, "no one dominant step"), (noisy, "contrast-to-noise ratio is")):
                result = files.measure(path, "106,156,300,200")
                self.assertEqual(result.returncode, 0, result.stderr)
                lines = result.stdout.split("\n")
                first = next(i for i, line in enumerate(lines) if not line.startswith("warning "))
                self.assertGreaterEqual(first, 1, path)
                self.assertTrue(any(words in line for line in lines[:first]), lines[:first])
                self.assertTrue(lines[first].startswith("shift "), lines[first])


def analytic_normal_mtf(f):
    """The MTF of the bundled edge along its normal: the Gaussian alone (sampled at points)."""
    return math.exp(-2 * (math.pi * BLUR_MM * f) ** 2)


class PreciseMethod(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = sample_edge("--method", "precise", "--fmax", "5")

    def points(self, stdout=None):
        return [tuple(map(float, line.split()[1:])) for line in (stdout or self.result.stdout).split("\n")
                if line.startswith("point ")]

    def test_documented_lines_in_order(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        lines = self.result.stdout.split("\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(lines[0], "method precise")
        self.assertRegex(lines[1], r"^angle_deg -?\d+\.\d{4}$")
        self.assertRegex(lines[2], r"^cnr (\d+\.\d|inf)$")
        self.assertRegex(lines[3], r"^mtf50 \d\.\d{4}$")
        self.assertRegex(lines[4], r"^mtf10 \d\.\d{4}$")
        self.assertRegex(lines[5], r"^mtf_nyquist \d\.\d{4}$")
        self.assertEqual(len(lines), 6 + 51 + 1)
        for n, line in enumerate(lines[6:-1]):
            self.assertRegex(line, r"^point \d+\.\d{4} -?\d\.\d{5} \d\.\d{5}$")
            self.assertEqual(line.split()[1], "%.4f" % (n / 10))
        self.assertEqual(lines[6], "point 0.0000 1.00000 0.00000")

    def test_follows_the_analytic_mtf_within_its_standard_errors(self):
        for f, mtf, se in self.points():
            self.assertLessEqual(abs(mtf - analytic_normal_mtf(f)), 4 * se + 0.002, "f %.1f" % f)
        # MTF50 of exp(-2 (pi s f)^2) = 0.5.
        mtf50 = math.sqrt(math.log(2) / 2) / (math.pi * BLUR_MM)
        self.assertAlmostEqual(float(figure(self.result.stdout, "mtf50")), mtf50, delta=0.005 * mtf50)
        # The written method proposes -0.0526 samples a line: the edge turns the same way.
        self.assertAlmostEqual(float(figure(self.result.stdout, "angle_deg")), -TILT_DEG, delta=0.05)
        self.assertGreater(float(figure(self.result.stdout, "cnr")), 100)

    def test_square_and_narrow_rois_measure_the_same_edge(self):
        reference = float(figure(self.result.stdout, "mtf50"))
        for roi in ("412,412,200,200", "462,480,100,40"):
            result = sample_edge("--method", "precise", roi=roi)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertAlmostEqual(float(figure(result.stdout, "mtf50")), reference, delta=0.03 * reference, msg=roi)

    def test_chart_draws_the_standard_error_band(self):
        with tempfile.TemporaryDirectory() as tmp:
            svgs = {}
            for method in ("written", "precise"):
                path = os.path.join(tmp, method + ".svg")
                result = sample_edge("--method", method, "--svg", path)
                self.assertEqual(result.returncode, 0, result.stderr)
                svgs[method] = open(path).read().count('stroke-dasharray="1 2"')
            # Two dotted lines, MTF + SE and MTF - SE, on top of the grid the written chart shares.
            self.assertEqual(svgs["precise"] - svgs["written"], 2)

    def test_usage_errors_and_refusals(self):
        for extra in (["--method", "exact"], ["--method", "precise", "--shift", "0.05"],
                      ["--method", "precise", "--vfilter", "1"], ["--method", "precise", "--binw", "0.03"]):
            result = sample_edge(*extra)
            self.assertEqual(result.returncode, 2, extra)
            self.assertIn("usage:", result.stderr)
        flat = run("mtf", os.path.join(BIN, "sample_flat.raw"), "--preset", "SAMPLE-FLAT-RAW", "--roi", ROI_TEXT,
                   "--method", "precise")
        self.assertEqual(flat.returncode, 3, flat.stdout[:200])
        self.assertEqual(flat.stdout, "")
        self.assertEqual(flat.stderr.count("\n"), 1, flat.stderr)
        self.assertIn("usage", run("--help").stdout)
        self.assertIn("--method precise", run("--help").stdout)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    suite = unittest.TestSuite()
    for case in (WrittenRightOrRefused, PreciseMethod):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
