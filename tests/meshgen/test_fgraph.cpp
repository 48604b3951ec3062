// The mesher's drawing module on a recording device: palettes, pixel mapping,
// the test picture, the mesh drawing by element type, the switch, and the
// exported entry points of the shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Fgraph.h"
#include "MeshDrawing.h"
#include "MesherRun.h"
#include "StrokeFont.h"
#include "mesh_test_model.h"

extern "C" {
void FGRAPH_mp_init(const VemtoMeshDrawing*, std::int32_t, std::int32_t, std::int32_t);
void FGRAPH_mp_update(const VemtoMeshDrawing*, std::int32_t, std::int32_t, std::int32_t);
void FGRAPH_mp_destroy();
void FGRAPH_mp_setpalette(const std::int32_t*);
void FGRAPH_mp_draw();
}

namespace {

using namespace meshgen;
using namespace meshgen::fgraph;

struct Pixel {
  int x = 0, y = 0;
  bool operator==(const Pixel&) const = default;
};

// Records every call on the device.
struct Recording {
  std::vector<std::pair<int, std::uint32_t>> pens, brushes;
  std::vector<std::vector<Pixel>> polylines, polygons;
  std::vector<std::uint32_t> polylineColours;  // pen colour of every polyline
  std::vector<Pixel> moves, lines, pixels;
  std::uint32_t pen = 0xDEAD;  // device default until a pen is selected
  VemtoMeshDrawing device{this, &Pen, &Brush, &MoveTo, &LineTo, &SetPixel, &Polyline, &Polygon};

  Recording() = default;
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;
  // Forgets every call; the device keeps pointing at this recording.
  void Reset() {
    pens.clear(), brushes.clear(), polylines.clear(), polygons.clear();
    polylineColours.clear(), moves.clear(), lines.clear(), pixels.clear();
    pen = 0xDEAD;
  }
  std::size_t Calls() const {
    return pens.size() + brushes.size() + polylines.size() + polygons.size() + moves.size() +
           lines.size() + pixels.size();
  }
  static Recording& Of(void* c) { return *static_cast<Recording*>(c); }
  static std::vector<Pixel> Points(const std::int32_t* xy, std::int32_t n) {
    std::vector<Pixel> p;
    for (int i = 0; i < n; ++i) p.push_back({xy[2 * i], xy[2 * i + 1]});
    return p;
  }
  static void Pen(void* c, std::int32_t i, std::uint32_t rgb) {
    Of(c).pens.emplace_back(i, rgb);
    Of(c).pen = rgb;
  }
  static void Brush(void* c, std::int32_t i, std::uint32_t rgb) {
    Of(c).brushes.emplace_back(i, rgb);
  }
  static void MoveTo(void* c, std::int32_t x, std::int32_t y) { Of(c).moves.push_back({x, y}); }
  static void LineTo(void* c, std::int32_t x, std::int32_t y) { Of(c).lines.push_back({x, y}); }
  static void SetPixel(void* c, std::int32_t x, std::int32_t y, std::uint32_t) {
    Of(c).pixels.push_back({x, y});
  }
  static void Polyline(void* c, const std::int32_t* xy, std::int32_t n) {
    Of(c).polylines.push_back(Points(xy, n));
    Of(c).polylineColours.push_back(Of(c).pen);
  }
  static void Polygon(void* c, const std::int32_t* xy, std::int32_t n) {
    Of(c).polygons.push_back(Points(xy, n));
  }
};

class Fgraph : public ::testing::Test {
 protected:
  // 1000 x 750 pixels: one view unit is 10 pixels.
  void SetUp() override { Init(&rec_.device, 1000, 750, 1); }
  void TearDown() override { Init(nullptr, 0, 0, 0); }

  // Pixel of a view point on the 1000 x 750 device.
  static Pixel At(double x, double y) {
    return {static_cast<int>(std::lround(x * 10.0)),
            static_cast<int>(std::lround(750.0 - y * 10.0))};
  }
  bool HasPolylineFromTo(Pixel a, Pixel b) const {
    return std::any_of(rec_.polylines.begin(), rec_.polylines.end(), [&](const auto& p) {
      return (p.front() == a && p.back() == b) || (p.front() == b && p.back() == a);
    });
  }

