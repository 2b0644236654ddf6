#pragma once
// The preview player's songs: each one rendered from its start on a thread of its own into
// memory of its own, far ahead of playback (the render runs many times faster than real time),
// and a watched song file whose valid changes become new renders.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "player/file_stamp.h"
#include "synth/synth.h"
#include "tools/song_file.h"

class SongRender {
 public:
  // Starts rendering song; data, when given, holds the tables that song points into.
  explicit SongRender(SongData data);
  SongRender();  // the built-in song
  // Stops the render where it is and waits for its thread.
  ~SongRender();
  SongRender(const SongRender&) = delete;
  SongRender& operator=(const SongRender&) = delete;

  const SynthMemory& memory() const { return *memory_; }
  // Frames finished so far (everything below is complete and no longer written).
  std::uint32_t rendered() const { return renderedFrames(*memory_); }
  // Whether everything that position reads (its sound and its envelope record) is rendered.
  bool covers(std::uint32_t position) const;
  // False once the song turned out not to render (an invalid song: nothing renders).
  bool ok() const { return !failed_.load(std::memory_order_acquire); }

 private:
  void start();
  void run();

  SongData data_;
  Song song_;
  SynthMemoryPtr memory_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::thread thread_;
};

// A song file looked at for changes (its stamp, by path: editors save by renaming a new file over
// the old one).
class SongFileWatch {
 public:
  explicit SongFileWatch(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // Reads and checks the file now. On success data holds the song; otherwise problems says why
  // (as intro-tool song reports them). Either way the file's present state counts as seen.
  std::vector<SongProblem> load(SongData& data);
  // Whether the file differs from what load last saw.
  bool changed() const;

 private:
  std::string path_;
  FileStamp seen_;
};

// The song the player plays: the built-in one, or a song file that is watched. A valid change is
// rendered in the background and takes over once its render covers the position being shown;
// an invalid one is reported and the song that plays stays.
class LiveSong {
 public:
  // checkEveryMs: the least time between two looks at the file.
  explicit LiveSong(int checkEveryMs = 250) : checkEveryMs_(checkEveryMs) {}

  // The built-in song (empty path) or the file's. False with problems text (as intro-tool song
  // words them) when the file is not a valid song.
  bool start(const std::string& path, std::string& problems);

  const SongRender& current() const { return *current_; }
  // Whether a reader (the sound device) may still read a song's memory; a render is let go only
  // once it says no. Without one, a replaced render is kept until the next replacement.
  void setStillRead(std::function<bool(const SynthMemory*)> stillRead) { stillRead_ = std::move(stillRead); }
  bool watching() const { return watch_.has_value(); }

  struct Event {
    enum class Kind { none, refused, rendering, replaced } kind = Kind::none;
    std::string text;  // refused: the problems; rendering, replaced: a short line
  };
  // Main thread, once per frame. A replaced event means current() is a new render: whoever reads
  // the previous one's memory (the sound device) must move to the new one; the previous render is
  // kept until the next replacement, so such a reader may finish its buffer.
  Event poll(std::uint32_t position);

 private:
  int checkEveryMs_;
  std::optional<SongFileWatch> watch_;
  std::int64_t lastCheckMs_ = 0;
  std::unique_ptr<SongRender> current_;
  std::unique_ptr<SongRender> previous_;
  std::function<bool(const SynthMemory*)> stillRead_;
  std::unique_ptr<SongRender> pending_;
};
