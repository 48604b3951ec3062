// A small stroke (vector) font for the mesher's drawings.
//
// Every glyph is a set of polylines on a grid 4 units wide and 6 units high
// (baseline at 0, cap height 6); a character cell is 6 units wide, so letters
// keep 2 units of space between them. Lower-case letters are drawn as capitals;
// a printable character without a glyph of its own is drawn as "?".
#pragma once

#include <string_view>
#include <vector>

namespace meshgen {

/// A point in drawing units (x to the right, y upwards).
struct DrawPoint {
  double x = 0.0;
  double y = 0.0;
};

/// One connected stroke of a glyph, at least two points.
using Stroke = std::vector<DrawPoint>;

/// The strokes of `text` written with the lower-left corner of its first
/// character cell at (x, y); `size` is the cap height and the advance per
/// character, in drawing units (> 0). Blanks and control characters draw nothing
/// but advance.
std::vector<Stroke> TextStrokes(std::string_view text, double x, double y, double size);

/// True when `c` has a glyph of its own (or as its capital).
bool HasGlyph(char c);

}  // namespace meshgen