  Recording rec_;
};

TEST(FgraphPalette, ColourAndGreyTables) {
  EXPECT_EQ(PaletteColour(0, 0), 0xFFFFFFu);
  EXPECT_EQ(PaletteColour(0, 2), 0xA300FFu);
  EXPECT_EQ(PaletteColour(0, 7), 0x00FFC3u);
  EXPECT_EQ(PaletteColour(0, 9), 0x9FFF00u);
  EXPECT_EQ(PaletteColour(0, 11), 0xFFAB00u);
  EXPECT_EQ(PaletteColour(0, 13), 0xFF00A3u);
  EXPECT_EQ(PaletteColour(0, 14), 0x838383u);
  EXPECT_EQ(PaletteColour(0, 15), 0x000000u);
  EXPECT_EQ(PaletteColour(1, 0), 0xFFFFFFu);
  EXPECT_EQ(PaletteColour(1, 1), 0xEFEFEFu);
  EXPECT_EQ(PaletteColour(1, 13), 0x2F2F2Fu);  // 255 - 16 * 13 = 47
  EXPECT_EQ(PaletteColour(1, 14), 0x1F1F1Fu);
  EXPECT_EQ(PaletteColour(1, 15), 0x000000u);
}

TEST_F(Fgraph, TestPictureMapsTheViewWithYUpwards) {
  FGRAPH_mp_draw();
  ASSERT_FALSE(rec_.polylines.empty());
  // The frame (0.5, 0.5) ... (99.5, 74.5): lower-left is the bottom row.
  const auto& frame = rec_.polylines.front();
  ASSERT_EQ(frame.size(), 5u);
  EXPECT_EQ(frame[0], (Pixel{5, 745}));
  EXPECT_EQ(frame[2], (Pixel{995, 5}));
  // Thirteen coloured lines, each ending with its end pixel.
  EXPECT_EQ(rec_.lines.size(), 13u);
  EXPECT_EQ(rec_.moves.size(), 13u);
  for (const Pixel& p : rec_.lines)
    EXPECT_NE(std::find(rec_.pixels.begin(), rec_.pixels.end(), p), rec_.pixels.end());
  // One filled polygon with the red brush of palette 0.
  ASSERT_EQ(rec_.polygons.size(), 1u);
  ASSERT_EQ(rec_.brushes.size(), 1u);
  EXPECT_EQ(rec_.brushes[0], (std::pair<int, std::uint32_t>{12, 0xFF0000u}));
  // The text strokes stay on the view.
  for (const auto& line : rec_.polylines)
    for (const Pixel& p : line) {
      EXPECT_GE(p.x, 0);
      EXPECT_LE(p.x, 1000);
      EXPECT_GE(p.y, 0);
      EXPECT_LE(p.y, 750);
    }
}

TEST_F(Fgraph, PalettesDestroyAndUpdate) {
  const std::int32_t grey = 1, invalid = 7;
  FGRAPH_mp_setpalette(&grey);
  FGRAPH_mp_draw();
  ASSERT_FALSE(rec_.pens.empty());
  for (const auto& [index, rgb] : rec_.pens) EXPECT_EQ(rgb, PaletteColour(1, index));

  // Another size keeps the grey pens; a value other than 0 or 1 changes nothing.
  FGRAPH_mp_update(&rec_.device, 200, 150, 1);
  FGRAPH_mp_setpalette(&invalid);
  FGRAPH_mp_setpalette(nullptr);
  EXPECT_EQ(CurrentPalette(), 1);
  rec_.Reset();
  FGRAPH_mp_update(&rec_.device, 200, 150, 1);
  FGRAPH_mp_draw();
  for (const auto& [index, rgb] : rec_.pens) EXPECT_EQ(rgb, PaletteColour(1, index));
  EXPECT_EQ(rec_.polylines.front()[2], (Pixel{199, 1}));  // (99.5, 74.5) on 200 x 150

  // Without pens and brushes the device keeps its own, and the picture is still drawn.
  FGRAPH_mp_destroy();
  EXPECT_EQ(CurrentPalette(), -1);
  rec_.Reset();
  FGRAPH_mp_update(&rec_.device, 200, 150, 1);
  FGRAPH_mp_draw();
  EXPECT_TRUE(rec_.pens.empty());
  EXPECT_TRUE(rec_.brushes.empty());
  EXPECT_FALSE(rec_.polylines.empty());
  EXPECT_EQ(rec_.polygons.size(), 1u);

  // Init creates the colour pens again.
  FGRAPH_mp_init(&rec_.device, 200, 150, 1);
  EXPECT_EQ(CurrentPalette(), 0);
}

TEST_F(Fgraph, NoDeviceOrNoCallbacksDrawNothing) {
  const MeshPicture none;
  FGRAPH_mp_init(nullptr, 1000, 750, 1);
  FGRAPH_mp_draw();
  DrawMesh(none, "T");
  FGRAPH_mp_init(&rec_.device, 0, 750, 1);
  FGRAPH_mp_draw();
  FGRAPH_mp_init(&rec_.device, 1000, -5, 1);
  FGRAPH_mp_draw();
  EXPECT_EQ(rec_.Calls(), 0u);
  // A device with no callbacks at all is harmless.
  VemtoMeshDrawing empty{};
  FGRAPH_mp_init(&empty, 1000, 750, 1);
  FGRAPH_mp_draw();
  DrawMesh(none, "T");
  // Four zeros switch the drawing off and create the pens.
  FGRAPH_mp_init(nullptr, 0, 0, 0);
  EXPECT_FALSE(MeshDrawingOn());
  EXPECT_EQ(CurrentPalette(), 0);
}

// One eight-node element on the unit square (nodes counter-clockwise from the
// lower-left corner, corners at 1, 3, 5, 7).
struct UnitSquare {
  std::vector<double> x{0, 0.5, 1, 1, 1, 0.5, 0, 0}, y{0, 0, 0, 0.5, 1, 1, 1, 0.5};
  std::vector<int> ncon{1, 2, 3, 4, 5, 6, 7, 8}, ncn{8}, type{5};
  MeshPicture Picture() const { return {8, x, y, 1, ncon, ncn, type}; }
};

TEST_F(Fgraph, SquareElementFillsTheFrameWithBlackSides) {
  UnitSquare sq;
  DrawMesh(sq.Picture(), "TITLE");
  // The box is square: right side at 63, top at 7.5 + 60 = 67.5.
  const Pixel ll = At(3.0, 7.5), lr = At(63.0, 7.5), ur = At(63.0, 67.5), ul = At(3.0, 67.5);
  EXPECT_TRUE(HasPolylineFromTo(ll, lr));
  EXPECT_TRUE(HasPolylineFromTo(lr, ur));
  EXPECT_TRUE(HasPolylineFromTo(ur, ul));
  EXPECT_TRUE(HasPolylineFromTo(ul, ll));
  // Every side has kSideSteps pieces and runs along the frame; all lines are black.
  const auto side = std::find_if(rec_.polylines.begin(), rec_.polylines.end(),
                                 [&](const auto& p) { return p.front() == ll && p.back() == lr; });
  ASSERT_NE(side, rec_.polylines.end());
  EXPECT_EQ(side->size(), static_cast<std::size_t>(kSideSteps + 1));
  for (const Pixel& p : *side) EXPECT_EQ(p.y, ll.y);
  for (std::uint32_t c : rec_.polylineColours) EXPECT_EQ(c, 0x000000u);
  // Axis marks: 1.5 to 3.0 above the frame at both sides, right of it at bottom and top.
  EXPECT_TRUE(HasPolylineFromTo(At(3.0, 69.0), At(3.0, 70.5)));
  EXPECT_TRUE(HasPolylineFromTo(At(63.0, 69.0), At(63.0, 70.5)));
  EXPECT_TRUE(HasPolylineFromTo(At(64.5, 7.5), At(66.0, 7.5)));
  EXPECT_TRUE(HasPolylineFromTo(At(64.5, 67.5), At(66.0, 67.5)));
}

TEST_F(Fgraph, CurvedSideFollowsItsQuadraticInterpolation) {
  UnitSquare sq;
  sq.y[1] = -0.25;  // bottom mid-side node pulled down: the box grows to 1.25 high
  DrawMesh(sq.Picture(), "");
  // Taller than wide: top at 67.5, scale 60 / 1.25 = 48 units per metre, ymin = -0.25.
  const double s = 48.0;
  auto map = [&](double x, double y) { return At(3.0 + x * s, 7.5 + (y + 0.25) * s); };
  const auto side = std::find_if(rec_.polylines.begin(), rec_.polylines.end(), [&](const auto& p) {
    return p.size() == static_cast<std::size_t>(kSideSteps + 1) && p.front() == map(0, 0) &&
           p.back() == map(1, 0);
  });
  ASSERT_NE(side, rec_.polylines.end());
  // The middle point is the mid-side node; a quarter point lies on the parabola.
  EXPECT_EQ((*side)[kSideSteps / 2], map(0.5, -0.25));
  const double t = -0.5;  // quarter point: y = (1 - t^2) * (-0.25)
  EXPECT_EQ((*side)[kSideSteps / 4], map(0.5 * (t + 1.0), (1.0 - t * t) * -0.25));
  // Right side of the frame at 3 + 60 * 1 / 1.25 = 51.
  EXPECT_TRUE(HasPolylineFromTo(At(51.0, 69.0), At(51.0, 70.5)));
}

TEST_F(Fgraph, InfiniteElementsStopAtLocalCoordinateZero) {
  // A five-node element below the segment (0,1)-(2,1) running down to y = 0, and a
  // three-node corner element with its corner at (2, 1).
  const std::vector<double> x{0, 1, 2, 2, 0, 3, 2}, y{1, 1, 1, 0, 0, 1, 2};
  const std::vector<int> ncon{1, 2, 3, 4, 5, 0, 0, 0, 3, 6, 7, 0, 0, 0, 0, 0};
  const std::vector<int> ncn{5, 3}, type{2, 1};
  DrawMesh({7, x, y, 2, ncon, ncn, type}, "");
  // Box 3 x 2: scale 20 units per metre from (0, 0).
  auto map = [](double px, double py) { return At(3.0 + 20.0 * px, 7.5 + 20.0 * py); };
  EXPECT_TRUE(HasPolylineFromTo(map(0, 1), map(2, 1)));   // finite side 1-2-3
  EXPECT_TRUE(HasPolylineFromTo(map(2, 1), map(2, 0)));   // node 3 to node 4
  EXPECT_TRUE(HasPolylineFromTo(map(0, 1), map(0, 0)));   // node 1 to node 5
  EXPECT_FALSE(HasPolylineFromTo(map(2, 0), map(0, 0)));  // the side at infinity
  EXPECT_TRUE(HasPolylineFromTo(map(2, 1), map(3, 1)));   // corner: node 1 to node 2
  EXPECT_TRUE(HasPolylineFromTo(map(2, 1), map(2, 2)));   // corner: node 1 to node 3
}

TEST_F(Fgraph, DamagedMeshTablesAreSkipped) {
  UnitSquare sq;
  sq.ncon[3] = 99;  // node outside the mesh
  DrawMesh(sq.Picture(), "");
  const std::size_t withTextsOnly = rec_.polylines.size();
  rec_.Reset();
  Init(&rec_.device, 1000, 750, 1);
  UnitSquare good;
  DrawMesh(good.Picture(), "");
  EXPECT_EQ(rec_.polylines.size(), withTextsOnly + 4);  // the four sides

  // Non-finite coordinates and a box of one point draw the texts only, and
  // short tables end the drawing instead of being read past.
  rec_.Reset();
  Init(&rec_.device, 1000, 750, 1);
  UnitSquare nan;
  nan.x[0] = std::nan("");
  for (double& v : nan.y) v = 0.0;
  for (double& v : nan.x) v = std::isnan(v) ? v : 0.0;
  MeshPicture p = nan.Picture();
  p.elementCount = 5;  // more elements than the tables hold
  DrawMesh(p, "");
  for (const auto& line : rec_.polylines)
    for (const Pixel& q : line) EXPECT_LE(std::abs(q.x), 1000);
}

TEST_F(Fgraph, TitleAndAxisLabels) {
  EXPECT_EQ(AxisLabel(0.0), " 0.000");
  EXPECT_EQ(AxisLabel(-1e-12), "-0.000");
  EXPECT_EQ(AxisLabel(1.5), " 0.150E+01");
  EXPECT_EQ(AxisLabel(-0.0125), "-0.125E-01");
  EXPECT_EQ(AxisLabel(12.0).size(), 10u);

  double words[10];
  char bytes[80];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, "Bridge\tdeck", 11);
  std::memcpy(words, bytes, sizeof bytes);
  EXPECT_EQ(TitleText(words), "Bridge deck" + std::string(69, ' '));
  bytes[6] = '\0';
  std::memcpy(words, bytes, sizeof bytes);
  EXPECT_EQ(TitleText(words), "Bridge");

