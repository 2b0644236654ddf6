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
  drops (bars 32, 64, 96, 112, 144, 176): the 4 bars after against the 4 before, short-term
       loudness and the 30..60 Hz sub; which 16 bars of 32..191 are the loudest
  kick at its hits: the first peak (the first local maximum of at least half the largest in
       60 ms), its share of the mix's 40..100 Hz and 2..6 kHz energy in the 60 ms after each hit
  snare: the mix's 150..300 Hz in the 30 ms after each hit against the 30 ms before
  drops (32..47, 112..127, 176..191): 30..60, 60..120 and 250..500 Hz against the whole; side
       against mid, in all and below 120 Hz
  true peak (ffmpeg's, oversampled) of the mix
  steps at note starts in each tonal track: the first frame of a new note jumping by more than
       four times the largest step of the 2 ms before (a voice cleared while it sounded)
  tonal tracks alone on one held note: energy off the harmonic comb (aliases above all)
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


def ebur128(path, true_peak=False):
    """Integrated loudness, loudness range and the short-term loudness every 100 ms (and the
    oversampled true peak in dBTP)."""
    out = subprocess.run(['ffmpeg', '-hide_banner', '-nostats', '-i', path, '-af',
                          'ebur128=peak=true' if true_peak else 'ebur128', '-f', 'null', '-'],
                         capture_output=True, text=True).stderr
    short = [float(s) for s in re.findall(r' S:\s*(-?[\d.]+)', out)]
    i = re.findall(r'I:\s+(-?[\d.]+) LUFS', out)
    lra = re.findall(r'LRA:\s+([\d.]+) LU', out)
    if true_peak:
        return float(i[-1]), float(lra[-1]), short, float(re.findall(r'Peak:\s+(-?[\d.inf]+) dBFS', out)[-1])
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


# Tonal tracks probed alone on one held note (written, A3 = 69 is 220 Hz): the track, the note,
# the semitones from it to the comb's fundamental (every oscillator a harmonic of it), where the
# stretch starts and how long it is: after the note's first echo has come in (three ticks, 0.26 s;
# the arpeggio's four, 0.35 s) and before the next, whose start would smear the comb. Never
# shorter than 8,192 frames: over 4,096 the window's own skirt, three bins and more from a pure
# tone on C5, is -39.8 dB, and the arpeggio's fundamental is its strongest harmonic.
PROBES = (('lead', 1, 72, 12, 0.27, 8192), ('opening line', 4, 72, 12, 0.27, 8192),
          ('stab', 5, 72, -12, 0.27, 8192), ('warm pad', 7, 64, 12, 0.5, 16384),
          ('bright pad', 8, 64, 12, 0.5, 16384), ('arpeggio', 14, 72, 12, 0.36, 8192))
DETUNE = 0.0070    # the widest detune (11 cents) as a share of the frequency, and a margin


def partials(tool, song, work, track, note, lowest, start_s, n):
    """Inharmonic energy of a track holding one note alone, against its strongest harmonic.

    A harmonic is a band of three bins plus the detune around a multiple of the comb's
    fundamental; everything else from 20 Hz to 20 kHz is inharmonic (aliases above all).
    """
    probe = dict(song)
    probe['songOrder'] = [0] * len(song['songOrder'])
    probe['songOrder'][BARS * track] = 1
    probe['songPatterns'] = list(song['songPatterns'])
    probe['songPatterns'][ROWS:2 * ROWS] = [note] + [1] * (ROWS - 1)
    # Every envelope of the track held at full level once its attack is over (the waveforms' own
    # partials, not a short note's smear: the arpeggio's note dies within 160 ms), and no send to
    # the master's reverberators (whose tail of the note's start lies off the comb).
    probe['instrumentParams'] = list(song['instrumentParams'])
    instrument, offset = 0, 0
    for op in song['instrumentCommands']:
        if op == 0:
            instrument += 1
        elif instrument == track and op == 1:
            probe['instrumentParams'][offset + 2] = 128
        elif instrument == track and op == 9:
            probe['instrumentParams'][offset + 1] = 0
        offset += (0, 5, 8, 3, 2, 8, 1, 3, 1, 2, 1, 0)[op]
    path = os.path.join(work, f'note{track}.json')
    with open(path, 'w') as f:
        json.dump(probe, f)
    render(tool, path, os.path.join(work, f'note{track}.wav'))
    x = read_wav(os.path.join(work, f'note{track}.wav'))
    start = int(RATE * start_s)
    seg = x[2 * start:2 * (start + n):2]
    if len(seg) < n:
        sys.exit(f'{work}/note{track}.wav: shorter than {start + n} frames; the render of track {track} alone failed')
    spectrum = fft([complex(v * (0.5 - 0.5 * math.cos(2 * math.pi * i / n)), 0.0) for i, v in enumerate(seg)])
    power = [abs(c) ** 2 for c in spectrum[:n // 2]]
    hz = RATE / n
    f0 = 220.0 * 2 ** ((note + lowest - 69) / 12)
    harmonic = [0.0] * (int(20000 / f0) + 2)
    inharmonic = 0.0
    for b in range(int(20 / hz), int(20000 / hz)):
        f = b * hz
        k = max(1, round(f / f0))
        if abs(f - k * f0) <= 3 * hz + DETUNE * k * f0:
            harmonic[k] += power[b]
        else:
            inharmonic += power[b]
    return db(inharmonic) - db(max(harmonic))


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


def band_file(src, dst, lo, hi):
    """The whole of a WAV file between two frequencies (fourfold Butterworth edges; 0: no edge)."""
    edges = [f'highpass=f={lo}'] * 4 if lo else []
    edges += [f'lowpass=f={hi}'] * 4 if hi else []
    subprocess.run(['ffmpeg', '-y', '-hide_banner', '-v', 'error', '-i', src, '-af', ','.join(edges),
                    '-c:a', 'pcm_f32le', dst], check=True)
    return read_wav(dst)


TONAL = (1, 4, 5, 6, 7, 8, 14)
STEP_BEFORE = RATE * 2 // 1000
DROPS = (32, 64, 96, 112, 144, 176)
LOUD_DROPS = ((32, 48), (112, 128), (176, 192))
BAR = ROWS * FRAMES_PER_ROW


def arrangement_figures(work, song, mix, short):
    """Drops against the bars before them, the loudest 16 bars, the kick's and snare's share of
    their bands at their hits, the octaves and width of the drops."""
    bands = {(30, 60): 'mix', (60, 120): 'mix', (250, 500): 'mix', (150, 300): 'mix', (0, 120): 'mix',
             (40, 100): 'mix', (2000, 6000): 'mix'}
    jobs = [(k, 'mix') for k in bands] + [((40, 100), 'stem0'), ((2000, 6000), 'stem0')]
    with ThreadPoolExecutor(max_workers=2) as pool:
        files = dict(zip(jobs, pool.map(lambda j: band_file(
            os.path.join(work, f'{j[1]}.wav'), os.path.join(work, f'{j[1]}_{j[0][0]}_{j[0][1]}.wav'), *j[0]), jobs)))
    bar_s = BAR / RATE

    def st(a, b):  # mean short-term loudness of the 3 s windows lying within bars [a, b)
        vals = [v for i, v in enumerate(short) if a * bar_s <= (i + 1) * 0.1 - 3.0 and (i + 1) * 0.1 <= b * bar_s]
        return sum(vals) / len(vals)

    sub = files[((30, 60), 'mix')]
    print('drops, 4 bars after against the 4 before: ' + ', '.join(
        f'{d}: {st(d, d + 4) - st(d - 4, d):+.1f} LU, 30..60 Hz '
        f'{db(energy(sub, d * BAR, (d + 4) * BAR)) - db(energy(sub, (d - 4) * BAR, d * BAR)):+.1f} dB'
        for d in DROPS))
    blocks = [(st(k, k + 16), k) for k in range(32, 192, 8)]
    print('loudest 16 bars of 32..191 from bar {1} ({0:.1f} LUFS short-term); '.format(*max(blocks)) +
          'the last drop {:.1f}'.format(st(176, 192)))

    hits = onsets(song, 0)
    sixty = RATE * 60 // 1000
    for band in ((40, 100), (2000, 6000)):
        own = sum(energy(files[(band, 'stem0')], r * FRAMES_PER_ROW, r * FRAMES_PER_ROW + sixty) for r in hits)
        all_ = sum(energy(files[(band, 'mix')], r * FRAMES_PER_ROW, r * FRAMES_PER_ROW + sixty) for r in hits)
        print(f'kick: {100 * own / all_:.0f} % of the mix\'s {band[0]}..{band[1]} Hz in the 60 ms after its hits')
    thirty = RATE * 30 // 1000
    body = files[((150, 300), 'mix')]
    snares = onsets(song, 2)
    after = sum(energy(body, r * FRAMES_PER_ROW, r * FRAMES_PER_ROW + thirty) for r in snares)
    before = sum(energy(body, r * FRAMES_PER_ROW - thirty, r * FRAMES_PER_ROW) for r in snares)
    print(f'snare: the mix\'s 150..300 Hz rises {db(after) - db(before):+.1f} dB in the 30 ms after its hits')

    def side_mid(x, a, b):
        side = sum((x[i] - x[i + 1]) ** 2 for i in range(2 * a, 2 * b, 2))
        mid = sum((x[i] + x[i + 1]) ** 2 for i in range(2 * a, 2 * b, 2))
        return db(side) - db(mid)

    low = files[((0, 120), 'mix')]
    for a, b in LOUD_DROPS:
        whole = energy(mix, a * BAR, b * BAR)
        print(f'bars {a}..{b - 1}: of the whole, ' + ', '.join(
            f'{lo}..{hi} Hz {db(energy(files[((lo, hi), "mix")], a * BAR, b * BAR)) - db(whole):+.1f} dB'
            for lo, hi in ((30, 60), (60, 120), (250, 500))) +
              f'; side against mid {side_mid(mix, a * BAR, b * BAR):+.1f} dB, below 120 Hz '
              f'{side_mid(low, a * BAR, b * BAR):+.1f} dB')


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
    lufs, lra, short, true_peak = ebur128(os.path.join(work, 'mix.wav'), true_peak=True)
    clipped = sum(1 for v in mix if abs(v) >= 1.0)
    dc = [sum(mix[c::2]) / n for c in (0, 1)]
    print(f'mix: {lufs:.1f} LUFS integrated, LRA {lra:.1f} LU, {clipped} samples at the clip limit '
          f'({100.0 * clipped / len(mix):.4f} %), true peak {true_peak:+.1f} dBTP, DC {dc[0]:+.5f} {dc[1]:+.5f}')
    arrangement_figures(work, song, mix, short)

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
    firsts, largest = [], []
    for row in onsets(song, 0)[::4]:
        a = 2 * row * FRAMES_PER_ROW
        env = [max(abs(kick[i]), abs(kick[i + 1])) for i in range(a, a + 2 * RATE * 60 // 1000, 2)]
        half = max(env) / 2
        firsts.append(next(i for i in range(1, len(env) - 1)
                           if env[i] >= half and env[i] >= env[i - 1] and env[i] >= env[i + 1]) / RATE * 1000)
        largest.append(env.index(max(env)) / RATE * 1000)
    print(f'kick: first peak {sorted(firsts)[len(firsts) // 2]:.1f} ms after the hit, the largest '
          f'{sorted(largest)[len(largest) // 2]:.1f} ms (medians)')
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

    steps = []
    for t in TONAL:
        x = bass if t == 6 else read_wav(os.path.join(work, f'stem{t}.wav'))
        n_steps = 0
        for row in onsets(song, t):
            a = row * FRAMES_PER_ROW
            if a < STEP_BEFORE + 1:
                continue
            for c in (0, 1):
                jump = abs(x[2 * a + c] - x[2 * a - 2 + c])
                slope = max(abs(x[2 * i + c] - x[2 * i - 2 + c]) for i in range(a - STEP_BEFORE, a))
                if jump > 0.002 and jump > 4 * slope:
                    n_steps += 1
                    break
        steps.append(f'track {t} {n_steps} of {len(onsets(song, t))}')
    print('steps at note starts (a jump on the first frame over 4 times the largest in the 2 ms before): ' +
          ', '.join(steps))

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
    with ThreadPoolExecutor(max_workers=2) as pool:
        off = list(pool.map(lambda p: partials(tool, song, work, *p[1:]), PROBES))
    print('alone on one note, off the harmonic comb against the strongest harmonic: ' +
          ', '.join(f'{p[0]} (track {p[1]}, note {p[2]}) {v:.1f} dB' for p, v in zip(PROBES, off)))
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
        for p in PROBES:
            os.remove(os.path.join(work, f'note{p[1]}.json'))


if __name__ == '__main__':
    main()
