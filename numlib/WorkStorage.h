// Work-array storage manager: one array of 8-byte words carved into named matrices.
//
// Words are addressed 1-based (W[1] ... W[TotalWords]). Matrices lie back to back
// from W[1] in the order of definition; each is a 4-word header (name, data word
// count, stored column count, type code; the last three as 64-bit reals) followed by
// its data, stored column by column. A matrix index is the word index of its first
// data word. Indices and views stay valid until a matrix defined earlier is deleted
// (deletion moves every later matrix down) or the array is released.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace numlib {

/// The state of one work array (four 32-bit integers, as the libraries keep it).
struct StorageControl {
  std::int32_t TotalWords = 0;   ///< number of words in W
  std::int32_t NextFree = 1;     ///< index of the first free word
  std::int32_t HeaderWords = 4;  ///< header words in front of each matrix
  std::int32_t PrintLevel = 2;   ///< 0 trace all, 1 failures and warning only, 2 silent
};

/// Matrix type codes as stored in header word 4.
enum class MatrixType : std::int32_t {
  Integer = 1,  ///< 32-bit signed integers, two per word, lower address first
  Real = 2,     ///< 64-bit reals
  Text = 3      ///< 8 characters per element
};

/// Header words in front of each matrix unless the control says otherwise.
inline constexpr std::int64_t kMatrixHeaderWords = 4;

/// Data words of a matrix of `elements` elements: integers take half a word each,
/// rounded up; reals and texts one word each.
constexpr std::int64_t MatrixDataWords(std::int64_t elements, MatrixType type) {
  return type == MatrixType::Integer ? (elements + 1) / 2 : elements;
}

/// An 8-character matrix name: shorter names are padded with blanks, longer ones cut.
std::string MatrixName(std::string_view name);

/// A line sink for the diagnostic stream (one call per line, no line end).
using DiagnosticSink = std::function<void(std::string_view line)>;

/// The default diagnostic stream: the library's standard output.
void WriteToStandardOutput(std::string_view line);

/// What a matrix header says.
struct MatrixInfo {
  std::string name;                    ///< 8 characters
  std::int32_t index = 0;              ///< word index of the first data word
  std::int32_t dataWords = 0;          ///< number of data words
  std::int32_t storedColumns = 0;      ///< stored column count (negative: odd int count)
  MatrixType type = MatrixType::Real;  ///< element type
  std::int64_t Columns() const { return storedColumns < 0 ? -storedColumns : storedColumns; }
  std::int64_t Elements() const;  ///< number of elements
  std::int64_t Rows() const;      ///< Elements() / Columns(), 0 without columns
};

/// A typed view of one matrix: 1-based, column-major, not owning.
template <typename T>
class MatrixView {
 public:
  MatrixView() = default;
  MatrixView(T* data, std::int64_t rows, std::int64_t columns)
      : data_(data), rows_(rows), columns_(columns) {}

  std::int64_t Rows() const { return rows_; }        ///< row count
  std::int64_t Columns() const { return columns_; }  ///< column count
  std::int64_t Size() const { return rows_ * columns_; }
  T* Data() const { return data_; }  ///< element (1, 1)

  /// Element (i, j), 1 <= i <= Rows(), 1 <= j <= Columns().
  T& operator()(std::int64_t i, std::int64_t j) const {
    assert(i >= 1 && i <= rows_ && j >= 1 && j <= columns_);
    return data_[(j - 1) * rows_ + (i - 1)];
  }
  /// Element number k of the data region, 1 <= k <= Size().
  T& operator()(std::int64_t k) const {
    assert(k >= 1 && k <= Size());
    return data_[k - 1];
  }

 private:
  T* data_ = nullptr;
  std::int64_t rows_ = 0;
  std::int64_t columns_ = 0;
};

/// One text element: 8 characters, not terminated.
struct TextWord {
  char chars[8];
  std::string_view View() const { return {chars, 8}; }
};

using IntegerMatrix = MatrixView<std::int32_t>;
using RealMatrix = MatrixView<double>;
using TextMatrix = MatrixView<TextWord>;

