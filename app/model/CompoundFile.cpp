#include "CompoundFile.h"

#include <fcntl.h>
#include <gsf/gsf.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

namespace vemto {

namespace {

/// Closes a file descriptor on scope exit.
class FdGuard {
 public:
  explicit FdGuard(int fd = -1) : fd_(fd) {}
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  ~FdGuard() { Close(); }
  /// Takes over `fd`, closing the one held before.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  int Get() const { return fd_; }
  /// Closes now; returns the errno of a failed close, else 0.
  int Close() {
    int err = 0;
    if (fd_ >= 0 && ::close(fd_) != 0) err = errno;
    fd_ = -1;
    return err;
  }

 private:
  int fd_;
};

struct GObjectUnref {
  void operator()(void* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

/// While a compound file is parsed on this thread: the library's diagnostics, which
/// the errors of this module then carry.
thread_local std::string* gsfDiagnostics = nullptr;

/// Collects the library's diagnostics of one parse instead of letting them reach
/// standard error.
class GsfDiagnostics {
 public:
  GsfDiagnostics() : previous_(gsfDiagnostics) { gsfDiagnostics = &text_; }
  GsfDiagnostics(const GsfDiagnostics&) = delete;
  GsfDiagnostics& operator=(const GsfDiagnostics&) = delete;
  ~GsfDiagnostics() { gsfDiagnostics = previous_; }
  /// " (last diagnostic)" when the library said something, else empty.
  std::string Suffix() const { return text_.empty() ? std::string() : " (" + text_ + ")"; }

 private:
  std::string text_;
  std::string* previous_;
};

void InitGsf() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    // Damaged files are reported through FileError; the library's own diagnostics go
    // into that message instead of standard error. Messages without a domain come from
    // the library only while a parse collects them; other code keeps the default.
    const auto levels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                    G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
    const GLogFunc collect = [](const gchar* domain, GLogLevelFlags level, const gchar* message,
                                gpointer own) {
      if (gsfDiagnostics) {
        // The last diagnostic is the most specific one; line breaks become blanks.
        *gsfDiagnostics = message ? message : "";
        for (char& c : *gsfDiagnostics)
          if (c == '\n') c = ' ';
        if (gsfDiagnostics->size() > 300) gsfDiagnostics->resize(300);
      } else if (!own) {
        g_log_default_handler(domain, level, message, nullptr);
      }
    };
    static int own = 1;
    for (const char* domain : {"libgsf:msole", "libgsf", "GLib-GObject"})
      g_log_set_handler(domain, levels, collect, &own);
    g_log_set_handler(nullptr, levels, collect, nullptr);
  });
}

std::string SystemText(int err) {
  return std::generic_category().message(err);
}

/// The message for a failed system call: the storage condition's own text where there
/// is one, else the system's text.
std::string ErrnoDetail(int err, TStorageError kind) {
  switch (kind) {
    case TStorageError::Other:
    case TStorageError::NotFound:
      return SystemText(err);
    default:
      return std::string(StorageErrorMessage(kind));
  }
}

[[noreturn]] void ThrowErrno(const std::string& fileName, int err, std::string_view action) {
  const TStorageError kind = StorageErrorFromErrno(err);
  throw FileError(fileName, kind, fmt::format("{}: {}", action, ErrnoDetail(err, kind)));
}

void CheckName(const std::string& fileName) {
  if (fileName.empty() || fileName.find('\0') != std::string::npos || fileName.back() == '/')
    throw FileError(fileName, TStorageError::InvalidName,
                    std::string(StorageErrorMessage(TStorageError::InvalidName)));
}

/// Takes a non-blocking flock on `fd`; a lock held by someone else is a lock violation.
void Lock(int fd, int how, const std::string& fileName) {
  while (::flock(fd, how | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK)
      throw FileError(fileName, TStorageError::LockViolation,
                      fmt::format("{} (the file is in use by another program)",
                                  StorageErrorMessage(TStorageError::LockViolation)));
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) return;  // no locks here
    ThrowErrno(fileName, errno, "Cannot lock the file");
  }
}

void WriteAll(int fd, const std::uint8_t* p, std::size_t n, const std::string& fileName) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(fileName, errno, "Cannot write the file");
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

/// Folder part of a path ("." when there is none).
std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string_view StorageErrorMessage(TStorageError kind) {
  switch (kind) {
    case TStorageError::InvalidName:
      return "Invalid filename";
    case TStorageError::InvalidPointer:
      return "Invalid pointer";
    case TStorageError::AccessDenied:
      return "Access denied";
    case TStorageError::LockViolation:
      return "Lock violation";
    case TStorageError::FileExists:
      return "File already exists";
    case TStorageError::InsufficientMemory:
      return "Insufficient memory";
    case TStorageError::InvalidFlag:
      return "Invalid flag";
    case TStorageError::TooManyOpenFiles:
      return "Too many open files";
    case TStorageError::NotFound:
      return "File not found";
    case TStorageError::Damaged:
      return "The file is damaged";
    case TStorageError::Other:
      return "The file cannot be accessed";
  }
  return "The file cannot be accessed";
}

