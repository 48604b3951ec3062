#include "PropertyFiles.h"

#include "CompoundFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include <fmt/format.h>

namespace vemto {
namespace {

namespace fs = std::filesystem;

// Property files are a few hundred bytes; anything far larger is not a property file.
constexpr std::uintmax_t kMaxPropertyFileSize = 1u << 20;

// Reads the whole file. Returns nullopt when it does not exist; throws PropertyFileError
// when it exists but cannot be read.
std::optional<std::string> ReadWholeFile(const fs::path& file) {
  std::error_code ec;
  const auto status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (ec) throw PropertyFileError(fmt::format("\"{}\": {}", file.string(), ec.message()));
  if (fs::is_directory(status))
    throw PropertyFileError(fmt::format("\"{}\" is a folder, not a property file", file.string()));
  std::ifstream in(file, std::ios::binary);
  if (!in) throw PropertyFileError(fmt::format("\"{}\" cannot be opened", file.string()));
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxPropertyFileSize)
      throw PropertyFileError(fmt::format("\"{}\" is larger than {} bytes; not a property file",
                                          file.string(), kMaxPropertyFileSize));
  }
  if (in.bad()) throw PropertyFileError(fmt::format("\"{}\" cannot be read", file.string()));
  return text;
}

// Splits text into lines at '\n'; a final line break does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string Shown(std::string_view line) {
  line = WithoutCarriageReturn(line);
  if (line.size() > 40) return fmt::format("\"{}...\"", line.substr(0, 40));
  return fmt::format("\"{}\"", line);
}

// Position of the number at the start of `line` after blanks and an optional '+', or
// throws. `lineNo` is 1-based and only used in the message.
const char* NumberStart(std::string_view line, const fs::path& file, std::size_t lineNo,
                        const char** end) {
  const char* p = line.data();
  *end = line.data() + line.size();
  while (p < *end && IsBlank(*p)) ++p;
  if (p < *end && *p == '+') ++p;
  if (p == *end)
    throw PropertyFileError(fmt::format(
        "\"{}\", line {}: a number is expected but the line is empty", file.string(), lineNo));
  return p;
}

void CheckNumberEnd(const char* after, const char* end, std::string_view line, const fs::path& file,
                    std::size_t lineNo) {
  if (after != end && !IsBlank(*after))
    throw PropertyFileError(
        fmt::format("\"{}\", line {}: the number is not followed by a blank: {}", file.string(),
                    lineNo, Shown(line)));
}

// First real of a line; the rest of the line is a note.
double FirstReal(std::string_view line, const fs::path& file, std::size_t lineNo) {
  const char* end = nullptr;
  const char* p = NumberStart(line, file, lineNo, &end);
  double value = 0.0;
  const auto [after, ec] = std::from_chars(p, end, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range)
    throw PropertyFileError(
        fmt::format("\"{}\", line {}: the number is outside the range of a real number: {}",
                    file.string(), lineNo, Shown(line)));
  if (ec != std::errc())
    throw PropertyFileError(fmt::format("\"{}\", line {}: no number at the start of the line: {}",
                                        file.string(), lineNo, Shown(line)));
  CheckNumberEnd(after, end, line, file, lineNo);
  if (!std::isfinite(value))
    throw PropertyFileError(fmt::format("\"{}\", line {}: the number is not finite: {}",
                                        file.string(), lineNo, Shown(line)));
  return value;
}

// First integer of a line; the rest of the line is a note.
long FirstInteger(std::string_view line, const fs::path& file, std::size_t lineNo) {
  const char* end = nullptr;
  const char* p = NumberStart(line, file, lineNo, &end);
  long value = 0;
  const auto [after, ec] = std::from_chars(p, end, value);
  if (ec == std::errc::result_out_of_range)
    throw PropertyFileError(fmt::format("\"{}\", line {}: the whole number is too large: {}",
                                        file.string(), lineNo, Shown(line)));
  if (ec != std::errc())
    throw PropertyFileError(
        fmt::format("\"{}\", line {}: no whole number at the start of the line: {}", file.string(),
                    lineNo, Shown(line)));
  CheckNumberEnd(after, end, line, file, lineNo);
  return value;
}

struct CementTable {
  int count = 0;
  std::array<std::string, kMaxCementTypes> names{};
  std::array<std::array<double, kCementValues>, kMaxCementTypes> values{};
};

CementTable ParseCementText(std::string_view text, const fs::path& file) {
  const auto lines = SplitLines(text);
  if (lines.empty())
    throw PropertyFileError(
        fmt::format("\"{}\" is empty; line 1 must hold the number of cement types", file.string()));
  const long n = FirstInteger(lines[0], file, 1);
  if (n < 0)
    throw PropertyFileError(fmt::format(
        "\"{}\", line 1: the number of cement types is negative ({})", file.string(), n));
  if (n > kMaxCementTypes)
    throw PropertyFileError(fmt::format("\"{}\" lists {} cement types; at most {} are allowed",
                                        file.string(), n, kMaxCementTypes));
  const std::size_t needed = 1 + static_cast<std::size_t>(n) * (1 + kCementValues);
  if (lines.size() < needed)
    throw PropertyFileError(
        fmt::format("\"{}\" announces {} cement types, which need {} lines, but has only {} lines",
                    file.string(), n, needed, lines.size()));
  CementTable table;
  table.count = static_cast<int>(n);
  std::size_t line = 1;  // zero-based index of the next line
  for (int k = 0; k < table.count; ++k) {
    table.names[k] = std::string(WithoutCarriageReturn(lines[line]));
    ++line;
    for (int i = 0; i < kCementValues; ++i, ++line)
      table.values[k][i] = FirstReal(lines[line], file, line + 1);
  }
  return table;
}

}  // namespace

