// Reader of the direct-access data files (result databases) written by DataFileSet.
//
// The whole directory of blocks is read and checked when the file is opened; data is
// read on demand. Every defect of the file (too short, wrong marker, free-record
// pointer or block sizes outside the file, unknown type codes, element counts that do
// not fill whole columns) raises DataFileError with the file name and the defect.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "WorkStorage.h"

namespace numlib {

/// A damaged or unreadable data file; what() names the file and the defect.
class DataFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One matrix block as found in the file.
struct DataBlock {
  std::string name;                ///< 8 characters, as stored
  std::int64_t record = 0;         ///< record of the name (first header record)
  std::int64_t dataWords = 0;      ///< number of data records
  std::int64_t storedColumns = 0;  ///< negative: integer matrix with an odd element count
  MatrixType type = MatrixType::Real;
  std::int64_t Columns() const { return storedColumns < 0 ? -storedColumns : storedColumns; }
  std::int64_t Elements() const;  ///< element count recovered from words and columns
  std::int64_t Rows() const;      ///< Elements() / Columns(); 0 without columns
};

/// A decoded matrix: rows x columns, column by column, 1-based access.
template <typename T>
struct DecodedMatrix {
  std::int64_t rows = 0;
  std::int64_t columns = 0;
  std::vector<T> values;  ///< column-major
  const T& operator()(std::int64_t i, std::int64_t j) const {
    return values.at(static_cast<std::size_t>((j - 1) * rows + (i - 1)));
  }
};

class DataFileReader {
 public:
  /// Opens and indexes the file; throws DataFileError.
  explicit DataFileReader(const std::string& fileName);

  const std::string& FileName() const { return fileName_; }
  /// Record 2: the first free record.
  std::int64_t FreeRecord() const { return freeRecord_; }
  /// All blocks in file order.
  const std::vector<DataBlock>& Blocks() const { return blocks_; }
  /// The first block with this name (padded to 8), or nullptr.
  const DataBlock* Find(std::string_view name) const;
  /// Like Find, but throws DataFileError naming the file and the matrix.
  const DataBlock& Get(std::string_view name) const;

  /// Decode a block; throws DataFileError when the block has another type.
  DecodedMatrix<std::int32_t> ReadIntegers(const DataBlock& block);
  DecodedMatrix<double> ReadReals(const DataBlock& block);
  DecodedMatrix<std::string> ReadTexts(const DataBlock& block);  ///< 8-char strings
  DecodedMatrix<std::int32_t> ReadIntegers(std::string_view name) {
    return ReadIntegers(Get(name));
  }
  DecodedMatrix<double> ReadReals(std::string_view name) { return ReadReals(Get(name)); }
  DecodedMatrix<std::string> ReadTexts(std::string_view name) { return ReadTexts(Get(name)); }

  /// Name of storage event k (k >= 1) for a field letter: 'T', 7 digits of 10000000+k.
  static std::string EventName(char letter, std::int64_t k);
  /// Field letters the engine may write per event, in writing order.
  static constexpr std::string_view kEventLetters = "TQMAPUFSRDC";
  /// Whether any field of event k is stored.
  bool HasEvent(std::int64_t k) const;
  /// Number of stored events: k = 1, 2, ... until one is missing.
  std::int64_t EventCount() const;
  /// Whether the run ended normally (the TIME block is present).
  bool HasTime() const { return Find("TIME") != nullptr; }

 private:
  std::vector<std::uint64_t> ReadWords(std::int64_t record, std::int64_t count);
  /// Reads `count` records from `record` (1-based) into `words` (count × 8 bytes).
  void ReadInto(std::int64_t record, std::int64_t count, void* words);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string fileName_;
  std::ifstream in_;
  std::int64_t fileRecords_ = 0;
  std::int64_t freeRecord_ = 0;
  std::vector<DataBlock> blocks_;
  std::unordered_map<std::string, std::size_t> index_;  // name -> first block
};

}  // namespace numlib
