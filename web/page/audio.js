// The page's sound and the show's clock. The song's steps are scheduled on the AudioContext back
// to back, each at its exact place after the start; the play position is what the listener hears
// (the context's time, carried forward by the page's clock since it last moved), never
// going backwards nor past what was scheduled or the song's end. Until the sound runs (and where it
// never does: no audio device) a steady clock from the same start drives the show.
export class SongSound {
  constructor(sampleRate, songFrames) {
    this.sampleRate = sampleRate;
    this.songFrames = songFrames;
    try {
      this.context = new AudioContext({ sampleRate });
    } catch {
      this.context = new AudioContext();  // a device that takes no 44.1 kHz
    }
    this.sources = [];
    this.scheduled = 0;  // frames handed to the context
    this.started = false;
    this.last = 0;
    this.lastTime = -1;
    this.lastTimeAt = 0;
    this.clock = 'steady';
  }

  // The clock starts `lead` seconds from now, on both clocks alike.
  begin(lead = 0.2) {
    this.context.resume();
    this.startTime = this.context.currentTime + lead;
    // The steady clock counts from when the start will be heard, so that the audio clock takes
    // over where it stands.
    const latency = this.latency();
    this.steadyStart = performance.now() + (lead + latency) * 1000;
    this.started = true;
  }

  // One step of the song: interleaved stereo floats from frame `first` on.
  add(first, sound) {
    if (!this.started || this.context.state === 'closed') return;
    const frames = sound.length / 2;
    const buffer = this.context.createBuffer(2, frames, this.sampleRate);
    const left = new Float32Array(frames), right = new Float32Array(frames);
    for (let i = 0; i < frames; ++i) {
      left[i] = sound[2 * i];
      right[i] = sound[2 * i + 1];
    }
    buffer.copyToChannel(left, 0);
    buffer.copyToChannel(right, 1);
    const source = new AudioBufferSourceNode(this.context, { buffer });
    source.connect(this.context.destination);
    const when = this.startTime + first / this.sampleRate;
    const late = this.context.currentTime - when;
    // A step that comes late plays from where the song is now, so it stays in place.
    if (late > 0) source.start(0, late); else source.start(when);
    this.sources.push(source);
    this.scheduled = Math.max(this.scheduled, first + frames);
  }

  // The play position in sample frames.
  position() {
    if (!this.started) return 0;
    let heard = -1;
    if (this.context.state === 'running') {
      // The context's time moves a block of sound at a time: carried forward by the page's clock
      // since it last moved, less what the output still holds, as the intro's own clock counts.
      const now = performance.now(), time = this.context.currentTime;
      if (time !== this.lastTime) {
        this.lastTime = time;
        this.lastTimeAt = now;
      }
      const played = time + (now - this.lastTimeAt) / 1000 - this.latency();
      if (played > this.startTime) {
        heard = (played - this.startTime) * this.sampleRate;
        this.clock = 'audio';
      }
    }
    if (heard < 0) heard = (performance.now() - this.steadyStart) / 1000 * this.sampleRate;
    const limit = this.clock === 'audio' ? Math.min(this.scheduled, this.songFrames) : this.songFrames;
    this.last = Math.max(this.last, Math.min(Math.floor(heard), limit));
    return this.last;
  }

  // What the output holds before it is heard. Not outputLatency nor getOutputTimestamp(): in
  // headless Firefox 153 either can stop the page's thread for good.
  latency() { return this.context.baseLatency || 0; }

  // The context's own time, for a check that the sound runs.
  contextTime() { return this.context.currentTime; }

  close() {
    for (const source of this.sources) {
      try { source.stop(); } catch { /* not started */ }
    }
    this.context.close();
  }
}
