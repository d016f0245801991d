#!/usr/bin/python3
"""vantry-measure nnps --method iec and dqe --method iec: the NNPS of synthetic flat fields
against an independent numpy computation and against the physics of a photon counter, the DQE
per direction against the analytic MTF of two edges of different blur, the beam table's editions,
the linearisation, the report's tables read back with pdftotext, and the refusals."""
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import numpy as np

MEASURE = None
PITCH = 0.1
Q_2015, Q_2003 = 29653, 30174  # RQA5 in the bundled beam table
SIDE = 768


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=300)


def figure(stdout, name):
    return re.search(r"^%s (\S+)$" % name, stdout, re.M).group(1)


def points(stdout):
    return np.array([[float(v) for v in line.split()[1:]] for line in stdout.splitlines()
                     if line.startswith("point ")])


def reference_nnps(images, area, pitch, fint, offset=0.0):
    """The IEC-style NNPS written out plainly: half-overlapping 256 x 256 ROIs centred in the
    area, one quadratic surface fitted over the area by least squares, numpy's FFT, the 7 lines
    beside each axis in the full plane, each sample binned at round(f / fint)."""
    x0, y0, w, h = area
    nx, ny = 1 + (w - 256) // 128, 1 + (h - 256) // 128
    ox, oy = (w - ((nx - 1) * 128 + 256)) // 2, (h - ((ny - 1) * 128 + 256)) // 2
    df = 1 / (256 * pitch)
    u = np.fft.fftfreq(256, 1 / 256)
    uu, vv = np.meshgrid(u, u)  # [v, u]
    f = np.hypot(uu, vv) * df
    k = np.floor(f / fint + 0.5).astype(int)
    band_h = (np.abs(vv) >= 1) & (np.abs(vv) <= 7)
    band_v = (np.abs(uu) >= 1) & (np.abs(uu) <= 7)
    bins = int(math.floor((1 / (2 * pitch)) / fint + 1e-9))
    sums = {"h": np.zeros(bins + 1), "v": np.zeros(bins + 1)}
    for img in images:
        z = img[y0:y0 + h, x0:x0 + w].astype(float)
        cy, cx = (h - 1) / 2, (w - 1) / 2
        ys, xs = np.mgrid[0:h, 0:w]
        a, b = (xs - cx) / max(cx, 1), (ys - cy) / max(cy, 1)
        basis = np.stack([np.ones_like(a), a, b, a * a, a * b, b * b], -1).reshape(-1, 6)
        coef, *_ = np.linalg.lstsq(basis, z.ravel(), rcond=None)
        resid = z - (basis @ coef).reshape(h, w)
        mean = z.mean() - offset
        for j in range(ny):
            for i in range(nx):
                roi = resid[oy + 128 * j:oy + 128 * j + 256, ox + 128 * i:ox + 128 * i + 256]
                p = np.abs(np.fft.fft2(roi)) ** 2 * pitch * pitch / 65536 / mean ** 2
                for name, band in (("h", band_h), ("v", band_v)):
                    sel = band & (k >= 1) & (k <= bins)
                    total = np.bincount(k[sel], weights=p[sel], minlength=bins + 1)
                    count = np.bincount(k[sel], minlength=bins + 1)
                    sums[name] += total / np.maximum(count, 1)
    rois = nx * ny * len(images)
    return sums["h"][1:] / rois, sums["v"][1:] / rois


