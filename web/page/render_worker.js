// The render worker: the song rendered by the web module's synthesizer, from the start, one
// pattern at a time, each step handed to the page as it is done: its sound (interleaved stereo
// floats) and the envelope records it completed. Told {until: FRAMES} it renders that far and
// stops (a still picture's sync values need no more).
import createIntroModule from './intro.mjs';

const patternFrames = 61520;

onmessage = async (event) => {
  const module = await createIntroModule();
  const songFrames = module._web_song_frames();
  const period = module._web_envelope_period();
  const recordBytes = module._web_envelope_record_bytes();
  const until = Math.min(songFrames, event.data.until ?? songFrames);
  let frames = 0, records = 0;
  const start = performance.now();
  while (frames < until) {
    const rendered = module._web_render_to(Math.min(until, frames + patternFrames));
    if (rendered < 0) {
      postMessage({ failed: 'the built-in song does not render' });
      return;
    }
    // Records are complete once their block is (the last one at the song's end).
    const complete = rendered >= songFrames ? Math.ceil(songFrames / period) : Math.floor(rendered / period);
    const sound = module.HEAPF32.slice(module._web_sound() / 4 + frames * 2, module._web_sound() / 4 + rendered * 2);
    const envelopes = module.HEAPU8.slice(module._web_envelopes() + records * recordBytes,
                                          module._web_envelopes() + complete * recordBytes);
    postMessage({ first: frames, frames: rendered, sound, firstRecord: records, envelopes,
                  seconds: (performance.now() - start) / 1000 },
                [sound.buffer, envelopes.buffer]);
    frames = rendered;
    records = complete;
  }
};