fs::path ProgramDirectory() {
  static const fs::path dir = [] {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
  }();
  return dir;
}

// ---------------------------------------------------------------------------------------
// TVemtoCement

bool TVemtoCement::ReadFromFile(const fs::path& file) {
  *this = TVemtoCement();
  const auto text = ReadWholeFile(file);
  if (!text) return false;
  const CementTable table = ParseCementText(*text, file);
  CementCount = table.count;
  names_ = table.names;
  values_ = table.values;
  SelectedCement = CementCount > 0 ? 1 : 0;
  return true;
}

double TVemtoCement::Value(int i) const {
  if (i < 1 || i > kCementValues)
    throw std::out_of_range(fmt::format("cement value {} is outside 1..{}", i, kCementValues));
  if (SelectedCement < 1 || SelectedCement > CementCount) return 0.0;
  return values_[SelectedCement - 1][i - 1];
}

const std::string& TVemtoCement::Name(int k) const {
  if (k < 1 || k > CementCount)
    throw std::out_of_range(
        fmt::format("cement type {} does not exist; there are {} types", k, CementCount));
  return names_[k - 1];
}

double TVemtoCement::TypeValue(int k, int i) const {
  if (k < 1 || k > CementCount)
    throw std::out_of_range(
        fmt::format("cement type {} does not exist; there are {} types", k, CementCount));
  if (i < 1 || i > kCementValues)
    throw std::out_of_range(fmt::format("cement value {} is outside 1..{}", i, kCementValues));
  return values_[k - 1][i - 1];
}

void TVemtoCement::Select(int k) {
  if (k < 1 || k > CementCount)
    throw std::out_of_range(
        fmt::format("cement type {} does not exist; there are {} types", k, CementCount));
  SelectedCement = k;
}

// ---------------------------------------------------------------------------------------
// TVemtoConcrete

bool TVemtoConcrete::ReadFromFile(const fs::path& file) {
  Constants.fill(0.0);
  const auto text = ReadWholeFile(file);
  if (!text) return false;
  const auto lines = SplitLines(*text);
  if (lines.size() < static_cast<std::size_t>(kConcreteConstants))
    throw PropertyFileError(fmt::format("\"{}\" has {} lines; {} constants are needed",
                                        file.string(), lines.size(), kConcreteConstants));
  std::array<double, kConcreteConstants> c{};
  for (std::size_t k = 0; k < c.size(); ++k) c[k] = FirstReal(lines[k], file, k + 1);
  Constants = c;
  return true;
}

double TVemtoConcrete::Value(int k) const {
  if (k < 1 || k > kConcreteConstants)
    throw std::out_of_range(
        fmt::format("concrete constant c{} is outside c1..c{}", k, kConcreteConstants));
  return Constants[static_cast<std::size_t>(k - 1)];
}

// ---------------------------------------------------------------------------------------
// Appending a cement type

std::string FormatCementReal(double value) {
  if (!std::isfinite(value))
    throw std::invalid_argument(fmt::format("a cement value must be finite, not {}", value));
  // fmt gives d.ddddddddddddddE+dd; widen the exponent to four digits.
  std::string s = fmt::format("{:.14E}", value);
  const std::size_t e = s.find('E');
  const char sign = s[e + 1];
  const std::string digits = s.substr(e + 2);
  std::string out = (s[0] == '-') ? std::string() : std::string(" ");
  out += s.substr(0, e);
  out += 'E';
  out += sign;
  out += std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0');
  out += digits;
  return out;
}

int AppendCementType(const fs::path& file, std::string_view name, const CementFit& values) {
  if (name.empty()) throw std::invalid_argument("the name of a cement type must not be empty");
  if (name.find_first_of("\r\n") != std::string_view::npos)
    throw std::invalid_argument("the name of a cement type must not contain a line break");
  std::array<std::string, 6> formatted;
  for (std::size_t i = 0; i < values.size(); ++i) formatted[i] = FormatCementReal(values[i]);

  const auto text = ReadWholeFile(file);
  if (!text)
    throw PropertyFileError(
        fmt::format("\"{}\" does not exist; no cement type was added", file.string()));
  const CementTable table = ParseCementText(*text, file);
  if (table.count >= kMaxCementTypes)
    throw PropertyFileError(fmt::format("\"{}\" already holds {} cement types, the most allowed",
                                        file.string(), kMaxCementTypes));

  const auto lines = SplitLines(*text);
  const std::size_t blockEnd = 1 + static_cast<std::size_t>(table.count) * (1 + kCementValues);
  // Line 1 keeps its blanks and its note; only the count changes.
  const std::string_view first = lines[0];
  const std::size_t digits = first.find_first_not_of(" \t+");
  const std::size_t after = first.find_first_not_of("0123456789", digits);
  std::string out =
      std::string(first.substr(0, digits)) + std::to_string(table.count + 1) +
      std::string(after == std::string_view::npos ? std::string_view() : first.substr(after)) +
      "\n";
  for (std::size_t i = 1; i < blockEnd; ++i) {
    out += lines[i];
    out += '\n';
  }
  out += name;
  out += "\n1\n";
  for (const auto& v : formatted) {
    out += v;
    out += '\n';
  }
  for (std::size_t i = blockEnd; i < lines.size(); ++i) {
    out += lines[i];
    out += '\n';
  }

  // A complete new file replaces the old one (same permissions, on disk before the
  // rename), so that an interrupted append never damages the file.
  try {
    ReplaceFile(file.string(), std::vector<std::uint8_t>(out.begin(), out.end()));
  } catch (const FileError& e) {
    throw PropertyFileError(
        fmt::format("\"{}\" cannot be rewritten: {}", file.string(), e.Detail()));
  }
  return table.count + 1;
}

}  // namespace vemto
