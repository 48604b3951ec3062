// Compound files (root storage, named sub-storages, named byte streams) read and
// written as a whole. Writing builds the complete file in memory, writes it under a
// temporary name in the target's folder and renames it over the target, so that a
// failed or interrupted save never damages an existing file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vemto {

/// Kind of a failure to open, read or write a compound file. The first eight are the
/// storage conditions that have their own messages.
enum class TStorageError {
  InvalidName,         ///< "Invalid filename"
  InvalidPointer,      ///< "Invalid pointer"
  AccessDenied,        ///< "Access denied"
  LockViolation,       ///< "Lock violation" (the file is locked by another process)
  FileExists,          ///< "File already exists"
  InsufficientMemory,  ///< "Insufficient memory"
  InvalidFlag,         ///< "Invalid flag"
  TooManyOpenFiles,    ///< "Too many open files"
  NotFound,            ///< the file (or its folder) does not exist
  Damaged,             ///< the file is not a readable compound file or its content is wrong
  Other,               ///< any other system failure; the message carries the system's text
};

/// The message of a storage condition ("Access denied", …); for NotFound, Damaged and
/// Other a generic text.
std::string_view StorageErrorMessage(TStorageError kind);

/// The storage error code of the first eight kinds (0x80030005 for AccessDenied, …);
/// 0 for the others.
std::uint32_t StorageErrorCode(TStorageError kind);

/// Maps a system error number (errno) to a storage condition.
TStorageError StorageErrorFromErrno(int err);

/// A failure of a file operation. what() names the file and the problem.
class FileError : public std::runtime_error {
 public:
  FileError(std::string fileName, TStorageError kind, const std::string& detail);
  /// The file concerned, as given by the caller.
  const std::string& FileName() const { return fileName_; }
  TStorageError Kind() const { return kind_; }
  /// The problem without the file name.
  const std::string& Detail() const { return detail_; }

 private:
  std::string fileName_;
  TStorageError kind_;
  std::string detail_;
};

/// One named byte stream.
struct TCompoundStream {
  std::string Name;
  std::vector<std::uint8_t> Bytes;
};

/// One storage directly below the root, holding streams.
struct TCompoundStorage {
  std::string Name;
  std::vector<TCompoundStream> Streams;

  /// The stream with this exact name, or nullptr.
  const TCompoundStream* Find(std::string_view name) const;
  /// Adds a stream (a stream of the same name is replaced) and returns it.
  TCompoundStream& SetStream(std::string_view name, std::vector<std::uint8_t> bytes);
};

/// The content of a compound file: storages below the root, each with its streams.
/// Streams directly in the root and storages nested deeper are not represented.
struct TCompoundImage {
  std::vector<TCompoundStorage> Storages;

  /// The storage with this exact name, or nullptr.
  const TCompoundStorage* Find(std::string_view name) const;
  /// The stream storage/stream, or nullptr.
  const TCompoundStream* Find(std::string_view storage, std::string_view stream) const;
  /// Returns the storage of this name, created empty at the end if missing.
  TCompoundStorage& Storage(std::string_view name);
};

/// Writes `image` as a compound file `fileName`: the whole file goes to a temporary
/// file in the same folder, which then replaces `fileName` by a rename. An existing
/// file keeps its permissions and is untouched when anything fails. A file locked by
/// another process (flock) is not replaced. Throws FileError.
void WriteCompoundFile(const std::string& fileName, const TCompoundImage& image);

/// Replaces the content of `fileName` with `bytes` (or creates it) the way
/// WriteCompoundFile does: a temporary file "<file>.tmp-<pid>-XXXXXX" in the same folder
/// is written, flushed to disk and renamed over the file; the permissions of an existing
/// file are kept, a file locked by another process or a read-only file is not replaced,
/// and the temporary file is removed when anything fails. After a successful rename the
/// temporary files of the same file left by processes that no longer run are removed.
/// Throws FileError.
void ReplaceFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes);

/// Reads every storage below the root of the compound file `fileName` with all its
/// streams. Refuses a file locked by another process. Throws FileError (NotFound when
/// the file does not exist, Damaged when it is not a readable compound file).
TCompoundImage ReadCompoundFile(const std::string& fileName);

/// Parses a compound file held in memory; `fileName` only names it in errors.
TCompoundImage ParseCompoundFile(const std::vector<std::uint8_t>& bytes,
                                 const std::string& fileName);

/// Builds the bytes of a compound file in memory. Throws FileError with
/// `fileName` on failure.
std::vector<std::uint8_t> BuildCompoundFile(const TCompoundImage& image,
                                            const std::string& fileName);

}  // namespace vemto
