#pragma once
#include <string>

// The tool writes each output under a temporary name and moves it into place only once it is
// complete, so that a failure or Ctrl-C leaves nothing half-written. An output that is not a
// regular file (/dev/null, a pipe, a terminal) must never be replaced by a rename: its temporary
// lies in the system's temporary folder and its bytes are copied into it instead.

// Where to write the output before it is complete: beside the target, or for a target that is
// not a regular file a name of its own in the temporary folder.
std::string temporaryOutputPath(const std::string& target);

// Whether two output paths name one file (the same path written two ways, or two links to one
// file): a command refuses that before any work, since the second output would replace the first.
bool sameOutput(const std::string& a, const std::string& b);

// Moves (or, for a non-regular target, copies) the finished temporary into the target and
// removes the temporary. On failure returns false with a message and leaves the target as it was.
bool publishOutput(const std::string& temporary, const std::string& target, std::string& error);

// One output written under its temporary name: the temporary is removed unless commit() has
// published it.
class PendingOutput {
 public:
  explicit PendingOutput(std::string target);
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();
  const std::string& path() const { return temporary_; }  // where to write
  const std::string& target() const { return target_; }
  // Creates the (empty) temporary now, so that an output that cannot be written is found before
  // the work: false with a message naming the target (a folder, a folder that does not exist or
  // that cannot be written).
  bool reserve(std::string& error);
  // publishOutput of the finished temporary; false with a message.
  bool commit(std::string& error);

 private:
  std::string target_;
  std::string temporary_;
  bool committed_ = false;
};
