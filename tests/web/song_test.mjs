// The page's synthesizer (the web module, as the render worker runs it) renders the whole song
// bit for bit as the native one does: its sound against `intro-tool song`'s WAV (32-bit float,
// interleaved stereo), and its envelope records against the --envelope-log CSV's levels.
// Usage: node song_test.mjs INTRO_MJS REFERENCE_WAV REFERENCE_CSV
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [modulePath, wavPath, csvPath] = process.argv.slice(2);
const { default: createIntroModule } = await import(pathToFileURL(modulePath).href);
const module = await createIntroModule();

const songFrames = module._web_song_frames();
const sampleRate = module._web_sample_rate();
const start = performance.now();
let rendered = 0;
// Steps of about 22 s of sound, as a page's worker hands them over in smaller ones.
while (rendered < songFrames) {
  rendered = module._web_render_to(Math.min(songFrames, rendered + 16 * 61520));
  if (rendered < 0) throw new Error('the built-in song does not render in the web module');
}
const seconds = (performance.now() - start) / 1000;
console.log(`rendered ${songFrames} frames in ${seconds.toFixed(2)} s: ` +
            `${(songFrames / sampleRate / seconds).toFixed(1)} times real time`);

// The WAV's data chunk: the interleaved floats.
const wav = readFileSync(wavPath);
let offset = 12, data = null;
while (offset + 8 <= wav.length) {
  const id = wav.toString('latin1', offset, offset + 4), size = wav.readUInt32LE(offset + 4);
  if (id === 'data') { data = wav.subarray(offset + 8, offset + 8 + size); break; }
  offset += 8 + size + (size & 1);
}
if (data === null) throw new Error(`${wavPath} has no data chunk`);
const native = new Uint32Array(data.buffer.slice(data.byteOffset, data.byteOffset + data.length));
const web = new Uint32Array(module.HEAPU8.buffer, module._web_sound(), songFrames * 2);
let failures = 0;
if (native.length !== web.length) {
  console.log(`FAIL: the native song has ${native.length / 2} frames, the web one ${songFrames}`);
  failures++;
} else {
  const first = web.findIndex((bits, i) => bits !== native[i]);
  if (first >= 0) {
    const frame = first >> 1;
    console.log(`FAIL: the sound differs first at frame ${frame} (${(frame / sampleRate).toFixed(3)} s), ` +
                `channel ${first & 1}: bits ${web[first].toString(16)} against ${native[first].toString(16)}`);
    failures++;
  } else {
    console.log(`sound: all ${songFrames} frames bit-identical`);
  }
}

// The CSV: a header, then one line per record: its first frame, then the 16 tracks' levels.
const records = readFileSync(csvPath, 'utf8').trim().split('\n').slice(1);
const recordFloats = module._web_envelope_record_bytes() / 4;
const log = new Float32Array(module.HEAPU8.buffer, module._web_envelopes(), records.length * recordFloats);
let differing = -1;
records.forEach((line, r) => {
  const levels = line.split(',').slice(1).map(Number);
  if (differing < 0 && levels.some((level, i) => Math.fround(level) !== log[r * recordFloats + 2 * i])) differing = r;
});
if (differing >= 0) {
  console.log(`FAIL: envelope record ${differing} differs: ${records[differing]}`);
  failures++;
} else {
  console.log(`envelopes: all ${records.length} records the same`);
}
console.log(`${2 - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
