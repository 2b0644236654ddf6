#!/usr/bin/env python3
"""Draws the short-term loudness of every bar as a PNG (a column per bar, lines at the scenes).

  synth/song/plot_loudness.py WORKDIR/short_term_per_bar.csv OUT.png

The CSV is what stems.py writes. The picture spans -30 (bottom) to -6 LUFS (top), with grey
lines every 6 LU and white lines at the scene changes; needs only Python and ffmpeg.
"""
import subprocess
import sys

SCENES = (32, 64, 80, 96, 112, 128, 144, 160, 176, 192)
TOP, BOTTOM = -6.0, -30.0
COLUMN, HEIGHT = 6, 240


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        next(f)
        values = [float(line.split(',')[1]) for line in f if line.strip()]
    width = COLUMN * len(values)
    pixels = bytearray(b'\x10\x10\x18' * width * HEIGHT)

    def put(x, y, rgb):
        if 0 <= x < width and 0 <= y < HEIGHT:
            pixels[3 * (y * width + x):3 * (y * width + x) + 3] = rgb

    def row_of(lufs):
        return int((TOP - max(BOTTOM, min(TOP, lufs))) / (TOP - BOTTOM) * (HEIGHT - 1))

    for level in range(int(TOP), int(BOTTOM) - 1, -6):
        for x in range(width):
            put(x, row_of(level), b'\x40\x40\x48')
    for bar, v in enumerate(values):
        for y in range(row_of(v), HEIGHT):
            for x in range(COLUMN * bar, COLUMN * bar + COLUMN - 1):
                put(x, y, b'\x30\xa0\xe0')
    for bar in SCENES:
        for y in range(HEIGHT):
            put(COLUMN * bar, y, b'\xff\xff\xff')
    ppm = b'P6 %d %d 255\n' % (width, HEIGHT) + bytes(pixels)
    subprocess.run(['ffmpeg', '-y', '-hide_banner', '-v', 'error', '-f', 'image2pipe', '-c:v', 'ppm', '-i', '-',
                    sys.argv[2]], input=ppm, check=True)


if __name__ == '__main__':
    main()
