#include "RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fmt/format.h>

#include "DriverError.h"

namespace vemto {
namespace {

std::string StartTime() {
  static const std::time_t start = std::time(nullptr);  // first claim of this process
  std::tm local{};
  localtime_r(&start, &local);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string ReadHolder(int fd) {
  std::string text;
  char buffer[512];
  ssize_t n = 0;
  off_t offset = 0;
  while (text.size() < 4096 && (n = ::pread(fd, buffer, sizeof buffer, offset)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? std::string("another calculation") : text;
}

}  // namespace

std::string RunHolderDescription() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), {});
  std::string command;
  std::size_t begin = 0;
  for (std::size_t end = raw.find('\0'); begin < raw.size();
       begin = end + 1, end = raw.find('\0', begin)) {
    if (end == std::string::npos) end = raw.size();
    std::string word = raw.substr(begin, end - begin);
    if (command.empty()) word = std::filesystem::path(word).filename().string();
    if (!command.empty()) command += ' ';
    command += word;
  }
  if (command.empty()) command = "a program";
  return fmt::format("{} (process {}, started {})", command, ::getpid(), StartTime());
}

TRunLock::TRunLock(const TRunFileNames& files) : path_(files.Base + ".lock") {
  StartTime();
  // The holder removes the file when it ends: a file opened just before that is no
  // longer the one at the path and is opened anew.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      throw TDriverError(fmt::format("Cannot create the lock file \"{}\" of the calculation: {}",
                                     path_, std::strerror(errno)));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      const std::string holder = error == EWOULDBLOCK ? ReadHolder(fd) : std::string();
      ::close(fd);
      if (error == EWOULDBLOCK)
        throw TDriverError(
            fmt::format("A calculation of \"{}\" is already running: {}. This calculation was not "
                        "started; wait for the running one to end or stop it.",
                        files.Base, holder));
      throw TDriverError(fmt::format("Cannot lock \"{}\": {}", path_, std::strerror(error)));
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && ::stat(path_.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      fd_ = fd;
      const std::string holder = RunHolderDescription() + "\n";
      if (::ftruncate(fd_, 0) != 0 ||
          ::pwrite(fd_, holder.data(), holder.size(), 0) != static_cast<ssize_t>(holder.size())) {
        // The claim holds without the holder's name; others then name "another calculation".
      }
      return;
    }
    ::close(fd);
  }
  throw TDriverError(fmt::format("Cannot lock \"{}\": it keeps being replaced", path_));
}

TRunLock::~TRunLock() {
  // Removed while still locked: a claim that waits finds the path gone and starts anew.
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace vemto
