#include "tools/option_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether text is exactly one number of the grammar.
bool isDecimal(std::string_view text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t from = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    return at - from;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissa = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return false;
  }
  return at == text.size();
}

// The C library's conversion of a checked text (which it reads whole); out of range only on
// overflow, where it gives infinity.
template <typename T, typename Convert>
std::optional<T> convert(std::string_view text, Convert conversion) {
  if (!isDecimal(text)) return std::nullopt;
  const std::string copy(text);
  const T value = conversion(copy.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> parseDecimal(std::string_view text) { return convert<double>(text, std::strtod); }

std::optional<float> parseDecimalFloat(std::string_view text) { return convert<float>(text, std::strtof); }

std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t smallest, std::int64_t largest) {
  const std::optional<double> value = parseDecimal(text);
  if (!value || std::floor(*value) != *value) return std::nullopt;
  if (*value < static_cast<double>(smallest) || *value > static_cast<double>(largest)) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

bool parseSize(std::string_view text, int largest, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const std::optional<std::int64_t> w = parseWholeNumber(text.substr(0, x), 1, largest);
  const std::optional<std::int64_t> h = parseWholeNumber(text.substr(x + 1), 1, largest);
  if (!w || !h) return false;
  width = static_cast<int>(*w);
  height = static_cast<int>(*h);
  return true;
}

std::string quotedValue(std::string_view text) {
  constexpr std::size_t shown = 40;
  std::string out;
  out.reserve(shown + 32);
  out += '\'';
  out.append(text.substr(0, shown));
  if (text.size() <= shown) {
    out += '\'';
  } else {
    out.append("...' (").append(std::to_string(text.size())).append(" characters)");
  }
  return out;
}

OptionsRead readOptions(int argc, char** argv, std::span<const ToolOption> options) {
  OptionsRead read;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      read.help = true;
      return read;
    }
    const auto found = std::ranges::find(options, name, &ToolOption::name);
    const ToolOption* option = found != options.end() ? &*found : nullptr;
    if (option == nullptr) {
      read.problem = (name.starts_with('-') ? "unknown option " : "unexpected argument ") + quotedValue(name);
      return read;
    }
    std::string_view value;
    if (option->value != OptionValue::none) {
      if (i + 1 >= argc || (option->value == OptionValue::nonEmpty && argv[i + 1][0] == '\0')) {
        read.problem = std::string(name) + " needs a value";
        return read;
      }
      value = argv[++i];
    }
    read.problem = option->take(value);
    if (!read.problem.empty()) return read;
  }
  return read;
}

OptionTake setFlag(bool& flag) {
  return [&flag](std::string_view) {
    flag = true;
    return std::string();
  };
}

OptionTake keepText(std::string& text, std::string whenEmpty) {
  return [&text, whenEmpty = std::move(whenEmpty)](std::string_view value) {
    text = value;
    return value.empty() ? whenEmpty : std::string();
  };
}
