#!/usr/bin/python3
"""vantry-measure dqe: the table's shape, every row against the definition recomputed from its
printed columns and against the mtf and nnps commands on the same images, the kerma, the beam
list and q, several flat fields, the chart picture and the exit statuses."""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import flat_fields

MEASURE = None
BIN = None

EDGE_ROI = "362,412,300,200"  # as mtf_cli_test measures the sample edge
FLAT_ROI = "256,256,512,512"
PRESET = "SAMPLE-FLAT-RAW"
RQA5_Q = 29653
COLUMNS = "f (1/mm)\tMTF\tNNPS (mm^2)\tNEQ (1/mm^2)\tDQE"
NS = "{http://www.w3.org/2000/svg}"


def run(*args, program=None):
    return subprocess.run([program or MEASURE, *args], capture_output=True, text=True, timeout=120)


def sample(name):
    return os.path.join(BIN, name)


def dqe(*extra, edge=None, flats=None, kerma="2.5", beam="RQA5", program=None):
    args = ["dqe", "--edge", edge or sample("sample_edge.raw"), "--edge-roi", EDGE_ROI]
    for flat in flats or [sample("sample_flat.raw")]:
        args += ["--flat", flat]
    args += ["--flat-roi", FLAT_ROI, "--preset", PRESET, "--kerma", kerma, "--beam", beam]
    return run(*args, *extra, program=program)


class Table:
    """The printed "Clip DQE" table, taken apart."""

    def __init__(self, stdout):
        lines = stdout.split("\n")
        assert lines[-1] == "", "the output ends with a line end"
        lines.pop()
        self.warnings = []
        while lines and lines[0].startswith("warning "):
            self.warnings.append(lines.pop(0))
        self.header = lines[0].split("\t")
        self.columns = lines[1]
        self.rows = [line.split("\t") for line in lines[2:]]

    def column(self, i):
        return [float(row[i]) for row in self.rows]


def half_digit(text):
    """Half a unit of the last printed digit of a number, fixed or in exponent form."""
    mantissa, _, exponent = text.partition("E")
    decimals = len(mantissa.partition(".")[2])
    return 0.5 * 10 ** (-decimals + (int(exponent) if exponent else 0))


def within(value, printed):
    """The interval a printed number stands for."""
    return value - half_digit(printed), value + half_digit(printed)


