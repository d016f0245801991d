#!/usr/bin/python3
"""Files written by independent tools, read through vantry-measure.

real:  DICOM files shipped by Debian packages read pixel-identical to pydicom (first frame of a
       multi-frame file), or are refused with their reason; and every uncompressed 16-bit
       single-sample file of pydicom's own test set reads as pydicom reads it, or is refused
       with the reason the data set walk gives.
dcmtk: the bundled edge sample rewritten by DCMTK (implicit, explicit, without meta header,
       big endian) and images written from scratch by dump2dcm read the same pixels, with the
       pitch from the file where the detector list entry asks for it.
"""
import glob
import os
import subprocess
import sys
import tempfile
import unittest

MEASURE = None
FILES = None
BIN = None

# Expected outcome of each real file: "read", or a part of the refusal reason.
REAL_FILES = {
    "CT-MONO2-16-ankle.dcm": "read",
    "simple-test.dcm": "8 bits per pixel",
    "rtstruct.dcm": "no Pixel Data (7FE0,0010)",
    "CT_small.dcm": "read",
    "MR_small_implicit.dcm": "read",
    "ExplVR_BigEnd.dcm": "8 bits per pixel",      # walked in big endian to its colour pixels
    "JPEG2000.dcm": "compressed (transfer syntax 1.2.840.10008.1.2.4.91, JPEG 2000)",
    "liver_1frame.dcm": "1 bits per pixel",
    "rtdose.dcm": "32 bits per pixel",
    # more than 64 KiB of private elements between Columns and Pixel Data
    "siemens_dwi_0.dcm": "read",
    "philips_mprage.dcm": "read",                   # 176 frames: the first is read
}

# pydicom's files that must be among the ones checked pixel by pixel.
PYDICOM_MUST_READ = {"CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm", "MR_small_padded.dcm",
                     "MR_small_bigendian.dcm", "MR_small_expb.dcm"}


def measure(path, *extra, preset="DICOM"):
    return subprocess.run([MEASURE, "read", path, "--preset", preset, *extra],
                          capture_output=True, text=True)


def fields(stdout):
    return dict(line.split(" ", 1) for line in stdout.splitlines())


def dumped(path, folder, preset="DICOM"):
    out = os.path.join(folder, os.path.basename(path) + ".i16")
    result = measure(path, "--dump", out, preset=preset)
    if result.returncode != 0:
        raise AssertionError(f"{path} not read: {result.stderr}")
    with open(out, "rb") as f:
        return f.read()


def first_frame(ds):
    """pydicom's pixels of the first frame as little-endian Int16 bytes."""
    import numpy
    pixels = ds.pixel_array
    if int(ds.get("NumberOfFrames", 1) or 1) > 1:
        pixels = pixels[0]
    return pixels.astype(numpy.int16).astype("<i2").tobytes()


class RealFiles(unittest.TestCase):
    def test_each_file_reads_as_pydicom_reads_it_or_is_refused_with_its_reason(self):
        import pydicom
        with tempfile.TemporaryDirectory() as tmp:
            for name, expected in REAL_FILES.items():
                path = os.path.join(FILES, name)
                self.assertTrue(os.path.isfile(path), f"{path} is missing: run scripts/fetch-test-dicom.sh")
                with self.subTest(file=name):
                    if expected == "read":
                        ds = pydicom.dcmread(path)
                        self.assertEqual(dumped(path, tmp), first_frame(ds), "pixels differ from pydicom's")
                        facts = fields(measure(path).stdout)
                        self.assertEqual(facts["elements"], "walk")
                        self.assertEqual(int(facts["frames"]), int(ds.get("NumberOfFrames", 1) or 1))
                    else:
                        result = measure(path)
                        self.assertEqual(result.returncode, 3, result.stdout)
                        self.assertIn(expected, result.stderr)
                        self.assertIn(name, result.stderr)

    def test_pydicom_uncompressed_16_bit_grey_files_read_as_pydicom_reads_them(self):
        import pydicom
        folder = os.path.join(FILES, "pydicom")
        paths = sorted(glob.glob(os.path.join(folder, "*.dcm")))
        self.assertGreater(len(paths), 50, f"{folder} is incomplete: run scripts/fetch-test-dicom.sh")
        checked = set()
        with tempfile.TemporaryDirectory() as tmp:
            for path in paths:
                name = os.path.basename(path)
                try:
                    ds = pydicom.dcmread(path, force=True)
                except Exception:
                    continue
                syntax = ds.file_meta.get("TransferSyntaxUID") if hasattr(ds, "file_meta") else None
                if ("PixelData" not in ds or (syntax is not None and syntax.is_compressed)
                        or ds.get("BitsAllocated") != 16 or ds.get("SamplesPerPixel", 1) != 1):
                    continue
                checked.add(name)
                with self.subTest(file=name):
                    try:
                        theirs = first_frame(ds)
                    except Exception:
                        theirs = None  # pydicom cannot read the pixels either: ours must refuse
                    unsigned_above = (theirs is not None and ds.get("PixelRepresentation") == 0
                                      and ds.pixel_array.max() > 32767)
                    if theirs is None or unsigned_above:
                        result = measure(path)
                        self.assertEqual(result.returncode, 3, result.stdout)
                        self.assertIn(name, result.stderr)
                        if unsigned_above:
                            self.assertIn("above the limit 32767", result.stderr)
                    else:
                        self.assertEqual(dumped(path, tmp), theirs, "pixels differ from pydicom's")
        self.assertTrue(PYDICOM_MUST_READ <= checked, PYDICOM_MUST_READ - checked)


