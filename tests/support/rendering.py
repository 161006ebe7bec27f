"""Pages as poppler draws them: ``pdftoppm -png -gray -r 72 -cropbox``, one pixel per
point, decoded here (an 8-bit, non-interlaced PNG needs only zlib and the row
filters); poppler may write the grey as RGB, which is averaged back."""

import struct
import subprocess
import tempfile
import zlib


class Bitmap:
    """Greyscale pixels, row 0 at the top of the page as shown."""

    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows

    def dark(self, x, y_from_bottom, threshold=128):
        """Whether the pixel at (x, y) in points from the lower left corner is dark."""
        return self.rows[self.height - 1 - int(y_from_bottom)][int(x)] < threshold

    def dark_count(self, x1, y1, x2, y2):
        """Dark pixels in the area between the points, corners included."""
        return sum(self.dark(x, y) for x in range(int(x1), int(x2)) for y in range(int(y1), int(y2)))


def _unfilter(raw, stride, height, step):
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up, corner = previous[i], previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                nearest = min((abs(p - left), 0, left), (abs(p - up), 1, up), (abs(p - corner), 2, corner))[2]
                line[i] = (line[i] + nearest) & 0xFF
        rows.append(bytes(line))
        previous = line
    return rows


def render_page(data, page):
    with tempfile.NamedTemporaryFile(suffix=".pdf") as pdf:
        pdf.write(data)
        pdf.flush()
        png = subprocess.run(["pdftoppm", "-png", "-gray", "-r", "72", "-cropbox", "-f", str(page), "-l", str(page), pdf.name],
                             capture_output=True, check=True).stdout
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    at, idat, header = 8, b"", None
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3}.get(colour)
    assert depth == 8 and channels and not interlace, "expected 8-bit grey or RGB, not interlaced"
    rows = _unfilter(zlib.decompress(idat), width * channels, height, channels)
    grey = [bytes(sum(row[i:i + channels]) // channels for i in range(0, len(row), channels)) for row in rows]
    return Bitmap(width, height, grey)
