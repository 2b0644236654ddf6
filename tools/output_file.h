#pragma once
#include <string>

// The tool writes each output under a temporary name and moves it into place only once it is
// complete, so that a failure or Ctrl-C leaves nothing half-written. The temporary is a short
// hidden name in the target's folder (the rename stays atomic, and a target whose name is as long
// as the file system allows still has one); an output that is not a regular file (/dev/null, a
// pipe, a terminal) must never be replaced by a rename: its temporary lies in the system's
// temporary folder and its bytes are copied into it instead.

// Whether two output paths name one file (the same path written two ways, or two links to one
// file): a command refuses that before any work, since the second output would replace the first.
bool sameOutput(const std::string& a, const std::string& b);

// One output written under its temporary name: the temporary is removed unless commit() has
// published it.
class PendingOutput {
 public:
  explicit PendingOutput(std::string target);
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();
  const std::string& path() const { return temporary_; }  // where to write, once reserved
  const std::string& target() const { return target_; }
  // Creates the (empty) temporary now, so that an output that cannot be written is found before
  // the work: false with a message naming the target (a folder, a folder that does not exist or
  // that cannot be written).
  bool reserve(std::string& error);
  // Moves (or, for a target that is not a regular file, copies) the finished temporary into the
  // target. False with a message that names the target and says why, the target as it was; an
  // interrupt (interrupts.h) while it waits for a pipe's reader also ends it with false.
  bool commit(std::string& error);

 private:
  std::string target_;
  std::string temporary_;
  bool committed_ = false;
};
