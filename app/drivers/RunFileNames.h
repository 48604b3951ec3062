// The names of the files of one calculation run, derived from the project file name.
#pragma once

#include <array>
#include <string>

namespace vemto {

/// Length of a file name buffer at the library boundary (255 characters and a zero).
inline constexpr std::size_t kFileNameBufferLength = 256;

/// The files of one run: base is the project file name without its ".v3" extension.
struct TRunFileNames {
  std::string Base;         ///< project file name without ".v3"
  std::string DataFile;     ///< base + ".dat": analysis data file (written by the mesher)
  std::string ListFile;     ///< base + ".lst": input listing (written by the mesher)
  std::string TempMatFile;  ///< base + ".dtm": temperature and maturity of another model
  std::string ResultFile;   ///< base + ".out": result database (written by the engine)
};

/// Derives the run's file names. Only a trailing ".v3" (any letter case) is removed; a
/// name with another or no extension keeps every character ("model.txt" gives
/// "model.txt.dat"). Throws TDriverError for an empty name, a name that is only ".v3",
/// or a name whose longest derived file name does not fit a 256-byte buffer.
TRunFileNames DeriveRunFileNames(const std::string& projectFileName);

/// A 256-byte file name buffer: zero-filled, then the name. Throws TDriverError when
/// the name has more than 255 bytes or holds a zero byte (it would be cut silently).
std::array<char, kFileNameBufferLength> FileNameBuffer(const std::string& name);

/// The text of a fixed field read back: up to the first zero byte or `length`
/// characters, trailing blanks removed.
std::string FieldToString(const char* field, std::size_t length);

}  // namespace vemto
