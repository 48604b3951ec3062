// The input listing: a readable echo of every input value of the mesher, with labels
// and units, written before anything is meshed.
//
// Layout: every line starts with six blanks, except separator lines, which hold a
// single blank. Integers right-aligned in fixed columns (I3 ... I12); reals in the
// exponent form 0.ddddddE+xx right-aligned in 12 or 13 columns. Times are listed in
// hours, the heat of hydration in kJ/kg, everything else as given.
#pragma once

#include <string>
#include <vector>

#include "MeshgenArgs.h"

namespace meshgen {

/// Error line when the listing file cannot be written.
inline constexpr const char* kErrListingFile = " INPUT LISTING FILE NOT AVAILABLE!";

/// The complete text of the input listing ("\n" line ends). Expects arguments that
/// passed CheckArrayLayout.
std::string FormatInputListing(const MeshgenArgs& args);

/// Writes FormatInputListing(args) to fileName (created or replaced). Throws
/// numlib::FatalStop(kErrListingFile) when the file cannot be created or written.
void WriteInputListing(const std::string& fileName, const MeshgenArgs& args);

/// Exponent form of the listing: "0.dddddd" with `digits` digits after the point,
/// "E", the exponent sign and two digits (three when needed); "-" in front of
/// negative values. Non-finite values are written as "NaN", "Infinity", "-Infinity".
std::string ListingExponent(double value, int digits = 6);

/// Appends `lines` to the listing in fileName, each after the six-blank indent, below a
/// separator line. Throws numlib::FatalStop(kErrListingFile) when the file cannot be
/// written.
void AppendToInputListing(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace meshgen
