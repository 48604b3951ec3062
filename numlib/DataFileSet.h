// Direct-access data files written from the work array (the result database).
//
// One record = one 8-byte value, little-endian; record k starts at byte 8(k - 1).
// Record 1 holds the 8 characters "DATAFILE", record 2 the number of the first free
// record as a 64-bit real (3 in a new file), and from record 3 on matrix blocks
// follow one after the other: name, data word count, stored column count, type code,
// then the data words, one per record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "WorkStorage.h"

namespace numlib {

/// The data files of one library copy, addressed by unit number.
///
/// Fatal conditions (file cannot be opened or written, matrix not defined, unit not
/// open) write their line to the diagnostic stream and throw FatalStop.
class DataFileSet {
 public:
  DataFileSet();
  ~DataFileSet();
  DataFileSet(const DataFileSet&) = delete;
  DataFileSet& operator=(const DataFileSet&) = delete;

  /// Where the fatal lines go (default: standard output).
  void SetDiagnostics(DiagnosticSink sink) { sink_ = std::move(sink); }

  /// Opens (creating if absent, keeping an existing file's bytes) and writes record 1
  /// "DATAFILE" and record 2 = 3.0. fileName may be a blank-padded field: trailing
  /// blanks and zero bytes are ignored. A unit already open is closed first.
  /// Failure: " FILE NOT AVAILABLE", FatalStop.
  void OpenDataFile(int unit, std::string_view fileName);
  /// Appends the matrix `name` of the work array as a block named storedName and
  /// updates record 2. Missing matrix: " ARRAY <name> NOT DEFINED", FatalStop.
  void WriteMatrixToDataFile(std::string_view name, std::string_view storedName,
                             const WorkStorage& storage, int unit);
  /// Closes the unit and keeps the file; an unknown unit is ignored. Throws FatalStop
  /// when buffered data cannot be written.
  void CloseDataFile(int unit);
  /// Closes every open unit, keeping the files; never throws.
  void CloseAll() noexcept;
  /// Whether the unit is open.
  bool IsOpen(int unit) const { return files_.count(unit) != 0; }

 private:
  struct File;
  void Fatal(const std::string& line) const;
  std::map<int, std::unique_ptr<File>> files_;
  DiagnosticSink sink_;
};

}  // namespace numlib
