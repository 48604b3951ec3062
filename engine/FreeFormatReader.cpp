#include "FreeFormatReader.h"

#include <charconv>
#include <cmath>

#include <fmt/format.h>

namespace vemto::engine {

namespace {

inline bool IsSeparator(char c) {
  return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

bool ParseReal(std::string_view token, double& value) {
  if (token.empty() || token.size() > 64) return false;
  char buf[72] = {};
  std::size_t n = 0;
  for (char c : token) buf[n++] = (c == 'D' || c == 'd') ? 'E' : c;
  const char* first = buf;
  const char* last = buf + n;
  if (*first == '+') ++first;
  if (first == last) return false;
  double v = 0.0;
  const auto res = std::from_chars(first, last, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != last || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseInteger(std::string_view token, std::int32_t& value) {
  if (token.empty()) return false;
  const char* first = token.data();
  const char* last = first + token.size();
  if (*first == '+') ++first;
  if (first == last) return false;
  std::int32_t v = 0;
  const auto res = std::from_chars(first, last, v, 10);
  if (res.ec != std::errc() || res.ptr != last) return false;
  value = v;
  return true;
}

FreeFormatReader::FreeFormatReader(std::istream& in, std::string fileName)
    : in_(in), fileName_(std::move(fileName)) {}

bool FreeFormatReader::NextLine() {
  if (!std::getline(in_, text_)) {
    haveLine_ = false;
    return false;
  }
  ++line_;
  pos_ = 0;
  haveLine_ = true;
  return true;
}

std::string FreeFormatReader::ReadRawLine(std::size_t width) {
  inRecord_ = false;
  if (!NextLine()) {
    hitEnd_ = true;
    Fail("unexpected end of file");
  }
  std::string s = text_.substr(0, width);
  if (!s.empty() && s.back() == '\r') s.pop_back();
  s.resize(width, ' ');
  haveLine_ = false;
  return s;
}

void FreeFormatReader::BeginRecord() {
  inRecord_ = true;
  haveLine_ = false;
}

std::string_view FreeFormatReader::NextToken(std::string_view what) {
  if (!inRecord_) BeginRecord();
  for (;;) {
    if (haveLine_) {
      while (pos_ < text_.size() && IsSeparator(text_[pos_])) ++pos_;
      if (pos_ < text_.size()) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSeparator(text_[pos_])) ++pos_;
        return std::string_view(text_).substr(start, pos_ - start);
      }
    }
    if (!NextLine()) {
      hitEnd_ = true;
      Fail(fmt::format("unexpected end of file while reading {}", what));
    }
  }
}

double FreeFormatReader::NextReal(std::string_view what) {
  const std::string_view tok = NextToken(what);
  double v = 0.0;
  if (!ParseReal(tok, v)) Fail(fmt::format("\"{}\" is not a number ({})", tok, what));
  return v;
}

std::int32_t FreeFormatReader::NextInteger(std::string_view what) {
  const std::string_view tok = NextToken(what);
  std::int32_t v = 0;
  if (!ParseInteger(tok, v)) Fail(fmt::format("\"{}\" is not an integer ({})", tok, what));
  return v;
}

void FreeFormatReader::EndRecord() {
  inRecord_ = false;
  haveLine_ = false;
}

void FreeFormatReader::ReadReals(std::span<double> values, std::string_view what) {
  BeginRecord();
  for (double& v : values) v = NextReal(what);
  EndRecord();
}

void FreeFormatReader::ReadIntegers(std::span<std::int32_t> values, std::string_view what) {
  BeginRecord();
  for (std::int32_t& v : values) v = NextInteger(what);
  EndRecord();
}

bool FreeFormatReader::AtEnd() {
  // Only used between records: look ahead for a non-blank line without consuming it
  // when there is one (the stream position is restored).
  const auto mark = in_.tellg();
  const long lineMark = line_;
  std::string s;
  bool end = true;
  while (std::getline(in_, s)) {
    if (s.find_first_not_of(" ,\t\r\f\v") != std::string::npos) {
      end = false;
      break;
    }
  }
  in_.clear();
  if (mark != std::streampos(-1)) in_.seekg(mark);
  line_ = lineMark;
  return end;
}

void FreeFormatReader::Fail(std::string_view what) const {
  throw InputError(fmt::format("{}, line {}: {}", fileName_, line_, what));
}

}  // namespace vemto::engine
