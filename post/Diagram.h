// The diagrams of the result library, drawn through the drawing callbacks: smooth
// distributions over the eight-node elements with a colour bar, isolines, the
// deformed shape, stress crosses, the crack-risk view, history charts and the cursor
// markers. No toolkit; the program and the command line render the callbacks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PostDrawing.h"
#include "ResultReader.h"

namespace vemto::post {

/// Colour (0xRRGGBB) of index 0 … 15 of the mesh drawing's palette 0 (colour) or 1
/// (grey scale).
std::uint32_t PaletteColour(int palette, int index);
/// Number of colour bands of a distribution (palette indices 3 … 12).
inline constexpr int kBands = 10;

/// Where and how to draw: the callbacks, the size in pixels and the palette.
struct Surface {
  const VemtoPostDrawing* dc = nullptr;
  int width = 0;    ///< pixels
  int height = 0;   ///< pixels
  int palette = 0;  ///< 0 colour, 1 grey scale
};

/// The mapping from the section (m, y upwards) to pixels of the drawing area that
/// leaves room for the colour bar; the same for every diagram over the section.
struct View {
  double scale = 1.0;         ///< pixels per metre
  double x0 = 0.0, y0 = 0.0;  ///< pixel of the section point (0, 0)
  double X(double x) const { return x0 + scale * x; }
  double Y(double y) const { return y0 - scale * y; }
  double ToX(double px) const { return (px - x0) / scale; }
  double ToY(double py) const { return (y0 - py) / scale; }
};
View SectionView(const ResultReader& r, const Surface& s);
/// The same over the marked elements only (per element: included).
View SectionView(const ResultReader& r, const Surface& s, const std::vector<char>& elements);

/// A distribution over the section at one stored time.
struct Distribution {
  Field field = Field::Temperature;
  int component = 0;    ///< component of the field (stresses: StressComponent)
  double hours = 0.0;   ///< stored time; the nearest stored time is drawn
  double lower = -1.0;  ///< colour range in shown units; −1: automatic
  double upper = -1.0;
  int lines = 0;                 ///< 0: colour fill; > 0: that many isolines on white
  bool peakUpTo = false;         ///< the largest value reached up to the time (crack risk)
  std::vector<double> contours;  ///< levels drawn as black lines over the fill
};

/// Factor from database units to the units shown (°C, h, %, MPa, ratio).
double ShownFactor(Field field);
/// The unit shown for a field.
std::string ShownUnit(Field field);

/// Values of a distribution at its stored time: per Gauss point or node as stored,
/// scaled to shown units; the peak over earlier stored times when asked.
std::vector<double> DistributionValues(const ResultReader& r, const Distribution& d, std::size_t k);

/// Draws a distribution with its colour bar; throws ResultError when the field is not
/// stored at that time.
void DrawDistribution(const ResultReader& r, const Surface& s, const Distribution& d);
/// The deformed shape at a stored time over the undeformed outline; scale ≤ 0: the
/// largest displacement is drawn as 5 % of the section's size.
void DrawDeformed(const ResultReader& r, const Surface& s, double hours, double scale);
/// Principal stresses as crosses at the element centres (red tension, blue
/// compression); scale multiplies the automatic length.
void DrawStressCrosses(const ResultReader& r, const Surface& s, double hours, double scale);

/// A chart of one or more curves over time (h); NaN values leave gaps.
struct Curve {
  std::vector<double> hours;
  std::vector<double> values;  ///< shown units
  std::uint32_t rgb = 0;
  std::string label;
};
void DrawChart(const Surface& s, double left, double top, double right, double bottom,
               const std::vector<Curve>& curves, const std::string& title, const std::string& unit);

/// The cursor markers: kind 1 a cross at (x1, y1), kind 2 the rectangle.
void DrawMarkers(const ResultReader& r, const Surface& s, int kind, double x1, double y1, double x2,
                 double y2);

/// The crack-risk series: per stored time the largest stress/strength ratio in the
/// existing concrete and the difference between the hottest concrete node and the
/// coldest node on the concrete's surface (°C).
struct CrackRiskSeries {
  std::vector<double> hours, ratio, coreToSurface;
};
CrackRiskSeries CrackRisk(const ResultReader& r);
/// The crack-risk view: the largest ratio reached up to the time over the section
/// with the lines at 1.0 and at `threshold`, and below it the two histories.
void DrawCrackRisk(const ResultReader& r, const Surface& s, double hours, double threshold);

/// Values per node given by the caller (shown units), for maps that are not stored in
/// the database (a crack probability over many runs).
struct NodalMap {
  std::vector<double> values;  ///< one per node of the mesh
  std::vector<char> elements;  ///< per element: drawn
  std::string title;           ///< caption of the colour bar
  std::string caption;         ///< second line of the colour bar
  double lower = -1.0;         ///< colour range; −1: automatic
  double upper = -1.0;
  std::vector<double> contours;  ///< levels drawn as black lines over the fill
};
/// Draws a nodal map over the marked elements with its colour bar; throws ResultError
/// when the sizes do not fit the mesh.
void DrawNodalMap(const ResultReader& r, const Surface& s, const NodalMap& m);

/// "N stored times h apart" for notes on peaks taken at stored times only.
std::string StoredTimesNote(const ResultReader& r);

}  // namespace vemto::post
