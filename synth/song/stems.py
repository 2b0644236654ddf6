#!/usr/bin/env python3
"""Renders the soundtrack one track at a time and measures it as a mix engineer would.

  synth/song/stems.py INTRO_TOOL WORKDIR [--song FILE.json] [--keep]

Exports the song (or takes FILE.json), renders the mix and one stem per track (the song file
with every other track's order emptied; the stems add up to the mix) into WORKDIR, then prints:
  mix: integrated loudness, loudness range (ffmpeg's ebur128), samples at the clip limit, DC;
       short-term loudness (8-bar mean) and mean square of every 8-bar section of bars 32..191
  kick (track 0): energy above 1 kHz in the first 10 ms of each hit against its loudest 10 ms
  kick and bass at joint onsets: the mix's energy in the first 20 ms against the two stems'
  hard cuts in tracks 6..8: a frame above 0.05 followed by two frames below 0.001 (either
       channel, counted once), and how many of them a kick starting on the same row covers
  snare (track 2): the strongest body frequency between 100 and 300 Hz
  lead (track 1): the mono sum's level against the stereo level, and the channels' correlation;
       its inharmonic partials on a high note (a song of that one note alone): the energy away
       from the harmonics of the note's lowest oscillator against the strongest harmonic
  mix in bars 64..79 and 144..159: the octaves 125..250 and 250..500 Hz against 62..125 Hz
Joint onsets below -1 dB and hard cuts are listed by pattern and row, to tell which notes to fix.
Needs only Python and ffmpeg; a full run takes a few minutes (eighteen renders).
"""
import json
import math
import os
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

from measure import read_wav  # the same checked reader of 32-bit float stereo WAV files

RATE = 44100
FRAMES_PER_ROW = 3845
ROWS = 16
BARS = 196
TRACKS = 15


def ebur128(path):
    """Integrated loudness, loudness range and the short-term loudness every 100 ms."""
    out = subprocess.run(['ffmpeg', '-hide_banner', '-nostats', '-i', path, '-af', 'ebur128', '-f', 'null', '-'],
                         capture_output=True, text=True).stderr
    short = [float(s) for s in re.findall(r' S:\s*(-?[\d.]+)', out)]
    i = re.findall(r'I:\s+(-?[\d.]+) LUFS', out)
    lra = re.findall(r'LRA:\s+([\d.]+) LU', out)
    return float(i[-1]), float(lra[-1]), short


def onsets(song, track):
    """Song rows at which a track starts a note."""
    rows = []
    for k in range(BARS):
        p = song['songOrder'][BARS * track + k]
        for r in range(ROWS):
            b = song['songPatterns'][ROWS * p + r]
            if 2 <= b < 128:
                rows.append(ROWS * k + r)
    return rows


def energy(x, a, b):
    """Sum of squares of both channels over frames a..b."""
    return sum(v * v for v in x[2 * a:2 * b])


def db(v):
    return 10 * math.log10(v) if v > 0 else -999.0


def render(tool, song_path, out):
    subprocess.run([tool, 'song', '--song', song_path, '--out', out], check=True, capture_output=True)


def highpass(path, out, hz):
    subprocess.run(['ffmpeg', '-y', '-hide_banner', '-v', 'error', '-i', path, '-af',
                    f'highpass=f={hz},highpass=f={hz},highpass=f={hz}', '-c:a', 'pcm_f32le', out], check=True)


def goertzel_peak(x, start, length, lo, hi):
    """Strongest frequency (1 Hz steps) of the left channel over a stretch."""
    seg = x[2 * start:2 * (start + length):2]
    best = (0.0, 0)
    for f in range(lo, hi + 1):
        w = 2 * math.pi * f / RATE
        c = 2 * math.cos(w)
        s1 = s2 = 0.0
        for v in seg:
            s1, s2 = v + c * s1 - s2, s1
        p = s1 * s1 + s2 * s2 - c * s1 * s2
        best = max(best, (p, f))
    return best[1]


def fft(x):
    """Iterative radix-2 transform of a list of complex values (length a power of two)."""
    n = len(x)
    a = list(x)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    size = 2
    while size <= n:
        w = complex(math.cos(-2 * math.pi / size), math.sin(-2 * math.pi / size))
        half = size // 2
        twiddles = [w ** k for k in range(half)]
        for start in range(0, n, size):
            for k in range(half):
                u, v = a[start + k], a[start + k + half] * twiddles[k]
                a[start + k], a[start + k + half] = u + v, u - v
        size *= 2
    return a


