// The exclusive claim of one run on the files of its project (analysis data file,
// listing, result database): two runs of the same project at once would write into
// each other's files.
#pragma once

#include <string>

#include "RunFileNames.h"

namespace vemto {

/// Holds the lock file `<base>.lock` beside the run's files, locked exclusively
/// (flock) from construction to destruction. A second claim on the same files, from
/// this process or another, fails at once. The lock file names its holder (program,
/// arguments, process, start) and is removed when the claim ends; the system ends the
/// claim of a process that dies.
class TRunLock {
 public:
  /// Claims the files of `files`. Throws TDriverError naming the run that holds them,
  /// or naming the lock file when it cannot be created.
  explicit TRunLock(const TRunFileNames& files);
  ~TRunLock();
  TRunLock(const TRunLock&) = delete;
  TRunLock& operator=(const TRunLock&) = delete;

  /// The lock file.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

/// How this process names itself as a lock holder: its command line, process number
/// and start time.
std::string RunHolderDescription();

}  // namespace vemto