  // Only the first 65 characters of the title are drawn: as many strokes as for 65.
  UnitSquare sq;
  const std::string longTitle(80, 'H');
  DrawMesh(sq.Picture(), longTitle);
  const std::size_t full = rec_.polylines.size();
  rec_.Reset();
  Init(&rec_.device, 1000, 750, 1);
  DrawMesh(sq.Picture(), longTitle.substr(0, 65));
  EXPECT_EQ(rec_.polylines.size(), full);
}

TEST(StrokeFont, GlyphsStayInTheirCells) {
  const std::string text = "HEJ HOPP! 0123456789 -+.:E";
  const double size = 2.0;
  const auto strokes = TextStrokes(text, 10.0, 5.0, size);
  EXPECT_GT(strokes.size(), text.size());
  for (const Stroke& s : strokes) {
    ASSERT_GE(s.size(), 2u);
    for (const DrawPoint& p : s) {
      EXPECT_GE(p.y, 5.0 - 1e-12);
      EXPECT_LE(p.y, 5.0 + size + 1e-12);
      EXPECT_GE(p.x, 10.0 - 1e-12);
      EXPECT_LE(p.x, 10.0 + size * static_cast<double>(text.size()) + 1e-12);
    }
  }
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_TRUE(HasGlyph(c)) << c;
  for (char c = '0'; c <= '9'; ++c) EXPECT_TRUE(HasGlyph(c)) << c;
  // Lower case as capitals; unknown printable characters as "?"; blanks advance only.
  EXPECT_EQ(TextStrokes("hej", 0, 0, 1).size(), TextStrokes("HEJ", 0, 0, 1).size());
  EXPECT_EQ(TextStrokes("#", 0, 0, 1).size(), TextStrokes("?", 0, 0, 1).size());
  EXPECT_TRUE(TextStrokes("   ", 0, 0, 1).empty());
  const auto shifted = TextStrokes(" I", 0, 0, 6.0);
  ASSERT_FALSE(shifted.empty());
  EXPECT_NEAR(shifted[0][0].x, 6.0 + 1.0, 1e-12);  // second cell, grid x = 1
}

