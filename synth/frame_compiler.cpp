// Writes compiled_frame.cpp: the built-in song's decoded programs, as a render from the start of
// the song decodes them, as straight C++.
//
//   synth_frame_compiler --out FILE     writes the source
//   synth_frame_compiler --check FILE   exits 1 when FILE is not what --out would write
//
// The build has a target for it (compiled_frame); run it after changing the song, its instruments
// or the decoded form. A frame that no longer fits costs speed only: the driver then interprets.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "compiled_frame.h"

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

// The statement for one operation; `o` is its place, registers are named by `reg`.
template <class Reg>
std::string statement(const Operation& op, int index, const Reg& reg) {
  const std::string o = "o[" + std::to_string(index) + "]";
  const std::string a = reg(op.a), b = reg(op.b), c = reg(op.c);
  const std::string bits = std::to_string(op.byte);
  const std::string line = "program.lines + " + std::to_string(op.delay.firstLine);
  switch (op.code) {
    case codeEnvelope: return "const double " + c + " = envelopeOperation(ws, " + o + ");";
    case codeOscillatorNone:
    case codeOscillatorSine:
    case codeOscillatorTrisaw:
    case codeOscillatorPulse:
    case codeOscillatorNoise:
    case codeOscillatorGate:
      return "const double " + c + " = oscillatorOperation<" + waveName(op.code) + ", " +
             (op.byte ? "true" : "false") + ">(ws, note, " + o + ", memory.noiseSeed);";
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
      return "const double " + c + " = filterOperation<" + (fixed ? "true" : "false") + ">(ws, " + o +
             ", " + std::to_string(bitsByCode[kind]) + ", " + a + ");";
    }
    case codeHoldShaper: return "const double " + c + " = holdOperation(ws, " + o + ", " + a + ");";
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
    case codeNote: return "const double " + c + " = noteValue(note);";
    case codeStoreSet: return "storeSetOperation(ws, " + o + ", " + a + ");";
    case codeStoreAdd: return "storeAddOperation(ws, " + o + ", " + a + ");";
    case codePan: return "double " + b + ", " + c + ";\n      panOperation(ws, " + o + ", " + a + ", " + b + ", " + c + ");";
    case codeOutput: return "outputOperation(ws, " + o + ", " + a + ", " + b + ");";
    case codePanOutput: return "panOutputOperation(ws, " + o + ", " + a + ");";
    case codeAccumulate:
      return "double " + b + ", " + c + ";\n      sumOutputs(memory.workspaces, " + bits + ", " + c + ", " + b + ");";
    case codeMasterAccumulate:
      return "double " + b + ", " + c + ";\n      masterAccumulateOperation(program, " + o + ", " + c + ", " + b + ");";
    default: throw std::runtime_error("operation code " + std::to_string(op.code) + " has no statement");
  }
}

// One program as a block; `registers` is its row in program.registers.
std::string block(const DecodedProgram& program, const Program& code, int registers) {
  bool written[registersPerProgram] = {};
  findWritten(program.operations + code.begin, written);
  const auto reg = [&](int r) {
    std::string name = written[r] ? "r" : "known[";
    name += std::to_string(r);
    if (!written[r]) name += ']';
    return name;
  };
  std::string body;
  for (const Operation* op = program.operations + code.begin; op->code != codeEnd; ++op) {
    body += "      " + statement(*op, static_cast<int>(op - program.operations), reg) + "\n";
  }
  std::string out = "{\n";
  if (body.find("known[") != std::string::npos) {
    out += "      const double* const known = program.registers[" + std::to_string(registers) + "];\n";
  }
  return out + body + "    }";
}

std::string source() {
  // Zeroed, as a render from the start of the song finds it (the pages stay untouched).
  const std::unique_ptr<SynthMemory, decltype(&std::free)> memory(
      static_cast<SynthMemory*>(std::calloc(1, sizeof(SynthMemory))), &std::free);
  if (memory == nullptr) throw std::runtime_error("no memory for the song's work memory");
  static DecodedProgram program;
  decode(builtinSong(), *memory, program);
  std::ostringstream out;
  out << "// Generated by synth_frame_compiler (frame_compiler.cpp) from the built-in song; do not edit.\n"
         "// After changing the song, its instruments or the decoded form, build the target\n"
         "// compiled_frame to write it again.\n"
         "#include \"compiled_frame.h\"\n\n"
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
  out << "void runCompiledFrame(SynthMemory& memory, DecodedProgram& program, const Song& song,\n"
         "                      std::uint32_t n, bool logged) {\n"
         "  double sums[4] = {0.0, 0.0, 0.0, 0.0};\n"
         "  Operation* const o = program.operations;\n";
  for (int i = 0; i < trackCount; ++i) {
    out << "  {  // track " << i << "\n"
        << "    InstrumentWorkspace& ws = memory.workspaces[" << i << "];\n"
        << "    startTrack(ws, song, " << i << ", n);\n"
        << "    const std::int32_t note = ws.note;\n"
        << "    if (note != 0) " << block(program, program.sounding[i], 2 * i)
        << " else " << block(program, program.silent[i], 2 * i + 1) << "\n"
        << "    finishTrack(memory, " << i << ", n, logged, sums);\n"
        << "  }\n";
  }
  out << "  {  // the master\n"
      << "    InstrumentWorkspace& ws = memory.workspaces[trackCount];\n"
      << "    startMaster(memory, program, sums);\n"
      << "    const std::int32_t note = ws.note;\n"
      << "    (void)note;\n"
      << "    " << block(program, program.sounding[trackCount], 2 * trackCount) << "\n"
      << "  }\n}\n\n}  // namespace synth::decoded\n";
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
    std::fprintf(stderr, "usage: synth_frame_compiler --out FILE | --check FILE\n");
    return 2;
  }
  try {
    const std::string text = source();
    if (check) {
      if (readFile(argv[2]) == text) return 0;
      std::fprintf(stderr,
                   "synth_frame_compiler: %s is not the frame of the built-in song as it decodes now; "
                   "build the target compiled_frame to write it again\n",
                   argv[2]);
      return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    if (!out.flush()) {
      std::fprintf(stderr, "synth_frame_compiler: could not write %s\n", argv[2]);
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "synth_frame_compiler: %s\n", error.what());
    return 1;
  }
}
