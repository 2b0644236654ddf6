#include "player/play_mix.h"

#include <algorithm>

namespace {

std::uint32_t clampToSong(std::uint32_t position, const SoundSource& source) {
  return std::min(position, source.frames);
}

}  // namespace

PlayMixer::PlayMixer(SoundSource source) { reset(source); }

void PlayMixer::reset(SoundSource source) {
  wanted_ = State{};
  wanted_.source = source;
  applied_ = wanted_;
  sourceChanged_ = false;
  positionChanged_ = false;
  generation_ = 0;
  appliedGeneration_ = 0;
  target_ = PlayTarget{};
  appliedTargetGeneration_ = 0;
  main_ = Voice{};
  fadingCount_ = 0;
  delivered_ = 0;
  log_.clear();
}

void PlayMixer::command() { ++generation_; }

void PlayMixer::setPosition(std::uint32_t position) {
  command();
  wanted_.position = clampToSong(position, wanted_.source);
  positionChanged_ = true;
  target_ = PlayTarget{generation_, wanted_.position};
}

void PlayMixer::play(std::uint32_t position) {
  setPosition(position);
  wanted_.playing = true;
}

void PlayMixer::pause() {
  command();
  wanted_.playing = false;
}

void PlayMixer::pauseAt(std::uint32_t position) {
  setPosition(position);
  wanted_.playing = false;
}

void PlayMixer::seek(std::uint32_t position) { setPosition(position); }

void PlayMixer::setSource(SoundSource source) {
  command();
  wanted_.source = source;
  sourceChanged_ = true;
}

bool PlayMixer::reads(const void* data) const {
  if (data == nullptr) return false;
  if (wanted_.source.data == data) return true;
  // A swap not applied yet fades the playing source out in the next fill.
  if (applied_.playing && main_.source.data == data) return true;
  for (int i = 0; i < fadingCount_; ++i) {
    if (fading_[i].source.data == data) return true;
  }
  return false;
}

void PlayMixer::retire(const Voice& voice) {
  if (voice.level == 0) return;  // not heard yet: nothing to fade
  Voice fading = voice;
  fading.rising = false;
  if (fadingCount_ < maxFading) {
    fading_[fadingCount_++] = fading;
    return;
  }
  // Only when commands come faster than a fade, several times a buffer: the quietest stream,
  // nearly silent by then, stops where it is.
  Voice* quietest = std::min_element(fading_, fading_ + maxFading,
                                     [](const Voice& a, const Voice& b) { return a.level < b.level; });
  if (quietest->level < fading.level) *quietest = fading;
}

void PlayMixer::applyCommands() {
  if (appliedGeneration_ == generation_) return;
  const bool wasPlaying = applied_.playing;
  const std::uint32_t cursor = wasPlaying ? main_.cursor : applied_.position;
  // A pause without a position holds where its fade begins: the cursor now.
  const std::uint32_t position = clampToSong(positionChanged_ ? wanted_.position : cursor, wanted_.source);
  const bool streamChanges = positionChanged_ || sourceChanged_;
  if (wasPlaying && (streamChanges || !wanted_.playing)) retire(main_);
  if (wanted_.playing && (!wasPlaying || streamChanges)) {
    main_ = Voice{};
    main_.source = wanted_.source;
    main_.cursor = position;
  }
  wanted_.position = position;
  applied_ = wanted_;
  sourceChanged_ = false;
  positionChanged_ = false;
  appliedGeneration_ = generation_;
  appliedTargetGeneration_ = target_.generation;
}

void PlayMixer::mixVoice(Voice& voice, float* out, std::uint32_t frames) {
  // A falling voice is silent once its level reaches zero: read no further.
  const std::uint32_t count = voice.rising ? frames : std::min(frames, voice.level);
  const SoundSource& source = voice.source;
  std::uint32_t available = 0;
  if (source.read != nullptr && voice.cursor < source.frames) {
    available = std::min(count, source.frames - voice.cursor);
    source.read(source.data, voice.cursor, available, scratch_);
  }
  std::fill(scratch_ + 2 * available, scratch_ + 2 * count, 0.0f);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (voice.rising) {
      voice.level = std::min(voice.level + 1, fadeFrames);
    } else {
      --voice.level;
    }
    const float gain = static_cast<float>(voice.level) / static_cast<float>(fadeFrames);
    out[2 * i] += scratch_[2 * i] * gain;
    out[2 * i + 1] += scratch_[2 * i + 1] * gain;
  }
  voice.cursor += std::min(count, source.frames - std::min(voice.cursor, source.frames));
}

void PlayMixer::fill(float* out, std::uint32_t frames) {
  applyCommands();
  PlayRecord record;
  record.deviceStart = delivered_;
  record.frames = frames;
  record.sourceStart = applied_.playing ? main_.cursor : applied_.position;
  record.sourceEnd = applied_.source.frames;
  record.generation = appliedGeneration_;
  record.targetGeneration = appliedTargetGeneration_;
  record.advancing = applied_.playing;
  log_.add(record);

  std::fill(out, out + 2 * std::size_t{frames}, 0.0f);
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t count = std::min(chunkFrames, frames - done);
    for (int i = 0; i < fadingCount_; ++i) mixVoice(fading_[i], out + 2 * std::size_t{done}, count);
    if (applied_.playing) mixVoice(main_, out + 2 * std::size_t{done}, count);
    done += count;
  }
  fadingCount_ = static_cast<int>(std::remove_if(fading_, fading_ + fadingCount_,
                                                 [](const Voice& voice) { return voice.level == 0; }) -
                                  fading_);
  delivered_ += frames;
}

std::uint32_t PlayMixer::heardPosition(std::uint64_t heardDeviceFrames) {
  return log_.heardPosition(heardDeviceFrames, target_);
}