std::uint32_t StorageErrorCode(TStorageError kind) {
  switch (kind) {
    case TStorageError::InvalidName:
      return 0x800300FCu;
    case TStorageError::InvalidPointer:
      return 0x80030009u;
    case TStorageError::AccessDenied:
      return 0x80030005u;
    case TStorageError::LockViolation:
      return 0x80030021u;
    case TStorageError::FileExists:
      return 0x80030050u;
    case TStorageError::InsufficientMemory:
      return 0x80030008u;
    case TStorageError::InvalidFlag:
      return 0x800300FFu;
    case TStorageError::TooManyOpenFiles:
      return 0x80030004u;
    default:
      return 0;
  }
}

TStorageError StorageErrorFromErrno(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return TStorageError::AccessDenied;
    case EWOULDBLOCK:
      return TStorageError::LockViolation;
    case EEXIST:
      return TStorageError::FileExists;
    case ENOMEM:
      return TStorageError::InsufficientMemory;
    case EMFILE:
    case ENFILE:
      return TStorageError::TooManyOpenFiles;
    case ENAMETOOLONG:
    case EISDIR:
    case ENOTDIR:
    case EILSEQ:
      return TStorageError::InvalidName;
    case EFAULT:
      return TStorageError::InvalidPointer;
    case EINVAL:
      return TStorageError::InvalidFlag;
    case ENOENT:
      return TStorageError::NotFound;
    default:
      return TStorageError::Other;
  }
}

FileError::FileError(std::string fileName, TStorageError kind, const std::string& detail)
    : std::runtime_error(fmt::format("{}: {}", fileName, detail)),
      fileName_(std::move(fileName)),
      kind_(kind),
      detail_(detail) {}

const TCompoundStream* TCompoundStorage::Find(std::string_view name) const {
  for (const auto& s : Streams)
    if (s.Name == name) return &s;
  return nullptr;
}

TCompoundStream& TCompoundStorage::SetStream(std::string_view name,
                                             std::vector<std::uint8_t> bytes) {
  for (auto& s : Streams)
    if (s.Name == name) {
      s.Bytes = std::move(bytes);
      return s;
    }
  Streams.push_back(TCompoundStream{std::string(name), std::move(bytes)});
  return Streams.back();
}

const TCompoundStorage* TCompoundImage::Find(std::string_view name) const {
  for (const auto& s : Storages)
    if (s.Name == name) return &s;
  return nullptr;
}

const TCompoundStream* TCompoundImage::Find(std::string_view storage,
                                            std::string_view stream) const {
  const TCompoundStorage* st = Find(storage);
  return st ? st->Find(stream) : nullptr;
}

TCompoundStorage& TCompoundImage::Storage(std::string_view name) {
  for (auto& s : Storages)
    if (s.Name == name) return s;
  Storages.push_back(TCompoundStorage{std::string(name), {}});
  return Storages.back();
}