class DqeTable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = dqe()
        cls.table = Table(cls.result.stdout)

    def test_header_columns_and_row_format(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(self.result.stderr, "")
        self.assertNotIn("\r", self.result.stdout)
        t = self.table
        self.assertEqual(t.header, ["MTF No.1 %s H" % PRESET, "NNPS No.2 %s R" % PRESET, "RQA5",
                                    "q=%d /(mm^2 uGy)" % RQA5_Q, "Ka=2.5 uGy"])
        self.assertEqual(t.columns, COLUMNS)
        # The NNPS bins of 0.1 mm pixels every 0.2 cycles/mm up to 5, as far as the MTF (computed
        # to 5) reaches: its last point and the last bin both lie at 5 within single precision.
        self.assertIn(len(t.rows), (24, 25))
        for k, row in enumerate(t.rows, 1):
            self.assertEqual(len(row), 5, row)
            f, mtf, nnps, neq, value = row
            self.assertEqual(f, "%.2f" % (0.2 * k))
            self.assertRegex(mtf, r"^\d\.\d{4}$")
            self.assertRegex(nnps, r"^\d\.\d{3}E-\d\d$")
            self.assertRegex(neq, r"^\d\.\d{4}E[-+]\d\d$")
            self.assertRegex(value, r"^\d+\.\d{4}$")

    def test_every_row_is_the_definition_of_its_printed_columns(self):
        # NEQ = MTF^2 / NNPS and DQE = NEQ / (q Ka), with each printed column standing for the
        # interval of its rounding.
        q_kerma = RQA5_Q * 2.5
        for row in self.table.rows:
            mtf_lo, mtf_hi = within(float(row[1]), row[1])
            nnps_lo, nnps_hi = within(float(row[2]), row[2])
            neq_lo, neq_hi = mtf_lo ** 2 / nnps_hi, mtf_hi ** 2 / nnps_lo
            neq, value = float(row[3]), float(row[4])
            self.assertGreaterEqual(neq + half_digit(row[3]), neq_lo, row)
            self.assertLessEqual(neq - half_digit(row[3]), neq_hi, row)
            self.assertGreaterEqual(value + half_digit(row[4]), neq_lo / q_kerma, row)
            self.assertLessEqual(value - half_digit(row[4]), neq_hi / q_kerma, row)

    def test_columns_are_the_curves_of_the_mtf_and_nnps_commands(self):
        mtf = run("mtf", sample("sample_edge.raw"), "--preset", PRESET, "--roi", EDGE_ROI,
                  "--fmax", "5")
        self.assertEqual(mtf.returncode, 0, mtf.stderr)
        lines = mtf.stdout.split("\n")
        mtf_values = [float(v) for v in lines[6:6 + 51]]
        nnps = run("nnps", sample("sample_flat.raw"), "--preset", PRESET, "--roi", FLAT_ROI)
        self.assertEqual(nnps.returncode, 0, nnps.stderr)
        points = [line.split(" ") for line in nnps.stdout.split("\n")[:25]]
        for k, row in enumerate(self.table.rows, 1):
            _, f, power = points[k - 1]
            self.assertEqual(row[0], "%.2f" % float(f))
            # The spline through the NNPS points passes through them.
            self.assertAlmostEqual(float(row[2]), float(power), delta=half_digit(row[2]) * 1.001)
            # The MTF at 0.2 k is its own point 2 k, printed by mtf to 3 decimals.
            self.assertAlmostEqual(float(row[1]), mtf_values[2 * k], delta=0.0005 + 0.00005 + 1e-6)

    def test_doubling_the_kerma_halves_the_dqe(self):
        double = dqe(kerma="5")
        self.assertEqual(double.returncode, 0, double.stderr)
        t = Table(double.stdout)
        self.assertEqual(t.header[4], "Ka=5 uGy")
        self.assertEqual([row[:4] for row in t.rows], [row[:4] for row in self.table.rows],
                         "f, MTF, NNPS and NEQ do not depend on the kerma")
        for base, halved in zip(self.table.column(4), t.column(4)):
            self.assertAlmostEqual(halved, base / 2, delta=0.00005 + 0.000025 + 1e-9)
        self.assertGreater(self.table.column(4)[0], 1, "the first rows are far from 0")

    def test_beam_quality_chooses_q(self):
        rqa7 = Table(dqe(beam=" rqa7 ").stdout)
        self.assertEqual(rqa7.header[2:4], ["rqa7", "q=32490 /(mm^2 uGy)"],
                         "found in any case, without the blanks around it")
        # DQE = NEQ / (q K): a typed q (for a beam the list lacks, or over a listed one) and the
        # 2003 edition's q of RQA5 (30174) scale every row by RQA5_Q / q.
        for args, beam, label, q in ((["--q", "25000"], "SITE-W", "SITE-W", 25000),
                                     (["--q", "40000"], "RQA5", "RQA5", 40000),
                                     (["--edition", "2003"], "RQA5", "RQA5", 30174),
                                     (["--edition", "2015"], "RQA5", "RQA5", RQA5_Q)):
            result = dqe(*args, beam=beam)
            self.assertEqual(result.returncode, 0, result.stderr)
            t = Table(result.stdout)
            self.assertEqual(t.header[2:4], [label, "q=%d /(mm^2 uGy)" % q], args)
            self.assertEqual([row[:4] for row in t.rows], [row[:4] for row in self.table.rows])
            for rqa5, typed in zip(self.table.column(4), t.column(4)):
                self.assertAlmostEqual(typed, rqa5 * RQA5_Q / q,
                                       delta=0.00005 * (1 + RQA5_Q / q) + 1e-9, msg=args)


class DqeFlatFields(unittest.TestCase):
    def nnps_powers(self, files, *extra):
        result = run("nnps", *files, "--preset", PRESET, "--roi", FLAT_ROI, *extra)
        self.assertEqual(result.returncode, 0, result.stderr)
        return [float(line.split(" ")[2]) for line in result.stdout.split("\n")[:25]]

    def test_several_flats_and_the_one_dimensional_modes_measure_as_nnps_does(self):
        with tempfile.TemporaryDirectory() as tmp:
            louder = os.path.join(tmp, "louder.raw")
            flat_fields.scaled_flat(sample("sample_flat.raw"), louder, 1.5)
            flats = [sample("sample_flat.raw"), louder]
            cases = [([], " R"), (["--mode", "1d-h"], " H"),
                     (["--mode", "1d-v", "--lines", "3"], " V")]
            for extra, label in cases:
                result = dqe(*extra, flats=flats)
                self.assertEqual(result.returncode, 0, result.stderr)
                t = Table(result.stdout)
                self.assertEqual(t.header[1], "NNPS No.2 " + PRESET + label)
                expected = self.nnps_powers(flats, *extra)
                # Both fields count: the louder one has about 2.25 times the power of the sample.
                alone = self.nnps_powers(flats[:1], *extra)
                self.assertGreater(expected[0] / alone[0], 1.4, extra)
                for row, power in zip(t.rows, expected):
                    self.assertAlmostEqual(float(row[2]), power, delta=half_digit(row[2]) * 1.001,
                                           msg="%s at %s" % (extra, row[0]))


class DqeChart(unittest.TestCase):
    def chart(self, *extra, kerma="30"):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "dqe.svg")
            result = dqe("--svg", path, *extra, kerma=kerma)
            self.assertEqual(result.returncode, 0, result.stderr)
            return Table(result.stdout), ET.parse(path).getroot()

    def check_curve(self, table, svg, xmax):
        # The chart spans -0.15 .. 1.05 of the axis across 960 pixels and 1.3 .. -0.2 of its
        # height (1.2, or 1.05 x the largest DQE) down 720; the curve, yellow, joins the rows up
        # to the axis' end.
        ymax = max(1.2, 1.05 * max(table.column(4)))
        curves = [e for e in svg.iter(NS + "polyline") if e.get("stroke") == "#ffff00"]
        self.assertEqual(len(curves), 1)
        points = [tuple(map(float, p.split(","))) for p in curves[0].get("points").split()]
        expected = [((f + 0.15 * xmax) / (1.2 * xmax) * 960, (1.3 * ymax - d) / (1.5 * ymax) * 720)
                    for f, d in zip(table.column(0), table.column(4)) if f <= xmax + 1e-6]
        self.assertEqual(len(points), len(expected) + 1, "the first point twice: it starts there")
        for (px, py), (ex, ey) in zip(points[1:], expected):
            self.assertAlmostEqual(px, ex, delta=0.01)
            self.assertAlmostEqual(py, ey, delta=0.00005 / (1.5 * ymax) * 720 + 0.01)
        return ymax

    def test_svg_is_the_chart_with_axes_title_and_curve(self):
        table, svg = self.chart()
        self.assertEqual((svg.get("width"), svg.get("height")), ("960", "720"))
        texts = [t.text for t in svg.iter(NS + "text")]
        for label in ("0", "3.0", "1.2", "DQE", "Spatial Frequency (cycles/mm)",
                      "DQE of %s H / %s R  RQA5 q=%d Ka=30 uGy" % (PRESET, PRESET, RQA5_Q)):
            self.assertIn(label, texts)
        self.assertEqual(self.check_curve(table, svg, 3.0), 1.2)
        self.assertNotIn("DQE = 1", texts, "no value above 1 at 30 uGy")
        self.assertEqual([e for e in svg.iter(NS + "line") if e.get("stroke") == "#ff0000"], [])
        # --nfmax moves the axis' end: the whole curve up to 5 cycles/mm.
        table, svg = self.chart("--nfmax", "5")
        self.assertIn("5.0", [t.text for t in svg.iter(NS + "text")])
        self.check_curve(table, svg, 5.0)

    def test_a_dqe_above_the_frame_raises_it(self):
        table, svg = self.chart(kerma="2.5")
        ymax = self.check_curve(table, svg, 3.0)
        self.assertAlmostEqual(ymax, 1.05 * max(table.column(4)), delta=1e-9)
        self.assertIn("%.1f" % ymax, [t.text for t in svg.iter(NS + "text")])
        # The line DQE = 1, light red, across the axis 0 .. 3, labelled.
        self.assertIn("DQE = 1", [t.text for t in svg.iter(NS + "text")])
        limit = [e for e in svg.iter(NS + "line") if e.get("stroke") == "#ff0000"]
        self.assertEqual(len(limit), 1)
        y = (1.3 * ymax - 1) / (1.5 * ymax) * 720
        for name, value in (("x1", 0.15 / 1.2 * 960), ("x2", 1.15 / 1.2 * 960), ("y1", y),
                            ("y2", y)):
            self.assertAlmostEqual(float(limit[0].get(name)), value, delta=0.01, msg=name)

    def test_unwritable_chart_exits_3_and_prints_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            result = dqe("--svg", tmp)
            self.assertEqual(result.returncode, 3)
            self.assertIn("folder", result.stderr)
            self.assertEqual(result.stdout, "")


