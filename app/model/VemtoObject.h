// Common base of the persistent simulation objects (materials, conditions, positions,
// pipes, intervals, general and project information).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ByteStream.h"
#include "FemObject.h"

namespace vemto {

/// A persistent simulation object with a record layout version. The project file writer
/// and reader set the version pair before saving and loading; classes with more than one
/// record layout (materials) choose the layout from it.
class TVemtoObject {
 public:
  TVemtoObject() = default;
  TVemtoObject(const TVemtoObject&) = default;
  TVemtoObject& operator=(const TVemtoObject&) = default;
  virtual ~TVemtoObject() = default;

  /// Name of the class as written in front of the record in the project file.
  virtual const char* ClassName() const = 0;
  /// Appends the object's record to `stream`. Throws StreamError for a text that does not
  /// fit the record; nothing of the record is written then.
  virtual void SaveToStream(TStream& stream) const = 0;
  /// Reads the record from `stream`. Throws StreamError for a truncated or invalid record.
  virtual void LoadFromStream(TStream& stream) = 0;

  std::int32_t VersionMajor = 3;  ///< record layout version, major part
  std::int32_t VersionMinor = 0;  ///< record layout version, minor part
};

/// A simulation object that other objects refer to: `RefCount` counts the references
/// (positions using a condition, pipe positions using a pipe, surfaces using a material),
/// with `AddRef`, `Release` (never below 0) and `InUse`.
class TVemtoCountedObject : public TVemtoObject, public TRefCounted {};

/// Writes a name or project text in the record text form; a text longer than 255
/// characters throws StreamError naming `what` (for example "material name").
void WriteRecordText(TStream& stream, std::string_view text, std::string_view what);
/// Throws StreamError naming `what` when `text` is too long for a record.
void CheckRecordText(std::string_view text, std::string_view what);
/// Reads a record text; the text ends at its first zero byte.
std::string ReadRecordText(TStream& stream);

}  // namespace vemto