class Files:
    """Synthetic images as raw files with a detector list of their own (0.1 mm pixels)."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.listing = os.path.join(tmp, "list.txt")
        with open(self.listing, "w") as f:
            f.write("Detector Width Height Pitch(mm) Encoding Offset Header\n"
                    "IEC %d %d %g 1 0 0\n" % (SIDE, SIDE, PITCH))

    def write(self, name, image):
        path = os.path.join(self.tmp, name + ".raw")
        np.clip(np.rint(image), -32768, 32767).astype("<i2").tofile(path)
        return path

    def counter(self, name, kerma, seed, detector=lambda n: n):
        rng = np.random.default_rng(seed)
        counts = rng.poisson(Q_2015 * kerma * PITCH * PITCH, (SIDE, SIDE)).astype(float)
        image = detector(counts)
        return self.write(name, image), np.clip(np.rint(image), -32768, 32767)

    def edge(self, name, vertical_profile, sigma_px, seed, tilt_deg=3.0):
        """An edge blurred by a Gaussian of sigma_px pixels, sampled at the pixel centres: its MTF
        is exp(-2 pi^2 sigma^2 f^2) along the normal. The profile runs along x unless
        vertical_profile."""
        from math import erf
        ys, xs = np.mgrid[0:SIDE, 0:SIDE].astype(float)
        t = math.radians(tilt_deg)
        across, along = (ys, xs) if vertical_profile else (xs, ys)
        d = (across - SIDE / 2) * math.cos(t) - (along - SIDE / 2) * math.sin(t)
        step = 0.5 * (1 + np.vectorize(erf)(d / (sigma_px * math.sqrt(2))))
        rng = np.random.default_rng(seed)
        return self.write(name, 600 + 2400 * step + rng.normal(0, 4, step.shape))


def nnps_iec(files, paths, *extra):
    args = ["nnps", *paths, "--preset", "IEC", "--list", files.listing, "--method", "iec"]
    return run(*args, *extra)


class IecNnps(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.files = Files(self.tmp)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def test_two_fields_equal_numpy_and_the_counters_physics(self):
        kerma = 3.0
        a, img_a = self.files.counter("a", kerma, 1)
        b, img_b = self.files.counter("b", kerma, 2)
        area = (40, 60, 700, 600)
        r = nnps_iec(self.files, [a, b, b], "--roi", ",".join(map(str, area)),
                     "--conversion", "linear:%r,0" % (Q_2015 * PITCH * PITCH))
        self.assertEqual(r.returncode, 0, r.stderr)
        # b given twice counts once: 2 fields of 4 x 3 ROIs over 640 x 512 pixels each.
        self.assertIn("warning the flat field %s was given twice and counts once" % b, r.stdout)
        self.assertEqual(figure(r.stdout, "rois"), "24")
        self.assertEqual(figure(r.stdout, "independent_pixels"), str(2 * 640 * 512))
        self.assertRegex(r.stdout, r"warning the NNPS rests on 655360 independent pixels")
        self.assertAlmostEqual(float(figure(r.stdout, "mean_kerma")), kerma, delta=0.01 * kerma)
        p = points(r.stdout)
        self.assertEqual(len(p), 100)
        np.testing.assert_allclose(p[:, 0], 0.05 * np.arange(1, 101), atol=1e-4)
        h, v = reference_nnps([img_a, img_b], area, PITCH, 0.05)
        # A conversion without intercept leaves the NNPS as it is. Float transforms against double
        # ones agree to a few parts in 1e5.
        np.testing.assert_allclose(p[:, 1], h, rtol=1e-4)
        np.testing.assert_allclose(p[:, 2], v, rtol=1e-4)
        # NNPS x q x K = 1 for a photon counter, within the printed standard errors.
        for col, se in ((1, 3), (2, 4)):
            z = (p[:, col] * Q_2015 * kerma - 1) / (p[:, se] * Q_2015 * kerma)
            self.assertLess(np.mean(np.abs(z) > 3), 0.03)
            self.assertLess(abs(np.mean(p[:, col]) * Q_2015 * kerma - 1), 0.02)

    def test_offset_detector_needs_its_conversion(self):
        kerma = 2.0
        path, image = self.files.counter("o", kerma, 3, lambda n: 100 + 2 * n)
        s = 2 * Q_2015 * PITCH * PITCH
        linear = nnps_iec(self.files, [path], "--conversion", "linear:%r,100" % s)
        raw = nnps_iec(self.files, [path])
        self.assertEqual(linear.returncode, 0, linear.stderr)
        self.assertEqual(raw.returncode, 0, raw.stderr)
        quantum = 1 / (Q_2015 * kerma)
        self.assertLess(abs(np.mean(points(linear.stdout)[:, 1]) / quantum - 1), 0.03)
        m = s * kerma
        self.assertLess(abs(np.mean(points(raw.stdout)[:, 1]) / (quantum * (m / (m + 100)) ** 2) - 1), 0.03)
        self.assertNotIn("mean_kerma", raw.stdout)
        h, _ = reference_nnps([image], (0, 0, SIDE, SIDE), PITCH, 0.05, offset=100)
        np.testing.assert_allclose(points(linear.stdout)[:, 1], h, rtol=2e-4)

    def test_refusals_and_usage_errors(self):
        path, _ = self.files.counter("c", 1.0, 4)
        for extra in (["--conversion", "linear:0,5"], ["--conversion", "cubic:1,2"], ["--nfint", "0"],
                      ["--mode", "2d"], ["--roi", "1,2,3"]):
            self.assertEqual(nnps_iec(self.files, [path], *extra).returncode, 2, extra)
        r = nnps_iec(self.files, [path], "--roi", "600,0,256,256")
        self.assertEqual(r.returncode, 3)
        self.assertIn("outside", r.stderr)
        dark = self.files.write("dark", np.random.default_rng(5).normal(0, 10, (SIDE, SIDE)))
        r = nnps_iec(self.files, [dark])
        self.assertEqual(r.returncode, 3)
        self.assertIn("not clearly above zero", r.stderr)


def dqe_iec(files, edge_h, edge_v, flats, *extra, kerma="2"):
    args = ["dqe", "--method", "iec", "--edge-h", edge_h, "--edge-h-roi", "234,134,300,500",
            "--edge-v", edge_v, "--edge-v-roi", "134,234,500,300", "--preset", "IEC", "--list",
            files.listing, "--beam", "RQA5", "--kerma", kerma]
    for f in flats:
        args += ["--flat", f]
    return run(*args, *extra)


class IecDqe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.files = Files(cls.tmp)
        cls.sigma = {"H": 0.8, "V": 1.4}
        cls.edge_h = cls.files.edge("eh", False, cls.sigma["H"], 10)
        cls.edge_v = cls.files.edge("ev", True, cls.sigma["V"], 11)
        cls.flats = [cls.files.counter("f%d" % i, 2.0, 20 + i)[0] for i in range(3)]
        cls.conversion = "linear:%r,0" % (Q_2015 * PITCH * PITCH)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def test_dqe_per_direction_is_the_squared_mtf_of_its_own_edge(self):
        r = dqe_iec(self.files, self.edge_h, self.edge_v, self.flats, "--conversion", self.conversion)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(figure(r.stdout, "q"), str(Q_2015))
        p = points(r.stdout)
        f = p[:, 0]
        self.assertAlmostEqual(f[-1], 5.0, places=4)
        for col, name in ((1, "H"), (2, "V")):
            truth = np.exp(-2 * (math.pi * self.sigma[name] * PITCH * f) ** 2)
            low = f <= 2.5
            np.testing.assert_allclose(p[low, col], truth[low], atol=0.02, err_msg=name)
            # An ideal counter: DQE = MTF^2 (NNPS q K = 1 within its errors).
            ratio = p[low, col + 4] / np.maximum(p[low, col] ** 2, 1e-9)
            self.assertLess(abs(np.median(ratio) - 1), 0.05, name)
        # The printed DQE is the printed MTF^2 / (NNPS q K) to the printed digits.
        np.testing.assert_allclose(p[:, 5], p[:, 1] ** 2 / (p[:, 3] * Q_2015 * 2), rtol=1e-4, atol=2e-5)
        np.testing.assert_allclose(p[:, 6], p[:, 2] ** 2 / (p[:, 4] * Q_2015 * 2), rtol=1e-4, atol=2e-5)

    def test_edition_q_and_swapped_edges(self):
        base = dqe_iec(self.files, self.edge_h, self.edge_v, self.flats[:1])
        old = dqe_iec(self.files, self.edge_h, self.edge_v, self.flats[:1], "--edition", "2003")
        typed = dqe_iec(self.files, self.edge_h, self.edge_v, self.flats[:1], "--q", "40000")
        for r in (base, old, typed):
            self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(figure(old.stdout, "q"), str(Q_2003))
        self.assertEqual(figure(typed.stdout, "q"), "40000")
        d = points(base.stdout)[:, 5]
        np.testing.assert_allclose(points(old.stdout)[:, 5], d * Q_2015 / Q_2003, rtol=2e-4, atol=2e-5)
        np.testing.assert_allclose(points(typed.stdout)[:, 5], d * Q_2015 / 40000, rtol=2e-4, atol=2e-5)
        swapped = dqe_iec(self.files, self.edge_v, self.edge_h, self.flats[:1])
        self.assertEqual(swapped.returncode, 3)
        self.assertIn("swap", swapped.stderr)
        self.assertEqual(dqe_iec(self.files, self.edge_h, self.edge_v, self.flats[:1], "--edition", "2010").returncode, 2)

    def test_report_tables_equal_the_printed_table(self):
        if shutil.which("pdftotext") is None:
            self.fail("pdftotext is missing: scripts/install-deps.sh installs poppler-utils")
        pdf = os.path.join(self.tmp, "report.pdf")
        r = dqe_iec(self.files, self.edge_h, self.edge_v, self.flats, "--conversion", self.conversion,
                    "--report", pdf)
        self.assertEqual(r.returncode, 0, r.stderr)
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True).stdout
        printed = [line.split()[1:] for line in r.stdout.splitlines() if line.startswith("point ")]
        standard = [row for row in printed if abs(float(row[0]) / 0.5 - round(float(row[0]) / 0.5)) < 1e-6]
        self.assertEqual(len(standard), 10)  # 0.5 .. 5.0
        table = [line.split() for line in text.splitlines()]
        for row in standard:
            self.assertIn(row, table, "row %s of the printed table is not in the report" % row[0])
        for w in [line for line in r.stdout.splitlines() if line.startswith("warning ")]:
            self.assertIn(w.split()[1], text)
        self.assertIn(self.edge_h, text.replace("\n", ""))


class ReadmeRoad(unittest.TestCase):
    """The README's two commands on the bundled samples: convert, then dqe with its output."""

    def test_convert_then_dqe_on_the_samples(self):
        here = os.path.dirname(MEASURE)
        sample = lambda name: os.path.join(here, name)
        flats = ["sample_flat_2.5ugy.raw", "sample_flat_5ugy.raw", "sample_flat_10ugy.raw"]
        args = ["convert", "--preset", "SAMPLE-FLAT-RAW", "--roi", "256,256,512,512"]
        for name, kerma in zip(flats, ("2.5", "5", "10")):
            args += ["--flat", sample(name), "--kerma", kerma]
        c = run(*args)
        self.assertEqual(c.returncode, 0, c.stderr)
        # The samples' detector: 100 DN + 2 DN per quantum, 296.53 quanta per uGy and pixel.
        self.assertAlmostEqual(float(figure(c.stdout, "slope")), 593.06, delta=0.5)
        self.assertAlmostEqual(float(figure(c.stdout, "intercept")), 100, delta=1)
        with tempfile.TemporaryDirectory() as tmp:
            pdf = os.path.join(tmp, "dqe.pdf")
            r = run("dqe", "--method", "iec", "--preset", "SAMPLE-FLAT-RAW", "--beam", "RQA5", "--kerma", "2.5",
                    "--edge-h", sample("sample_edge.raw"), "--edge-h-roi", "362,412,300,200",
                    "--edge-v", sample("sample_edge_v.raw"), "--edge-v-roi", "412,362,200,300",
                    "--flat", sample(flats[0]), "--conversion", figure(c.stdout, "conversion"), "--report", pdf)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(r.stderr, "")
            self.assertTrue(open(pdf, "rb").read(5) == b"%PDF-")
        self.assertAlmostEqual(float(figure(r.stdout, "mean_kerma")), 2.5, delta=0.01)
        self.assertAlmostEqual(float(figure(r.stdout, "angle_deg_h")), -3.0, delta=0.01)
        p = points(r.stdout)
        # The sample edge: a Gaussian blur of 1.2 pixels, and quantum-limited flat fields.
        truth = np.exp(-2 * (math.pi * 0.12 * p[:, 0]) ** 2)
        low = p[:, 0] <= 2.5
        np.testing.assert_allclose(p[low, 1], truth[low], atol=0.01)
        np.testing.assert_allclose(p[low, 2], truth[low], atol=0.01)
        self.assertLess(abs(np.median(p[:, 3] * Q_2015 * 2.5) - 1), 0.05)


if __name__ == "__main__":
    MEASURE = sys.argv.pop(1)
    unittest.main()
