#pragma once
// What stat says of a file, to see that it was saved: two stamps are alike when the file was not
// saved in between. An editor that saves by writing a new file and renaming it over the old one
// changes the inode even when size and time are alike; a chmod (an unreadable file made
// readable) changes only the status-change time.
#include <cstdint>
#include <string>

struct FileStamp {
  bool exists = false;
  std::uint32_t mode = 0;  // type and permissions
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
  std::int64_t changedNs = 0;   // status-change time (contents, owner, permissions), likewise

  bool operator==(const FileStamp&) const = default;
  // A plain file: not a FIFO, a device or a folder, whose open or read may wait for a writer.
  bool regular() const;
};

// The stat of path now (exists false when it cannot be stat'ed).
FileStamp stampOf(const std::string& path);

// What kind of file mode (st_mode) says it is, for a message: "a FIFO", "a folder", ...
const char* fileKindOf(std::uint32_t mode);
