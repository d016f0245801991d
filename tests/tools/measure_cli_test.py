#!/usr/bin/python3
"""vantry-measure from the command line: the documented output, exit statuses and files."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

MEASURE = None
BIN = None


def run(*args):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True)


def lines(result):
    return dict(line.split(" ", 1) for line in result.stdout.splitlines())


class Read(unittest.TestCase):
    def test_prints_size_offset_pitch_encoding_and_statistics(self):
        result = run("read", os.path.join(BIN, "sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW")
        self.assertEqual(result.returncode, 0, result.stderr)
        out = lines(result)
        first = ["width", "height", "offset", "pitch", "encoding", "min", "max", "mean", "pitch_from"]
        self.assertEqual(list(out), first)
        self.assertEqual((out["width"], out["height"], out["offset"], out["pitch"]), ("1024", "1024", "512", "0.1"))
        self.assertEqual(out["pitch_from"], "preset")
        dicom = lines(run("read", os.path.join(BIN, "sample_edge_explicit.dcm"), "--preset", "DICOM"))
        self.assertEqual(dicom["mean"], out["mean"], "the raw and DICOM samples hold the same edge")
        self.assertEqual(list(dicom), first + ["elements", "transfer_syntax", "frames", "pixel_representation",
                                               "imager_pixel_spacing", "pixel_spacing", "rescale_slope",
                                               "rescale_intercept", "presentation_intent"])
        self.assertEqual((dicom["elements"], dicom["transfer_syntax"], dicom["frames"]),
                         ("walk", "1.2.840.10008.1.2.1", "1"))
        self.assertEqual((dicom["pixel_representation"], dicom["imager_pixel_spacing"], dicom["pixel_spacing"]),
                         ("0", "absent", "0.1\\0.1"))

    def test_dump_writes_the_pixels_little_endian(self):
        with tempfile.TemporaryDirectory() as tmp:
            dump = os.path.join(tmp, "flat.i16")
            result = run("read", os.path.join(BIN, "sample_flat_implicit.dcm"), "--preset", "DICOM", "--dump", dump)
            self.assertEqual(result.returncode, 0, result.stderr)
            data = open(dump, "rb").read()
            self.assertEqual(len(data), 1024 * 1024 * 2)
            values = struct.unpack("<%dh" % (1024 * 1024), data)
            self.assertAlmostEqual(sum(values) / len(values), float(lines(result)["mean"]), places=3)

    def test_errors_exit_3_and_usage_errors_exit_2(self):
        missing = run("read", "/nonexistent.dcm", "--preset", "DICOM")
        self.assertEqual(missing.returncode, 3)
        self.assertIn("does not exist", missing.stderr)
        self.assertEqual(run("read", "x.dcm", "--preset", "NO-SUCH").returncode, 3)
        usage = run("read", "x.dcm")
        self.assertEqual(usage.returncode, 2)
        self.assertIn("usage:", usage.stderr)
        self.assertEqual(run("read", "x.dcm", "--preset", "DICOM", "--bogus").returncode, 2)
        self.assertEqual(run("--help").returncode, 0)
        for option in ("--preset", "--list", "--to-log", "--to-linear", "--linear-adj", "--dump", "--pane",
                       "--ww", "--wl", "--negative", "--fit", "--mag", "--p100", "--flip", "--png"):
            self.assertIn(option, run("--help").stdout)


class View(unittest.TestCase):
    def test_fit_into_the_default_pane(self):
        result = run("view", os.path.join(BIN, "sample_edge_explicit.dcm"), "--preset", "DICOM")
        self.assertEqual(result.returncode, 0, result.stderr)
        out = lines(result)
        # 1024 x 1024 into 1000 x 800: 800 wide, centred with 100 on each side
        self.assertEqual(out["bmp"], "800 800")
        self.assertEqual(out["offset"], "100 0")
        self.assertEqual(out["pxs"], "1.28")
        self.assertEqual(out["caption"], "0.781 3.906 1")

    def test_png_holds_the_whole_pane(self):
        with tempfile.TemporaryDirectory() as tmp:
            png = os.path.join(tmp, "pane.png")
            result = run("view", os.path.join(BIN, "sample_flat.raw"), "--preset", "SAMPLE-FLAT-RAW",
                         "--pane", "300x200", "--mag", "2", "--flip", "2", "--png", png)
            self.assertEqual(result.returncode, 0, result.stderr)
            data = open(png, "rb").read()
            self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(struct.unpack(">II", data[16:24]), (300, 200))

    def test_bad_view_options_are_usage_errors(self):
        sample = os.path.join(BIN, "sample_flat.raw")
        for bad in (["--mag", "1.2"], ["--pane", "1x5"], ["--fit", "--mag", "2"], ["--p100", "x"]):
            self.assertEqual(run("view", sample, "--preset", "SAMPLE-FLAT-RAW", *bad).returncode, 2, bad)
        self.assertEqual(run("view", sample, "--preset", "SAMPLE-FLAT-RAW", "--ww", "99999").returncode, 3)


class Roi(unittest.TestCase):
    def test_caption_clipboard_and_result_boxes(self):
        result = run("roi", os.path.join(BIN, "sample_edge_explicit.dcm"), "--preset", "DICOM",
                     "--roi", "100,400,200,200", "--back", "700,400,200,200")
        self.assertEqual(result.returncode, 0, result.stderr)
        out = result.stdout.splitlines()
        self.assertTrue(out[0].startswith("caption Ave="), out[0])
        self.assertTrue(out[0].endswith(" 200 200"))
        self.assertEqual(out[1], "clipboard")
        self.assertEqual(out[2], "0.00", "the first measurement has no previous mean")
        mean = float(out[3])
        # the dark side of the edge sample: 600 with noise of 12
        self.assertAlmostEqual(mean, 600, delta=1)
        self.assertAlmostEqual(float(out[4]), 12, delta=0.5)
        boxes = dict(line.split(" ") for line in out[7:])
        self.assertEqual(list(boxes), ["Ave", "Aveb", "SDb", "SNRb", "CNR"])
        self.assertAlmostEqual(float(boxes["Aveb"]), 3000, delta=1)
        # SNR is the rounded mean over the unrounded deviation; SDb as printed is off by up to
        # 0.005 of 12, which moves the ratio by up to 250 * 0.005 / 12 = 0.1.
        snr = float(boxes["Aveb"]) / float(boxes["SDb"])
        self.assertAlmostEqual(float(boxes["SNRb"]), snr, delta=0.11)

    def test_roi_outside_the_image_and_bad_roi_texts(self):
        sample = os.path.join(BIN, "sample_flat.raw")
        outside = run("roi", sample, "--preset", "SAMPLE-FLAT-RAW", "--roi", "5000,5000,10,10")
        self.assertEqual(outside.returncode, 3)
        self.assertIn("outside the image", outside.stderr)
        for bad in ("1,2,3", "1,2,0,5", "a,b,c,d"):
            self.assertEqual(run("roi", sample, "--preset", "SAMPLE-FLAT-RAW", "--roi", bad).returncode, 2, bad)


class Strictness(unittest.TestCase):
    """Numbers are whole arguments in range, and each command takes only its own options."""

    def usage(self, *args):
        result = run(*args)
        self.assertEqual(result.returncode, 2, (args, result.stderr))
        self.assertIn("usage:", result.stderr)
        return result

    def test_numbers_must_be_the_whole_argument_and_in_range(self):
        flat = os.path.join(BIN, "sample_flat.raw")
        raw = ("--preset", "SAMPLE-FLAT-RAW")
        # 4294967396 is 100 after wrapping past 32 bits, which would be a valid ROI.
        for bad in ("4294967396,100,50,50", "100,100,50,50x", "100,100,50,50,", " 100,100,50,50",
                    "100,100,+,50", "100,100,1e2,50"):
            self.usage("roi", flat, *raw, "--roi", bad)
        self.usage("roi", flat, *raw, "--roi", "100,100,50,50", "--back", "4294967396,1,5,5")
        for bad in (["--mag", "2abc"], ["--mag", "nan"], ["--mag", "inf"], ["--pane", "4294967396x100"],
                    ["--pane", "100x100junk"], ["--p100", "4294967396,5"], ["--flip", "4"],
                    ["--flip", "-1"], ["--flip", "1x"], ["--flip", "0", "--flip", "5"], ["--ww", "0"],
                    ["--ww", "-5"], ["--ww", "100abc"], ["--wl", "1.5.2"]):
            self.usage("view", flat, *raw, *bad)
        for factor in ("--to-log", "--to-linear"):
            for bad in ("0", "-2", "nan", "inf", "1e999", "5abc", ""):
                self.usage("read", flat, *raw, factor, bad)
        self.assertIn("--flip", self.usage("view", flat, *raw, "--flip", "9").stderr)

    def test_valid_numbers_still_work(self):
        flat = os.path.join(BIN, "sample_flat.raw")
        raw = ("--preset", "SAMPLE-FLAT-RAW")
        view = run("view", flat, *raw, "--pane", "+30x20", "--mag", "1.5", "--ww", "+400", "--wl", "-3",
                   "--flip", "0", "--flip", "3")
        self.assertEqual(view.returncode, 0, view.stderr)
        self.assertEqual(run("read", flat, *raw, "--to-linear", "2.5e0").returncode, 0)
        self.assertEqual(run("roi", flat, *raw, "--roi", "-0,+0,10,10").returncode, 0)

    def test_an_option_of_another_command_is_a_usage_error(self):
        flat = os.path.join(BIN, "sample_flat.raw")
        raw = ("--preset", "SAMPLE-FLAT-RAW")
        self.assertIn("read does not take --png", self.usage("read", flat, *raw, "--png", "x.png").stderr)
        self.usage("read", flat, *raw, "--roi", "1,1,5,5")
        self.usage("read", flat, *raw, "--fit")
        self.usage("view", flat, *raw, "--dump", "x.raw")
        self.usage("view", flat, *raw, "--roi", "1,1,5,5")
        self.usage("roi", flat, *raw, "--roi", "1,1,5,5", "--png", "x.png")
        self.usage("roi", flat, *raw, "--roi", "1,1,5,5", "--negative")
        self.assertFalse(os.path.exists("x.png"))

    def test_refused_input_files_say_what_happened(self):
        with tempfile.TemporaryDirectory() as tmp:
            loop = os.path.join(tmp, "loop")
            os.symlink(loop, loop)
            looped = run("read", loop, "--preset", "SAMPLE-FLAT-RAW")
            self.assertEqual(looped.returncode, 3)
            self.assertIn("loop", looped.stderr)
            long_name = run("read", os.path.join(tmp, "n" * 300), "--preset", "SAMPLE-FLAT-RAW")
            self.assertEqual(long_name.returncode, 3)
            self.assertIn("name is too long", long_name.stderr)
            missing = run("read", os.path.join(tmp, "none.raw"), "--preset", "SAMPLE-FLAT-RAW")
            self.assertIn("does not exist", missing.stderr)

    def test_bad_detector_list_entries_and_an_oversized_list(self):
        flat = os.path.join(BIN, "sample_flat.raw")
        with tempfile.TemporaryDirectory() as tmp:
            listed = os.path.join(tmp, "list.txt")
            with open(listed, "w") as f:
                f.write("header\nSAMPLE-FLAT-RAW 1024 1024 0.1 1 0 512\nZERO 1024 1024 0 1 0 512\n")
            good = run("read", flat, "--preset", "SAMPLE-FLAT-RAW", "--list", listed)
            self.assertEqual(good.returncode, 0, good.stderr)
            self.assertEqual(good.stderr.count("Line 3 of the detector list"), 1, good.stderr)
            zero = run("read", flat, "--preset", "ZERO", "--list", listed)
            self.assertEqual(zero.returncode, 3)
            self.assertIn("Line 3 of the detector list", zero.stderr.splitlines()[-1])
            self.assertIn("the pitch \"0\"", zero.stderr)
            with open(listed, "w") as f:
                f.write("header\nSAMPLE-FLAT-RAW 1024 1024 0.1 1 0 512\n")
                f.write("x" * (1024 * 1024))
            big = run("read", flat, "--preset", "SAMPLE-FLAT-RAW", "--list", listed)
            self.assertEqual(big.returncode, 3)
            self.assertIn("longer than 1 MiB", big.stderr)


class OutputFiles(unittest.TestCase):
    def test_only_regular_files_are_written_and_failures_say_why(self):
        flat = os.path.join(BIN, "sample_flat.raw")
        with tempfile.TemporaryDirectory() as tmp:
            folder = run("read", flat, "--preset", "SAMPLE-FLAT-RAW", "--dump", tmp)
            self.assertEqual(folder.returncode, 3)
            self.assertIn("it is a folder", folder.stderr)
            fifo = os.path.join(tmp, "fifo")
            os.mkfifo(fifo)
            # Opened plainly for writing, a FIFO without a reader would hang the program.
            piped = subprocess.run([MEASURE, "view", flat, "--preset", "SAMPLE-FLAT-RAW", "--png", fifo],
                                   capture_output=True, text=True, timeout=60)
            self.assertEqual(piped.returncode, 3)
            self.assertIn("not a regular file", piped.stderr)
            denied = run("view", flat, "--preset", "SAMPLE-FLAT-RAW", "--png", os.path.join(tmp, "no", "x.png"))
            self.assertEqual(denied.returncode, 3)
            self.assertIn("(No such file or directory)", denied.stderr)

    def test_an_existing_file_is_replaced_whole(self):
        with tempfile.TemporaryDirectory() as tmp:
            png = os.path.join(tmp, "pane.png")
            with open(png, "wb") as f:
                f.write(b"x" * 1000000)
            result = run("view", os.path.join(BIN, "sample_flat.raw"), "--preset", "SAMPLE-FLAT-RAW",
                         "--pane", "30x20", "--png", png)
            self.assertEqual(result.returncode, 0, result.stderr)
            data = open(png, "rb").read()
            self.assertEqual(data[-8:-4], b"IEND", "nothing of the older file is left after the PNG")

    def test_lost_standard_output_exits_3(self):
        with open("/dev/full", "w") as full:
            result = subprocess.run([MEASURE, "read", os.path.join(BIN, "sample_flat.raw"), "--preset",
                                     "SAMPLE-FLAT-RAW"], stdout=full, stderr=subprocess.PIPE, text=True)
        self.assertEqual(result.returncode, 3)
        self.assertIn("cannot write the output", result.stderr)


    def test_no_output_replaces_an_input_of_the_run(self):
        with tempfile.TemporaryDirectory() as tmp:
            edge = os.path.join(tmp, "edge.raw")
            shutil.copy(os.path.join(BIN, "sample_edge.raw"), edge)
            alias = os.path.join(tmp, "alias.raw")
            os.symlink(edge, alias)
            before = open(edge, "rb").read()
            cases = [["mtf", edge, "--preset", "SAMPLE-EDGE-RAW", "--roi", "362,412,300,200", "--svg", alias],
                     ["read", edge, "--preset", "SAMPLE-EDGE-RAW", "--dump", edge],
                     ["view", edge, "--preset", "SAMPLE-EDGE-RAW", "--png", edge]]
            for args in cases:
                result = run(*args)
                self.assertEqual(result.returncode, 3, args)
                self.assertIn("is the input file", result.stderr)
                self.assertEqual(open(edge, "rb").read(), before, "the input is untouched")
            # Another name is written as before.
            fine = run("read", edge, "--preset", "SAMPLE-EDGE-RAW", "--dump", os.path.join(tmp, "out.raw"))
            self.assertEqual(fine.returncode, 0, fine.stderr)


class UnsignedRaw(unittest.TestCase):
    """Raw files of unsigned pixels: a detector entry with the field u16, its offset range, the
    refusal naming the offset that would fit, and the warning for wrapped pixels without it."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        # A 4000 .. 44000 DN ramp, stored unsigned.
        values = [4000 + (i * 40000) // (64 * 64 - 1) for i in range(64 * 64)]
        self.wrapped = 100.0 * sum(v > 32767 for v in values) / len(values)
        self.path = os.path.join(self.tmp, "u16.raw")
        with open(self.path, "wb") as f:
            f.write(struct.pack("<%dH" % len(values), *values))
        self.listing = os.path.join(self.tmp, "list.txt")
        with open(self.listing, "w") as f:
            f.write("Detector Width Height Pitch(mm) Encoding Offset Header\n"
                    "U16-OFS 64 64 0.1 1 20000 0 u16\nU16 64 64 0.1 1 0 0 u16\nSIGNED 64 64 0.1 1 0 0\n"
                    "BIG 64 64 0.1 1 40000 0\nEMPTY 64 64 0.1 1  0\nOTHER 64 64 0.1 1 0 0 s16\n")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def read(self, preset):
        return run("read", self.path, "--preset", preset, "--list", self.listing)

    def test_u16_entry_reads_less_its_offset_or_says_which_offset_fits(self):
        good = self.read("U16-OFS")
        self.assertEqual(good.returncode, 0, good.stderr)
        self.assertIn("min -16000\n", good.stdout)
        self.assertIn("max 24000\n", good.stdout)
        self.assertNotIn("warning", good.stdout)
        refused = self.read("U16")
        self.assertEqual(refused.returncode, 3)
        self.assertIn("reach 44000", refused.stderr)
        self.assertIn("offset of 11233 or more", refused.stderr)
        # Read as signed, the values above 32767 wrap: a warning, the read kept.
        wrapped = self.read("SIGNED")
        self.assertEqual(wrapped.returncode, 0, wrapped.stderr)
        self.assertIn("warning %.1f %% of the pixels are negative" % self.wrapped, wrapped.stdout)
        # 40000 is an offset only a u16 entry takes; an eighth field other than u16 is ignored.
        self.assertEqual(self.read("BIG").returncode, 3)
        self.assertIn("-32768 to 32767", self.read("BIG").stderr)
        self.assertIn("warning", self.read("OTHER").stdout)

    def test_an_empty_field_is_read_as_zero_and_named(self):
        result = self.read("EMPTY")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("warning the detector list entry EMPTY leaves its offset field empty, which reads as 0",
                      result.stdout)


class DicomFacts(unittest.TestCase):
    def test_rescale_and_presentation_intent_are_printed_and_a_presentation_image_warned(self):
        import pydicom
        with tempfile.TemporaryDirectory() as tmp:
            ds = pydicom.dcmread(os.path.join(BIN, "sample_edge_explicit.dcm"))
            ds.RescaleSlope = "2.5"
            ds.RescaleIntercept = "-100"
            ds.PresentationIntentType = "FOR PRESENTATION"
            path = os.path.join(tmp, "presentation.dcm")
            ds.save_as(path)
            result = run("read", path, "--preset", "DICOM")
            self.assertEqual(result.returncode, 0, result.stderr)
            out = result.stdout.splitlines()
            self.assertIn("rescale_slope 2.5", out)
            self.assertIn("rescale_intercept -100", out)
            self.assertIn("presentation_intent FOR PRESENTATION", out)
            self.assertTrue(any(line.startswith("warning the image is FOR PRESENTATION") for line in out))
            ds.PresentationIntentType = "FOR PROCESSING"
            ds.save_as(path)
            processing = run("read", path, "--preset", "DICOM")
            self.assertIn("presentation_intent FOR PROCESSING", processing.stdout.splitlines())
            self.assertNotIn("warning", processing.stdout)


class Help(unittest.TestCase):
    def test_each_command_has_its_help_and_failed_help_exits_3(self):
        for command in ("read", "view", "roi", "mtf", "nnps", "dqe", "convert"):
            result = run(command, "--help")
            self.assertEqual(result.returncode, 0, command)
            first = result.stdout.split("\n")[0]
            self.assertTrue(first.startswith("usage: vantry-measure %s " % command), first)
            # Its own section, and no other command's usage line.
            self.assertIn("\n%s " % command, result.stdout)
            other = "view" if command != "view" else "read"
            self.assertNotIn("vantry-measure %s " % other, result.stdout)
        self.assertIn("--method iec", run("dqe", "--help").stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^vantry-measure \d+\.\d+\.\d+\n$")
        self.assertEqual(run("frob", "--help").returncode, 2)
        # The window program answers both without a display.
        headless = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        program = os.path.join(BIN, "vantry")
        answer = subprocess.run([program, "--version"], capture_output=True, text=True, env=headless, timeout=60)
        self.assertEqual((answer.returncode, answer.stdout), (0, version.stdout.replace("vantry-measure", "vantry")))
        answer = subprocess.run([program, "--help"], capture_output=True, text=True, env=headless, timeout=60)
        self.assertEqual(answer.returncode, 0, answer.stderr)
        self.assertTrue(answer.stdout.startswith("usage: vantry "))
        for args in (["--help"], ["mtf", "--help"]):
            with open("/dev/full", "w") as full:
                result = subprocess.run([MEASURE, *args], stdout=full, stderr=subprocess.PIPE, text=True)
            self.assertEqual(result.returncode, 3, args)
            self.assertIn("cannot write the help", result.stderr)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    suite = unittest.TestSuite()
    for case in (Read, View, Roi, Strictness, OutputFiles, UnsignedRaw, DicomFacts, Help):
        suite.addTests(unittest.TestLoader().loadTestsFromTestCase(case))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
