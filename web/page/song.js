// The song as the page receives it from the render worker: each step's envelope records copied
// into the page's module and published there (the frame update reads them as the intro's loop
// reads its render thread's), and its sound handed to a listener (the page's audio).
export class SongRender {
  // module: the page's instance; onStep({first, frames, sound, seconds}) after each step.
  constructor(module, onStep) {
    this.module = module;
    this.frames = 0;
    this.failed = null;
    this.onStep = onStep;
    this.waiters = [];
    this.worker = new Worker(new URL('render_worker.js', import.meta.url), { type: 'module' });
    this.worker.onmessage = (event) => this.take(event.data);
    this.worker.onerror = (event) => this.fail(`the render worker failed: ${event.message || 'no message'}`);
  }

  // Renders up to frame `until` (the whole song when left out).
  start(until) { this.worker.postMessage({ until }); }

  take(step) {
    if (step.failed) return this.fail(step.failed);
    const recordBytes = this.module._web_envelope_record_bytes();
    this.module.HEAPU8.set(step.envelopes, this.module._web_envelopes() + step.firstRecord * recordBytes);
    this.module._web_publish(step.frames);
    this.frames = step.frames;
    this.onStep?.(step);
    this.waiters = this.waiters.filter((waiter) => !waiter());
  }

  fail(message) {
    this.failed = message;
    this.waiters.forEach((waiter) => waiter());
    this.waiters = [];
  }

  // Resolves once frame `frames` is rendered; rejects if the render fails.
  reach(frames) {
    return new Promise((resolve, reject) => {
      const check = () => {
        if (this.failed) reject(new Error(this.failed));
        else if (this.frames >= frames) resolve();
        else return false;
        return true;
      };
      if (!check()) this.waiters.push(check);
    });
  }

  stop() { this.worker.terminate(); }
}
