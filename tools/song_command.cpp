// intro-tool song: renders the soundtrack (the built-in song or a song file) to a WAV file,
// optionally with the envelope log as CSV, or exports the built-in song's tables as JSON.
// Output files appear complete or not at all: each is written under a temporary name and
// renamed when everything has succeeded; a failure or an interrupt (Ctrl-C, SIGTERM) removes
// the temporaries.
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "synth/synth.h"
#include "tools/commands.h"
#include "tools/interrupts.h"
#include "tools/option_values.h"
#include "tools/output_file.h"
#include "tools/song_file.h"

namespace {

constexpr const char* usage =
    "usage: intro-tool song --out FILE.wav [--song FILE.json] [--frames N] [--envelope-log FILE.csv]\n"
    "       intro-tool song --export FILE.json [--song FILE.json]\n"
    "\n"
    "  --out FILE.wav          render to a 32-bit float stereo 44,100 Hz WAV file\n"
    "  --song FILE.json        render (or export) this song file instead of the built-in song\n"
    "  --frames N              render only the first N frames (1..12057920; default all)\n"
    "  --envelope-log FILE.csv write the envelope log: record index, then the 15 track levels\n"
    "  --export FILE.json      write the song's tables as a song file\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "intro-tool song: %s\n\n%s", message.c_str(), usage);
  return 2;
}

struct Options {
  std::string out, songFile, envelopeLog, exportFile;
  std::uint32_t frames = songFrames;
};

std::optional<int> parseOptions(int argc, char** argv, Options& options) {
  // An empty value is a missing one: no output goes to a file without a name.
  const ToolOption table[] = {
      {"--out", OptionValue::nonEmpty, keepText(options.out)},
      {"--song", OptionValue::nonEmpty, keepText(options.songFile)},
      {"--envelope-log", OptionValue::nonEmpty, keepText(options.envelopeLog)},
      {"--export", OptionValue::nonEmpty, keepText(options.exportFile)},
      {"--frames", OptionValue::nonEmpty,
       [&](std::string_view value) {
         const std::optional<std::int64_t> frames = parseWholeNumber(value, 1, songFrames);
         if (!frames) {
           return "--frames " + quotedValue(value) + ": expected a whole number 1.." + std::to_string(songFrames);
         }
         options.frames = static_cast<std::uint32_t>(*frames);
         return std::string();
       }},
  };
  const OptionsRead read = readOptions(argc, argv, table);
  if (!read.problem.empty()) return usageError(read.problem);
  if (read.help) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (options.out.empty() && options.exportFile.empty()) {
    return usageError("nothing to do: give --out FILE.wav or --export FILE.json");
  }
  if (options.out.empty() && (!options.envelopeLog.empty() || options.frames != songFrames)) {
    return usageError("--frames and --envelope-log go with --out");
  }
  // Two outputs on one file: the second would replace the first.
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--out", &options.out}, {"--envelope-log", &options.envelopeLog}, {"--export", &options.exportFile}};
  for (std::size_t a = 0; a < std::size(outputs); ++a) {
    for (std::size_t b = a + 1; b < std::size(outputs); ++b) {
      if (!outputs[a].second->empty() && !outputs[b].second->empty() &&
          sameOutput(*outputs[a].second, *outputs[b].second)) {
        return usageError(std::string(outputs[a].first) + " and " + outputs[b].first + " both name " +
                          *outputs[b].second + "; give each output a file of its own");
      }
    }
  }
  return std::nullopt;
}

bool writeWav(const PendingOutput& file, const SynthMemory& memory, std::uint32_t frames) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* sound = sf_open(file.path().c_str(), SFM_WRITE, &info);
  if (sound == nullptr) {
    std::fprintf(stderr, "intro-tool song: cannot write %s: %s\n", file.target().c_str(),
                 sf_strerror(nullptr));
    return false;
  }
  // The PEAK chunk holds the time of writing, so the same render would give different files.
  sf_command(sound, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  // In pieces, so that an interrupt is honoured within a fraction of a second.
  constexpr std::uint32_t piece = 1 << 16;
  bool ok = true;
  for (std::uint32_t at = 0; ok && at < frames && !interrupted(); at += piece) {
    const std::uint32_t count = std::min(piece, frames - at);
    ok = sf_writef_float(sound, memory.soundBuffer + 2 * static_cast<std::size_t>(at), count) ==
         static_cast<sf_count_t>(count);
  }
  if (!ok) {
    std::fprintf(stderr, "intro-tool song: cannot write %s: %s\n", file.target().c_str(),
                 sf_strerror(sound));
  }
  return sf_close(sound) == 0 && ok;
}

