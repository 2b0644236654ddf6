// Drives the page in a frame of its own, as a person would open it, and posts what it saw to the
// test's server (page_server.py): each still picture of /data/plan.json as NAME.rgba (or NAME.failed
// with the page's title), then, where the plan asks, the live show: Start clicked, played for some
// seconds, Escape; its reports as live.json. Ends by posting "done".
const post = (name, body) => fetch(`/data/${name}`, { method: 'POST', body });
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// The steps taken, posted as they are taken: where a browser stops, the test says where.
let steps = '';
const note = (step) => post('steps.log', steps += `${(performance.now() / 1000).toFixed(2)} ${step}\n`);

// A still's frame is not displayed: Firefox's headless compositor can hang a later WebGPU canvas
// in the same process once it has shown a 2D canvas.
async function load(query, displayed = true) {
  const frame = document.createElement('iframe');
  if (!displayed) frame.style.display = 'none';
  frame.width = 400;
  frame.height = 240;
  frame.src = `/index.html${query}`;
  document.body.append(frame);
  await new Promise((resolve) => frame.addEventListener('load', resolve, { once: true }));
  return frame;
}

// Waits until test() holds (polling), at most `seconds`; returns its last value.
async function until(test, seconds) {
  const end = performance.now() + seconds * 1000;
  let value;
  while (!(value = test()) && performance.now() < end) await sleep(50);
  return value;
}

async function still(frameSpec) {
  await note(`still ${frameSpec.name}`);
  const start = performance.now();
  const frame = await load(`?still&${frameSpec.query}`, false);
  const title = await until(() => {
    const text = frame.contentDocument.title;
    return text.startsWith('ready') || text.startsWith('failed:') ? text : null;
  }, 300) || `failed: no picture within 300 s (title "${frame.contentDocument.title}")`;
  if (title.startsWith('ready')) await post(`${frameSpec.name}.rgba`, frame.contentWindow.stillPixels);
  else await post(`${frameSpec.name}.failed`, title);
  await post(`${frameSpec.name}.title`, `${title}\n${((performance.now() - start) / 1000).toFixed(2)} s\n`);
  frame.remove();
}

async function live(run) {
  await note('live: loading the page');
  const frame = await load(run.query);
  await note('live: loaded');
  const win = frame.contentWindow;
  const report = { samples: [] };
  const button = await until(() => {
    const b = frame.contentDocument.getElementById('start');
    return b && !b.disabled ? b : null;
  }, 60);
  if (!button) {
    report.error = `no Start button to click: ${frame.contentDocument.getElementById('line')?.textContent}`;
    return post('live.json', JSON.stringify(report));
  }
  const clicked = performance.now();
  await note('live: clicking Start');
  button.click();
  const playing = await until(() => win.introShow.state === 'playing' || win.introShow.state === 'failed', 300);
  if (!playing || win.introShow.state !== 'playing') {
    report.error = `not playing: ${JSON.stringify(win.introShow)}`;
    return post('live.json', JSON.stringify(report));
  }
  await note('live: playing');
  report.firstPicture = win.introShow.firstPicture;
  report.toPlaying = performance.now() - clicked;
  for (let s = 0; s <= run.seconds; ++s) {
    report.samples.push({ at: performance.now(), ...win.introShow });
    await sleep(1000);
  }
  await note('live: Escape');
  win.dispatchEvent(new win.KeyboardEvent('keydown', { key: 'Escape', bubbles: true }));
  const escaped = performance.now();
  await until(() => win.introShow.state === 'ended', 5);
  report.afterEscape = { ms: performance.now() - escaped, ...win.introShow };
  await sleep(500);
  report.framesAfterEscape = win.introShow.frames - report.afterEscape.frames;
  await post('live.json', JSON.stringify(report));
  frame.remove();
}

try {
  const plan = await (await fetch('/data/plan.json')).json();
  for (const frameSpec of plan.frames) await still(frameSpec);
  if (plan.live) await live(plan.live);
} catch (error) {
  await post('harness.failed', String(error.stack || error));
}
await post('done', '');
