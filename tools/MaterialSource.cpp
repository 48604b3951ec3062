#include "MaterialSource.h"

#include <fmt/format.h>
#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace vemto::tools {

namespace {

std::string_view Trim(std::string_view s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::optional<double> ParseReal(std::string_view s) {
  double v = 0.0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> ParseInt(std::string_view s) {
  int v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

struct Block {
  std::string Name;
  int Line = 0;
  std::optional<int> Kind;
  int Cement = 1;
  std::optional<double> Content;
  std::optional<double> Ratio;
  std::vector<std::pair<int, double>> Properties;
  std::vector<std::pair<int, int>> Options;
};

}  // namespace

void ReadMaterialSource(const std::filesystem::path& source,
                        const std::filesystem::path& propertyFolder, TVemtoMaterialList& out) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw MaterialSourceError(fmt::format("{}: cannot be read", source.string()));
  const std::string file = source.string();

  std::vector<Block> blocks;
  std::string raw;
  int lineNo = 0;
  auto fail = [&](int line, const std::string& what) {
    return MaterialSourceError(fmt::format("{}:{}: {}", file, line, what));
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    std::string_view line = raw;
    if (const auto hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;
    const auto space = line.find_first_of(" \t");
    const std::string_view key = line.substr(0, space);
    const std::string_view value =
        space == std::string_view::npos ? std::string_view{} : Trim(line.substr(space));
    if (key == "material") {
      if (value.empty()) throw fail(lineNo, "a material needs a name");
      blocks.push_back(Block{std::string(value), lineNo});
      continue;
    }
    if (blocks.empty()) throw fail(lineNo, fmt::format("\"{}\" before the first material", key));
    Block& b = blocks.back();
    auto real = [&]() {
      const auto v = ParseReal(value);
      if (!v) throw fail(lineNo, fmt::format("\"{}\" is not a number", value));
      return *v;
    };
    if (key == "kind") {
      if (value == "heat")
        b.Kind = 1;
      else if (value == "inert")
        b.Kind = 0;
      else
        throw fail(lineNo, fmt::format("kind \"{}\" is neither heat nor inert", value));
    } else if (key == "cement") {
      const auto v = ParseInt(value);
      if (!v || *v < 1)
        throw fail(lineNo, fmt::format("cement type \"{}\" is not 1 or more", value));
      b.Cement = *v;
    } else if (key == "content") {
      b.Content = real();
    } else if (key == "wc") {
      b.Ratio = real();
    } else if (key.size() > 1 && key[0] == 'P') {
      const auto k = ParseInt(key.substr(1));
      if (!k || *k < 1 || *k > kMaterialProperties)
        throw fail(lineNo,
                   fmt::format("property \"{}\" is not P1 .. P{}", key, kMaterialProperties));
      b.Properties.emplace_back(*k, real());
    } else if (key.starts_with("option")) {
      const auto k = ParseInt(key.substr(6));
      if (!k || *k < 1 || *k > kMaterialOptions)
        throw fail(lineNo, fmt::format("\"{}\" is not option1 .. option{}", key, kMaterialOptions));
      const auto v = ParseInt(value);
      if (!v || (*v != 0 && *v != 1))
        throw fail(lineNo, fmt::format("option value \"{}\" is not 0 or 1", value));
      b.Options.emplace_back(*k, *v);
    } else {
      throw fail(lineNo, fmt::format("unknown key \"{}\"", key));
    }
  }

  for (const Block& b : blocks) {
    if (!b.Kind) throw fail(b.Line, fmt::format("material \"{}\" has no kind", b.Name));
    if (!b.Content) throw fail(b.Line, fmt::format("material \"{}\" has no content", b.Name));
    if (!b.Ratio) throw fail(b.Line, fmt::format("material \"{}\" has no wc", b.Name));
    if (out.Contains(b.Name))
      throw fail(b.Line, fmt::format("material \"{}\" is defined twice", b.Name));
    std::unique_ptr<TVemtoMaterial> m;
    try {
      m = std::make_unique<TVemtoMaterial>(b.Name, *b.Kind, b.Cement, *b.Content, *b.Ratio,
                                           propertyFolder);
    } catch (const std::exception& e) {
      throw fail(b.Line, e.what());
    }
    for (const auto& [k, v] : b.Properties) m->P(k) = v;
    for (const auto& [k, v] : b.Options) m->Option(k) = v;
    out.Add(std::move(m));
  }
}

}  // namespace vemto::tools
