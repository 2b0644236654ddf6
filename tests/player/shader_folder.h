#pragma once
// A scratch folder of shader files for the live-shader tests: made empty under the system's
// temporary folder, removed with the object.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace shader_test {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& what) {
    static int made = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("intro_" + what + "_" + std::to_string(::getpid()) + "_" + std::to_string(++made));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path() const { return path_.string(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  // Writes name in place (the same inode).
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << file(name);
  }
  // Writes name as editors save: a new file renamed over the old one.
  void saveByRename(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path temporary = path_ / (name + ".saving");
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << bytes;
      ASSERT_TRUE(out.good()) << "cannot write " << temporary.string();
    }
    std::filesystem::rename(temporary, path_ / name);
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Copies every file of folder into this one.
  void copyFrom(const std::string& folder) const {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), path_ / entry.path().filename());
    }
  }

 private:
  std::filesystem::path path_;
};

}  // namespace shader_test
