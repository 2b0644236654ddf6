#pragma once
// Option values on intro-tool's command lines: one grammar for every number of every command, so
// that a value one command takes is taken by all of them with the same meaning.
//
// A number is the whole of its text: an optional sign, decimal digits with an optional point
// (at least one digit), and an optional exponent (e or E, optional sign, digits). No white
// space, no hexadecimal, no inf or nan. A value too large for its type is refused; one too
// small to tell from zero is that tiny value (or zero).
#include <cstdint>
#include <optional>
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
