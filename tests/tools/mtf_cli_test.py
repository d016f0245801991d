#!/usr/bin/python3
"""vantry-measure mtf: the printed MTF of the bundled edge against the edge make-samples draws and
against an independent reading of the binned-ESF method, the output format, the chart picture and
the exit statuses."""
import math
import os
import re
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

MEASURE = None
BIN = None

# The edge of make-samples: 1024 x 1024 pixels of 0.1 mm, levels 600 and 3000, a Gaussian blur of
# 1.2 pixels, tilted by 3 degrees from the vertical, white noise of 12, a 512-byte raw header.
SIDE, PITCH, HEADER = 1024, 0.1, 512
LOW, HIGH, BLUR_PX, TILT_DEG, NOISE = 600.0, 3000.0, 1.2, 3.0, 12.0
# 300 samples across the edge (x 362 .. 661), 200 lines along it (y 412 .. 611).
EDGE_ROI = (362, 412, 300, 200)
ROI_TEXT = ",".join(map(str, EDGE_ROI))
BINW = 0.03


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=120)


def edge_sample():
    return os.path.join(BIN, "sample_edge.raw")


def measure(*extra, sample=None, preset="SAMPLE-EDGE-RAW"):
    return run("mtf", sample or edge_sample(), "--preset", preset, "--roi", ROI_TEXT, *extra)


class Output:
    """The documented shape of the output, taken apart."""

    def __init__(self, stdout):
        self.lines = stdout.split("\n")
        assert self.lines[-1] == "", "the output ends with a line end"
        self.lines.pop()
        self.warnings = []
        while self.lines and self.lines[0].startswith("warning "):
            self.warnings.append(self.lines.pop(0))
        head, self.shift = self.lines[0].split(" ")
        assert head == "shift", self.lines[0]
        head, self.angle = self.lines[1].split(" ")
        assert head == "angle_deg", self.lines[1]
        self.figures = dict(line.split(" ", 1) for line in self.lines[2:5])
        assert list(self.figures) == ["mtf50", "mtf10", "mtf_nyquist"], self.lines[2:5]
        tab = next(i for i, line in enumerate(self.lines) if line.startswith("\t"))
        self.label = self.lines[5]
        self.values = self.lines[6:tab]
        self.table_label = self.lines[tab][1:]
        self.rows = [row.split("\t") for row in self.lines[tab + 1:]]

    def mtf(self):
        return [float(v) for v in self.values]


def pixels(path=None):
    data = open(path or edge_sample(), "rb").read()[HEADER:]
    return struct.unpack("<%dh" % (SIDE * SIDE), data)


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def binned_esf_mtf(image, roi, slope, fmax=3.0, fint=0.1):
    """The binned-ESF method on a ROI wider than high, read from its description: plateaus, mid
    level and edge centre on the middle band, projection along the rows with the given tilt into
    bins of BINW (in single precision, as the window bins, so that pixels on a bin boundary fall
    the same way), bin means, forward difference over +/-0.45 of the ROI length, and the modulus
    of the direct Fourier transform, normalised at 0."""
    x0, y0, L, N = roi
    rows = [[image[(y0 + c) * SIDE + x0 + r] for r in range(L)] for c in range(N)]
    nint = lambda v: int(round(v))
    middle = [nint(N / 2 + j) for j in range(-5, 5)]
    A = sum(rows[c][50 + i] for i in range(-5, 5) for c in middle) / 100
    B = sum(rows[c][L - 50 + i] for i in range(-5, 5) for c in middle) / 100
    if A > B:
        rows = [row[::-1] for row in rows]
    mid = (A + B) / 2
    r0 = next(r for r in range(L) if sum(rows[nint(N / 2 + k)][r] for k in range(-5, 6)) / 11 >= mid)
    c0 = nint(N / 2)
    q = f32(f32(PITCH) / f32(BINW))
    slope = f32(slope)
    M = nint(q * L * 1.2) // 2
    sums, counts = [0.0] * (2 * M + 1), [0] * (2 * M + 1)
    for c in range(N):
        across = f32((c - c0) * slope)
        for r in range(L):
            k = round(f32(q * f32(across + (r - r0))))
            if abs(k) <= M:
                sums[k + M] += rows[c][r]
                counts[k + M] += 1
    esf = [s / n if n else 0.0 for s, n in zip(sums, counts)]
    nlsf = nint(q * L * 0.9) // 2
    lsf = [esf[k + 1 + M] - esf[k + M] for k in range(-nlsf, nlsf + 1)]
    result = []
    for n in range(nint(fmax / fint) + 1):
        w = 2 * math.pi * n * fint * BINW
        re = sum(v * math.cos(w * m) for m, v in enumerate(lsf))
        im = sum(v * math.sin(w * m) for m, v in enumerate(lsf))
        result.append(math.hypot(re, im))
    return [a / result[0] for a in result]


class MtfOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = measure()
        cls.out = Output(cls.result.stdout)

    def test_documented_lines_in_order(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(self.result.stderr, "")
        self.assertNotIn("\r", self.result.stdout)
        out = self.out
        self.assertRegex(out.lines[0], r"^shift -?\d\.\d+(e-?\d+)?$")
        self.assertEqual("%.9g" % f32(float(out.shift)), out.shift, "a single with 9 significant digits")
        self.assertEqual(out.label, "SAMPLE-EDGE-RAW H", "preset name and the direction of the profile")
        self.assertEqual(len(out.values), 31, "0 to 3 cycles/mm every 0.1")
        self.assertEqual(out.values[0], "1.000")
        for value in out.values:
            self.assertRegex(value, r"^\d\.\d{3}$")
        self.assertEqual(out.table_label, out.label)
        self.assertEqual(len(out.rows), 31)
        self.assertEqual(out.rows[0], ["0.00", "1"])
        self.assertEqual([f for f, _ in out.rows], ["%.2f" % (n / 10) for n in range(31)])
        for _, value in out.rows:
            self.assertRegex(value, r"^(1|0|\.\d{1,3})$", "three decimals at most, no zero before the point")
        self.assertEqual(out.warnings, [], "a clean edge has nothing to warn of")
        self.assertRegex(out.lines[1], r"^angle_deg -?\d+\.\d{4}$")
        self.assertAlmostEqual(float(out.angle), math.degrees(math.atan(float(out.shift))), delta=5e-5)
        self.assertEqual(len(out.lines), 2 + 3 + 1 + 31 + 1 + 31)

    def test_table_interpolates_through_the_computed_points(self):
        # On the grid it was computed on, the spline of the table passes through the curve itself.
        for (_, row), value in zip(self.out.rows, self.out.mtf()):
            self.assertAlmostEqual(float(row), value, delta=0.0011)

    def test_values_fall_with_frequency(self):
        # The blur of 1.2 pixels dominates the noise at every step of 0.1 cycles/mm.
        mtf = self.out.mtf()
        for f, (a, b) in enumerate(zip(mtf, mtf[1:])):
            self.assertLess(b, a, "at %.1f cycles/mm" % ((f + 1) / 10))
        self.assertLess(mtf[-1], 0.15)

    def test_proposed_shift_is_the_tilt_of_the_edge(self):
        # The edge moves right by tan 3 degrees per line down: the tilt that projects it back is
        # the negative of that. It is estimated from the mid-level crossings of two 11-line bands
        # 180 lines apart, each good to a few hundredths of a pixel.
        self.assertAlmostEqual(float(self.out.shift), -math.tan(math.radians(TILT_DEG)), delta=0.0005)

    def test_matches_the_analytic_mtf_of_the_sample_edge(self):
        # make-samples blurs with a Gaussian of 1.2 pixels across the edge; along the rows, which
        # the method bins, it spreads over 1.2 / cos 3 degrees. Binning at BINW and differencing the
        # bins each multiply by sinc(pi f BINW). The noise of 12 on a step of 2400 reaches the MTF
        # through 901 LSF samples of about 60 pixels per bin, differenced: its deviation along the
        # curve is 12 / 2400 * sqrt(901 / 60) * 2 sin(pi f BINW) / sqrt 2. Allowed: 4 of those, plus
        # 0.003 for the printed rounding and the finite phase sampling of the tilted rows.
        sigma_mm = BLUR_PX * PITCH / math.cos(math.radians(TILT_DEG))
        per_bin = EDGE_ROI[3] * BINW / PITCH
        lsf_samples = 2 * (round(EDGE_ROI[2] * PITCH / BINW * 0.9) // 2) + 1
        for n, measured in enumerate(self.out.mtf()):
            f = n / 10
            x = math.pi * f * BINW
            sinc = math.sin(x) / x if x else 1.0
            expected = math.exp(-2 * (math.pi * sigma_mm * f) ** 2) * sinc ** 2
            noise = NOISE / (HIGH - LOW) * math.sqrt(lsf_samples / per_bin) * 2 * math.sin(x) / math.sqrt(2)
            self.assertAlmostEqual(measured, expected, delta=0.003 + 4 * noise, msg="at %.1f cycles/mm" % f)

    def test_matches_an_independent_binned_esf_computation(self):
        # Same pixels, same tilt: only the printed rounding and the order of float sums differ.
        image = pixels()
        expected = binned_esf_mtf(image, EDGE_ROI, float(self.out.shift))
        for n, (measured, value) in enumerate(zip(self.out.mtf(), expected)):
            self.assertAlmostEqual(measured, value, delta=0.0008, msg="at %.1f cycles/mm" % (n / 10))
        # A tilt given with --shift is the one projected with, whatever was proposed; -0.05 puts a
        # sixth of the pixels exactly on bin boundaries, which single precision decides.
        given = measure("--shift", "-0.05")
        self.assertEqual(given.returncode, 0, given.stderr)
        out = Output(given.stdout)
        self.assertEqual(out.shift, self.out.shift, "the shift line keeps the proposed tilt")
        expected = binned_esf_mtf(image, EDGE_ROI, -0.05)
        for n, (measured, value) in enumerate(zip(out.mtf(), expected)):
            self.assertAlmostEqual(measured, value, delta=0.0008, msg="at %.1f cycles/mm" % (n / 10))

    def test_printed_shift_given_back_measures_the_same(self):
        again = measure("--shift", self.out.shift)
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(again.stdout, self.result.stdout, "9 digits carry the single exactly")
        # A tilt that is off by e per line spreads the 200 lines' edges evenly over 200 e pixels:
        # the MTF is multiplied by the sinc of that width.
        wrong = -0.03
        width_mm = EDGE_ROI[3] * abs(wrong - float(self.out.shift)) * PITCH
        smeared = Output(measure("--shift", str(wrong)).stdout).mtf()
        for n in (5, 10):
            x = math.pi * n / 10 * width_mm
            expected = self.out.mtf()[n] * math.sin(x) / x
            self.assertAlmostEqual(smeared[n], expected, delta=0.01, msg="at %.1f cycles/mm" % (n / 10))

    def test_dicom_sample_measures_the_same_pixels(self):
        dicom = measure(sample=os.path.join(BIN, "sample_edge_explicit.dcm"), preset="DICOM")
        self.assertEqual(dicom.returncode, 0, dicom.stderr)
        out = Output(dicom.stdout)
        self.assertEqual(out.label, "DICOM H")
        self.assertEqual(out.table_label, "DICOM H")
        self.assertEqual((out.shift, out.values, out.rows), (self.out.shift, self.out.values, self.out.rows))

    def test_a_roi_higher_than_wide_measures_along_y(self):
        # The sample mirrored about its diagonal has a horizontal edge; the transposed ROI holds the
        # same pixels, read bottom-up and turned to rise, so every number is the same.
        image = pixels()
        transposed = [image[x * SIDE + y] for y in range(SIDE) for x in range(SIDE)]
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "edge_h.raw")
            with open(path, "wb") as f:
                f.write(bytes(HEADER) + struct.pack("<%dh" % len(transposed), *transposed))
            x, y, w, h = EDGE_ROI
            result = run("mtf", path, "--preset", "SAMPLE-EDGE-RAW", "--roi", "%d,%d,%d,%d" % (y, x, h, w))
        self.assertEqual(result.returncode, 0, result.stderr)
        out = Output(result.stdout)
        self.assertEqual(out.label, "SAMPLE-EDGE-RAW V")
        self.assertEqual(out.table_label, "SAMPLE-EDGE-RAW V")
        self.assertEqual((out.shift, out.values, out.rows), (self.out.shift, self.out.values, self.out.rows))

    def test_frequency_grid_options(self):
        out = Output(measure("--fmax", "1.5", "--fint", "0.05").stdout)
        self.assertEqual(len(out.values), 31)
        self.assertEqual(out.rows[-1][0], "1.50")
        # Every other point of the finer grid is a point of the default one.
        self.assertEqual(out.values[::2], self.out.values[:16])
        fine = Output(measure("--fmax", "5", "--fint", "0.01").stdout)
        self.assertEqual(len(fine.values), 501)
        self.assertEqual(len(fine.rows), 501)
        self.assertEqual(fine.rows[-1][0], "5.00")

    def test_vfilter_smooths_the_tails_but_keeps_the_curve(self):
        filtered = measure("--vfilter", "1")
        self.assertEqual(filtered.returncode, 0, filtered.stderr)
        mtf = Output(filtered.stdout).mtf()
        self.assertNotEqual(mtf, self.out.mtf())
        for f, (a, b) in enumerate(zip(mtf, self.out.mtf())):
            self.assertAlmostEqual(a, b, delta=0.03, msg="at %.1f cycles/mm" % (f / 10))

    def test_bin_width_changes_only_the_small_bin_factors(self):
        # At 1 cycle/mm sinc^2 is 0.997 for 0.03 mm and 0.9997 for 0.01 mm: the two agree within
        # the noise.
        fine = measure("--binw", "0.01")
        self.assertEqual(fine.returncode, 0, fine.stderr)
        self.assertAlmostEqual(Output(fine.stdout).mtf()[10], self.out.mtf()[10], delta=0.02)


def analytic_mtf(f):
    """The presampled MTF of the sample edge as the method measures it: the Gaussian blur along
    the rows, times sinc^2(pi f BINW) for the binning and the difference."""
    sigma_mm = BLUR_PX * PITCH / math.cos(math.radians(TILT_DEG))
    x = math.pi * f * BINW
    sinc = math.sin(x) / x if x else 1.0
    return math.exp(-2 * (math.pi * sigma_mm * f) ** 2) * sinc ** 2


def falls_to(values, step, level):
    """Where a falling curve sampled every `step` first reaches `level`, linearly interpolated."""
    for n in range(1, len(values)):
        if values[n] <= level < values[n - 1]:
            a, b = values[n - 1], values[n]
            return (n - 1) * step + (a - level) / (a - b) * step, n
    return None, None


class MtfFigures(unittest.TestCase):
    """The mtf50, mtf10 and mtf_nyquist lines."""

    def figures(self, *extra):
        result = measure(*extra)
        self.assertEqual(result.returncode, 0, result.stderr)
        return Output(result.stdout)

    def test_mtf50_and_mtf10_near_the_analytic_crossings_of_the_sample_edge(self):
        out = self.figures()
        for line in out.lines[2:4]:
            self.assertRegex(line, r"^mtf(50|10) \d\.\d{4}$")
        for name, level in (("mtf50", 0.5), ("mtf10", 0.1)):
            lo, hi = 0.0, 3.0
            for _ in range(60):
                mid = (lo + hi) / 2
                lo, hi = (mid, hi) if analytic_mtf(mid) > level else (lo, mid)
            exact = lo
            # Linear interpolation between the 0.1 cycles/mm points of the analytic curve itself
            # misses the crossing by its curvature; the measured curve may stray from the analytic
            # one by the largest bias the accuracy table reports (0.006) plus 4 deviations of the
            # noise (as in test_matches_the_analytic_mtf_of_the_sample_edge), which its slope turns
            # into a frequency.
            grid = [analytic_mtf(n / 10) for n in range(31)]
            interpolation = abs(falls_to(grid, 0.1, level)[0] - exact)
            slope = abs(analytic_mtf(exact + 1e-6) - analytic_mtf(exact - 1e-6)) / 2e-6
            x = math.pi * exact * BINW
            lsf_samples = 2 * (round(EDGE_ROI[2] * PITCH / BINW * 0.9) // 2) + 1
            per_bin = EDGE_ROI[3] * BINW / PITCH
            noise = (NOISE / (HIGH - LOW) * math.sqrt(lsf_samples / per_bin) * 2 * math.sin(x)
                     / math.sqrt(2))
            allowed = interpolation + (0.006 + 4 * noise) / slope
            self.assertAlmostEqual(float(out.figures[name]), exact, delta=allowed, msg=name)

    def test_figures_interpolate_the_printed_points_linearly(self):
        # The printed "MTF calc." values are the stored points rounded to 3 decimals: the figures
        # lie where those points, each moved by at most 0.0005, cross the level, and are printed
        # to 4 decimals.
        grids = (((), 0.1), (("--fint", "0.05"), 0.05), (("--fmax", "5", "--fint", "0.01"), 0.01))
        for extra, step in grids:
            out = self.figures(*extra)
            values = out.mtf()
            for name, level in (("mtf50", 0.5), ("mtf10", 0.1)):
                printed, n = falls_to(values, step, level)
                self.assertIsNotNone(printed, (extra, name))
                a, b = values[n - 1], values[n]
                self.assertGreater(a - 0.0005, level, "the crossing interval is unambiguous")
                self.assertLess(b + 0.0005, level)
                # The crossing moves up with either point.
                lowest = (n - 1) * step + (a - 0.0005 - level) / (a - b) * step
                highest = (n - 1) * step + (a + 0.0005 - level) / (a - b) * step
                figure = float(out.figures[name])
                self.assertGreaterEqual(figure, lowest - 0.00005 - 1e-9, (extra, name))
                self.assertLessEqual(figure, highest + 0.00005 + 1e-9, (extra, name))
                self.assertAlmostEqual(figure, printed, delta=0.0005 / (a - b) * step + 0.00005)

    def test_nyquist_value_and_the_words_for_figures_out_of_reach(self):
        # 0.1 mm pixels: the Nyquist frequency is 5 cycles/mm, beyond the default 3.
        out = self.figures()
        self.assertEqual(out.figures["mtf_nyquist"], "beyond the curve")
        full = self.figures("--fmax", "5")
        self.assertRegex(full.lines[4], r"^mtf_nyquist \d\.\d{4}$")
        self.assertEqual(len(full.values), 51)
        self.assertAlmostEqual(float(full.figures["mtf_nyquist"]), full.mtf()[50], delta=0.00055,
                               msg="the point at 5 cycles/mm itself")
        self.assertEqual((full.figures["mtf50"], full.figures["mtf10"]),
                         (out.figures["mtf50"], out.figures["mtf10"]), "the same points below 3")
        # Up to 1 cycle/mm the curve stays above both levels (0.75 at 1).
        short = self.figures("--fmax", "1")
        self.assertGreater(short.mtf()[-1], 0.5)
        self.assertEqual(short.lines[2:5],
                         ["mtf50 not reached", "mtf10 not reached", "mtf_nyquist beyond the curve"])
        # Between the two: MTF50 reached, MTF10 not.
        mid = self.figures("--fmax", "2")
        self.assertEqual(mid.figures["mtf50"], out.figures["mtf50"])
        self.assertEqual(mid.figures["mtf10"], "not reached")

    def test_help_documents_the_figure_lines(self):
        usage = run("--help").stdout
        for text in ("mtf50 F", "mtf10 F", "mtf_nyquist V", "not reached", "beyond the curve"):
            self.assertIn(text, usage)


class MtfChart(unittest.TestCase):
    def chart(self, *extra):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "mtf.svg")
            # An older, longer file is replaced, not overwritten in part.
            with open(path, "w") as f:
                f.write("x" * 1000000)
            result = measure("--svg", path, *extra)
            self.assertEqual(result.returncode, 0, result.stderr)
            return Output(result.stdout), ET.parse(path).getroot()

    def test_svg_is_the_chart_with_frame_curve_and_legend(self):
        out, svg = self.chart()
        ns = "{http://www.w3.org/2000/svg}"
        self.assertEqual(svg.tag, ns + "svg")
        self.assertEqual((svg.get("width"), svg.get("height")), ("960", "720"))
        texts = [t.text for t in svg.iter(ns + "text")]
        for label in ("1.0", "0", "3.0", "Spatial Frequency (cycles / mm)", "MTF", "  SAMPLE-EDGE-RAW H"):
            self.assertIn(label, texts)
        dotted = [e for e in svg.iter(ns + "line") if e.get("stroke-dasharray")]
        grid = [e for e in dotted if e.get("stroke") == "#ffffff"]
        self.assertEqual(len(grid), 8, "4 vertical and 4 horizontal grid lines")
        for label in ("0.75", "1.5", "2.25", "0.25", "0.5", "0.75"):
            self.assertIn(label, texts, "every grid line carries its value")
        # MTF50 and MTF10 dropped to the frequency axis in the curve's colour, at the printed
        # figures (x = (f + 0.45) / 3.6 x 960), from the axis (y 1.3 / 1.5 x 720) to their level.
        drops = sorted((e for e in dotted if e.get("stroke") == "#00ff00"), key=lambda e: float(e.get("x1")))
        self.assertEqual(len(drops), 2)
        for drop, name, level in zip(drops, ("mtf50", "mtf10"), (0.5, 0.1)):
            self.assertAlmostEqual(float(drop.get("x1")), (float(out.figures[name]) + 0.45) / 3.6 * 960, delta=0.05)
            self.assertEqual(float(drop.get("x1")), float(drop.get("x2")))
            self.assertAlmostEqual(float(drop.get("y1")), 1.3 / 1.5 * 720, delta=0.01)
            self.assertAlmostEqual(float(drop.get("y2")), (1.3 - level) / 1.5 * 720, delta=0.01)
        curves = [e for e in svg.iter(ns + "polyline") if e.get("stroke") == "#00ff00"]
        self.assertEqual(len(curves), 1, "data number 1 is drawn in light green")
        points = [tuple(map(float, p.split(","))) for p in curves[0].get("points").split()]
        # The chart spans -0.15 .. 1.05 of 3 cycles/mm across 960 pixels and 1.3 .. -0.2 of the MTF
        # down 720: the curve, drawn every 0.01 cycles/mm, passes through the printed values.
        for n in (0, 10, 20, 30):
            x = (n / 10 + 0.45) / 3.6 * 960
            px, py = min(points, key=lambda p: abs(p[0] - x))
            self.assertAlmostEqual(px, x, delta=0.5)
            self.assertAlmostEqual(1.3 - py / 480, out.mtf()[n], delta=0.003)

    def test_data_number_chooses_colour_and_legend_row(self):
        out, svg = self.chart("--data-no", "3")
        ns = "{http://www.w3.org/2000/svg}"
        self.assertEqual(out.rows[0], ["0.00", "1"], "Clip MTF exports the curve stored under 3")
        self.assertEqual([e.get("stroke") for e in svg.iter(ns + "polyline")], ["#ff0000"])
        legend = [t for t in svg.iter(ns + "text") if t.text == "  SAMPLE-EDGE-RAW H"]
        self.assertEqual(len(legend), 1)
        # The legend's colour sample is a level line of 0.05 of the axis (40 pixels), drawn wide;
        # its label starts 0.03 above its right end. The summary under it ("  MTF50 1.55  MTF10
        # 2.83  Nyq 0.024", 36 characters of 8 pixels) would pass the axis's end at 920 from 0.7 of
        # the axis, so the legend moves left until it ends half a character inside.
        sample = [e for e in svg.iter(ns + "line") if e.get("stroke") == "#ff0000" and
                  e.get("stroke-width") == "2" and not e.get("stroke-dasharray")]
        self.assertEqual(len(sample), 1)
        x1, y1, x2, y2 = (float(sample[0].get(a)) for a in ("x1", "y1", "x2", "y2"))
        self.assertAlmostEqual(x2 - x1, 40, delta=0.01)
        self.assertEqual(y1, y2)
        summary = [t for t in svg.iter(ns + "text") if t.text and t.text.startswith("  MTF50")]
        self.assertEqual(len(summary), 1)
        self.assertAlmostEqual(x2 + 8 * len(summary[0].text), 920 - 4, delta=0.01)
        self.assertLess(x1, 640)
        self.assertAlmostEqual(float(legend[0].get("x")), x2, delta=0.01)
        self.assertAlmostEqual(float(legend[0].get("y")) - 11, y2 - 0.03 / 1.5 * 720, delta=0.02)
        # Row d - 1 of the legend sits 0.08 lower per data number: 2 x 0.08 / 1.5 x 720 pixels.
        _, first = self.chart()
        first_y = [float(t.get("y")) for t in first.iter(ns + "text") if t.text == "  SAMPLE-EDGE-RAW H"][0]
        self.assertAlmostEqual(float(legend[0].get("y")) - first_y, 2 * 0.08 / 1.5 * 720, delta=0.02)

    def test_markup_and_latin1_bytes_in_the_preset_name_keep_the_svg_well_formed(self):
        name = b"E&<\xe9>\x01\xc3\xa9"
        with tempfile.TemporaryDirectory() as tmp:
            listing = os.path.join(tmp, "list.txt")
            with open(listing, "wb") as f:
                f.write(b"Detector Width Height Pitch(mm) Encoding Offset Header\r\n" + name +
                        b" 1024 1024 0.1 1 0 512\r\n")
            path = os.path.join(tmp, "mtf.svg")
            result = subprocess.run([MEASURE, "mtf", edge_sample(), "--list", listing, "--preset", name,
                                     "--roi", ROI_TEXT, "--svg", path], capture_output=True, timeout=120)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stdout.split(b"\n")[5], name + b" H")
            texts = [t.text for t in ET.parse(path).getroot().iter("{http://www.w3.org/2000/svg}text")]
        # A lone byte is read as Latin-1, a control character replaced, UTF-8 kept.
        self.assertIn("  E&<\u00e9>\ufffd\u00e9 H", texts)

    def test_unwritable_chart_exits_3_with_the_reason_and_prints_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            folder = measure("--svg", tmp)
            self.assertEqual(folder.returncode, 3)
            self.assertIn("folder", folder.stderr)
            self.assertEqual(folder.stdout, "")
            missing = measure("--svg", os.path.join(tmp, "no", "mtf.svg"))
            self.assertEqual(missing.returncode, 3)
            self.assertIn("No such file or directory", missing.stderr)
            fifo = os.path.join(tmp, "fifo")
            os.mkfifo(fifo)
            piped = measure("--svg", fifo)  # would block forever if opened for writing plainly
            self.assertEqual(piped.returncode, 3)
            self.assertIn("not a regular file", piped.stderr)
            self.assertTrue(stat.S_ISFIFO(os.stat(fifo).st_mode))