// Closes a file written with stdio (nullptr: it could not be opened); false, with a message that
// says why, when the open, a write or the close failed.
bool closeWritten(std::FILE* out, const PendingOutput& file) {
  int code = out == nullptr ? errno : 0;
  if (out != nullptr) {
    if (std::ferror(out) != 0) code = errno != 0 ? errno : EIO;  // as the failed write left it
    if (std::fclose(out) != 0 && code == 0) code = errno;         // the last bytes go out here
  }
  if (code == 0) return true;
  std::fprintf(stderr, "intro-tool song: cannot write %s: %s\n", file.target().c_str(), std::strerror(code));
  return false;
}

bool writeEnvelopeLog(const PendingOutput& file, const SynthMemory& memory, std::uint32_t frames) {
  std::FILE* out = std::fopen(file.path().c_str(), "w");
  if (out == nullptr) return closeWritten(out, file);
  std::fputs("record", out);
  for (int track = 0; track < trackCount; ++track) std::fprintf(out, ",track%d", track);
  std::fputc('\n', out);
  const std::uint32_t records = (frames + envelopeLogPeriod - 1) / envelopeLogPeriod;
  for (std::uint32_t r = 0; r < records; ++r) {
    std::fprintf(out, "%u", r);
    for (int track = 0; track < trackCount; ++track) {
      std::fprintf(out, ",%.9g", static_cast<double>(memory.envelopeLog[r].level[2 * track]));
    }
    std::fputc('\n', out);
  }
  return closeWritten(out, file);
}

bool writeText(const PendingOutput& file, const std::string& text) {
  std::FILE* out = std::fopen(file.path().c_str(), "wb");
  if (out != nullptr) std::fwrite(text.data(), 1, text.size(), out);
  return closeWritten(out, file);
}

// Renders the first `frames` frames in steps of a few seconds of sound, looking for an interrupt
// between steps.
bool renderInSteps(SynthMemory& memory, const Song& song, std::uint32_t frames) {
  constexpr std::uint32_t step = 4 * sampleRate;
  for (std::uint32_t end = std::min(step, frames);; end = std::min(end + step, frames)) {
    if (interrupted()) return false;
    if (!renderSongFrames(memory, song, end)) return false;
    if (end == frames) return true;
  }
}

}  // namespace

int songCommand(int argc, char** argv) {
  Options options;
  if (const std::optional<int> done = parseOptions(argc, argv, options)) return *done;
  catchInterrupts();
  const auto stopped = [] { return interruptedExit("song", "nothing written"); };

  SongData loaded;
  Song song = builtinSong();
  if (!options.songFile.empty()) {
    const std::vector<SongProblem> problems = readSongFile(options.songFile, loaded, interrupted);
    if (interrupted()) return stopped();  // e.g. a pipe nobody writes
    if (!problems.empty()) {
      std::fprintf(stderr, "intro-tool song: %s", songFileProblemsText(options.songFile, problems).c_str());
      return 2;
    }
    song = loaded.song();
  } else if (!songIsValid(song)) {
    std::fprintf(stderr, "intro-tool song: the built-in song is invalid:\n");
    for (const SongProblem& problem : checkSong(song)) std::fprintf(stderr, "  %s\n", describe(problem).c_str());
    return 1;
  }

  // Every output's temporary first: an output that cannot be written fails before the render.
  std::optional<PendingOutput> exported, wav, log;
  for (auto [file, target] : {std::pair{&exported, &options.exportFile}, std::pair{&wav, &options.out},
                              std::pair{&log, &options.envelopeLog}}) {
    if (target->empty()) continue;
    file->emplace(*target);
    std::string error;
    if (!(*file)->reserve(error)) {
      std::fprintf(stderr, "intro-tool song: %s\n", error.c_str());
      return 1;
    }
  }
  if (exported && !writeText(*exported, songToJson(song))) return 1;
  if (!options.out.empty()) {
    SynthMemoryPtr memory;
    try {
      memory = allocateSynthMemory();
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "intro-tool song: not enough memory for the synthesizer (%zu bytes)\n",
                   sizeof(SynthMemory));
      return 1;
    }
    if (!renderInSteps(*memory, song, options.frames)) return interrupted() ? stopped() : 1;
    const bool written = writeWav(*wav, *memory, options.frames);
    if (interrupted()) return stopped();
    if (!written) return 1;
    if (log && !writeEnvelopeLog(*log, *memory, options.frames)) return 1;
  }
  if (interrupted()) return stopped();
  // Everything is written: give the files their names.
  for (std::optional<PendingOutput>* file : {&exported, &wav, &log}) {
    std::string error;
    if (file->has_value() && !(*file)->commit(error)) {
      if (interrupted()) return stopped();  // while waiting for a pipe's reader
      std::fprintf(stderr, "intro-tool song: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