LEAD_NOTE = 72          # C4 written (A3 = 69 is 220 Hz): the lead's saws sound C6, its square C5
LEAD_LOWEST = 12        # semitones from the written note to the lead's lowest oscillator
LEAD_DETUNE = 0.0070    # the saws' widest detune (11 cents) as a share of the frequency, and a margin


def lead_partials(tool, song, work):
    """Inharmonic energy of the lead holding one high note alone, against its strongest harmonic.

    A harmonic is a band of three bins plus the saws' detune around a multiple of the lowest
    oscillator's frequency; everything else from 20 Hz to 20 kHz is inharmonic (aliases above all).
    """
    probe = dict(song)
    probe['songOrder'] = [0] * len(song['songOrder'])
    probe['songOrder'][BARS * 1] = 1
    probe['songPatterns'] = list(song['songPatterns'])
    probe['songPatterns'][ROWS:2 * ROWS] = [LEAD_NOTE] + [1] * (ROWS - 1)
    path = os.path.join(work, 'lead_note.json')
    with open(path, 'w') as f:
        json.dump(probe, f)
    render(tool, path, os.path.join(work, 'lead_note.wav'))
    x = read_wav(os.path.join(work, 'lead_note.wav'))
    n, start = 16384, RATE // 4
    seg = x[2 * start:2 * (start + n):2]
    if len(seg) < n:
        sys.exit(f'{work}/lead_note.wav: shorter than {start + n} frames; the render of the lead alone failed')
    spectrum = fft([complex(v * (0.5 - 0.5 * math.cos(2 * math.pi * i / n)), 0.0) for i, v in enumerate(seg)])
    power = [abs(c) ** 2 for c in spectrum[:n // 2]]
    hz = RATE / n
    f0 = 220.0 * 2 ** ((LEAD_NOTE + LEAD_LOWEST - 69) / 12)
    harmonic = [0.0] * (int(20000 / f0) + 1)
    inharmonic = 0.0
    for b in range(int(20 / hz), int(20000 / hz)):
        f = b * hz
        k = max(1, round(f / f0))
        if abs(f - k * f0) <= 3 * hz + LEAD_DETUNE * k * f0:
            harmonic[k] += power[b]
        else:
            inharmonic += power[b]
    strongest = max(range(len(harmonic)), key=lambda k: harmonic[k])
    return db(inharmonic) - db(harmonic[strongest]), f0 * strongest


BAND_EDGES = (62, 125, 250, 500)


def band_energy(path, out, a, b, lo, hi):
    """Energy of a stretch of frames between two frequencies (fourfold Butterworth edges)."""
    edges = ','.join([f'highpass=f={lo}'] * 4 + [f'lowpass=f={hi}'] * 4)
    subprocess.run(['ffmpeg', '-y', '-hide_banner', '-v', 'error', '-i', path, '-af',
                    f'atrim=start_sample={a}:end_sample={b},{edges}', '-c:a', 'pcm_f32le', out], check=True)
    return energy(read_wav(out), 0, b - a)


def octaves(work, bars):
    """The octaves above 125 Hz against 62..125 Hz over bars [first, end)."""
    a, b = bars[0] * ROWS * FRAMES_PER_ROW, bars[1] * ROWS * FRAMES_PER_ROW
    jobs = [(lo, hi) for lo, hi in zip(BAND_EDGES, BAND_EDGES[1:])]
    with ThreadPoolExecutor(max_workers=2) as pool:
        e = list(pool.map(lambda j: band_energy(os.path.join(work, 'mix.wav'),
                                                os.path.join(work, f'band{bars[0]}_{j[0]}.wav'), a, b, *j), jobs))
    return [db(v) - db(e[0]) for v in e[1:]]


def count_notes(song, track, rows):
    """How many of the song rows start each note (by number) on a track."""
    counts = {}
    for r in rows:
        p, k = pattern_at(song, track, r)
        n = song['songPatterns'][ROWS * p + k]
        counts[n] = counts.get(n, 0) + 1
    return counts


def pattern_at(song, track, row):
    """The pattern number and the row within it at a song row."""
    return song['songOrder'][BARS * track + row // ROWS], row % ROWS


def by_pattern(song, track, rows):
    """Counts of song rows by (pattern, row), most first, as text."""
    counts = {}
    for r in rows:
        key = pattern_at(song, track, r)
        counts[key] = counts.get(key, 0) + 1
    return ', '.join(f'pattern {p} row {r}: {c}' for (p, r), c in sorted(counts.items(), key=lambda kv: -kv[1]))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    if len(args) < 2:
        sys.exit(__doc__)
    tool, work = args[0], args[1]
    os.makedirs(work, exist_ok=True)
    song_path = os.path.join(work, 'song.json')
    if '--song' in sys.argv:
        song_path = sys.argv[sys.argv.index('--song') + 1]
    else:
        subprocess.run([tool, 'song', '--export', song_path], check=True, capture_output=True)
    with open(song_path) as f:
        song = json.load(f)

    jobs = [(song_path, os.path.join(work, 'mix.wav'))]
    for t in range(TRACKS):
        stem = dict(song)
        stem['songOrder'] = [v if i // BARS == t else 0 for i, v in enumerate(song['songOrder'])]
        p = os.path.join(work, f'stem{t}.json')
        with open(p, 'w') as f:
            json.dump(stem, f)
        jobs.append((p, os.path.join(work, f'stem{t}.wav')))
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        list(pool.map(lambda j: render(tool, *j), jobs))

    mix = read_wav(os.path.join(work, 'mix.wav'))
    n = len(mix) // 2
    lufs, lra, short = ebur128(os.path.join(work, 'mix.wav'))
    clipped = sum(1 for v in mix if abs(v) >= 1.0)
    dc = [sum(mix[c::2]) / n for c in (0, 1)]
    print(f'mix: {lufs:.1f} LUFS integrated, LRA {lra:.1f} LU, {clipped} samples at the clip limit '
          f'({100.0 * clipped / len(mix):.4f} %), DC {dc[0]:+.5f} {dc[1]:+.5f}')

    bar_s = ROWS * FRAMES_PER_ROW / RATE
    sections = []
    for k in range(24, 192, 8):
        vals = [s for i, s in enumerate(short) if k * bar_s + 3.0 <= (i + 1) * 0.1 < (k + 8) * bar_s]
        st = sum(vals) / len(vals)
        a, b = k * ROWS * FRAMES_PER_ROW, (k + 8) * ROWS * FRAMES_PER_ROW
        ms = db(energy(mix, a, b) / (2 * (b - a)))
        sections.append((k, st, ms))
    print('8-bar sections from bar 24 (short-term mean LUFS / mean square dB): ' +
          ', '.join(f'{k}: {st:.1f}/{ms:.1f}' for k, st, ms in sections))
    ms_all = [ms for k, _, ms in sections if k >= 32]
    print(f'loudest and quietest sections of 32..191 apart by {max(ms_all) - min(ms_all):.1f} dB in mean square')
    per_bar = []
    for k in range(BARS):
        vals = [s for i, s in enumerate(short) if k * bar_s <= (i + 1) * 0.1 - 3.0 < (k + 1) * bar_s]
        per_bar.append(sum(vals) / len(vals) if vals else -120.0)
    with open(os.path.join(work, 'short_term_per_bar.csv'), 'w') as f:
        f.write('bar,short_term_lufs\n')
        for k, v in enumerate(per_bar):
            f.write(f'{k},{v:.2f}\n')

    kick = read_wav(os.path.join(work, 'stem0.wav'))
    highpass(os.path.join(work, 'stem0.wav'), os.path.join(work, 'stem0_hp.wav'), 1000)
    kick_hp = read_wav(os.path.join(work, 'stem0_hp.wav'))
    ten = RATE // 100
    ratios, late = [], []
    for row in onsets(song, 0)[::4]:
        a = row * FRAMES_PER_ROW
        windows = [energy(kick, a + i, a + i + ten) for i in range(0, 8 * ten, ten // 4)]
        top = max(windows)
        ratios.append(db(energy(kick_hp, a, a + ten)) - db(top))
        late.append(windows.index(top) * ten / 4 / RATE * 1000)
    ratios.sort()
    print(f'kick: energy above 1 kHz in the first 10 ms, median {ratios[len(ratios) // 2]:.1f} dB under the '
          f'loudest 10 ms; loudest 10 ms starts {sorted(late)[len(late) // 2]:.1f} ms in')

    bass = read_wav(os.path.join(work, 'stem6.wav'))
    joint = sorted(set(onsets(song, 0)) & set(onsets(song, 6)))
    twenty = RATE // 50
    diffs = []
    for row in joint:
        a = row * FRAMES_PER_ROW
        both = sum((kick[i] + bass[i]) ** 2 for i in range(2 * a, 2 * (a + twenty)))
        apart = energy(kick, a, a + twenty) + energy(bass, a, a + twenty)
        diffs.append(db(both) - db(apart))
    if diffs:
        print(f'kick and bass at {len(diffs)} joint onsets, sum against the stems in the first 20 ms: '
              f'worst {min(diffs):+.1f} dB, mean {sum(diffs) / len(diffs):+.1f} dB, '
              f'{sum(1 for d in diffs if d < -1)} below -1 dB')
        low = [(d, r) for d, r in zip(diffs, joint) if d < -1]
        if low:
            print('  below -1 dB, by bass note: ' + ', '.join(
                f'{n}: {c}' for n, c in sorted(count_notes(song, 6, [r for _, r in low]).items())) +
                  '; by pattern and row: ' + by_pattern(song, 6, [r for _, r in low]))

    kick_rows = set(onsets(song, 0))
    total_cuts = 0
    for t in (6, 7, 8):
        x = bass if t == 6 else read_wav(os.path.join(work, f'stem{t}.wav'))
        cuts = set()
        for c in (0, 1):
            ch = x[c::2]
            quiet = [i for i, v in enumerate(ch) if -0.001 < v < 0.001]
            qs = set(quiet)
            for i in quiet:
                if i + 1 in qs and i - 1 not in qs and i >= 1 and abs(ch[i - 1]) > 0.05:
                    cuts.add(i)
        rows = [(i + FRAMES_PER_ROW // 2) // FRAMES_PER_ROW for i in cuts]
        covered = sum(1 for r in rows if r in kick_rows)
        print(f'track {t}: {len(cuts)} hard cuts, {covered} of them on a kick' +
              (f'; by pattern and row: {by_pattern(song, t, rows)}' if cuts else ''))
        total_cuts += len(cuts)
    print(f'tracks 6..8: {total_cuts} hard cuts')

    snare = read_wav(os.path.join(work, 'stem2.wav'))
    first = onsets(song, 2)[0] * FRAMES_PER_ROW
    print(f'snare: body at {goertzel_peak(snare, first + RATE // 100, RATE // 20, 100, 300)} Hz')

    lead = read_wav(os.path.join(work, 'stem1.wav'))
    ll, rr, lr = sum(v * v for v in lead[0::2]), sum(v * v for v in lead[1::2]), 0.0
    for i in range(0, len(lead), 2):
        lr += lead[i] * lead[i + 1]
    mono = (ll + rr + 2 * lr) / 4
    print(f'lead: mono sum {db(mono) - db((ll + rr) / 2):+.1f} dB against stereo, correlation '
          f'{lr / math.sqrt(ll * rr):+.2f}')
    partials, strongest = lead_partials(tool, song, work)
    print(f'lead alone on note {LEAD_NOTE}: inharmonic partials {partials:.1f} dB against its strongest '
          f'harmonic ({strongest:.0f} Hz)')
    for bars in ((64, 80), (144, 160)):
        up = octaves(work, bars)
        print(f'mix, bars {bars[0]}..{bars[1] - 1}: against 62..125 Hz, 125..250 Hz {up[0]:+.1f} dB, '
              f'250..500 Hz {up[1]:+.1f} dB')

    for t in range(TRACKS):
        x = kick if t == 0 else read_wav(os.path.join(work, f'stem{t}.wav'))
        i_t, _, _ = ebur128(os.path.join(work, f'stem{t}.wav'))
        print(f'stem {t:2d}: {i_t:6.1f} LUFS, peak {max(max(x), -min(x)):.3f}')
    if '--keep' not in sys.argv:
        for t in range(TRACKS):
            os.remove(os.path.join(work, f'stem{t}.json'))
        os.remove(os.path.join(work, 'lead_note.json'))


if __name__ == '__main__':
    main()