// A whole mesher run draws the mesh only when the switch is 1.
class FgraphRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("meshgen_fgraph_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    model_.listFile = (dir_ / "m.lst").string();
    model_.datFile = (dir_ / "m.dat").string();
    model_.AddNode(0, 0);
    model_.AddNode(2, 0);
    model_.AddNode(2, 1);
    model_.AddNode(0, 1);
    model_.elements.push_back(test::Quad(1, 2, 3, 4, 2, 3));
  }
  void TearDown() override {
    Init(nullptr, 0, 0, 0);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
  test::TestModel model_;
};

TEST_F(FgraphRun, MeshDrawnOnlyWhenSwitchedOn) {
  Recording off, on;
  const MeshgenArgs args = model_.Args();
  FGRAPH_mp_init(&off.device, 1000, 750, 0);
  ASSERT_TRUE(ExecuteMesher(&args));
  EXPECT_EQ(off.Calls(), 0u);

  FGRAPH_mp_init(&on.device, 1000, 750, 1);
  ASSERT_TRUE(ExecuteMesher(&args));
  // 2 x 3 elements, each drawing its own four sides inside the frame.
  std::size_t sides = 0;
  for (const auto& p : on.polylines)
    sides += p.size() == static_cast<std::size_t>(kSideSteps + 1) &&
             std::all_of(p.begin(), p.end(), [](Pixel q) {
               return q.x >= 30 && q.x <= 630 && q.y >= 375 && q.y <= 675;
             });
  EXPECT_EQ(sides, 6u * 4u);
  // The 2 x 1 box spans 60 units wide: frame corners (3, 7.5) and (63, 37.5).
  bool lowerLeft = false, upperRight = false;
  for (const auto& p : on.polylines)
    for (const Pixel& q : p) {
      lowerLeft |= q == Pixel{30, 675};
      upperRight |= q == Pixel{630, 375};
    }
  EXPECT_TRUE(lowerLeft);
  EXPECT_TRUE(upperRight);
}

TEST(FgraphLibrary, SharedLibraryExportsTheDrawingEntryPoints) {
  const std::filesystem::path path = std::filesystem::path(VEMTO_BIN_DIR) / "libmeshgen.so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto init = reinterpret_cast<FgraphInitFn>(dlsym(handle, "FGRAPH_mp_init"));
  auto draw = reinterpret_cast<FgraphDrawFn>(dlsym(handle, "FGRAPH_mp_draw"));
  EXPECT_NE(dlsym(handle, "FGRAPH_mp_update"), nullptr);
  EXPECT_NE(dlsym(handle, "FGRAPH_mp_destroy"), nullptr);
  EXPECT_NE(dlsym(handle, "FGRAPH_mp_setpalette"), nullptr);
  ASSERT_NE(init, nullptr);
  ASSERT_NE(draw, nullptr);
  // The library's own state: drawing through it reaches the device, this
  // executable's copy of the module stays switched off.
  Recording rec;
  init(&rec.device, 100, 75, 1);
  draw();
  EXPECT_FALSE(rec.polylines.empty());
  EXPECT_FALSE(MeshDrawingOn());
  init(nullptr, 0, 0, 0);
  dlclose(handle);
}

}  // namespace