def dcmtk(*args):
    subprocess.run(list(args), check=True, capture_output=True)


class Dcmtk(unittest.TestCase):
    def test_rewritten_sample_reads_the_same_pixels_in_every_syntax(self):
        source = os.path.join(BIN, "sample_edge_explicit.dcm")
        with tempfile.TemporaryDirectory() as tmp:
            reference = dumped(source, tmp)
            for name, options in {"implicit.dcm": ["+ti"], "explicit.dcm": ["+te"]}.items():
                with self.subTest(variant=name):
                    out = os.path.join(tmp, name)
                    dcmtk("dcmconv", *options, source, out)
                    self.assertEqual(dumped(out, tmp), reference)
            # Without a meta header the data set is walked in the syntax its first element shows,
            # whatever class the SOP class UID names.
            bare = os.path.join(tmp, "dataset-implicit.dcm")
            dcmtk("dcmconv", "-F", "+ti", source, bare)
            self.assertEqual(dumped(bare, tmp), reference)
            self.assertEqual(fields(measure(bare).stdout)["transfer_syntax"], "none")
            big = os.path.join(tmp, "big.dcm")
            dcmtk("dcmconv", "+tb", source, big)
            self.assertEqual(dumped(big, tmp), reference)
            self.assertEqual(fields(measure(big).stdout)["transfer_syntax"], "1.2.840.10008.1.2.2")

    def written(self, tmp, name, pixel_representation, spacing_elements, frames=1):
        """A file written by dump2dcm: 300 x 250 pixels (values above 32767 too), the given
        spacing elements, and its pixel bytes."""
        width, height = 300, 250
        pixels = bytearray()
        for i in range(width * height * frames):
            value = (i * 7919) % 65536
            pixels += value.to_bytes(2, "little")
        raw = os.path.join(tmp, name + ".raw")
        with open(raw, "wb") as f:
            f.write(pixels)
        dump = os.path.join(tmp, name + ".dump")
        with open(dump, "w") as f:
            f.write(f"""(0008,0016) UI =DigitalXRayImageStorageForPresentation
(0008,0018) UI [1.2.826.0.1.3680043.10.1137.99]
(0008,0060) CS [DX]
{spacing_elements}(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0008) IS [{frames}]
(0028,0010) US {height}
(0028,0011) US {width}
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US {pixel_representation}
(7fe0,0010) OW ={raw}
""")
        out = os.path.join(tmp, name + ".dcm")
        dcmtk("dump2dcm", "+te", "-g", dump, out)
        return out, bytes(pixels[:width * height * 2])

    def test_image_written_by_dump2dcm_reads_pixel_exactly(self):
        with tempfile.TemporaryDirectory() as tmp:
            spacing = "(0018,1164) DS [0.139\\0.139]\n(0028,0030) DS [0.15\\0.15]\n"
            signed, pixels = self.written(tmp, "signed", 1, spacing, frames=2)
            self.assertEqual(dumped(signed, tmp), pixels)
            facts = fields(measure(signed).stdout)
            self.assertEqual((facts["pitch"], facts["pitch_from"], facts["frames"]), ("0.1", "preset", "2"))
            facts = fields(measure(signed, preset="DICOM-PITCH-FROM-FILE").stdout)
            self.assertEqual((facts["pitch"], facts["pitch_from"]), ("0.139", "imager-pixel-spacing"))
            self.assertEqual(facts["imager_pixel_spacing"], "0.139\\0.139")

            only_pixel_spacing, _ = self.written(tmp, "pixel-spacing", 1, "(0028,0030) DS [0.15\\0.15]\n")
            facts = fields(measure(only_pixel_spacing, preset="DICOM-PITCH-FROM-FILE").stdout)
            self.assertEqual((facts["pitch"], facts["pitch_from"]), ("0.15", "pixel-spacing"))
            none, _ = self.written(tmp, "no-spacing", 1, "")
            result = measure(none, preset="DICOM-PITCH-FROM-FILE")
            self.assertEqual(result.returncode, 3)
            self.assertIn("gives no pixel spacing", result.stderr)

            # The same values stored unsigned reach 65535, which no offset brings into range.
            unsigned, _ = self.written(tmp, "unsigned", 0, spacing)
            result = measure(unsigned)
            self.assertEqual(result.returncode, 3)
            self.assertIn("reach 65535", result.stderr)
            self.assertIn("above the limit 32767", result.stderr)


if __name__ == "__main__":
    group = sys.argv[1]
    MEASURE, BIN, FILES = sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else ""
    suite = unittest.TestLoader().loadTestsFromTestCase(RealFiles if group == "real" else Dcmtk)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
