// Free-format (list-directed) reading of text data files.
//
// Each read is one record: it starts on the next line, takes its values from that
// line and, when the line has too few, from the following lines, and skips the rest
// of the line on which it ends. Values are separated by blanks, tabs or commas;
// reals accept exponent forms with E or D (1.5E+03, 0.15D+02).
#pragma once

#include <cstdint>
#include <istream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vemto::engine {

/// A defect of a text data file; what() names the file, the line and the defect.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Parses one real value (C locale, E or D exponent, optional sign); false when
/// the token is not a complete finite number.
bool ParseReal(std::string_view token, double& value);
/// Parses one integer value (optional sign, digits only); false otherwise.
bool ParseInteger(std::string_view token, std::int32_t& value);

class FreeFormatReader {
 public:
  /// Reads from `in`; `fileName` is used in error messages.
  FreeFormatReader(std::istream& in, std::string fileName);

  /// Reads the next line as it is, padded with blanks or cut to `width` bytes.
  std::string ReadRawLine(std::size_t width);

  /// Starts a new record on the next line.
  void BeginRecord();
  /// Next value of the current record (continues on following lines).
  double NextReal(std::string_view what);
  std::int32_t NextInteger(std::string_view what);
  /// Ends the record: the rest of the current line is skipped.
  void EndRecord();

  /// One whole record of reals or integers.
  void ReadReals(std::span<double> values, std::string_view what);
  void ReadIntegers(std::span<std::int32_t> values, std::string_view what);

  /// Whether only blank lines remain.
  bool AtEnd();
  /// True when the last failed read met the end of the file.
  bool HitEnd() const { return hitEnd_; }

  /// Line number of the value read last (1-based; 0 before any read).
  long Line() const { return line_; }
  const std::string& FileName() const { return fileName_; }

  /// Throws InputError naming the file and the current line.
  [[noreturn]] void Fail(std::string_view what) const;

 private:
  std::string_view NextToken(std::string_view what);
  bool NextLine();

  std::istream& in_;
  std::string fileName_;
  std::string text_;
  std::size_t pos_ = 0;
  bool inRecord_ = false;
  bool haveLine_ = false;
  bool hitEnd_ = false;
  long line_ = 0;
};

}  // namespace vemto::engine
