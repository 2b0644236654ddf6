#pragma once
// Runs intro-tool as a child process and reads back what it printed and wrote.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tool_test {

struct Result {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A folder of its own under the temporary directory, removed with everything in it.
class Scratch {
 public:
  explicit Scratch(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / ("intro_tools_" + name + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }
  // The names of the files in the folder.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// `environment intro-tool arguments` through the shell; arguments are shell words.
inline Result runTool(const Scratch& scratch, const std::string& arguments, const std::string& environment = "") {
  const auto out = scratch / "tool.stdout";
  const auto err = scratch / "tool.stderr";
  const std::string command = environment + (environment.empty() ? "" : " ") + "\"" + INTRO_TOOL_PATH + "\" " +
                              arguments + " >\"" + out.string() + "\" 2>\"" + err.string() + "\"";
  const int status = std::system(command.c_str());
  Result result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readFile(out);
  result.err = readFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

struct Png {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

inline bool readPng(const std::string& path, Png& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
  image.format = PNG_FORMAT_RGBA;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgba.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
}

}  // namespace tool_test
