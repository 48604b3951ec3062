// The cement and concrete property files "cempropt" and "conpropt" that sit beside the
// program and give a new material its default properties.
//
// Both files are line-oriented text in the C locale. A numeric line holds its number first
// (leading blanks allowed, optional exponent such as E+0003); whatever follows the number
// after a blank is a note and is ignored.
//
// "cempropt": line 1 the number n of cement types (0..20); then per type one name line (the
// whole line) and 7 value lines. "conpropt": 56 lines, the constants c1..c56.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vemto {

inline constexpr std::string_view kCementFileName = "cempropt";    ///< cement types
inline constexpr std::string_view kConcreteFileName = "conpropt";  ///< concrete constants
inline constexpr int kMaxCementTypes = 20;     ///< most cement types a file may list
inline constexpr int kCementValues = 7;        ///< reals per cement type
inline constexpr int kConcreteConstants = 56;  ///< constants in "conpropt"

/// A property file that exists but cannot be read, is malformed, or cannot be rewritten.
/// The message names the file and, where it applies, the line.
class PropertyFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Folder of the running program (where the property files are looked for).
std::filesystem::path ProgramDirectory();

/// Cement types read from "cempropt". Values of type k: 1 not used for material defaults,
/// 2 heat at complete hydration (J/kg), 3 lambda-1 (-), 4 t-1 (s), 5 kappa-1 (-),
/// 6 theta-0 (K), 7 kappa-0 (-).
class TVemtoCement {
 public:
  /// Reads the table from `file`, replacing the present content. Returns false and leaves
  /// the table empty when the file does not exist. Throws PropertyFileError (table left
  /// empty) when the file exists but is unreadable, malformed, or lists more than 20 types.
  bool ReadFromFile(const std::filesystem::path& file);

  /// Value i (1..7) of the selected cement type; 0 when no type is selected.
  double Value(int i) const;
  /// Name of cement type k (1..CementCount); throws std::out_of_range otherwise.
  const std::string& Name(int k) const;
  /// Value i (1..7) of cement type k (1..CementCount); throws std::out_of_range otherwise.
  double TypeValue(int k, int i) const;
  /// Selects cement type k (1..CementCount); throws std::out_of_range otherwise.
  void Select(int k);

  std::int32_t CementCount = 0;     ///< number of types read
  std::int32_t SelectedCement = 0;  ///< selected type, 1-based; 0 = none (empty table)

 private:
  std::array<std::string, kMaxCementTypes> names_{};
  std::array<std::array<double, kCementValues>, kMaxCementTypes> values_{};
};

/// The 56 concrete constants read from "conpropt" (all 0 when the file is missing).
class TVemtoConcrete {
 public:
  /// Reads the constants from `file`. Returns false and leaves all constants 0 when the
  /// file does not exist. Throws PropertyFileError (constants left 0) when the file exists
  /// but is unreadable or malformed.
  bool ReadFromFile(const std::filesystem::path& file);

  /// Constant c_k, k = 1..56; throws std::out_of_range otherwise.
  double Value(int k) const;

  std::array<double, kConcreteConstants> Constants{};  ///< c1..c56 at [0]..[55]
};

/// Six fitted heat-development values of a cement type, in file order: heat at complete
/// hydration (J/kg), lambda-1, t-1 (s), kappa-1, theta-0 (K), kappa-0.
using CementFit = std::array<double, 6>;

/// Appends a cement type to the "cempropt" file `file`: the count on line 1 becomes
/// n + 1 (the line's blanks and note stay), every other line stays unchanged, and the new
/// type (name line, the integer 1, the six values) is inserted right after the n-th type
/// so that it becomes type n + 1 even when notes follow the last type. The new content
/// replaces the file as ReplaceFile does (complete and on disk before the rename, the
/// file's permissions kept). Returns the new type's number. Throws PropertyFileError,
/// leaving the file as it was, when the file is missing, unreadable, malformed, already
/// holds 20 types or cannot be rewritten, and std::invalid_argument for an empty name, a
/// name with a line break, or a value that is not finite.
int AppendCementType(const std::filesystem::path& file, std::string_view name,
                     const CementFit& values);

/// The fixed real format of an appended cement type: 23 characters, a sign position
/// (blank or '-'), 15 significant digits in the form d.dddddddddddddd, 'E', the exponent
/// sign and four exponent digits. 4600 gives " 4.60000000000000E+0003".
std::string FormatCementReal(double value);

}  // namespace vemto
