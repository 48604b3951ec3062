#include "NumberText.h"

#include <charconv>
#include <cmath>

#include <fmt/format.h>

namespace vemto {

namespace {

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// from_chars takes no leading '+'.
std::string_view WithoutPlus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  return text;
}

}  // namespace

std::string FormatG(double value) {
  return FormatG(value, 15);
}

std::string FormatG(double value, int digits) {
  std::string s = fmt::format("{:.{}g}", value, digits);
  if (s == "-0") s = "0";
  return s;
}

std::optional<double> ParseReal(std::string_view text) {
  text = WithoutPlus(Trimmed(text));
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  text = WithoutPlus(Trimmed(text));
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace vemto
