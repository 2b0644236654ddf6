#!/usr/bin/env python3
"""Measures a rendered soundtrack the way the show uses it.

  intro-tool song --out song.wav --envelope-log song.csv
  synth/song/measure.py song.wav song.csv [--bars]

Prints the peak, the share of samples at the clip limit, the DC offset of each channel, the
integrated loudness and the true peak (ffmpeg's ebur128, oversampled), which tracks sound, and, from the envelope log with the
frame loop run at 60 frames per second, the flashes of e2 and e3 and the growth of e in every
bar (a pattern). Exits 1 when a figure is outside the soundtrack's limits:
  clip share below 0.1 %, loudness -16..-9 LUFS, true peak at most -1 dBTP, |DC| at most 0.01, every track sounding,
  at most 4 e2 and 8 e3 flashes per bar, e growing by 0.2..1 per bar from bar 32 to 191,
  the last bar below 0.01.
"""
import array
import math
import re
import struct
import subprocess
import sys

# The show's clock, timeline and sync rule as host/music_time.h has them (music_time_test checks).
SAMPLE_RATE = 44100
FRAMES_PER_BAR = 61520
BARS = 196
GROWTH_BARS = (32, 192)  # from the second scene to the end scene
PHASE_GAINS = ((6, 0.7), (7, 0.4), (8, 0.4))
FLASH_FALL = 22
FLASH_LEVEL = 0.7
FLASH2_TRACKS = (13, 0)
FLASH3_TRACKS = (2, 3, 9, 10, 11, 12)


def f32(x):
    """Rounds to single precision, as the frame loop computes."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


def read_wav(path):
    with open(path, 'rb') as f:
        data = f.read()
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        sys.exit(f'{path}: not a WAV file')
    pos = 12
    fmt = None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b'fmt ':
            fmt = struct.unpack_from('<HHIIHH', body)
            if fmt[0] == 0xFFFE and (len(body) < 26 or struct.unpack_from('<H', body, 24)[0] != 3):
                sys.exit(f'{path}: expected 32-bit float stereo (extensible header of another subformat)')
        elif tag == b'data':
            # ffmpeg writes float as the extensible format, the subformat's first word saying float
            if not fmt or fmt[0] not in (3, 0xFFFE) or fmt[1] != 2 or fmt[5] != 32:
                sys.exit(f'{path}: expected 32-bit float stereo')
            samples = array.array('f')
            samples.frombytes(body[:len(body) // 4 * 4])
            return samples
        pos += 8 + size + (size & 1)
    sys.exit(f'{path}: no data chunk')


def loudness(path):
    """Integrated loudness (LUFS) and true peak (dBTP)."""
    out = subprocess.run(['ffmpeg', '-hide_banner', '-nostats', '-i', path, '-af', 'ebur128=peak=true', '-f', 'null',
                          '-'], capture_output=True, text=True).stderr
    m = re.findall(r'I:\s+(-?[\d.]+) LUFS', out)
    p = re.findall(r'Peak:\s+(-?[\d.]+|-?inf) dBFS', out)
    return (float(m[-1]) if m else float('nan')), (float(p[-1]) if p else float('nan'))


def read_log(path):
    records = []
    with open(path) as f:
        next(f)
        for line in f:
            parts = line.strip().split(',')
            records.append([float(v) for v in parts[1:16]])
    return records


def frame_loop(records, song_frames):
    """The frame loop's sync values at 60 frames per second, per bar."""
    e = e2 = e3 = 0.0
    last = 0.0
    flashes2 = [0] * BARS
    flashes3 = [0] * BARS
    growth = [0.0] * BARS
    was2 = was3 = False
    frame = 0
    level = f32(FLASH_LEVEL)
    while True:
        p = frame * SAMPLE_RATE // 60
        if p >= song_frames:
            break
        clock = f32(f32(float(p)) / FRAMES_PER_BAR)
        d = f32(clock - last)
        rec = p >> 8
        lv = records[rec] if rec < len(records) else [0.0] * 15
        lv = [f32(v) for v in lv]
        before = e
        for track, gain in PHASE_GAINS:
            e = f32(e + f32(f32(d * lv[track]) * f32(gain)))
        bar = min(int(clock), BARS - 1)
        growth[bar] += e - before
        trig2 = any(lv[i] > level for i in FLASH2_TRACKS)
        trig3 = any(lv[i] > level for i in FLASH3_TRACKS)
        e2 = max(0.0, f32(e2 - f32(d * FLASH_FALL)))
        e3 = max(0.0, f32(e3 - f32(d * FLASH_FALL)))
        if trig2:
            if not was2:
                flashes2[bar] += 1
            e2 = 1.0
        if trig3:
            if not was3:
                flashes3[bar] += 1
            e3 = 1.0
        was2, was3 = trig2, trig3
        last = clock
        frame += 1
    return e, flashes2, flashes3, growth


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    if len(args) != 2:
        sys.exit(__doc__)
    wav, log = args
    samples = read_wav(wav)
    n = len(samples)
    peak = max(max(samples), -min(samples))
    clipped = sum(1 for x in samples if abs(x) >= 1.0)
    dc = [sum(samples[c::2]) / (n // 2) for c in (0, 1)]
    lufs, true_peak = loudness(wav)
    records = read_log(log)
    sounding = [max(r[t] for r in records) > 0 for t in range(15)]
    e, f2, f3, growth = frame_loop(records, n // 2)

    bad = []
    print(f'frames {n // 2}, peak {peak:.4f}, at the clip limit {clipped} samples ({100.0 * clipped / n:.4f} %)')
    print(f'DC offset left {dc[0]:+.5f}, right {dc[1]:+.5f}; integrated loudness {lufs:.1f} LUFS, '
          f'true peak {true_peak:+.1f} dBTP')
    print('tracks sounding: ' + ' '.join(str(t) for t in range(15) if sounding[t]))
    print(f'e at the end {e:.2f}; most e2 flashes in a bar {max(f2)}, most e3 flashes {max(f3)}')
    tail = [max(abs(x) for x in samples[2 * FRAMES_PER_BAR * k:2 * FRAMES_PER_BAR * (k + 1)]) for k in (193, 194, 195)]
    print('peak in bars 193, 194, 195: ' + ', '.join(f'{v:.4f}' for v in tail))
    grow = growth[GROWTH_BARS[0]:GROWTH_BARS[1]]
    print(f'e growth per bar, bars 32..191: min {min(grow):.2f}, max {max(grow):.2f}, mean {sum(grow) / len(grow):.2f}')
    if 100.0 * clipped / n >= 0.1:
        bad.append('clip share')
    if not -16 <= lufs <= -9:
        bad.append('loudness')
    if not true_peak <= -1.0:
        bad.append('true peak')
    if max(abs(dc[0]), abs(dc[1])) > 0.01:
        bad.append('DC offset')
    if not all(sounding):
        bad.append('silent tracks')
    if tail[-1] > 0.01:
        bad.append('still sounding at the end')
    for k in range(BARS):
        if f2[k] > 4 or f3[k] > 8 or (GROWTH_BARS[0] <= k < GROWTH_BARS[1] and not 0.2 <= growth[k] <= 1.0):
            bad.append(f'bar {k}')
    if '--bars' in sys.argv:
        for k in range(BARS):
            print(f'bar {k:3d}: e2 {f2[k]} e3 {f3[k]} e +{growth[k]:.2f}')
    print('within limits' if not bad else 'OUT OF LIMITS: ' + ', '.join(bad))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
