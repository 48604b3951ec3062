// The program's one number formatter and reader: numbers shown in windows and read back
// from them, always with "." as the decimal separator, whatever the user's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vemto {

/// The general format "%g" of the program: the shortest form with at most 15
/// significant digits (168 gives "168", 168/34 gives "4.94117647058824").
std::string FormatG(double value);
/// The general format with `digits` significant digits ("%.4g"), without padding.
std::string FormatG(double value, int digits);

/// Reads a decimal number (leading and trailing blanks allowed, "." separator, an
/// optional sign and exponent). Empty when the text is not one finite number.
std::optional<double> ParseReal(std::string_view text);
/// Reads a whole number (blanks around it allowed, optional sign). Empty when the text
/// is not one whole number within 64 bits.
std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace vemto