std::vector<std::uint8_t> BuildCompoundFile(const TCompoundImage& image,
                                            const std::string& fileName) {
  InitGsf();
  auto fail = [&](const std::string& what) -> FileError {
    return FileError(fileName, TStorageError::Other,
                     fmt::format("Cannot build the compound file: {}", what));
  };
  GPtr<GsfOutput> sink(gsf_output_memory_new());
  if (!sink) throw fail("no memory output");
  GPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
  if (!root) throw fail("no compound writer");
  for (const auto& storage : image.Storages) {
    GPtr<GsfOutput> dir(gsf_outfile_new_child(root.get(), storage.Name.c_str(), TRUE));
    if (!dir) throw fail(fmt::format("storage \"{}\" cannot be created", storage.Name));
    for (const auto& stream : storage.Streams) {
      GPtr<GsfOutput> out(
          gsf_outfile_new_child(GSF_OUTFILE(dir.get()), stream.Name.c_str(), FALSE));
      if (!out)
        throw fail(fmt::format("stream \"{}/{}\" cannot be created", storage.Name, stream.Name));
      static const guint8 kNothing = 0;
      const guint8* data = stream.Bytes.empty() ? &kNothing : stream.Bytes.data();
      if (!gsf_output_write(out.get(), stream.Bytes.size(), data) || !gsf_output_close(out.get()))
        throw fail(fmt::format("stream \"{}/{}\" cannot be written", storage.Name, stream.Name));
    }
    if (!gsf_output_close(dir.get()))
      throw fail(fmt::format("storage \"{}\" cannot be closed", storage.Name));
  }
  if (!gsf_output_close(GSF_OUTPUT(root.get()))) throw fail("the root cannot be closed");
  const gsf_off_t size = gsf_output_size(sink.get());
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  if (size < 0 || (size > 0 && !bytes)) throw fail("no bytes produced");
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

void WriteCompoundFile(const std::string& fileName, const TCompoundImage& image) {
  CheckName(fileName);
  std::vector<std::uint8_t> bytes;
  try {
    bytes = BuildCompoundFile(image, fileName);
  } catch (const std::bad_alloc&) {
    throw FileError(fileName, TStorageError::InsufficientMemory,
                    std::string(StorageErrorMessage(TStorageError::InsufficientMemory)));
  }
  ReplaceFile(fileName, bytes);
}

namespace {

/// Start of the names of the temporary files of `target` ("<target>.tmp-").
std::string TemporaryPrefix(const std::string& target) {
  return target + ".tmp-";
}

/// Removes the temporary files that saves of `target` by processes no longer running
/// left behind (killed during a save). Names: "<target>.tmp-<pid>-XXXXXX".
void RemoveStaleTemporaries(const std::string& target) {
  const std::string prefix = TemporaryPrefix(target);
  const std::string folder = FolderOf(target);
  const std::string namePrefix = prefix.substr(prefix.find_last_of('/') + 1);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(namePrefix, 0) != 0) continue;
    const std::string rest = name.substr(namePrefix.size());  // "<pid>-XXXXXX"
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() != dash + 7) continue;
    if (rest.find_first_not_of("0123456789") != dash) continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still running
    std::error_code ignored;
    std::filesystem::remove(entry.path(), ignored);
  }
}

}  // namespace

void ReplaceFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  CheckName(fileName);
  // Write through a symbolic link to the file it names.
  std::string target = fileName;
  struct stat lst {};
  if (::lstat(fileName.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(fileName.c_str(), resolved)) target = resolved;
  }

  // An existing file: refuse a directory, keep its permissions, honour a lock.
  mode_t mode = 0666;
  bool keepMode = false;
  FdGuard existing;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode))
      throw FileError(
          fileName, TStorageError::InvalidName,
          fmt::format("{} (it is a folder)", StorageErrorMessage(TStorageError::InvalidName)));
    // A read-only file stays as it is, although the folder would allow a rename: one
    // the user may not write, and one without any write permission (marked read-only,
    // which binds the superuser too).
    if ((st.st_mode & 0222) == 0 || (::access(target.c_str(), W_OK) != 0 && errno == EACCES))
      throw FileError(fileName, TStorageError::AccessDenied,
                      fmt::format("{} (the file is read-only)",
                                  StorageErrorMessage(TStorageError::AccessDenied)));
    mode = st.st_mode & 07777;
    keepMode = true;
    int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      existing.Reset(fd);
      Lock(existing.Get(), LOCK_EX, fileName);
    }
  } else if (errno != ENOENT) {
    ThrowErrno(fileName, errno, "Cannot open the file");
  }

  std::string temp = TemporaryPrefix(target) + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> tmpl(temp.begin(), temp.end());
  tmpl.push_back('\0');
  const int tfd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (tfd < 0) {
    const int err = errno;
    if (err == ENOENT)
      throw FileError(fileName, TStorageError::NotFound,
                      fmt::format("The folder \"{}\" does not exist", FolderOf(target)));
    ThrowErrno(fileName, err, "Cannot create a file in its folder");
  }
  temp.assign(tmpl.data());
  FdGuard out(tfd);
  try {
    if (!keepMode) {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    if (::fchmod(out.Get(), mode) != 0) ThrowErrno(fileName, errno, "Cannot set permissions");
    WriteAll(out.Get(), bytes.data(), bytes.size(), fileName);
    if (::fsync(out.Get()) != 0 && errno != EINVAL && errno != EROFS)
      ThrowErrno(fileName, errno, "Cannot write the file");
    if (int err = out.Close(); err != 0) ThrowErrno(fileName, err, "Cannot write the file");
    if (::rename(temp.c_str(), target.c_str()) != 0)
      ThrowErrno(fileName, errno, "Cannot replace the file");
  } catch (...) {
    out.Close();
    ::unlink(temp.c_str());
    throw;
  }
  // Make the rename durable; a failure here no longer endangers either version.
  FdGuard dir(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
  RemoveStaleTemporaries(target);
}

TCompoundImage ParseCompoundFile(const std::vector<std::uint8_t>& bytes,
                                 const std::string& fileName) {
  InitGsf();
  GsfDiagnostics diagnostics;
  auto damaged = [&](const std::string& what) {
    return FileError(fileName, TStorageError::Damaged, what + diagnostics.Suffix());
  };
  GPtr<GsfInput> input(
      gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
  if (!input) throw damaged("The file cannot be read");
  GError* err = nullptr;
  GPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &err));
  if (!root) {
    std::string why = err && err->message ? err->message : "unknown structure";
    if (err) g_error_free(err);
    throw damaged(fmt::format("Not a project file of this kind ({})", why));
  }
  if (err) g_error_free(err);

  TCompoundImage image;
  const int storages = gsf_infile_num_children(root.get());
  for (int i = 0; i < storages; ++i) {
    GPtr<GsfInput> child(gsf_infile_child_by_index(root.get(), i));
    const char* name = gsf_infile_name_by_index(root.get(), i);
    if (!child || !name) throw damaged(fmt::format("Entry {} of the root cannot be read", i));
    if (!GSF_IS_INFILE(child.get()) || gsf_infile_num_children(GSF_INFILE(child.get())) < 0)
      continue;                      // a stream in the root: not part of this layout
    if (image.Find(name)) continue;  // a duplicate name: the first one counts
    GsfInfile* dir = GSF_INFILE(child.get());
    TCompoundStorage& storage = image.Storage(name);
    const int streams = gsf_infile_num_children(dir);
    for (int k = 0; k < streams; ++k) {
      GPtr<GsfInput> s(gsf_infile_child_by_index(dir, k));
      const char* sname = gsf_infile_name_by_index(dir, k);
      if (!s || !sname)
        throw damaged(fmt::format("Entry {} of storage \"{}\" cannot be read", k, storage.Name));
      if (GSF_IS_INFILE(s.get()) && gsf_infile_num_children(GSF_INFILE(s.get())) >= 0) continue;
      if (storage.Find(sname)) continue;
      const gsf_off_t size = gsf_input_size(s.get());
      if (size < 0 || static_cast<std::uint64_t>(size) > bytes.size())
        throw damaged(fmt::format("Stream \"{}/{}\" claims {} bytes, more than the file holds",
                                  storage.Name, sname, size));
      std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
      if (size > 0 && !gsf_input_read(s.get(), static_cast<std::size_t>(size), data.data()))
        throw damaged(fmt::format("Stream \"{}/{}\" cannot be read", storage.Name, sname));
      storage.Streams.push_back(TCompoundStream{sname, std::move(data)});
    }
  }
  return image;
}

