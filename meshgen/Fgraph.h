// The mesher's drawing module (FGRAPH): a device context given by the caller,
// two palettes of 16 pens and brushes, a test picture and the drawing of the
// finished mesh.
//
// Drawing coordinates are units on a view of 100 x 75; a point (x, y) maps to
// pixel column nearest(x * width / 100) and row nearest(height * (1 - y / 75)), so
// y grows upwards. Every call on a null device context, or with a width or height
// below 1, draws nothing. The state is module-level (one per library), meant for
// the thread that owns the device context.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "MeshDrawing.h"

namespace meshgen::fgraph {

inline constexpr double kViewWidth = 100.0;  ///< width of the drawing view, units
inline constexpr double kViewHeight = 75.0;  ///< height of the drawing view, units
inline constexpr int kColours = 16;          ///< colour indices 0 ... 15
inline constexpr int kBlack = 15;            ///< colour index of the mesh lines

/// Colour (0xRRGGBB) of index 0 ... 15 in palette 0 (colour) or 1 (grey scale).
std::uint32_t PaletteColour(int palette, int index);

/// Stores the device context, its size in pixels and the drawing switch, and
/// creates the pens and brushes of palette 0.
void Init(const VemtoMeshDrawing* dc, std::int32_t width, std::int32_t height,
          std::int32_t drawSwitch);
/// Stores the four values and leaves the pens and brushes as they are.
void Update(const VemtoMeshDrawing* dc, std::int32_t width, std::int32_t height,
            std::int32_t drawSwitch);
/// Deletes all pens and brushes; later drawing keeps the device's own pen and brush.
void Destroy();
/// Replaces the pens and brushes by those of palette 0 or 1; any other value
/// changes nothing.
void SetPalette(std::int32_t palette);
/// The palette whose pens exist (0 or 1), or -1 after Destroy.
int CurrentPalette();
/// True when the mesh is to be drawn at the end of a run (switch 1).
bool MeshDrawingOn();

/// The test picture: a frame around the view, a fan of coloured lines, a filled
/// polygon and the text "HEJ HOPP!".
void DrawTestPicture();

/// The finished mesh as the mesher holds it (creation numbering).
struct MeshPicture {
  std::int32_t nodeCount = 0;     ///< nodes 1 ... nodeCount
  std::span<const double> x;      ///< node x, m
  std::span<const double> y;      ///< node y, m
  std::int32_t elementCount = 0;  ///< elements 1 ... elementCount
  std::span<const int> ncon;      ///< 8 node numbers per element, counter-clockwise
  std::span<const int> ncn;       ///< nodes used per element (3, 4, 5 or 8)
  std::span<const int> type;      ///< element type per element (1, 2 or 5)
};

/// Number of straight pieces each element side is drawn with.
inline constexpr int kSideSteps = 8;

/// Draws the mesh in a frame on the view, with its title (the first 65
/// characters of `title` are drawn) and the extreme coordinates at the axes.
/// Elements naming a node outside 1 ... nodeCount and nodes with non-finite
/// coordinates are left out.
void DrawMesh(const MeshPicture& mesh, std::string_view title);

/// The problem title carried in ten reals (80 raw bytes), up to its first zero
/// byte, with characters outside printable ASCII shown as blanks.
std::string TitleText(std::span<const double, 10> words);

/// An axis label: "%6.3f" for |v| < 1e-10, otherwise exponent form with three
/// digits right-aligned in 10 characters (" 0.150E+01").
std::string AxisLabel(double v);

}  // namespace meshgen::fgraph
