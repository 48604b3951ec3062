// Root of the geometry model objects and the reference count they share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>

#include "ByteStream.h"

namespace vemto {

/// Selects the loader's construction: every field zero-filled, no reference counting,
/// no defaults. The project file reader uses it and then calls LoadFromStream.
struct TLoading {
  explicit TLoading() = default;
};
inline constexpr TLoading ForLoading{};

/// Root of the model objects. Objects have identity (other objects point at them), so
/// they are neither copied nor moved; `Assign` copies values between existing objects.
class TFemObject {
 public:
  TFemObject() = default;
  TFemObject(const TFemObject&) = delete;
  TFemObject& operator=(const TFemObject&) = delete;
  virtual ~TFemObject() = default;

  /// Name of the class as written into the project file ("TNode", "TEdgeLine", ...).
  virtual const char* ClassName() const { return "TFemObject"; }

  /// Copies the values of `source` into this object. The base has no values; classes
  /// that copy throw std::invalid_argument for a source of an unrelated class. (What a
  /// window attaches to objects lives in the window, not here.)
  virtual void Assign(const TFemObject& source) { (void)source; }

  /// Writes the object's record to an open binary file; the base writes nothing.
  /// Throws StreamError when the file cannot be written.
  virtual void SaveToFile(std::FILE* file) const { (void)file; }
  /// Reads the record written by SaveToFile; the base reads nothing.
  /// Throws StreamError on a short or failed read.
  virtual void LoadFromFile(std::FILE* file) { (void)file; }
  /// Appends the object's fixed record to `stream`; the base appends nothing.
  virtual void SaveToStream(TStream& stream) const { (void)stream; }
  /// Reads the record written by SaveToStream. Throws StreamError on a truncated or
  /// implausible record; the object and the stream position are then left unchanged
  /// (for the fields of the class that detected the error).
  virtual void LoadFromStream(TStream& stream) { (void)stream; }
};

/// Writes the bytes of `record` to an open binary file; throws StreamError when the
/// file is null or the write fails.
void WriteRecordToFile(std::FILE* file, const TStream& record);
/// Reads exactly `size` bytes from an open binary file; throws StreamError when the
/// file is null or ends early.
TStream ReadRecordFromFile(std::FILE* file, std::size_t size);

/// Count of references held by other model objects (edges on nodes, surfaces and
/// positions on edges, ...). The editors refuse to delete an object that is `InUse`.
class TRefCounted {
 public:
  /// Number of references; never negative through these operations.
  std::int32_t RefCount = 0;

  /// Adds one reference (saturates at the largest int32).
  void AddRef() {
    if (RefCount < std::numeric_limits<std::int32_t>::max()) ++RefCount;
  }
  /// Removes one reference; the count never goes below 0.
  void Release() {
    if (RefCount > 0) --RefCount;
  }
  /// True while at least one reference is counted.
  bool InUse() const { return RefCount > 0; }
};

}  // namespace vemto
