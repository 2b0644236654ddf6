#include "player/shader_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "shaders/shader_source.h"

namespace {

// The name shaderc gives the joined text in its messages.
constexpr std::string_view joinedName = "intro.hlsl";

std::vector<std::string> builtNames() {
  return std::vector<std::string>(shaderFileNames, shaderFileNames + shaderFileCount);
}

std::size_t linesSpanned(const std::string& text) {
  const auto newlines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return newlines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

const ShaderPart* partHolding(std::size_t line, std::span<const ShaderPart> parts) {
  for (const ShaderPart& part : parts) {
    if (line >= part.firstLine && line < part.firstLine + part.lineCount) return &part;
  }
  return nullptr;
}

// Digits at text[at...] as a number; count is how many digits there were (0: none).
std::size_t digitsAt(std::string_view text, std::size_t at, std::size_t& count) {
  std::size_t value = 0;
  count = 0;
  while (at + count < text.size() && text[at + count] >= '0' && text[at + count] <= '9' && count < 12) {
    value = value * 10 + static_cast<std::size_t>(text[at + count] - '0');
    ++count;
  }
  return value;
}

// One line of a message (without its newline) with its locations in the folder's files.
std::string mapLine(std::string_view line, std::span<const ShaderPart> parts) {
  std::string out;
  bool mapped = false;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t found = line.find(joinedName, at);
    if (found == std::string_view::npos) break;
    out.append(line.substr(at, found - at));
    const std::size_t after = found + joinedName.size();
    std::size_t count = 0;
    const ShaderPart* part = nullptr;
    std::size_t local = 0;
    std::size_t end = after;
    bool parenthesised = false;
    if (after < line.size() && (line[after] == ':' || line[after] == '(')) {
      parenthesised = line[after] == '(';
      const std::size_t number = digitsAt(line, after + 1, count);
      end = after + 1 + count;
      const bool closed = !parenthesised || (end < line.size() && line[end] == ')');
      if (count > 0 && closed) {
        part = partHolding(number, parts);
        if (part != nullptr) local = number - part->firstLine + 1;
      }
    }
    if (part == nullptr) {
      out.append(joinedName);
      at = after;
      continue;
    }
    out += part->path;
    out += parenthesised ? '(' : ':';
    out += std::to_string(local);
    if (parenthesised) {
      out += ')';
      ++end;
    }
    at = end;
    mapped = true;
  }
  out.append(line.substr(std::min(at, line.size())));
  // "intro.hlsl: intro.hlsl(306): error ..." says the file twice; once is enough.
  const std::string bare = std::string(joinedName) + ": ";
  if (mapped && out.compare(0, bare.size(), bare) == 0) out.erase(0, bare.size());
  return out;
}

// The whole of path as bytes; false with the reason in why. Only a plain file is read: a FIFO
// put in a file's place would hold the player until something wrote to it.
bool readFile(const std::string& path, std::string& bytes, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    why = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    why = std::string("it is ") + fileKindOf(static_cast<std::uint32_t>(info.st_mode)) + ", not a plain file";
    ::close(fd);
    return false;
  }
  bytes.clear();
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

// Nothing but white space: the file's scene (or the frame) would be missing from the text.
bool blank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

}  // namespace

std::string mapCompilerMessage(const std::string& message, std::span<const ShaderPart> parts) {
  std::string out;
  out.reserve(message.size());
  std::size_t at = 0;
  while (at <= message.size()) {
    const std::size_t newline = message.find('\n', at);
    const std::size_t end = newline == std::string::npos ? message.size() : newline;
    out += mapLine(std::string_view(message).substr(at, end - at), parts);
    if (newline == std::string::npos) break;
    out += '\n';
    at = newline + 1;
  }
  return out;
}

ShaderFiles::ShaderFiles(std::string folder) : ShaderFiles(std::move(folder), builtNames()) {}

ShaderFiles::ShaderFiles(std::string folder, std::vector<std::string> names)
    : folder_(std::move(folder)), names_(std::move(names)) {
  for (const std::string& name : names_) paths_.push_back((std::filesystem::path(folder_) / name).string());
}

bool ShaderFiles::load(std::string& error) {
  std::vector<FileStamp> seen;
  std::string text;
  std::vector<ShaderPart> parts;
  std::size_t line = 1;
  bool ok = true;
  for (const std::string& path : paths_) {
    // The stat before the read: a save between the two is seen by the next changed().
    seen.push_back(stampOf(path));
    if (!ok) continue;
    std::string part;
    std::string why;
    if (!readFile(path, part, why)) {
      error = "cannot read the shader file " + path + " (" + why + "): " + folder_ +
              " must hold every file of the intro's shaders/ folder, by the same names; copy the missing or "
              "unreadable one from there";
      ok = false;
      continue;
    }
    if (blank(part)) {
      error = "the shader file " + path + " is empty: write its code back (or copy it from the intro's shaders/ "
              "folder)";
      ok = false;
      continue;
    }
    ShaderPart piece;
    piece.path = path;
    piece.firstLine = line;
    piece.lineCount = linesSpanned(part);
    // A file that ends mid-line continues on the same line of the text.
    line += static_cast<std::size_t>(std::count(part.begin(), part.end(), '\n'));
    parts.push_back(std::move(piece));
    text += part;
  }
  stamps_ = std::move(seen);
  if (!ok) return false;
  text_ = std::move(text);
  parts_ = std::move(parts);
  return true;
}

bool ShaderFiles::changed() const {
  if (stamps_.size() != paths_.size()) return true;
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    if (!(stampOf(paths_[i]) == stamps_[i])) return true;
  }
  return false;
}
