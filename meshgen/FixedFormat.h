// Fixed-width number fields of the analysis data file.
//
// The file is read free-format, so every field below keeps at least one blank
// between two numbers even where the nominal width would be exceeded (a
// negative value filling its whole field, a three-digit exponent).
#pragma once

#include <string>

namespace meshgen {

/// Exponent form "0.ddd…E±xx" of `v` with `digits` digits after the point
/// (correctly rounded). Exponents of magnitude 100 and more get three digits
/// and keep the letter E ("0.150000000E+100"), so any free-format reader still
/// reads them. Zero is "0.000…E+00". `v` must be finite.
std::string ExponentText(double v, int digits);

/// Appends `v` right-aligned in `width` columns (Iw). A number whose text fills
/// the field or is longer gets a blank in front of it, so that fields written
/// without separators never join.
void AppendInt(std::string& out, long long v, int width);

/// Appends `text` right-aligned in `width` columns; when it fills the field or
/// is longer a blank is put in front, so it never joins the field before it.
void AppendField(std::string& out, const std::string& text, int width);

/// E16: exponent form with 9 digits, right-aligned in 16 columns.
std::string E16(double v);
/// E19: exponent form with 10 digits, right-aligned in 19 columns.
std::string E19(double v);
/// G16: for v = 0 or 0.1 <= |v| < 1e9 (after rounding to 9 significant
/// digits) fixed-point with 9 significant digits in 12 columns followed by
/// 4 blanks; otherwise E16.
std::string G16(double v);

}  // namespace meshgen
