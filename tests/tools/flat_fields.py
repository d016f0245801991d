"""Flat fields written for the command-line tests from the bundled sample: the same noise at
another level, a second field of another size, and a small noise field of one block."""
import random
import struct

SIDE, HEADER = 1024, 512


def read_raw(path, count=SIDE * SIDE, header=HEADER):
    with open(path, "rb") as f:
        data = f.read()[header:header + 2 * count]
    return struct.unpack("<%dh" % count, data)


def write_raw(path, pixels, header=HEADER):
    with open(path, "wb") as f:
        f.write(bytes(header) + struct.pack("<%dh" % len(pixels), *pixels))


def scaled_flat(source, target, factor, mean=2000):
    """The raw sample with its deviations from `mean` scaled by `factor` (its NNPS by about
    factor^2), written as a raw file of the same layout."""
    write_raw(target, [int(round(mean + (p - mean) * factor)) for p in read_raw(source)])


def cropped_dicom(source, target, rows):
    """The implicit-VR DICOM sample with only its first `rows` rows: Rows (0028,0010) and the
    length of Pixel Data (7FE0,0010) rewritten, the pixel bytes cut to match."""
    data = bytearray(open(source, "rb").read())
    rows_tag = bytes.fromhex("2800100002000000")
    at = data.index(rows_tag) + len(rows_tag)
    columns = struct.unpack_from("<H", data, data.index(bytes.fromhex("2800110002000000")) + 8)[0]
    struct.pack_into("<H", data, at, rows)
    pixels_tag = bytes.fromhex("e07f1000")
    at = data.rindex(pixels_tag) + len(pixels_tag)
    length = rows * columns * 2
    struct.pack_into("<I", data, at, length)
    with open(target, "wb") as f:
        f.write(bytes(data[:at + 4 + length]))


def noise_block(path, side=256, mean=1000, sd=10, seed=7):
    """A raw field of whole-valued white Gaussian noise, `side` x `side`, with a 512-byte
    header."""
    rng = random.Random(seed)
    write_raw(path, [int(round(rng.gauss(mean, sd))) for _ in range(side * side)])


def respaced_dicom(source, target, spacing):
    """A copy of a DICOM sample whose Pixel Spacing value "0.1\\0.1" is replaced by a text of the
    same length (`spacing`, such as "0.2\\0.2"), so no length changes."""
    data = open(source, "rb").read()
    old = b"0.1\\0.1"
    assert data.count(old) == 1 and len(spacing) == len(old), (data.count(old), spacing)
    with open(target, "wb") as f:
        f.write(data.replace(old, spacing.encode("ascii")))