class MtfStatuses(unittest.TestCase):
    def assertRefused(self, result, reason):
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr.count("\n"), 1, "one line on stderr: " + result.stderr)
        self.assertIn(reason, result.stderr)

    def test_usage_errors_exit_2(self):
        sample = edge_sample()
        base = ["mtf", sample, "--preset", "SAMPLE-EDGE-RAW"]
        cases = [
            [],  # no --roi
            ["--roi", "1,2,3"],
            ["--roi", "362,412,300,0"],
            ["--roi", ROI_TEXT, "--bogus"],
            ["--roi", ROI_TEXT, "--png", "x.png"],  # an option of another command
            ["--roi", ROI_TEXT, "--fmax"],  # no value
            ["--roi", ROI_TEXT, "--fmax", "3x"],
            ["--roi", ROI_TEXT, "--fmax", " 3"],
            ["--roi", ROI_TEXT, "--fmax", ""],
            ["--roi", ROI_TEXT, "--fmax", "0.5"],
            ["--roi", ROI_TEXT, "--fmax", "5.5"],
            ["--roi", ROI_TEXT, "--fint", "0.005"],
            ["--roi", ROI_TEXT, "--fint", "0.31"],
            ["--roi", ROI_TEXT, "--fint", "."],
            ["--roi", ROI_TEXT, "--binw", "0.5"],
            ["--roi", ROI_TEXT, "--binw", "0.009"],
            ["--roi", ROI_TEXT, "--binw", "3e-2x"],
            ["--roi", ROI_TEXT, "--shift", "nan"],
            ["--roi", ROI_TEXT, "--shift", "inf"],
            ["--roi", ROI_TEXT, "--shift", "0x1p-4"],
            ["--roi", ROI_TEXT, "--shift", "1e39"],
            ["--roi", ROI_TEXT, "--shift", "1e"],
            ["--roi", ROI_TEXT, "--vfilter", "2"],
            ["--roi", ROI_TEXT, "--vfilter", "1.0"],
            ["--roi", ROI_TEXT, "--data-no", "8"],
            ["--roi", ROI_TEXT, "--data-no", "0"],
            ["--roi", ROI_TEXT, "--data-no", "1.5"],
            ["--roi", ROI_TEXT, "--svg", ""],
        ]
        for extra in cases:
            result = run(*base, *extra)
            self.assertEqual(result.returncode, 2, extra)
            self.assertIn("usage:", result.stderr, extra)
            self.assertEqual(result.stdout, "", extra)
        self.assertEqual(run("mtf", sample, "--roi", ROI_TEXT).returncode, 2, "no --preset")
        # The edges of the ranges are allowed.
        for extra in (["--fmax", "1", "--fint", "0.3"], ["--fmax", "5", "--fint", "0.01"],
                      ["--binw", ".2e-1"], ["--shift", "+.05E-0"], ["--data-no", "7"]):
            self.assertEqual(run(*base, "--roi", ROI_TEXT, *extra).returncode, 0, extra)

    def test_help_documents_the_command(self):
        usage = run("--help").stdout
        self.assertIn("vantry-measure mtf FILE", usage)
        for option in ("--binw", "--shift", "--vfilter", "--fmax", "--fint", "--data-no", "--svg"):
            self.assertIn(option, usage)
        self.assertIn("shift S", usage)

    def test_rois_the_method_cannot_use_exit_3(self):
        at = lambda roi: run("mtf", edge_sample(), "--preset", "SAMPLE-EDGE-RAW", "--roi", roi)
        self.assertRefused(at("480,500,54,30"), "too small")
        self.assertRefused(at("900,412,300,200"), "outside the image")

    def test_lsf_too_short_for_the_vfilter_exits_3(self):
        # Bins of 0.2 mm leave 67 LSF samples a side, fewer than the 200 the centre search needs.
        self.assertRefused(measure("--binw", "0.2", "--vfilter", "1"), "too short")

    def test_missing_file_and_preset_exit_3(self):
        missing = run("mtf", "/nonexistent.raw", "--preset", "SAMPLE-EDGE-RAW", "--roi", ROI_TEXT)
        self.assertEqual(missing.returncode, 3)
        self.assertEqual(run("mtf", edge_sample(), "--preset", "NO-SUCH", "--roi", ROI_TEXT).returncode, 3)

    def test_flat_field_without_an_edge_exits_3(self):
        # The two plateaus of a flat field differ by noise only: no edge to measure.
        flat = os.path.join(BIN, "sample_flat.raw")
        result = run("mtf", flat, "--preset", "SAMPLE-FLAT-RAW", "--roi", ROI_TEXT)
        self.assertEqual(result.returncode, 3, result.stdout[:200])
        self.assertIn("no edge", result.stderr)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    suite = unittest.TestSuite()
    for case in (MtfOutput, MtfFigures, MtfChart, MtfStatuses):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
