#!/usr/bin/python3
"""Files written by independent tools, read through vantry-measure.

real:  DICOM files shipped by Debian packages end exactly as the reader's search decides: a
       file it reads gives the pixels pydicom reads, bit for bit; a refused file is refused with
       its reason.
dcmtk: the bundled edge sample rewritten by DCMTK (implicit, explicit, without meta header,
       big endian) and an image written from scratch by dump2dcm read the same pixels; big
       endian is refused.
"""
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
    "rtstruct.dcm": "no Rows",
    "CT_small.dcm": "pixel data was not found",      # 32 KiB of pixels: not above 65535 bytes
    "MR_small_implicit.dcm": "pixel data was not found",
    "ExplVR_BigEnd.dcm": "big endian",
    "JPEG2000.dcm": "transfer syntax",
    "liver_1frame.dcm": "1 bits per pixel",
    "rtdose.dcm": "32 bits per pixel",
    # more than 64 KiB of private elements between Columns and Pixel Data: beyond the window
    "siemens_dwi_0.dcm": "pixel data was not found",
    "philips_mprage.dcm": "pixel data was not found",
}


def measure(path, *extra):
    return subprocess.run([MEASURE, "read", path, "--preset", "DICOM", *extra],
                          capture_output=True, text=True)


def dumped(path, folder):
    out = os.path.join(folder, os.path.basename(path) + ".i16")
    result = measure(path, "--dump", out)
    if result.returncode != 0:
        raise AssertionError(f"{path} not read: {result.stderr}")
    with open(out, "rb") as f:
        return f.read()


class RealFiles(unittest.TestCase):
    def test_each_file_reads_or_is_refused_as_the_search_decides(self):
        import pydicom
        import numpy
        with tempfile.TemporaryDirectory() as tmp:
            for name, expected in REAL_FILES.items():
                path = os.path.join(FILES, name)
                self.assertTrue(os.path.isfile(path), f"{path} is missing: run scripts/fetch-test-dicom.sh")
                with self.subTest(file=name):
                    if expected == "read":
                        ours = dumped(path, tmp)
                        theirs = pydicom.dcmread(path).pixel_array.astype(numpy.int16).astype("<i2").tobytes()
                        self.assertEqual(len(ours), len(theirs))
                        self.assertTrue(ours == theirs, "pixels differ from pydicom's")
                    else:
                        result = measure(path)
                        self.assertEqual(result.returncode, 3, result.stdout)
                        self.assertIn(expected, result.stderr)
                        self.assertIn(name, result.stderr)


def dcmtk(*args):
    subprocess.run(list(args), check=True, capture_output=True)


class Dcmtk(unittest.TestCase):
    def test_rewritten_sample_reads_the_same_pixels_and_big_endian_is_refused(self):
        source = os.path.join(BIN, "sample_edge_explicit.dcm")
        with tempfile.TemporaryDirectory() as tmp:
            reference = dumped(source, tmp)
            for name, options in {"implicit.dcm": ["+ti"], "explicit.dcm": ["+te"]}.items():
                with self.subTest(variant=name):
                    out = os.path.join(tmp, name)
                    dcmtk("dcmconv", *options, source, out)
                    self.assertEqual(dumped(out, tmp), reference)
            # Without a meta header the mode comes from the SOP class UID's last characters: the
            # DX class (ending "1.1") is refused, the mammography class (ending "1.2") read.
            bare = os.path.join(tmp, "dataset-implicit.dcm")
            dcmtk("dcmconv", "-F", "+ti", source, bare)
            result = measure(bare)
            self.assertEqual(result.returncode, 3)
            self.assertIn("transfer syntax", result.stderr)
            dcmtk("dcmodify", "-nb", "-m", "(0008,0016)=1.2.840.10008.5.1.4.1.1.1.2", bare)
            self.assertEqual(dumped(bare, tmp), reference)
            big = os.path.join(tmp, "big.dcm")
            dcmtk("dcmconv", "+tb", source, big)
            result = measure(big)
            self.assertEqual(result.returncode, 3)
            self.assertIn("big endian", result.stderr)

    def test_image_written_by_dump2dcm_reads_pixel_exactly(self):
        with tempfile.TemporaryDirectory() as tmp:
            width, height = 300, 250
            pixels = bytearray()
            for i in range(width * height):
                value = (i * 7919) % 65536  # values above 32767 too: they read as negative
                pixels += value.to_bytes(2, "little")
            raw = os.path.join(tmp, "pixels.raw")
            with open(raw, "wb") as f:
                f.write(pixels)
            dump = os.path.join(tmp, "image.dump")
            with open(dump, "w") as f:
                f.write(f"""(0008,0016) UI =DigitalXRayImageStorageForPresentation
(0008,0018) UI [1.2.826.0.1.3680043.10.1137.99]
(0008,0060) CS [DX]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US {height}
(0028,0011) US {width}
(0028,0030) DS [0.139\\0.139]
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US 0
(7fe0,0010) OW ={raw}
""")
            out = os.path.join(tmp, "image.dcm")
            dcmtk("dump2dcm", "+te", "-g", dump, out)
            ours = dumped(out, tmp)
            self.assertEqual(ours, bytes(pixels))


if __name__ == "__main__":
    group = sys.argv[1]
    MEASURE, BIN, FILES = sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else ""
    suite = unittest.TestLoader().loadTestsFromTestCase(RealFiles if group == "real" else Dcmtk)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
