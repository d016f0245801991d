#!/usr/bin/python3
"""vantry-measure convert: the fitted line, its r2 and every point against numpy's fit of the ROI
means numpy takes from the same pixels; a log detector; the warning lines; the exit statuses."""
import math
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

MEASURE = None

SIDE, HEADER = 256, 512
PRESET = "CONV-256"
ROI = (32, 40, 160, 128)  # X, Y, W, H
ROI_TEXT = ",".join(map(str, ROI))
Q_RQA5 = 29653
AREA = 0.1 * 0.1  # mm^2 of a 0.1 mm pixel


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=120)


def write_raw(path, pixels):
    with open(path, "wb") as f:
        f.write(bytes(HEADER) + pixels.astype("<i2").tobytes())


def roi_mean(pixels):
    x, y, w, h = ROI
    return float(pixels[y:y + h, x:x + w].astype(np.float64).mean())


class Fields:
    """Flat fields in a folder of their own with a detector list naming the test's preset."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.listing = os.path.join(tmp, "list.txt")
        with open(self.listing, "w") as f:
            f.write("Detector Width Height Pitch(mm) Encoding Offset Header\r\n"
                    "%s %d %d 0.1 1 0 %d\r\n" % (PRESET, SIDE, SIDE, HEADER))
        self.paths, self.kerma, self.means = [], [], []

    def add(self, kerma, pixels):
        path = os.path.join(self.tmp, "flat%d.raw" % len(self.paths))
        write_raw(path, pixels)
        self.paths.append(path)
        self.kerma.append(kerma)
        self.means.append(roi_mean(pixels))
        return path

    def args(self, *extra):
        out = ["convert", "--list", self.listing, "--preset", PRESET, "--roi", ROI_TEXT]
        for path, kerma in zip(self.paths, self.kerma):
            out += ["--flat", path, "--kerma", "%g" % kerma]
        return out + list(extra)


def level(value, rng=None, sd=0.0):
    """A field of `value` plus white Gaussian noise of `sd`, rounded to whole pixel values."""
    field = np.full((SIDE, SIDE), float(value))
    if rng is not None:
        field += rng.normal(0, sd, field.shape)
    return np.rint(field).astype(np.int16)


def numpy_fit(x, means, kerma, to_kerma):
    """Slope, intercept, r2 and per point (fit, residual %) by numpy."""
    x, y = np.asarray(x, float), np.asarray(means, float)
    slope, intercept = np.polyfit(x, y, 1)
    fit = intercept + slope * x
    r2 = 1 - np.sum((y - fit) ** 2) / np.sum((y - y.mean()) ** 2)
    residual = [100 * (to_kerma(m, slope, intercept) - k) / k for m, k in zip(means, kerma)]
    return slope, intercept, r2, fit, residual


def linear_kerma(m, s, i):
    return (m - i) / s


def log_kerma(m, s, i):
    return math.exp((m - i) / s)


class Output:
    def __init__(self, stdout):
        lines = stdout.split("\n")
        assert lines.pop() == "", "the output ends with a line end"
        self.warnings = [l for l in lines if l.startswith("warning ")]
        rest = lines[len(self.warnings):]
        assert all(not l.startswith("warning ") for l in rest), "warnings come first"
        self.fields = dict(l.split(" ", 1) for l in rest[:5])
        self.keys = [l.split(" ", 1)[0] for l in rest[:5]]
        self.points = [l.split(" ")[1:] for l in rest[5:]]
        assert all(l.startswith("point ") for l in rest[5:]), rest


class ConvertFits(unittest.TestCase):
    def check(self, fields, result, model, to_kerma):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        out = Output(result.stdout)
        self.assertEqual(out.keys, ["model", "slope", "intercept", "r2", "conversion"])
        self.assertEqual(out.fields["model"], model)
        x = [math.log(k) for k in fields.kerma] if model == "log" else fields.kerma
        slope, intercept, r2, fit, residual = numpy_fit(x, fields.means, fields.kerma, to_kerma)
        printed_slope, printed_intercept = float(out.fields["slope"]), float(out.fields["intercept"])
        # %.9g: half a unit of the ninth digit, and the two fits' rounding.
        self.assertAlmostEqual(printed_slope, slope, delta=abs(slope) * 1e-8)
        self.assertAlmostEqual(printed_intercept, intercept,
                               delta=abs(intercept) * 1e-8 + abs(slope) * 1e-10)
        self.assertAlmostEqual(float(out.fields["r2"]), r2, delta=0.5e-6 + 1e-12)
        self.assertEqual(out.fields["conversion"],
                         "%s:%s,%s" % (model, out.fields["slope"], out.fields["intercept"]))
        self.assertEqual(len(out.points), len(fields.kerma))
        for (k, mean, f, res), kerma, m, fit_m, res_m in zip(out.points, fields.kerma,
                                                              fields.means, fit, residual):
            self.assertEqual(k, "%g" % kerma, "in the order given")
            # Sums of whole pixel values are exact in double: the same mean to the last digit.
            self.assertEqual(mean, "%.4f" % m)
            self.assertAlmostEqual(float(f), fit_m, delta=0.00005 + 1e-7 * abs(fit_m))
            self.assertAlmostEqual(float(res), res_m, delta=0.0005 + 1e-9)
        return out, (slope, intercept, r2, residual)

    def test_linear_detector_against_numpy_and_the_physics(self):
        # v = 100 + 2 q K a: a detector of gain 2 per photon with an offset of 100.
        rng = np.random.default_rng(20240611)
        with tempfile.TemporaryDirectory() as tmp:
            fields = Fields(tmp)
            order = [2.5, 0.5, 10, 1, 5]  # not sorted: the points keep the given order
            for k in order:
                fields.add(k, level(100 + 2 * Q_RQA5 * k * AREA, rng, 3 * math.sqrt(2 * Q_RQA5 * k * AREA)))
            out, (slope, intercept, _, _) = self.check(fields, run(*fields.args()), "linear",
                                                       linear_kerma)
            self.assertEqual(out.warnings, [])
            # The truth within the noise: slope 593.06 per uGy, intercept 100.
            self.assertAlmostEqual(slope, 2 * Q_RQA5 * AREA, delta=0.5)
            self.assertAlmostEqual(intercept, 100, delta=2)
            # --model linear is the default.
            self.assertEqual(run(*fields.args("--model", "linear")).stdout,
                             run(*fields.args()).stdout)

    def test_log_detector_fitted_with_the_log_model(self):
        rng = np.random.default_rng(7)
        with tempfile.TemporaryDirectory() as tmp:
            fields = Fields(tmp)
            for k in (0.5, 1, 2, 4, 8, 16):
                fields.add(k, level(1000 * math.log(k) + 3000, rng, 5))
            out, (slope, intercept, r2, _) = self.check(fields, run(*fields.args("--model", "log")),
                                                        "log", log_kerma)
            self.assertEqual(out.warnings, [])
            self.assertAlmostEqual(slope, 1000, delta=1)
            self.assertAlmostEqual(intercept, 3000, delta=1)
            self.assertGreater(r2, 0.9999)
            # The linear model on the same images: its own numpy fit, and warned.
            linear, (_, _, r2_linear, residual) = self.check(fields, run(*fields.args()), "linear",
                                                              linear_kerma)
            self.assertLess(r2_linear, 0.99)
            expected = ["warning the flat field at %g uGy lies %.2f %% off the fitted function" % (k, r)
                        for k, r in zip(fields.kerma, residual) if abs(r) > 2]
            expected.append("warning r2 = %.4f is below 0.99: the linear model does not fit" % r2_linear)
            self.assertEqual(linear.warnings, expected)

    def test_a_field_five_percent_off_is_warned_alone(self):
        # Noiseless fields of v = 200 + 500 K, except the one labelled 7 uGy taken at 7.35 uGy.
        with tempfile.TemporaryDirectory() as tmp:
            fields = Fields(tmp)
            for k in (4, 5, 6, 7, 8, 9, 10):
                fields.add(k, level(200 + 500 * (k * 1.05 if k == 7 else k)))
            out, (_, _, r2, residual) = self.check(fields, run(*fields.args()), "linear",
                                                   linear_kerma)
            off = [(k, r) for k, r in zip(fields.kerma, residual) if abs(r) > 2]
            self.assertEqual([k for k, _ in off], [7], residual)
            self.assertGreater(r2, 0.99)
            self.assertEqual(out.warnings,
                             ["warning the flat field at 7 uGy lies %.2f %% off the fitted function"
                              % off[0][1]])


class ConvertStatuses(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmpdir = tempfile.TemporaryDirectory()
        cls.fields = Fields(cls.tmpdir.name)
        for k in (1, 2, 4):
            cls.fields.add(k, level(100 + 600 * k))

    @classmethod
    def tearDownClass(cls):
        cls.tmpdir.cleanup()

    def assertExit(self, result, status, *reasons):
        self.assertEqual(result.returncode, status, result.stdout + result.stderr)
        self.assertEqual(result.stdout, "")
        if status == 2:
            self.assertIn("usage:", result.stderr)
            first = result.stderr.split("\n")[0]
        else:
            self.assertEqual(result.stderr.count("\n"), 1, "one line on stderr: " + result.stderr)
            first = result.stderr
        for reason in reasons:
            self.assertIn(reason, first)

    def test_usage_errors_exit_2(self):
        f = self.fields
        head = ["convert", "--list", f.listing, "--preset", PRESET, "--roi", ROI_TEXT]
        a, b, c = f.paths
        flats = ["--flat", a, "--kerma", "1", "--flat", b, "--kerma", "2", "--flat", c, "--kerma", "4"]
        self.assertEqual(run(*head, *flats).returncode, 0)
        cases = [
            (head + flats + ["--kerma", "8"], "one --kerma per --flat"),
            (head + flats + ["--flat", a], "one --kerma per --flat"),
            (head + flats[:8], "at least three"),
            (head + flats + ["--model", "quadratic"], "--model needs linear or log"),
            (head + flats + ["--model", ""], "--model needs linear or log"),
            (head + flats[:8] + ["--flat", a, "--kerma", "4"], "given twice"),
            (head + flats[:8] + ["--flat", os.path.join(os.path.dirname(a), ".", os.path.basename(a)),
                                 "--kerma", "4"], "given twice"),
            (head + flats[:10] + ["--kerma", "4uGy"], "--kerma needs a number"),
            (head + flats[:10] + ["--kerma", "nan"], "--kerma needs a number"),
            (["convert", "--list", f.listing, "--preset", PRESET] + flats, "needs --roi"),
            (head[:-1] + ["10,10,0,5"] + flats, "--roi needs"),
            (head + flats + [a], "not as"),
            (head + flats + ["--mode", "2d"], "does not take --mode"),
            (["convert", "--list", f.listing, "--roi", ROI_TEXT] + flats, "needs --preset"),
        ]
        for args, reason in cases:
            self.assertExit(run(*args), 2, reason)

    def test_refusals_exit_3(self):
        f = self.fields
        head = ["convert", "--list", f.listing, "--preset", PRESET]
        a, b, c = f.paths

        def flats(k1="1", k2="2", k3="4", third=None):
            return ["--flat", a, "--kerma", k1, "--flat", b, "--kerma", k2,
                    "--flat", third or c, "--kerma", k3]

        self.assertExit(run(*head, "--roi", "200,40,57,10", *flats()), 3, "ROI (200, 40, 57 x 10)",
                        "reaches outside the image", "256 x 256")
        self.assertExit(run(*head, "--roi", "-1,0,10,10", *flats()), 3, "reaches outside the image")
        # The last column and row are inside.
        self.assertEqual(run(*head, "--roi", "200,40,56,216", *flats()).returncode, 0)
        self.assertExit(run(*head, "--roi", ROI_TEXT, *flats(third="/nonexistent/flat.raw")), 3,
                        "/nonexistent/flat.raw")
        self.assertExit(run(*head, "--roi", ROI_TEXT, *flats(k2="0")), 3, "not a positive")
        self.assertExit(run(*head, "--roi", ROI_TEXT, *flats(k1="-1")), 3, "not a positive")
        self.assertExit(run(*head, "--roi", ROI_TEXT, *flats("2", "2", "2")), 3, "one kerma")
        with tempfile.TemporaryDirectory() as tmp:
            same = []
            for i in range(3):
                same.append(os.path.join(tmp, "same%d.raw" % i))
                write_raw(same[-1], level(700))
            args = []
            for path, k in zip(same, ("1", "2", "4")):
                args += ["--flat", path, "--kerma", k]
            self.assertExit(run(*head, "--roi", ROI_TEXT, *args), 3, "does not change")
        self.assertExit(run("convert", "--list", f.listing, "--preset", "NO-SUCH", "--roi", ROI_TEXT,
                            *flats()), 3, "NO-SUCH")

    def test_help_documents_the_command(self):
        usage = run("--help").stdout
        self.assertIn("vantry-measure convert --preset NAME", usage)
        for text in ("--model linear|log", "conversion T", "point K M F R", "100 (K' - K) / K",
                     "linear:S,I"):
            self.assertIn(text, usage)


if __name__ == "__main__":
    MEASURE = sys.argv[1]
    suite = unittest.TestSuite()
    for case in (ConvertFits, ConvertStatuses):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