/// The work array of one library call together with its StorageControl.
///
/// The array is zero-filled when allocated, and each matrix is zero-filled when it
/// is defined. Nothing is allocated per matrix.
class WorkStorage {
 public:
  /// An empty storage (TotalWords 0): every definition fails.
  WorkStorage();
  /// Allocate(totalWords).
  explicit WorkStorage(std::int32_t totalWords);

  WorkStorage(const WorkStorage&) = delete;
  WorkStorage& operator=(const WorkStorage&) = delete;
  /// A moved-from storage is empty (TotalWords 0).
  WorkStorage(WorkStorage&& other) noexcept;
  WorkStorage& operator=(WorkStorage&& other) noexcept;

  /// Allocates max(totalWords, 0) zeroed words (releasing the old array) and sets
  /// the control to {totalWords, 1, 4, 2}. Throws std::bad_alloc when the memory
  /// is not available.
  void Allocate(std::int32_t totalWords);
  /// Releases the words; the control becomes {0, 1, 4, PrintLevel}.
  void Release();

  StorageControl& Control() { return control_; }
  const StorageControl& Control() const { return control_; }

  /// Where storage messages go (default: standard output).
  void SetDiagnostics(DiagnosticSink sink) { sink_ = std::move(sink); }
  /// When set, the 90% warning is written at every print level (the engine's copy).
  void SetWarnAtEveryLevel(bool on) { warnAlways_ = on; }

  /// Reserves a zero-filled matrix at the end of the used space; returns its index,
  /// or 0 when nothing was defined (name "ALL", negative size, unknown type, or the
  /// matrix does not fit).
  std::int32_t DefineMatrix(std::string_view name, std::int32_t rows, std::int32_t columns,
                            MatrixType type);
  /// Removes the matrix of that name and closes the gap; an unknown name is ignored.
  void DeleteMatrix(std::string_view name);

  /// Header word index of the matrix (0 when not defined).
  std::int32_t FindHeader(std::string_view name) const;
  /// Data index of the matrix (0 when not defined).
  std::int32_t Find(std::string_view name) const;
  /// Header of the matrix whose data index is given (programmer error if none).
  MatrixInfo Info(std::int32_t index) const;
  /// All matrices in storage order.
  std::vector<MatrixInfo> Matrices() const;

  /// Typed views by name; throw FatalStop(" ARRAY <name> NOT DEFINED") when the
  /// matrix is missing or of another type.
  IntegerMatrix Integers(std::string_view name);
  RealMatrix Reals(std::string_view name);
  TextMatrix Texts(std::string_view name);
  /// Typed views by data index (programmer error if the index is not a matrix's).
  IntegerMatrix IntegersAt(std::int32_t index);
  RealMatrix RealsAt(std::int32_t index);
  TextMatrix TextsAt(std::int32_t index);

  /// Raw word k (1-based, 1 <= k <= TotalWords).
  std::uint64_t Word(std::int32_t k) const;
  /// Address of word k (1-based); word TotalWords + 1 is the end.
  std::byte* WordAddress(std::int32_t k);
  const std::byte* WordAddress(std::int32_t k) const;

 private:
  struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
  };
  double HeaderReal(std::int32_t k) const;
  void SetHeaderReal(std::int32_t k, double value);
  void Print(std::string_view line) const;

  std::unique_ptr<std::byte[], FreeDeleter> words_;
  std::int32_t allocated_ = 0;  // words actually allocated
  // Words from this one on have never been handed out since the allocation: they are
  // still the zeros of calloc, and their pages need not be touched (nor committed).
  std::int32_t untouched_ = 1;
  StorageControl control_;
  DiagnosticSink sink_;
  bool warnAlways_ = false;
};

/// Copies n 32-bit integers element by element; nothing for n <= 0.
void CopyIntegers(std::int64_t n, const std::int32_t* source, std::int32_t* target);
/// Copies n 64-bit reals element by element; nothing for n <= 0.
void CopyReals(std::int64_t n, const double* source, double* target);

/// Fortran-style integer field of the given width: right-aligned, all '*' when the
/// value does not fit.
std::string IntegerField(std::int64_t value, int width);

}  // namespace numlib
