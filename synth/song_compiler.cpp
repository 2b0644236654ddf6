// Writes generated/compiled_song.cpp: the built-in song's decoded programs, as a render from the
// start of the song decodes them, as straight C++.
//
//   synth_song_compiler --out FILE     writes the source
//   synth_song_compiler --check FILE   exits 1 when FILE is not what --out would write
//
// The build has a target for it (compiled_song); run it after changing the song, its instruments
// or the decoded form. A compiled song that no longer fits costs speed only: the driver then interprets.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "synth/compiled_song.h"

namespace {

using namespace synth;
using namespace synth::decoded;

// Registers the program writes (the rest hold values known while decoding).
void findWritten(const Operation* op, bool* written) {
  for (; op->code != codeEnd; ++op) {
    switch (op->code) {
      case codePan:
      case codeAccumulate:
      case codeMasterAccumulate: written[op->b] = written[op->c] = true; break;
      case codeStoreSet:
      case codeStoreAdd:
      case codeOutput:
      case codePanOutput: break;
      default: written[op->c] = true; break;
    }
  }
}

const char* waveName(int code) {
  static const char* const names[] = {"waveNone", "waveSine", "waveTrisaw", "wavePulse", "waveNoise", "waveGate"};
  return names[code - codeOscillatorNone];
}

// The statement for one operation; `o` is its place, registers are named by `reg`, the track's
// workspace and note by `ws` and `note`.
template <class Reg>
std::string statement(const Operation& op, int index, const Reg& reg, const std::string& ws,
                      const std::string& note) {
  const std::string o = "o[" + std::to_string(index) + "]";
  const std::string a = reg(op.a), b = reg(op.b), c = reg(op.c);
  const std::string bits = std::to_string(op.byte);
  switch (op.code) {
    case codeEnvelope: return "const double " + c + " = envelopeOperation(" + ws + ", " + o + ");";
    case codeOscillatorNone:
    case codeOscillatorSine:
    case codeOscillatorTrisaw:
    case codeOscillatorPulse:
    case codeOscillatorNoise:
    case codeOscillatorGate:
      return "const double " + c + " = oscillatorOperation<" + waveName(op.code) + ", " +
             (op.byte ? "true" : "false") + ">(" + ws + ", " + note + ", " + o + ", memory.noiseSeed);";
    case codeFilter:
    case codeFilterLow:
    case codeFilterHigh:
    case codeFilterBand:
    case codeFilterAll:
    case codeFixedFilter:
    case codeFixedFilterLow:
    case codeFixedFilterHigh:
    case codeFixedFilterBand:
    case codeFixedFilterAll: {
      const bool fixed = op.code >= codeFixedFilter;
      const int bitsByCode[] = {op.byte, 1, 2, 4, 7};
      const int kind = op.code - (fixed ? codeFixedFilter : codeFilter);
      return "const double " + c + " = filterOperation<" + (fixed ? "true" : "false") + ">(" + ws + ", " + o +
             ", " + std::to_string(bitsByCode[kind]) + ", " + a + ");";
    }
    case codeHoldShaper: return "const double " + c + " = holdOperation(" + ws + ", " + o + ", " + a + ");";
    case codeDelayBank:  // its line count fixed
      return "const double " + c + " = delayOperation<" + bits + ", true>(program, " + o + ", " + a + ");";
    case codeDelayLine: return "const double " + c + " = delayOperation<1, false>(program, " + o + ", " + a + ");";
    case codeDelayBank8: return "const double " + c + " = delayOperation<8, false>(program, " + o + ", " + a + ");";
    case codeDelayLineStill:
      return "const double " + c + " = delayOperation<1, false, true>(program, " + o + ", " + a + ");";
    case codeDelayBank8Still:
      return "const double " + c + " = delayOperation<8, false, true>(program, " + o + ", " + a + ");";
    case codeAdd: return "const double " + c + " = " + a + " + " + b + ";";
    case codeMultiply: return "const double " + c + " = " + a + " * " + b + ";";
    case codeNote: return "const double " + c + " = noteValue(" + note + ");";
    case codeStoreSet: return "storeSetOperation(" + ws + ", " + o + ", " + a + ");";
    case codeStoreAdd: return "storeAddOperation(" + ws + ", " + o + ", " + a + ");";
    case codePan: return "double " + b + ", " + c + ";\n      panOperation(" + ws + ", " + o + ", " + a + ", " + b + ", " + c + ");";
    case codeOutput: return "outputOperation(" + ws + ", " + o + ", " + a + ", " + b + ");";
    case codePanOutput: return "panOutputOperation(" + ws + ", " + o + ", " + a + ");";
    case codeAccumulate:
      return "double " + b + ", " + c + ";\n      sumOutputs(memory.workspaces, " + bits + ", " + c + ", " + b + ");";
    case codeMasterAccumulate:
      return "double " + b + ", " + c + ";\n      masterAccumulateOperation(program, " + o + ", " + c + ", " + b + ");";
    default: throw std::runtime_error("operation code " + std::to_string(op.code) + " has no statement");
  }
}

// One program's statements, for track (or master) `track`: registers t<track>r<n>, known values
// through known<track>, workspace ws<track>, note note<track>.
struct Statements {
  std::vector<std::string> lines;
  std::vector<bool> drawsNoise;  // takes a number from the noise seed all tracks share
  std::string known;             // the declaration of known<track>, where used
};

Statements statements(const DecodedProgram& program, const Program& code, int track, int row) {
  bool written[registersPerProgram] = {};
  findWritten(program.operations + code.begin, written);
  const std::string t = std::to_string(track);
  bool knownUsed = false;
  const auto reg = [&](int r) {
    std::string name = written[r] ? "t" + t + "r" : "known" + t + "[";
    name += std::to_string(r);
    if (!written[r]) name += ']';
    return name;
  };
  Statements result;
  for (const Operation* op = program.operations + code.begin; op->code != codeEnd; ++op) {
    const std::string line = statement(*op, static_cast<int>(op - program.operations), reg, "ws" + t, "note" + t);
    knownUsed = knownUsed || line.find("known" + t + "[") != std::string::npos;
    result.lines.push_back(line);
    result.drawsNoise.push_back(op->code == codeOscillatorNoise);
  }
  if (knownUsed) result.known = "const double* const known" + t + " = program.registers[" + std::to_string(row) + "];";
  return result;
}

// Tracks run abreast in the compiled song: their statements alternate, so that the processor
// finds work of several tracks close together.
constexpr int tracksAbreast = 3;

// The statements of a group of tracks' programs in one block, taken in turn. The tracks share
// only the noise seed (checked by the caller: no Accumulate), so a track's draw waits until every
// track before it in the group has made all of its own.
std::string interleaved(const std::vector<Statements>& programs, const std::string& indent) {
  std::string out;
  for (const Statements& s : programs) {
    if (!s.known.empty()) out += indent + s.known + "\n";
  }
  const std::size_t count = programs.size();
  std::vector<std::size_t> at(count, 0), lastDraw(count, 0);
  for (std::size_t t = 0; t < count; ++t) {
    for (std::size_t i = 0; i < programs[t].lines.size(); ++i) {
      if (programs[t].drawsNoise[i]) lastDraw[t] = i + 1;
    }
  }
  for (bool left = true; left;) {
    left = false;
    for (std::size_t t = 0; t < count; ++t) {
      const Statements& s = programs[t];
      if (at[t] == s.lines.size()) continue;
      bool earlierDraws = false;
      for (std::size_t u = 0; u < t; ++u) earlierDraws = earlierDraws || at[u] < lastDraw[u];
      if (!s.drawsNoise[at[t]] || !earlierDraws) out += indent + s.lines[at[t]++] + "\n";
      left = left || at[t] < s.lines.size();
    }
  }
  return out;
}

bool accumulates(const DecodedProgram& program, int track) {
  for (const Program* code : {&program.sounding[track], &program.silent[track]}) {
    for (const Operation* op = program.operations + code->begin; op->code != codeEnd; ++op) {
      if (op->code == codeAccumulate) return true;
    }
  }
  return false;
}

// For tracks first .. last, an `if` on each one's note in turn, and in each branch the programs
// the notes choose, interleaved.
std::string choices(const DecodedProgram& program, int first, int last, int track,
                    std::vector<Statements>& chosen, const std::string& indent) {
  if (track > last) return interleaved(chosen, indent);
  std::string out;
  for (const bool sounding : {true, false}) {
    out += indent + (sounding ? "if (note" + std::to_string(track) + " != 0) {\n" : "} else {\n");
    chosen.push_back(statements(program, sounding ? program.sounding[track] : program.silent[track], track,
                                2 * track + (sounding ? 0 : 1)));
    out += choices(program, first, last, track + 1, chosen, indent + "  ");
    chosen.pop_back();
  }
  return out + indent + "}\n";
}

// Tracks first .. last, started and finished into the sums in track order as the interpreter
// does, their programs run abreast.
std::string tracks(const DecodedProgram& program, int first, int last) {
  std::string out = "  {  // track";
  for (int t = first; t <= last; ++t) out += (t == first ? " " : ", ") + std::to_string(t);
  out += "\n";
  for (int t = first; t <= last; ++t) {
    const std::string n = std::to_string(t);
    out += "    InstrumentWorkspace& ws" + n + " = memory.workspaces[" + n + "];\n";
    out += "    startTrack(ws" + n + ", song, " + n + ", n);\n";
    out += "    const std::int32_t note" + n + " = ws" + n + ".note;\n";
  }
  std::vector<Statements> chosen;
  out += choices(program, first, last, first, chosen, "    ");
  for (int t = first; t <= last; ++t) {
    out += "    finishTrack(memory, " + std::to_string(t) + ", n, logged, sums);\n";
  }
  return out + "  }\n";
}

std::string source() {
  // Zeroed, as a render from the start of the song finds it (the pages stay untouched).
  const std::unique_ptr<SynthMemory, decltype(&std::free)> memory(
      static_cast<SynthMemory*>(std::calloc(1, sizeof(SynthMemory))), &std::free);
  if (memory == nullptr) throw std::runtime_error("no memory for the song's work memory");
  static DecodedProgram program;
  decode(builtinSong(), *memory, program);
  std::ostringstream out;
  out << "// Generated by synth_song_compiler (song_compiler.cpp) from the built-in song; do not edit.\n"
         "// After changing the song, its instruments or the decoded form, build the target\n"
         "// compiled_song to write it again.\n"
         "#include \"synth/compiled_song.h\"\n\n"
         "namespace synth::decoded {\n\n";
  const int count = program.silent[instrumentCount - 1].begin;
  int end = count;
  while (program.operations[end].code != codeEnd) ++end;
  out << "const OperationShape compiledShapes[] = {\n";
  for (int i = 0; i <= end; ++i) {
    const OperationShape s = shapeOf(program.operations[i]);
    out << "    {" << int{s.code} << ", " << int{s.slot} << ", " << int{s.byte} << ", " << int{s.a} << ", "
        << int{s.b} << ", " << int{s.c} << ", " << s.detail << "},\n";
  }
  out << "};\nconst int compiledShapeCount = " << end + 1 << ";\n";
  out << "const int compiledBegins[2 * instrumentCount] = {";
  for (int i = 0; i < instrumentCount; ++i) {
    out << (i ? ", " : "") << program.sounding[i].begin << ", " << program.silent[i].begin;
  }
  out << "};\n\n";
  out << "void runCompiledSong(SynthMemory& memory, DecodedProgram& program, const Song& song,\n"
         "                      std::uint32_t n, bool logged) {\n"
         "  double sums[4] = {0.0, 0.0, 0.0, 0.0};\n"
         "  Operation* const o = program.operations;\n";
  for (int track = 0; track < trackCount;) {
    // Groups of tracks none of which reads the others' outputs.
    int last = track;
    while (last + 1 < trackCount && last + 1 < track + tracksAbreast && !accumulates(program, last + 1) &&
           !accumulates(program, track)) {
      ++last;
    }
    out << tracks(program, track, last);
    track = last + 1;
  }
  const Statements master = statements(program, program.sounding[trackCount], trackCount, 2 * trackCount);
  out << "  {  // the master\n"
      << "    InstrumentWorkspace& ws" << trackCount << " = memory.workspaces[trackCount];\n"
      << "    startMaster(memory, program, sums);\n"
      << "    const std::int32_t note" << trackCount << " = ws" << trackCount << ".note;\n"
      << "    (void)note" << trackCount << ";\n"
      << interleaved({master}, "    ") << "  }\n}\n\n}  // namespace synth::decoded\n";
  return out.str();
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 3 || (!check && std::strcmp(argv[1], "--out") != 0)) {
    std::fprintf(stderr, "usage: synth_song_compiler --out FILE | --check FILE\n");
    return 2;
  }
  try {
    const std::string text = source();
    if (check) {
      if (readFile(argv[2]) == text) return 0;
      std::fprintf(stderr,
                   "synth_song_compiler: %s is not the compiled song of the built-in song as it decodes now; "
                   "build the target compiled_song to write it again\n",
                   argv[2]);
      return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    if (!out.flush()) {
      std::fprintf(stderr, "synth_song_compiler: could not write %s\n", argv[2]);
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "synth_song_compiler: %s\n", error.what());
    return 1;
  }
}
