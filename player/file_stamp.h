#pragma once
// What stat says of a file, to see that it was saved: two stamps are alike when the file was not
// saved in between. An editor that saves by writing a new file and renaming it over the old one
// changes the inode even when size and time are alike.
#include <cstdint>
#include <string>

struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch

  bool operator==(const FileStamp&) const = default;
};

// The stat of path now (exists false when it cannot be stat'ed).
FileStamp stampOf(const std::string& path);