class DqeStatuses(unittest.TestCase):
    def assertRefused(self, result, *reasons):
        self.assertEqual(result.returncode, 3, result.stdout[:300] + result.stderr)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr.count("\n"), 1, "one line on stderr: " + result.stderr)
        for reason in reasons:
            self.assertIn(reason, result.stderr)

    def test_usage_errors_exit_2(self):
        edge = ["--edge", sample("sample_edge.raw"), "--edge-roi", EDGE_ROI]
        flat = ["--flat", sample("sample_flat.raw"), "--flat-roi", FLAT_ROI]
        rest = ["--preset", PRESET, "--kerma", "2.5", "--beam", "RQA5"]
        good = edge + flat + rest
        cases = [
            flat + rest,  # no --edge
            edge + rest,  # no --flat
            edge + ["--flat", sample("sample_flat.raw")] + rest,  # no --flat-roi
            edge + flat + ["--preset", PRESET, "--beam", "RQA5"],  # no --kerma
            edge + flat + ["--preset", PRESET, "--kerma", "2.5"],  # no --beam
            edge + flat + ["--kerma", "2.5", "--beam", "RQA5"],  # no --preset
            good + ["--edge", sample("sample_edge.raw")],  # two edges
            good + [sample("sample_flat.raw")],  # a FILE without its option
            good + ["--roi", FLAT_ROI],  # an option of nnps and mtf
            good + ["--fmax", "5"],
            good + ["--bogus"],
            good + ["--mode", "nps"],  # not normalised
            good + ["--mode", "3d"],
            good + ["--lines", "7"],  # 2d takes no lines
            good + ["--vfilter", "2"],
            good + ["--nfmax", "6"],
            good + ["--nfint", "0"],
            good + ["--kerma", "2.5uGy"],
            good + ["--kerma", ""],
            good + ["--kerma", "nan"],
            good + ["--edition", "2010"],
            good + ["--edition", ""],
            good + ["--beam", "SITE-W", "--q", "many"],
            good + ["--beam", "  "],
            good + ["--edge-roi", "362,412,300"],
            good + ["--flat-roi", "0,0,0,256"],
            good + ["--flat", ""],
            good + ["--svg", ""],
        ]
        for args in cases:
            result = run("dqe", *args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("usage:", result.stderr, args)
            self.assertEqual(result.stdout, "", args)
        self.assertIn("--edition needs 2015 or 2003", run("dqe", *good, "--edition", "2010").stderr)
        self.assertEqual(run("dqe", *good).returncode, 0)

    def test_help_documents_the_command(self):
        usage = run("--help").stdout
        self.assertIn("vantry-measure dqe --edge FILE", usage)
        for text in ("--edge-roi", "--flat-roi", "--kerma", "--beam", "--q", "BEAMQ.TXT",
                     "--edition 2015|2003", "overrides the listed q",
                     "NEQ = MTF^2 / NNPS", "DQE = NEQ / (q K)", "Clip DQE"):
            self.assertIn(text, usage)

    def test_images_the_roads_refuse_exit_3(self):
        self.assertRefused(dqe(edge=sample("sample_flat.raw")), "edge image:", "no edge")
        self.assertRefused(dqe(edge="/nonexistent/edge.raw"), "edge image:",
                           "/nonexistent/edge.raw")
        self.assertRefused(dqe(flats=[sample("sample_flat.raw"), "/nonexistent/flat.raw"]),
                           "flat field:", "/nonexistent/flat.raw")
        with tempfile.TemporaryDirectory() as tmp:
            constant = os.path.join(tmp, "constant.raw")
            flat_fields.write_raw(constant, [2000] * (1024 * 1024))
            self.assertRefused(dqe(flats=[constant]), "flat field:", "constant")
            half = os.path.join(tmp, "half.dcm")
            full = sample("sample_flat_implicit.dcm")
            flat_fields.cropped_dicom(full, half, 512)
            args = ["dqe", "--edge", sample("sample_edge_explicit.dcm"), "--edge-roi", EDGE_ROI,
                    "--flat", full, "--flat", half, "--flat-roi", FLAT_ROI, "--preset", "DICOM",
                    "--kerma", "2.5", "--beam", "RQA5"]
            self.assertRefused(run(*args), "flat field:", "differ in size")
            # Each of the DICOM files alone goes through.
            self.assertEqual(run(*args[:7], *args[9:]).returncode, 0)
            # Pitches from the files: an edge of 0.1 mm pixels and a flat field of 0.2 mm.
            coarse = os.path.join(tmp, "coarse.dcm")
            flat_fields.respaced_dicom(full, coarse, "0.2\\0.2")
            args = ["dqe", "--edge", sample("sample_edge_explicit.dcm"), "--edge-roi", EDGE_ROI,
                    "--flat-roi", FLAT_ROI, "--preset", "DICOM-PITCH-FROM-FILE", "--kerma", "2.5",
                    "--beam", "RQA5"]
            self.assertEqual(run(*args, "--flat", full).returncode, 0)
            for flats in ([coarse], [full, coarse]):
                more = [x for f in flats for x in ("--flat", f)]
                self.assertRefused(run(*args, *more), "The edge image has a pitch of 0.1 mm and the "
                                   "flat field %s 0.2 mm" % coarse)
        small = run("dqe", "--edge", sample("sample_edge.raw"), "--edge-roi", "480,500,54,30",
                    "--flat", sample("sample_flat.raw"), "--flat-roi", FLAT_ROI, "--preset", PRESET,
                    "--kerma", "2.5", "--beam", "RQA5")
        self.assertRefused(small, "edge image:", "too small")
        partial = run("dqe", "--edge", sample("sample_edge.raw"), "--edge-roi", EDGE_ROI,
                      "--flat", sample("sample_flat.raw"), "--flat-roi", "0,0,300,256",
                      "--preset", PRESET, "--kerma", "2.5", "--beam", "RQA5")
        self.assertRefused(partial, "flat field:", "not a whole number of 256 x 256 blocks")

    def test_kerma_and_q_the_calculation_refuses_exit_3(self):
        # 1e-310 once hung the chart's grid loop with memory growing by hundreds of MB a second.
        for kerma in ("0", "-2.5", "1e31", "1e-310", "0.0009", "100001"):
            self.assertRefused(dqe(kerma=kerma), "air kerma must be a number of uGy from 0.001 to 100000")
        self.assertRefused(dqe(beam="RQA6"), "RQA6 is not in BEAMQ.TXT", "--q")
        for q in ("0", "-30000", "1e-200", "999", "1000001"):
            self.assertRefused(dqe("--q", q, beam="SITE-W"), "q must be a number of photons per mm^2 and uGy from 1000")
        # At the ends of the ranges the DQE is computed; a kerma far too low gives a DQE above 1,
        # printed with a warning line before the table.
        low = dqe(kerma="0.001")
        self.assertEqual(low.returncode, 0, low.stderr)
        self.assertTrue(low.stdout.startswith("warning the DQE reaches "), low.stdout[:200])
        self.assertEqual(dqe("--q", "1000", beam="SITE-W").returncode, 0)
        clean = dqe(kerma="30")  # above the 21.6 uGy the samples stand for: no bin reaches 1
        self.assertEqual(clean.returncode, 0, clean.stderr)
        self.assertNotIn("warning", clean.stdout)

    def test_beam_list_beside_the_program(self):
        # A copy of the program in a folder of its own reads the list there.
        with tempfile.TemporaryDirectory() as tmp:
            for name in ("vantry-measure", "libParvel.so", "libFourel.so", "VYLIST.TXT"):
                shutil.copy2(os.path.join(os.path.dirname(MEASURE), name), tmp)
            program = os.path.join(tmp, "vantry-measure")
            beams = os.path.join(tmp, "BEAMQ.TXT")
            with open(beams, "w") as f:
                f.write("name q edition\nSITE-W 25000 local 2015\nRQA5 30174 older 2015\n")
            site = dqe(beam="site-w", program=program)
            self.assertEqual(site.returncode, 0, site.stderr)
            self.assertEqual(Table(site.stdout).header[2:4], ["site-w", "q=25000 /(mm^2 uGy)"])
            self.assertEqual(Table(dqe(program=program).stdout).header[3], "q=30174 /(mm^2 uGy)")
            # A site line is found only under the edition its third field names.
            self.assertRefused(dqe("--edition", "2003", beam="SITE-W", program=program),
                               "SITE-W is not in BEAMQ.TXT for the 2003 edition", "--q")
            with open(beams, "a") as f:
                f.write("RQA9 -1 broken\n")
            self.assertRefused(dqe(program=program), "beam list:", "Line 4")
            # With --q the faulty list does not stop the run: the lines it could not read are
            # warned when the beam is not in what it could read.
            typed = dqe("--q", "25000", beam="SITE-X", program=program)
            self.assertEqual(typed.returncode, 0, typed.stderr)
            t = Table(typed.stdout)
            self.assertEqual(t.header[2:4], ["SITE-X", "q=25000 /(mm^2 uGy)"])
            self.assertEqual(len(t.warnings), 2, t.warnings)
            self.assertTrue(t.warnings[0].startswith("warning line 4 of the beam list "), t.warnings)
            self.assertTrue(t.warnings[1].startswith("warning the DQE reaches "), t.warnings)
            os.remove(beams)
            missing = dqe("--q", "25000", beam="SITE-W", program=program)
            self.assertEqual(missing.returncode, 0, missing.stderr)
            t = Table(missing.stdout)
            self.assertEqual(t.header[3], "q=25000 /(mm^2 uGy)")
            self.assertIn("cannot be read", t.warnings[0])
            self.assertRefused(dqe(beam="SITE-W", program=program), "beam list:", "cannot be read")
            # A name repeated within one edition: the first line counts, the repeat is warned.
            with open(beams, "w") as f:
                f.write("name q edition\nRQA5 29653 IEC62220-1-1:2015\nRQA5 33000 2015\n")
            repeated = dqe(program=program, kerma="30")
            self.assertEqual(repeated.returncode, 0, repeated.stderr)
            t = Table(repeated.stdout)
            self.assertEqual(t.warnings, ["warning line 3 of the beam list repeats RQA5 of the 2015 "
                                          "edition: line 2 is used"])
            self.assertEqual(t.header[3], "q=29653 /(mm^2 uGy)")
            self.assertEqual(t.rows, Table(dqe(kerma="30").stdout).rows)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    suite = unittest.TestSuite()
    for case in (DqeTable, DqeFlatFields, DqeChart, DqeStatuses):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
