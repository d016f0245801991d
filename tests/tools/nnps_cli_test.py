#!/usr/bin/python3
"""vantry-measure nnps: the printed noise power spectrum of the bundled flat field against an
independent reading of the block method and of white noise written here, the two tables against
a spline of the printed points, the output format, the chart picture and the exit statuses."""
import math
import os
import bisect
import random
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import flat_fields

MEASURE = None
BIN = None

# The flat field of make-samples: 1024 x 1024 pixels of 0.1 mm, white Gaussian noise of 25 on
# 2000, a 512-byte raw header.
SIDE, PITCH, HEADER = 1024, 0.1, 512
BLOCK = 256
NOTE = "note: fewer than the 4 million pixels a detector NNPS asks for"


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=120)


def flat_sample():
    return os.path.join(BIN, "sample_flat.raw")


def measure(roi="0,0,512,512", *extra, sample=None, preset="SAMPLE-FLAT-RAW"):
    return run("nnps", sample or flat_sample(), "--preset", preset, "--roi", roi, *extra)


class Output:
    """The documented shape of the output, taken apart."""

    def __init__(self, stdout):
        self.lines = stdout.split("\n")
        assert self.lines[-1] == "", "the output ends with a line end"
        self.lines.pop()
        self.points = [line.split(" ") for line in self.lines[:25]]
        for point in self.points:
            assert len(point) == 3 and point[0] == "point", point
        self.label = self.lines[25]
        tab = next(i for i, line in enumerate(self.lines) if line.startswith("\t"))
        self.values = self.lines[26:tab]
        self.table_label = self.lines[tab][1:]
        # The counts close the output: blocks, pixels and, below 4 million pixels, the note.
        end = next(i for i, line in enumerate(self.lines) if line.startswith("blocks "))
        self.rows = [row.split("\t") for row in self.lines[tab + 1:end]]
        self.counts = self.lines[end:]
        assert self.counts[1].startswith("pixels "), self.counts
        self.blocks = int(self.counts[0].split(" ")[1])
        self.pixels = int(self.counts[1].split(" ")[1])
        self.note = self.counts[2] if len(self.counts) > 2 else None
        assert len(self.counts) <= 3, self.counts

    def frequencies(self):
        return [float(f) for _, f, _ in self.points]

    def powers(self):
        return [float(v) for _, _, v in self.points]


# ---- An independent reading of the block method ----

def fft(re, im, twiddles):
    """In place, radix 2, unscaled."""
    n = len(re)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            re[i], re[j] = re[j], re[i]
            im[i], im[j] = im[j], im[i]
    size = 2
    while size <= n:
        half, step = size // 2, n // size
        for start in range(0, n, size):
            for k in range(half):
                wr, wi = twiddles[k * step]
                a, b = start + k, start + k + half
                xr = re[b] * wr - im[b] * wi
                xi = re[b] * wi + im[b] * wr
                re[b], im[b] = re[a] - xr, im[a] - xi
                re[a] += xr
                im[a] += xi
        size *= 2


def solve(matrix, rhs):
    """Gaussian elimination with partial pivoting."""
    a = [row[:] + [r] for row, r in zip(matrix, rhs)]
    n = len(a)
    for k in range(n):
        p = max(range(k, n), key=lambda r: abs(a[r][k]))
        a[k], a[p] = a[p], a[k]
        for r in range(n):
            if r != k:
                f = a[r][k] / a[k][k]
                for c in range(k, n + 1):
                    a[r][c] -= f * a[k][c]
    return [a[r][n] / a[r][r] for r in range(n)]


