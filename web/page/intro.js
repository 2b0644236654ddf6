// The page: the show live (a start click, the song rendered in a worker and played through the
// AudioContext, whose play position is the one clock; a frame per requestAnimationFrame; Escape
// ends it), or, with ?still in the address, one picture as `intro-tool frame` draws it:
//   index.html?still&t=T[&e=E&e2=A&e3=B][&size=WxH]
// The still's title then begins with "ready" and window.stillPixels holds its RGBA bytes (rows top
// to bottom), or it begins with "failed:" and says why. ?size=WxH also sets the live picture's
// size (the window's by default), ?fullscreen=1 ticks full screen.
import createIntroModule from './intro.mjs';
import { SongSound } from './audio.js';
import { GpuError, Show, openDevice } from './gpu.js';
import { SongRender } from './song.js';

const line = document.getElementById('line');
const startButton = document.getElementById('start');
const fullscreenBox = document.getElementById('fullscreen');
const canvas = document.getElementById('picture');
const query = new URLSearchParams(location.search);

// Numbers as intro-tool reads them: an optional sign, digits with an optional point, an optional
// exponent; read as float by the module's strtof, as intro-tool does.
const decimal = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;
function readFloat(module, name, low, high) {
  const text = query.get(name);
  if (text === null) return null;
  if (!decimal.test(text)) throw new RangeError(`${name} wants a plain decimal number, not "${text}"`);
  const bytes = new TextEncoder().encode(text);
  module.HEAPU8.set(bytes, module._web_decimal_text());
  module.HEAPU8[module._web_decimal_text() + bytes.length] = 0;
  const value = module._web_decimal();
  if (low !== undefined && !(value >= low && value <= high)) {
    throw new RangeError(`${name} must lie between ${low} and ${high}, not ${text}`);
  }
  return value;
}

function readSize(fallbackWidth, fallbackHeight) {
  const text = query.get('size');
  if (text === null) return [fallbackWidth, fallbackHeight];
  const match = /^(\d{1,5})x(\d{1,5})$/.exec(text);
  if (!match || +match[1] < 1 || +match[2] < 1) throw new RangeError(`size wants WIDTHxHEIGHT, not "${text}"`);
  return [+match[1], +match[2]];
}

async function still() {
  const module = await createIntroModule();
  const t = readFloat(module, 't', 0, 490);
  if (t === null) throw new RangeError('t is required (music time, 0 to 490)');
  const given = ['e', 'e2', 'e3'].map((name) => readFloat(module, name));
  const [width, height] = readSize(1280, 720);
  document.title = `drawing t ${t}`;
  if (given.some((value) => value === null)) {
    // The sync values the show has at t: the song rendered that far.
    const song = new SongRender(module, null);
    const frames = module._web_still_frames(t);
    song.start(frames);
    await song.reach(frames);
    song.stop();
  }
  module._web_still(t);
  const frame = module._web_frame() / 4;
  given.forEach((value, i) => { if (value !== null) module.HEAPF32[frame + i] = value; });
  module._web_start(width, height);  // the picture size into the parameters
  const params = module.HEAPF32.slice(frame, frame + 8);
  const sceneIndex = new Int32Array(module.HEAPU8.buffer)[frame + 8];
  const { device, name } = await openDevice();
  const show = new Show(device, module, width, height);
  const pixels = await show.read(params, sceneIndex);
  device.destroy();  // the picture is read: a page that draws many stills in turn keeps no devices
  // Shown through a 2D canvas: a WebGPU canvas is not offered on every software device.
  canvas.width = width;
  canvas.height = height;
  canvas.style.display = 'block';
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(pixels.buffer), width, height), 0, 0);
  document.getElementById('panel').style.display = 'none';
  window.stillPixels = pixels;
  document.title = `ready t ${t} scene ${sceneIndex} e ${params[0]} e2 ${params[1]} e3 ${params[2]} ` +
                   `${width}x${height} on ${name}`;
}

// What the live show reports of itself (the tests read it): its state, the frames drawn, the play
// position, which clock drives it, the audio context's time and the frames rendered.
const status = window.introShow = { state: 'loading', frames: 0, position: 0, clock: 'steady', audioTime: 0,
                                    rendered: 0 };

async function live() {
  // WebGPU first: a browser without it says so before anything is offered.
  const { device } = await openDevice();
  const module = await createIntroModule();
  fullscreenBox.checked = query.get('fullscreen') === '1';
  startButton.disabled = false;
  line.textContent = '';
  status.state = 'waiting';
  await new Promise((resolve) => startButton.addEventListener('click', resolve, { once: true }));
  const clicked = performance.now();
  startButton.disabled = true;
  if (fullscreenBox.checked) document.documentElement.requestFullscreen?.().catch(() => {});
  const songFrames = module._web_song_frames(), sampleRate = module._web_sample_rate();
  const sound = new SongSound(sampleRate, songFrames);  // made in the click, so that it may play
  const [width, height] = readSize(innerWidth, innerHeight);
  const show = new Show(device, module, width, height);
  const early = [];  // steps rendered before the sound begins
  const song = new SongRender(module, (step) => {
    if (sound.started) sound.add(step.first, step.sound); else early.push(step);
    if (status.state === 'rendering') {
      line.textContent = `Rendering the soundtrack: ${Math.floor(step.frames * 100 / songFrames)} %`;
    }
  });
  status.state = 'rendering';
  line.textContent = 'Compiling the shaders';
  song.start();
  await show.compileAll();
  // As the intro does, the show starts once the render is ahead of playback: a few patterns ahead
  // here, the render running many times faster than the music.
  await song.reach(Math.min(songFrames, 4 * 61520));
  sound.begin();
  for (const step of early.splice(0)) sound.add(step.first, step.sound);

  show.configureCanvas(canvas);
  canvas.style.display = 'block';
  document.getElementById('panel').style.display = 'none';
  module._web_start(width, height);
  const frame = module._web_frame() / 4;
  const heap32 = new Int32Array(module.HEAPU8.buffer);

  let ended = false;
  const end = (why) => {
    if (ended) return;
    ended = true;
    sound.close();
    song.stop();
    status.state = 'ended';
    status.endedBy = why;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    canvas.style.display = 'none';
    document.getElementById('panel').style.display = '';
    line.textContent = why === 'escape' ? 'Ended.' : 'The end.';
    document.title = `ended (${why})`;
  };
  addEventListener('keydown', (event) => { if (event.key === 'Escape') end('escape'); });
  document.addEventListener('fullscreenchange', () => { if (!document.fullscreenElement) end('escape'); });

  const turn = async () => {
    if (ended) return;
    if (show.lost) return fail(new GpuError(show.lost));
    const position = sound.position();
    const songEnded = module._web_advance(position) === 1;
    await show.present(module.HEAPF32.subarray(frame, frame + 8), heap32[frame + 8]);
    if (ended) return;  // Escape came while the picture was drawn
    if (status.frames === 0) status.firstPicture = performance.now() - clicked;
    status.frames += 1;
    status.position = position;
    status.clock = sound.clock;
    status.audioTime = sound.contextTime();
    status.rendered = song.frames;
    status.state = 'playing';
    if (songEnded) end('song');
    else requestAnimationFrame(turn);
  };
  requestAnimationFrame(turn);
}

function fail(error) {
  const message = error instanceof Error ? error.message : String(error);
  document.title = `failed: ${message}`;
  line.textContent = message;
  status.state = 'failed';
  status.error = message;
  startButton.style.display = 'none';
  fullscreenBox.parentElement.style.display = 'none';
  console.error(error);
}

(query.has('still') ? still() : live()).catch(fail);
