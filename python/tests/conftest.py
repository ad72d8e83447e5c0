"""Shared by the module's tests: where the sources and ormax-cli are, running the
command line, and plain BMP reading and writing (numpy only) so that the tests see
pictures apart from the module's own reader."""
import csv
import io
import os
import pathlib
import struct
import subprocess

import numpy as np
import pytest

SOURCE = pathlib.Path(os.environ.get("ORMAX_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
SCENES = sorted((SOURCE / "examples" / "scenes").glob("*.bmp")) + [
    SOURCE / "examples" / "limits" / "limits.bmp"]
BASE = SOURCE / "examples" / "base" / "base.txt"


def cli(*args):
    """Runs ormax-cli; its stdout as text, failing the test on a non-zero exit."""
    done = subprocess.run([os.environ["ORMAX_CLI"], *map(str, args)], capture_output=True,
                          text=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    assert done.returncode == 0, done.stderr
    return done.stdout


def cli_csv(*args):
    return list(csv.DictReader(io.StringIO(cli(*args, "--format", "csv"))))


def read_bmp(path):
    """An uncompressed BMP of 8, 24 or 32 bits as an H x W x 3 uint8 RGB array."""
    data = pathlib.Path(path).read_bytes()
    offset, header = struct.unpack_from("<II", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    assert data[:2] == b"BM" and compression in (0, 3) and bits in (8, 24, 32)
    rows, flip = abs(height), height > 0
    stride = (width * bits + 31) // 32 * 4
    raw = np.frombuffer(data, np.uint8, stride * rows, offset).reshape(rows, stride)
    if bits == 8:
        colours = struct.unpack_from("<I", data, 46)[0] or 256
        table = np.frombuffer(data, np.uint8, colours * 4, 14 + header).reshape(colours, 4)
        rgb = table[raw[:, :width]][:, :, [2, 1, 0]]
    else:
        step = bits // 8
        rgb = raw[:, :width * step].reshape(rows, width, step)[:, :, [2, 1, 0]]
    return np.ascontiguousarray(rgb[::-1] if flip else rgb)


def write_bmp24(path, rgb):
    """An H x W x 3 uint8 array as a 24-bit BMP."""
    height, width, _ = rgb.shape
    stride = (width * 3 + 3) // 4 * 4
    pixels = np.zeros((height, stride), np.uint8)
    pixels[:, :width * 3] = rgb[::-1, :, [2, 1, 0]].reshape(height, width * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + pixels.size, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, pixels.size, 2835, 2835, 0, 0)
    pathlib.Path(path).write_bytes(header + info + pixels.tobytes())


def colour_values(rgb):
    """RGB bytes as the programs' colour values, $00BBGGRR."""
    rgb = rgb.astype(np.uint32)
    return rgb[:, :, 0] | rgb[:, :, 1] << 8 | rgb[:, :, 2] << 16


@pytest.fixture(scope="session")
def base():
    import ormax
    return ormax.Base.load(str(BASE))
