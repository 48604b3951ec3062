#include "StrokeFont.h"

#include <array>
#include <cassert>
#include <cctype>
#include <string_view>

namespace meshgen {

namespace {

constexpr double kGridHeight = 6.0;  // cap height in grid units
constexpr double kAdvance = 6.0;     // cell width in grid units

// Glyphs as digit pairs (x, y) on the 4 x 6 grid; a blank starts a new stroke.
struct Glyph {
  char c;
  std::string_view strokes;
};

constexpr std::array kGlyphs = {
    Glyph{'0', "100105163645413010 0145"},
    Glyph{'1', "152620 1030"},
    Glyph{'2', "05163645440040"},
    Glyph{'3', "0516364544334241301001 1333"},
    Glyph{'4', "30360242"},
    Glyph{'5', "4606033342413000"},
    Glyph{'6', "4536160501103041423303"},
    Glyph{'7', "064610"},
    Glyph{'8', "13040516364544331302011030414233"},
    Glyph{'9', "0110304145361605041343"},
    Glyph{'A', "0004264440 0343"},
    Glyph{'B', "00063645443303 3342413000"},
    Glyph{'C', "4536160501103041"},
    Glyph{'D', "00063645413000"},
    Glyph{'E', "46060040 0333"},
    Glyph{'F', "460600 0333"},
    Glyph{'G', "45361605011030414323"},
    Glyph{'H', "0006 4046 0343"},
    Glyph{'I', "1636 2620 1030"},
    Glyph{'J', "4641301001"},
    Glyph{'K', "0006 4602 1340"},
    Glyph{'L', "060040"},
    Glyph{'M', "0006234640"},
    Glyph{'N', "00064046"},
    Glyph{'O', "100105163645413010"},
    Glyph{'P', "00063645443303"},
    Glyph{'Q', "100105163645413010 2240"},
    Glyph{'R', "00063645443303 2340"},
    Glyph{'S', "453616050413334241301001"},
    Glyph{'T', "0646 2620"},
    Glyph{'U', "060110304146"},
    Glyph{'V', "062046"},
    Glyph{'W', "0610233046"},
    Glyph{'X', "0046 0640"},
    Glyph{'Y', "062346 2320"},
    Glyph{'Z', "06460040"},
    Glyph{'!', "2622 2021"},
    Glyph{'-', "0343"},
    Glyph{'+', "0343 2125"},
    Glyph{'.', "2021"},
    Glyph{',', "2110"},
    Glyph{':', "2021 2425"},
    Glyph{';', "2110 2425"},
    Glyph{'/', "0046"},
    Glyph{'\\', "0640"},
    Glyph{'(', "36252130"},
    Glyph{')', "16252110"},
    Glyph{'[', "36262030"},
    Glyph{']', "16262010"},
    Glyph{'<', "350331"},
    Glyph{'>', "154311"},
    Glyph{'=', "0242 0444"},
    Glyph{'_', "0040"},
    Glyph{'\'', "2625"},
    Glyph{'"', "1615 3635"},
    Glyph{'*', "2125 0442 0244"},
    Glyph{'%', "0046 0516 3041"},
    Glyph{'?', "051636454422 2021"},
};

const Glyph* FindGlyph(char c) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Glyph& g : kGlyphs)
    if (g.c == upper) return &g;
  return nullptr;
}

}  // namespace

bool HasGlyph(char c) {
  return FindGlyph(c) != nullptr;
}

std::vector<Stroke> TextStrokes(std::string_view text, double x, double y, double size) {
  assert(size > 0.0);
  const double scale = size / kGridHeight;
  std::vector<Stroke> strokes;
  double left = x;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    const Glyph* glyph = nullptr;
    if (u > 32 && u < 127) {
      glyph = FindGlyph(c);
      if (glyph == nullptr) glyph = FindGlyph('?');
    }
    if (glyph != nullptr) {
      Stroke stroke;
      const std::string_view s = glyph->strokes;
      for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == ' ') {
          if (stroke.size() >= 2) strokes.push_back(std::move(stroke));
          stroke.clear();
          continue;
        }
        assert(i + 1 < s.size());
        const double gx = s[i] - '0';
        const double gy = s[i + 1] - '0';
        stroke.push_back({left + gx * scale, y + gy * scale});
        ++i;
      }
    }
    left += kAdvance * scale;
  }
  return strokes;
}

}  // namespace meshgen