TCompoundImage ReadCompoundFile(const std::string& fileName) {
  CheckName(fileName);
  // Non-blocking, so that opening a pipe without a writer does not wait.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT)
      throw FileError(fileName, TStorageError::NotFound,
                      std::string(StorageErrorMessage(TStorageError::NotFound)));
    ThrowErrno(fileName, err, "Cannot open the file");
  }
  FdGuard guard(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) ThrowErrno(fileName, errno, "Cannot open the file");
  if (S_ISDIR(st.st_mode))
    throw FileError(
        fileName, TStorageError::InvalidName,
        fmt::format("{} (it is a folder)", StorageErrorMessage(TStorageError::InvalidName)));
  if (!S_ISREG(st.st_mode))
    throw FileError(fileName, TStorageError::Damaged,
                    "Not a project file (a device, pipe or socket, not a file)");
  if (st.st_size == 0) throw FileError(fileName, TStorageError::Damaged, "The file is empty");
  Lock(fd, LOCK_SH, fileName);

  // The signature first: a large file of another kind is refused without reading it.
  static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::uint8_t head[sizeof kSignature] = {};
  std::size_t got = 0;
  while (got < sizeof head) {
    const ssize_t r = ::read(fd, head + got, sizeof head - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(fileName, errno, "Cannot read the file");
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  if (got < sizeof head || std::memcmp(head, kSignature, sizeof head) != 0)
    throw FileError(fileName, TStorageError::Damaged,
                    "Not a project file of this kind (it does not begin with the signature of "
                    "a compound file)");

  std::vector<std::uint8_t> bytes;
  try {
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    bytes.insert(bytes.end(), head, head + got);
    std::uint8_t buf[65536];
    for (;;) {
      const ssize_t r = ::read(fd, buf, sizeof buf);
      if (r < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(fileName, errno, "Cannot read the file");
      }
      if (r == 0) break;
      bytes.insert(bytes.end(), buf, buf + r);
    }
  } catch (const std::bad_alloc&) {
    throw FileError(fileName, TStorageError::InsufficientMemory,
                    std::string(StorageErrorMessage(TStorageError::InsufficientMemory)));
  }
  guard.Close();
  if (bytes.empty()) throw FileError(fileName, TStorageError::Damaged, "The file is empty");
  return ParseCompoundFile(bytes, fileName);
}

}  // namespace vemto