def block_spectrum(block):
    """Mean and |X(u, v)|^2 (power[v][u]) of a 256 x 256 block after removing its least-squares
    quadratic surface, fitted in centred coordinates (the same surface, better conditioned)."""
    n = BLOCK
    mean = sum(map(sum, block)) / (n * n)
    t = [(i - (n - 1) / 2) / ((n - 1) / 2) for i in range(n)]
    powers = [(0, 0), (1, 0), (0, 1), (2, 0), (1, 1), (0, 2)]
    moment = [[sum(x ** a for x in t) * sum(y ** b for y in t) for b in range(5)] for a in range(5)]
    normal = [[moment[p[0] + q[0]][p[1] + q[1]] for q in powers] for p in powers]
    along = [[x ** a for x in t] for a in range(3)]
    rhs = [0.0] * 6
    for y in range(n):
        sums = [sum(p * z for p, z in zip(along[a], block[y])) for a in range(3)]
        for i, (a, b) in enumerate(powers):
            rhs[i] += t[y] ** b * sums[a]
    c = solve(normal, rhs)
    twiddles = [(math.cos(2 * math.pi * k / n), -math.sin(2 * math.pi * k / n))
                for k in range(n // 2)]
    rows_re, rows_im = [], []
    for y in range(n):
        ty = t[y]
        re = [block[y][x] - (c[0] + c[1] * t[x] + c[2] * ty + c[3] * t[x] * t[x] +
                             c[4] * t[x] * ty + c[5] * ty * ty) for x in range(n)]
        im = [0.0] * n
        fft(re, im, twiddles)
        rows_re.append(re)
        rows_im.append(im)
    power = [[0.0] * n for _ in range(n)]
    for x in range(n):
        re = [rows_re[y][x] for y in range(n)]
        im = [rows_im[y][x] for y in range(n)]
        fft(re, im, twiddles)
        for y in range(n):
            power[y][x] = re[y] * re[y] + im[y] * im[y]
    return mean, power


def radial_bin(u, v):
    # No (u, v) lies within 1e-5 of a bin boundary, so single precision bins them the same way.
    return round(math.sqrt(u * u + v * v) / 5.12)


def positions_per_bin():
    """How many (u, v), u, v = 1 .. 128, fall into each radial bin, up to 35 on the diagonal."""
    counts = [0] * 40
    for u in range(1, 129):
        for v in range(1, 129):
            counts[radial_bin(u, v)] += 1
    return counts


def spectrum(blocks, pitch, u_max=128, v_max=128, normalise=True):
    """The 25 stored bins: per block the mean power of (u, v), (256 - u, v) and (u, 256 - v) for
    u = 1 .. u_max, v = 1 .. v_max in rings of 5.12 frequency steps, averaged over the blocks."""
    scale = pitch * pitch / (BLOCK * BLOCK)
    total = [0.0] * 26
    for mean, power in blocks:
        sums, counts = [0.0] * 40, [0] * 40
        norm = mean * mean if normalise else 1.0
        for u in range(1, u_max + 1):
            for v in range(1, v_max + 1):
                k = radial_bin(u, v)
                sums[k] += (power[v][u] + power[v][BLOCK - u] + power[BLOCK - v][u]) * scale / norm
                counts[k] += 3
        for k in range(26):
            total[k] += sums[k] / counts[k] if counts[k] else 0.0
    return [s / len(blocks) for s in total[1:]]


def raw_pixels(path, width, height, header=HEADER):
    data = open(path, "rb").read()[header:header + 2 * width * height]
    return struct.unpack("<%dh" % (width * height), data)


def roi_blocks(pixels, width, roi):
    x0, y0, w, h = roi
    return [block_spectrum([[float(pixels[(y0 + by + j) * width + x0 + bx + i])
                             for i in range(BLOCK)] for j in range(BLOCK)])
            for by in range(0, h, BLOCK) for bx in range(0, w, BLOCK)]


def natural_spline(xs, ys):
    """Natural cubic spline through the points, as a function; beyond the ends the end cubics."""
    n = len(xs)
    h = [xs[i + 1] - xs[i] for i in range(n - 1)]
    matrix = [[0.0] * n for _ in range(n)]
    rhs = [0.0] * n
    matrix[0][0] = matrix[n - 1][n - 1] = 1.0
    for i in range(1, n - 1):
        matrix[i][i - 1], matrix[i][i], matrix[i][i + 1] = h[i - 1], 2 * (h[i - 1] + h[i]), h[i]
        rhs[i] = 6 * ((ys[i + 1] - ys[i]) / h[i] - (ys[i] - ys[i - 1]) / h[i - 1])
    m = solve(matrix, rhs)

    def at(x):
        i = min(max(bisect.bisect_right(xs, x) - 1, 0), n - 2)
        d = x - xs[i]
        slope = (ys[i + 1] - ys[i]) / h[i] - h[i] * (2 * m[i] + m[i + 1]) / 6
        return ys[i] + d * (slope + d * (m[i] / 2 + d * (m[i + 1] - m[i]) / (6 * h[i])))
    return at


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def assert_printed(case, text, value, decimals, msg):
    """A power as the tables print it: `decimals` decimals, or three significant digits in
    exponent form where those decimals would show 0."""
    if "E" in text:
        case.assertRegex(text, r"^\d\.\d\dE-\d\d$", msg)
        case.assertLess(value, 0.5 * 10 ** -decimals, msg)
        digit = 10 ** (math.floor(math.log10(float(text))) - 2)
    else:
        case.assertRegex(text, r"^\d+\.\d{%d}$" % decimals, msg)
        digit = 10 ** -decimals
    case.assertAlmostEqual(float(text), value, delta=0.5 * digit * 1.001 + 1e-5 * value, msg=msg)


class NnpsOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = measure()
        cls.out = Output(cls.result.stdout)

    def test_documented_lines_in_order(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(self.result.stderr, "")
        self.assertNotIn("\r", self.result.stdout)
        out = self.out
        for _, f, v in out.points:
            self.assertEqual(f, "%.6g" % float(f))
            self.assertRegex(v, r"^\d\.\d{6}e[-+]\d\d$")
        # 0.1 mm pixels: rings of 0.2 cycles/mm up to the Nyquist frequency, 5 cycles/mm.
        self.assertEqual([f for _, f, _ in out.points], ["%g" % (0.2 * k) for k in range(1, 26)])
        self.assertEqual(out.label, "SAMPLE-FLAT-RAW R")
        self.assertEqual(len(out.values), 31, "0.1 to 3.1 cycles/mm, all below the last point")
        self.assertEqual(out.table_label, out.label)
        self.assertEqual([f for f, _ in out.rows], ["%.2f" % (n / 10) for n in range(1, 31)])
        self.assertEqual(out.counts, ["blocks 4", "pixels 262144", NOTE])
        self.assertEqual(len(out.lines), 25 + 1 + 31 + 1 + 30 + 3)

    def test_flat_field_is_white_at_its_level(self):
        # Noise of 25 on 2000, whole pixel values: (625 + 1/12) / 2000^2 x 0.1^2 mm^2. Per bin a
        # mean over 4 blocks of exponential powers at (u, v), (-u, v), (u, -v); the last two
        # mirror each other in a real block, so 1.8 independent samples a position. 5 deviations.
        level = (625 + 1 / 12) / 2000 ** 2 * PITCH ** 2
        positions = positions_per_bin()
        for k, value in enumerate(self.out.powers(), 1):
            self.assertAlmostEqual(value / level, 1, delta=5 / math.sqrt(1.8 * positions[k] * 4),
                                   msg="bin %d" % k)

    def test_tables_follow_a_spline_through_the_printed_points(self):
        out = self.out
        spline = natural_spline(out.frequencies(), [math.log10(v) for v in out.powers()])
        for i, text in enumerate(out.values, 1):
            assert_printed(self, text, 10 ** spline(i / 10), 4, "value %d: %s" % (i, text))
        for i, (_, text) in enumerate(out.rows, 1):
            assert_printed(self, text, 10 ** spline(i / 10), 8, "row %d: %s" % (i, text))

    def test_frequency_grid_options_and_extrapolation(self):
        result = measure("0,0,512,512", "--nfmax", "5", "--nfint", "0.3")
        self.assertEqual(result.returncode, 0, result.stderr)
        out = Output(result.stdout)
        self.assertEqual(out.points, self.out.points, "the grid changes the tables only")
        # Both tables stop before 5.1, beyond the last point: "Clip NNPS " writes no row past the
        # Nyquist frequency of the 0.1 mm pixels, 5 cycles/mm.
        self.assertEqual(len(out.values), 16)
        self.assertEqual([f for f, _ in out.rows], ["%.2f" % (0.3 * n) for n in range(1, 17)])
        spline = natural_spline(out.frequencies(), [math.log10(v) for v in out.powers()])
        assert_printed(self, out.rows[-1][1], 10 ** spline(f32(16 * f32(0.3))), 8, "at 4.8")
        # With 0.25 the grid meets 5.0 exactly: that row is written.
        quarter = Output(measure("0,0,512,512", "--nfmax", "5", "--nfint", "0.25").stdout)
        self.assertEqual(quarter.rows[-1][0], "5.00")
        self.assertEqual(len(quarter.rows), 20)
        fine = Output(measure("0,0,512,512", "--nfmax", "1.5", "--nfint", "0.05").stdout)
        self.assertEqual(len(fine.values), 31)
        self.assertEqual(fine.rows[-1][0], "1.50")
        self.assertEqual(fine.rows[1::2], self.out.rows[:15], "every other row of the default")

    def test_dicom_sample_measures_the_same_pixels(self):
        dicom = measure(sample=os.path.join(BIN, "sample_flat_implicit.dcm"), preset="DICOM")
        self.assertEqual(dicom.returncode, 0, dicom.stderr)
        out = Output(dicom.stdout)
        self.assertEqual(out.label, "DICOM R")
        self.assertEqual((out.points, out.values, out.rows),
                         (self.out.points, self.out.values, self.out.rows))


class NnpsIndependent(unittest.TestCase):
    def test_every_mode_matches_an_independent_block_computation(self):
        # Four blocks away from the image's corner, so that both block offsets count.
        roi = (256, 256, 512, 512)
        blocks = roi_blocks(raw_pixels(flat_sample(), SIDE, SIDE), SIDE, roi)
        means = [mean for mean, _ in blocks]
        self.assertTrue(all(1990 < m < 2010 for m in means))
        cases = [
            ("2d", [], spectrum(blocks, PITCH)),
            ("1d-h", ["--lines", "7"], spectrum(blocks, PITCH, v_max=7)),
            ("1d-v", ["--lines", "3"], spectrum(blocks, PITCH, u_max=3)),
            ("nps", [], spectrum(blocks, PITCH, normalise=False)),
        ]
        labels = {"2d": " R", "1d-h": " H", "1d-v": " V", "nps": " R"}
        for mode, extra, expected in cases:
            result = measure(",".join(map(str, roi)), "--mode", mode, *extra)
            self.assertEqual(result.returncode, 0, result.stderr)
            out = Output(result.stdout)
            self.assertEqual(out.label, "SAMPLE-FLAT-RAW" + labels[mode])
            # Single-precision transforms and sums against double: a few parts in a million.
            for k, (value, reference) in enumerate(zip(out.powers(), expected), 1):
                self.assertAlmostEqual(value / reference, 1, delta=2e-5,
                                       msg="%s, bin %d" % (mode, k))

    def test_white_noise_written_here_reaches_its_analytic_level(self):
        # 512 x 512 pixels of 0.1 mm, mean 1000, SD 10, whole values: NNPS (100 + 1/12) / 1000^2 x
        # 0.01 mm^2, about 1e-6; NPS (100 + 1/12) x 0.01 (pixel value)^2 mm^2.
        rng = random.Random(20240611)
        side = 512
        pixels = [int(round(rng.gauss(1000, 10))) for _ in range(side * side)]
        variance = 100 + 1 / 12
        positions = positions_per_bin()
        with tempfile.TemporaryDirectory() as tmp:
            listing = os.path.join(tmp, "list.txt")
            with open(listing, "w") as f:
                f.write("Detector Width Height Pitch(mm) Encoding Offset Header\r\n"
                        "WHITE-512 512 512 0.1 1 0 512\r\n")
            path = os.path.join(tmp, "white.raw")
            with open(path, "wb") as f:
                f.write(bytes(HEADER) + struct.pack("<%dh" % len(pixels), *pixels))
            for mode, level in (("2d", variance / 1000 ** 2 * 0.01), ("nps", variance * 0.01)):
                result = run("nnps", path, "--list", listing, "--preset", "WHITE-512", "--roi",
                             "0,0,512,512", "--mode", mode)
                self.assertEqual(result.returncode, 0, result.stderr)
                out = Output(result.stdout)
                self.assertEqual(out.label, "WHITE-512 R")
                bounds = [1 / math.sqrt(1.8 * positions[k] * 4) for k in range(1, 26)]
                for k, (value, sd) in enumerate(zip(out.powers(), bounds), 1):
                    self.assertAlmostEqual(value / level, 1, delta=5 * sd,
                                           msg="%s, bin %d" % (mode, k))
                mean = sum(out.powers()) / 25 / level
                spread = math.sqrt(sum(s * s for s in bounds)) / 25
                self.assertAlmostEqual(mean, 1, delta=5 * spread, msg=mode)


class NnpsOverSeveralFiles(unittest.TestCase):
    """Several flat fields of one detector: the mean over all their blocks, and the counts."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        # The sample's noise at 1.5 times its deviation: about 2.25 times its NNPS.
        cls.louder = os.path.join(cls.tmp.name, "louder.raw")
        flat_fields.scaled_flat(flat_sample(), cls.louder, 1.5)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def output(self, files, *extra, roi="256,256,512,512", preset="SAMPLE-FLAT-RAW", listing=()):
        result = run("nnps", *files, "--preset", preset, *listing, "--roi", roi, *extra)
        self.assertEqual(result.returncode, 0, result.stderr)
        return Output(result.stdout)

    def test_two_fields_give_the_mean_of_their_separate_spectra_in_every_mode(self):
        labels = {"2d": " R", "1d-h": " H", "1d-v": " V", "nps": " R"}
        for mode, extra in (("2d", []), ("1d-h", ["--lines", "3"]), ("1d-v", []), ("nps", [])):
            options = ["--mode", mode, *extra]
            first = self.output([flat_sample()], *options)
            second = self.output([self.louder], *options)
            both = self.output([flat_sample(), self.louder], *options)
            self.assertEqual(both.label, "SAMPLE-FLAT-RAW" + labels[mode])
            self.assertEqual(both.frequencies(), first.frequencies())
            powers = zip(first.powers(), second.powers(), both.powers())
            for k, (a, b, mean) in enumerate(powers, 1):
                # Far from either alone: the louder field has about 2.25 times the power.
                self.assertGreater(b / a, 1.8, "%s, bin %d" % (mode, k))
                # Each is stored as a single-precision decade and printed to 7 digits.
                self.assertAlmostEqual(mean / ((a + b) / 2), 1, delta=5e-6,
                                       msg="%s, bin %d" % (mode, k))
            self.assertEqual((both.blocks, both.pixels), (8, 8 * 65536), mode)
        # The order of the files does not matter.
        reverse = self.output([self.louder, flat_sample()])
        forward = self.output([flat_sample(), self.louder])
        for a, b in zip(reverse.powers(), forward.powers()):
            self.assertAlmostEqual(a / b, 1, delta=2e-6)

    def test_counts_and_the_note_below_four_million_pixels(self):
        out = self.output([flat_sample(), self.louder], roi="0,0,1024,1024")
        self.assertEqual(out.counts, ["blocks 32", "pixels 2097152", NOTE])
        # 61 blocks hold 3 997 696 pixels, 62 hold 4 063 232: one block of noise given 61 and 62
        # times.
        with tempfile.TemporaryDirectory() as tmp:
            listing = os.path.join(tmp, "list.txt")
            with open(listing, "w") as f:
                f.write("Detector Width Height Pitch(mm) Encoding Offset Header\r\n"
                        "BLOCK-256 256 256 0.1 1 0 512\r\n")
            block = os.path.join(tmp, "block.raw")
            flat_fields.noise_block(block)
            for times, counts in ((61, ["blocks 61", "pixels 3997696", NOTE]),
                                  (62, ["blocks 62", "pixels 4063232"])):
                out = self.output([block] * times, roi="0,0,256,256", preset="BLOCK-256",
                                  listing=("--list", listing))
                self.assertEqual(out.counts, counts)

    def test_fields_the_computation_cannot_combine_exit_3(self):
        refused = NnpsStatuses.assertRefused
        with tempfile.TemporaryDirectory() as tmp:
            half = os.path.join(tmp, "half.dcm")
            flat_fields.cropped_dicom(os.path.join(BIN, "sample_flat_implicit.dcm"), half, 512)
            full = os.path.join(BIN, "sample_flat_implicit.dcm")
            # Each alone is measured; together they are not one detector's.
            for files in ([half], [full]):
                self.output(files, roi="0,0,512,512", preset="DICOM")
            result = run("nnps", full, half, "--preset", "DICOM", "--roi", "0,0,512,512")
            refused(self, result, "differ in size (1024 x 512 against 1024 x 1024)")
            # Pitches from the files: 0.1 mm and 0.2 mm cannot be averaged, in either order.
            coarse = os.path.join(tmp, "coarse.dcm")
            flat_fields.respaced_dicom(full, coarse, "0.2\\0.2")
            self.assertEqual(run("read", coarse, "--preset", "DICOM-PITCH-FROM-FILE")
                             .stdout.split("\n")[3], "pitch 0.2")
            self.output([full, full], preset="DICOM-PITCH-FROM-FILE")
            for first, second in ((full, coarse), (coarse, full)):
                result = run("nnps", first, second, "--preset", "DICOM-PITCH-FROM-FILE", "--roi",
                             "256,256,512,512")
                refused(self, result, "The flat field %s has a pitch of %s mm and the flat field "
                        "%s %s mm" % (first, "0.1" if first == full else "0.2", second,
                                      "0.2" if first == full else "0.1"))
        missing = run("nnps", flat_sample(), "/nonexistent/second.raw", "--preset",
                      "SAMPLE-FLAT-RAW", "--roi", "0,0,512,512")
        refused(self, missing, "/nonexistent/second.raw")
        two = [flat_sample(), self.louder]
        refused(self, run("nnps", *two, "--preset", "SAMPLE-FLAT-RAW", "--roi", "0,0,300,256"),
                "not a whole number of 256 x 256 blocks")
        for lines in ("0", "129"):
            result = run("nnps", *two, "--preset", "SAMPLE-FLAT-RAW", "--roi", "0,0,256,256",
                         "--mode", "1d-v", "--lines", lines)
            refused(self, result, "Average line number " + lines)
        # Other commands still take one file.
        result = run("mtf", flat_sample(), self.louder, "--preset", "SAMPLE-FLAT-RAW", "--roi",
                     "0,0,300,200")
        self.assertEqual(result.returncode, 2)
        self.assertIn("more than one file", result.stderr)

    def test_help_documents_several_files_and_the_counts(self):
        usage = run("--help").stdout
        for text in ("vantry-measure nnps FILE [FILE ...]", "blocks B", "pixels P", NOTE):
            self.assertIn(text, usage)


class NnpsChart(unittest.TestCase):
    NS = "{http://www.w3.org/2000/svg}"

    def chart(self, *extra):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "nnps.svg")
            result = measure("0,0,512,512", "--svg", path, *extra)
            self.assertEqual(result.returncode, 0, result.stderr)
            return Output(result.stdout), ET.parse(path).getroot()

    def test_svg_is_the_chart_with_frame_curve_and_legend(self):
        out, svg = self.chart("--data-no", "3")
        self.assertEqual(svg.tag, self.NS + "svg")
        texts = [t.text for t in svg.iter(self.NS + "text")]
        for label in ("0", "1", "2", "3", "10", "-8", "-4", "Spatial Frequency (cycles/mm)", "NPS",
                      "  SAMPLE-FLAT-RAW R"):
            self.assertIn(label, texts)
        # The chart spans -0.45 .. 3.3 cycles/mm across 960 pixels and 4.6 .. -0.6 decades above
        # 10^-8 down 720: the curve of data number 3, light red, joins the points up to 3.
        curves = [e for e in svg.iter(self.NS + "polyline") if e.get("stroke") == "#ff0000"]
        self.assertEqual(len(curves), 1)
        points = [tuple(map(float, p.split(","))) for p in curves[0].get("points").split()]
        expected = [((f + 0.45) / 3.75 * 960, (4.6 - (math.log10(v) + 8)) / 5.2 * 720)
                    for f, v in zip(out.frequencies(), out.powers()) if f <= 3]
        self.assertEqual(len(expected), 15)
        self.assertEqual(len(points), 16, "the first point twice: the polyline starts on it")
        for (px, py), (ex, ey) in zip(points[1:], expected):
            self.assertAlmostEqual(px, ex, delta=0.01)
            self.assertAlmostEqual(py, ey, delta=0.01)
        # Legend row d - 1 = 2: 0.95 x 4 - 0.08 x 4 x 2 = 3.16 decades, its label 0.1 higher.
        sample = [e for e in svg.iter(self.NS + "line") if e.get("stroke") == "#ff0000"]
        self.assertEqual(len(sample), 1)
        self.assertAlmostEqual(float(sample[0].get("y1")), (4.6 - 3.16) / 5.2 * 720, delta=0.01)
        legend = [t for t in svg.iter(self.NS + "text") if t.text == "  SAMPLE-FLAT-RAW R"][0]
        self.assertAlmostEqual(float(legend.get("y")) - 11, (4.6 - 3.26) / 5.2 * 720, delta=0.01)
        self.assertEqual(out.table_label, "SAMPLE-FLAT-RAW R", "Clip NNPS of the curve stored as 3")

    def test_unwritable_chart_exits_3_and_prints_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            folder = measure("0,0,512,512", "--svg", tmp)
            self.assertEqual(folder.returncode, 3)
            self.assertIn("folder", folder.stderr)
            self.assertEqual(folder.stdout, "")


class NnpsStatuses(unittest.TestCase):
    def assertRefused(self, result, reason):
        self.assertEqual(result.returncode, 3, result.stdout[:300] + result.stderr)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr.count("\n"), 1, "one line on stderr: " + result.stderr)
        self.assertIn(reason, result.stderr)

    def test_usage_errors_exit_2(self):
        base = ["nnps", flat_sample(), "--preset", "SAMPLE-FLAT-RAW"]
        roi = ["--roi", "0,0,256,256"]
        cases = [
            [],  # no --roi
            ["--roi", "0,0,256"],
            ["--roi", "0,0,0,256"],
            roi + ["--bogus"],
            roi + ["--binw", "0.03"],  # an option of mtf
            roi + ["--mode", "3d"],
            roi + ["--mode", ""],
            roi + ["--lines", "7"],  # 2d takes no lines
            roi + ["--mode", "nps", "--lines", "7"],
            roi + ["--mode", "1d-h", "--lines", "2.5"],
            roi + ["--mode", "1d-h", "--lines", "seven"],
            roi + ["--mode", "1d-v", "--lines", "12345678901"],
            roi + ["--nfmax", "0.1"],
            roi + ["--nfmax", "5.01"],
            roi + ["--nfmax", "3x"],
            roi + ["--nfint", "0.009"],
            roi + ["--nfint", "0.31"],
            roi + ["--nfint", "nan"],
            roi + ["--nfint"],  # no value
            roi + ["--data-no", "0"],
            roi + ["--data-no", "8"],
            roi + ["--svg", ""],
        ]
        for extra in cases:
            result = run(*base, *extra)
            self.assertEqual(result.returncode, 2, extra)
            self.assertIn("usage:", result.stderr, extra)
            self.assertEqual(result.stdout, "", extra)
        self.assertEqual(run("nnps", flat_sample(), *roi).returncode, 2, "no --preset")
        # The edges of the ranges are allowed.
        for extra in (["--nfmax", "0.2", "--nfint", "0.01"], ["--nfmax", "5", "--nfint", "0.3"],
                      ["--mode", "1d-h", "--lines", "128"], ["--mode", "1d-v", "--lines", "1"],
                      ["--data-no", "7"]):
            self.assertEqual(run(*base, *roi, *extra).returncode, 0, extra)

    def test_help_documents_the_command(self):
        usage = run("--help").stdout
        self.assertIn("vantry-measure nnps FILE", usage)
        for option in ("--mode", "--lines", "--nfmax", "--nfint", "point F V", "Clip NNPS"):
            self.assertIn(option, usage)

    def test_computations_the_window_refuses_exit_3(self):
        # The items return without a word on a ROI of partial blocks; the tool says why.
        self.assertRefused(measure("0,0,300,256"), "not a whole number of 256 x 256 blocks")
        self.assertRefused(measure("900,0,256,256"), "outside the image")
        for lines in ("0", "129", "-3"):
            self.assertRefused(measure("0,0,256,256", "--mode", "1d-h", "--lines", lines),
                               "Average line number")

    def test_flat_without_noise_exits_3(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "constant.raw")
            with open(path, "wb") as f:
                f.write(bytes(HEADER) + struct.pack("<h", 1000) * (SIDE * SIDE))
            self.assertRefused(measure("0,0,256,256", sample=path), "constant")

    def test_missing_file_and_preset_exit_3(self):
        self.assertEqual(measure(sample="/nonexistent.raw").returncode, 3)
        self.assertEqual(measure(preset="NO-SUCH").returncode, 3)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    suite = unittest.TestSuite()
    for case in (NnpsOutput, NnpsIndependent, NnpsOverSeveralFiles, NnpsChart, NnpsStatuses):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
