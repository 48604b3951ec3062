#include "FixedFormat.h"

#include <fmt/format.h>

#include <cassert>
#include <cmath>
#include <cstdlib>

namespace meshgen {
namespace {

/// Decimal digits and exponent of v rounded to `digits` significant digits,
/// such that |v| = 0.d1d2…dn × 10^exponent (exponent 0 for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

Decimal Decompose(double v, int digits) {
  assert(std::isfinite(v));
  assert(digits >= 1);
  Decimal d;
  d.negative = std::signbit(v);
  if (v == 0.0) {
    d.digits.assign(static_cast<std::size_t>(digits), '0');
    d.exponent = 0;
    return d;
  }
  // "d.ddddde±xx": correctly rounded scientific form.
  const std::string s = fmt::format("{:.{}e}", std::fabs(v), digits - 1);
  const auto e = s.find('e');
  assert(e != std::string::npos);
  d.digits.reserve(static_cast<std::size_t>(digits));
  for (std::size_t i = 0; i < e; ++i)
    if (s[i] != '.') d.digits.push_back(s[i]);
  d.exponent = std::atoi(s.c_str() + e + 1) + 1;
  return d;
}

}  // namespace

std::string ExponentText(double v, int digits) {
  const Decimal d = Decompose(v, digits);
  const int ae = std::abs(d.exponent);
  return fmt::format("{}0.{}E{}{:02d}", d.negative ? "-" : "", d.digits, d.exponent < 0 ? '-' : '+',
                     ae);
}

void AppendField(std::string& out, const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w)
    out.push_back(' ');
  else
    out.append(w - text.size(), ' ');
  out += text;
}

void AppendInt(std::string& out, long long v, int width) {
  AppendField(out, fmt::format("{}", v), width);
}

std::string E16(double v) {
  std::string out;
  const std::string t = ExponentText(v, 9);
  if (t.size() < 16) out.append(16 - t.size(), ' ');
  out += t;
  return out;
}

std::string E19(double v) {
  std::string out;
  const std::string t = ExponentText(v, 10);
  if (t.size() < 19) out.append(19 - t.size(), ' ');
  out += t;
  return out;
}

std::string G16(double v) {
  const Decimal d = Decompose(v, 9);
  const bool fixed = v == 0.0 || (d.exponent >= 0 && d.exponent <= 9);
  if (!fixed) return E16(v);
  std::string t = d.negative ? "-" : "";
  if (v == 0.0) {
    t = "0.00000000";  // zero: 8 decimals, as F12.8
  } else if (d.exponent == 0) {
    t += "0." + d.digits;
  } else {
    const auto e = static_cast<std::size_t>(d.exponent);
    t += d.digits.substr(0, e) + "." + d.digits.substr(e);
  }
  std::string out;
  if (t.size() < 12) out.append(12 - t.size(), ' ');
  out += t;
  out.append(4, ' ');
  return out;
}

}  // namespace meshgen
