#include "player/play_song.h"

#include <algorithm>
#include <chrono>

#include "host/show.h"
#include "synth/timing.h"

namespace {

// About 1.4 s of sound: a few tens of milliseconds of work between looks at the stop flag.
constexpr std::uint32_t renderStep = framesPerPattern;

}  // namespace

SongRender::SongRender(SongData data) : data_(std::move(data)), song_(data_.song()) { start(); }

SongRender::SongRender() : song_(builtinSong()) { start(); }

void SongRender::start() {
  memory_ = allocateSynthMemory();
  thread_ = std::thread([this] { run(); });
}

SongRender::~SongRender() {
  stop_.store(true, std::memory_order_release);
  if (thread_.joinable()) thread_.join();
}

void SongRender::run() {
  for (std::uint32_t at = 0; at < songFrames && !stop_.load(std::memory_order_acquire);) {
    at = std::min<std::uint32_t>(songFrames, at + renderStep);
    if (!renderSongFrames(*memory_, song_, at)) {
      failed_.store(true, std::memory_order_release);
      return;
    }
  }
}

bool SongRender::covers(std::uint32_t position) const {
  const std::uint32_t done = rendered();
  if (done >= songFrames) return true;
  // The record a position reads covers 256 frames; it is complete once its block is.
  const std::uint64_t recordEnd = (std::uint64_t{envelopeRecordOf(position)} + 1) * envelopeLogPeriod;
  return done >= std::min<std::uint64_t>(songFrames, std::max<std::uint64_t>(position, recordEnd));
}

std::vector<SongProblem> SongFileWatch::load(SongData& data) {
  seen_ = stampOf(path_);
  // Opening a FIFO (or a terminal) would hold the player until something wrote to it.
  if (seen_.exists && !seen_.regular()) {
    return {{"file", SongProblem::wholeTable,
             "cannot be read: " + path_ + ": it is " + fileKindOf(seen_.mode) + ", expected a song file"}};
  }
  return readSongFile(path_, data);
}

bool SongFileWatch::changed() const { return !(stampOf(path_) == seen_); }

namespace {

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool LiveSong::start(const std::string& path, std::string& problems) {
  if (path.empty()) {
    current_ = std::make_unique<SongRender>();
    return true;
  }
  watch_.emplace(path);
  SongData data;
  const std::vector<SongProblem> found = watch_->load(data);
  if (!found.empty()) {
    problems = songFileProblemsText(path, found);
    return false;
  }
  current_ = std::make_unique<SongRender>(std::move(data));
  lastCheckMs_ = steadyMs();
  return true;
}

LiveSong::Event LiveSong::poll(std::uint32_t position) {
  Event event;
  if (!watch_) return event;
  if (previous_ && stillRead_ && !stillRead_(&previous_->memory())) previous_.reset();
  // A second replacement waits until the reader has let go of the render before the last one.
  const bool previousFree = !previous_ || !stillRead_;
  if (pending_ && pending_->covers(position) && previousFree) {
    previous_ = std::move(current_);
    current_ = std::move(pending_);
    event.kind = Event::Kind::replaced;
    event.text = watch_->path() + ": the new song plays";
    return event;
  }
  const std::int64_t now = steadyMs();
  if (now - lastCheckMs_ < checkEveryMs_) return event;
  lastCheckMs_ = now;
  if (!watch_->changed()) return event;
  SongData data;
  const std::vector<SongProblem> found = watch_->load(data);
  if (!found.empty()) {
    // A render of an earlier valid change is not what the file says any more either.
    pending_.reset();
    event.kind = Event::Kind::refused;
    event.text = songFileProblemsText(watch_->path(), found) + "the song that plays stays\n";
    return event;
  }
  pending_ = std::make_unique<SongRender>(std::move(data));
  event.kind = Event::Kind::rendering;
  event.text = watch_->path() + " changed: rendering it";
  return event;
}
