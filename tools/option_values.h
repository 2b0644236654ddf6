#pragma once
// Options on intro-tool's command lines: one grammar for every number of every command, so that a
// value one command takes is taken by all of them with the same meaning; and one reader of the
// command line, which each command gives the table of its options.
//
// A number is the whole of its text: an optional sign, decimal digits with an optional point
// (at least one digit), and an optional exponent (e or E, optional sign, digits). No white
// space, no hexadecimal, no inf or nan. A value too large for its type is refused; one too
// small to tell from zero is that tiny value (or zero).
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

std::optional<double> parseDecimal(std::string_view text);
// The same grammar, rounded once to the nearest float (as a float literal of the same digits).
std::optional<float> parseDecimalFloat(std::string_view text);

// A number of the grammar above with no fraction (5, 5.0 and 5e0 are alike), from smallest to
// largest.
std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t smallest, std::int64_t largest);

// WIDTHxHEIGHT, each side a whole number from 1 to largest.
bool parseSize(std::string_view text, int largest, int& width, int& height);

// The value as a message quotes it: in single quotes, and cut short when it is long.
std::string quotedValue(std::string_view text);

// A command's options as one table: every command reads its command line with readOptions, so the
// loop, --help and the messages for an unknown option or a missing value are the same everywhere.
enum class OptionValue {
  none,      // a switch (--vsync)
  next,      // the next argument, whatever it is: "--out -x" writes a file named -x
  nonEmpty,  // the next argument; an empty one counts as missing
};

// Takes an option's value (empty for a switch); returns why it is refused, empty when taken.
using OptionTake = std::function<std::string(std::string_view value)>;

struct ToolOption {
  std::string_view name;
  OptionValue value;
  OptionTake take;
};

struct OptionsRead {
  bool help = false;    // --help or -h came before any problem: the command prints its usage
  std::string problem;  // a usage error's message; empty when the options were taken
};

// Reads argv[1..argc) against options, in order, stopping at --help, -h or the first problem.
OptionsRead readOptions(int argc, char** argv, std::span<const ToolOption> options);

// The takes most options want: a switch's flag set, or the text kept (refused with whenEmpty when
// empty, if whenEmpty is given).
OptionTake setFlag(bool& flag);
OptionTake keepText(std::string& text, std::string whenEmpty = {});
