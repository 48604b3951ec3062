#include "ExportCommand.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "DataFileReader.h"
#include "Quad8.h"

namespace vemto::cli {
namespace {

namespace fs = std::filesystem;
using numlib::DataFileReader;

constexpr double kGauss = 0.5773502691896257;
constexpr double kGaussPoints[4][2] = {
    {-kGauss, -kGauss}, {kGauss, -kGauss}, {-kGauss, kGauss}, {kGauss, kGauss}};

class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The mesh and the storage events of a result database.
struct Results {
  std::string file;
  std::vector<double> x, y;                           // node coordinates, m
  std::vector<std::array<std::int32_t, 8>> elements;  // 0-based node indices
  std::vector<double> hours;                          // time of each event, h
  std::int64_t events = 0;
};

Results Open(DataFileReader& r) {
  Results s;
  s.file = r.FileName();
  const auto coor = r.ReadReals("COOR");
  const auto top = r.ReadIntegers("ITOP");
  if (coor.rows != 2 || top.rows != 8)
    throw ExportError(s.file + ": the mesh matrices COOR and ITOP have wrong sizes");
  for (std::int64_t n = 1; n <= coor.columns; ++n) {
    s.x.push_back(coor(1, n));
    s.y.push_back(coor(2, n));
  }
  for (std::int64_t e = 1; e <= top.columns; ++e) {
    std::array<std::int32_t, 8> nodes{};
    for (int i = 0; i < 8; ++i) {
      const std::int32_t node = top(i + 1, e);
      if (node < 1 || node > coor.columns)
        throw ExportError(fmt::format("{}: element {} refers to node {}, but there are {} nodes",
                                      s.file, e, node, coor.columns));
      nodes[i] = node - 1;
    }
    s.elements.push_back(nodes);
  }
  if (!r.HasTime())
    throw ExportError(s.file +
                      ": the run did not end normally (no TIME); the storage times are not known");
  const auto time = r.ReadReals("TIME");
  s.events = std::min<std::int64_t>(r.EventCount(), static_cast<std::int64_t>(time.values.size()));
  for (std::int64_t k = 1; k <= s.events; ++k) s.hours.push_back(time.values[k - 1] / 3600.0);
  return s;
}

/// A stored field of event k, or nothing when that event does not hold it. Checks
/// that the size fits the mesh: `perItem` values per node or per element.
std::optional<std::vector<double>> Field(DataFileReader& r, const Results& s, char letter,
                                         std::int64_t k, bool perNode, std::size_t perItem) {
  const numlib::DataBlock* block = r.Find(DataFileReader::EventName(letter, k));
  if (block == nullptr) return std::nullopt;
  std::vector<double> values = r.ReadReals(*block).values;
  const std::size_t items = perNode ? s.x.size() : s.elements.size();
  if (values.size() != items * perItem)
    throw ExportError(fmt::format("{}: field {} of event {} has {} values, {} expected", s.file,
                                  letter, k, values.size(), items * perItem));
  return values;
}

/// Physical position of Gauss point g (0..3) of element e.
std::array<double, 2> GaussPosition(const Results& s, std::size_t e, int g) {
  const std::array<double, 8> n = numlib::Quad8Values(kGaussPoints[g][0], kGaussPoints[g][1]);
  double x = 0.0, y = 0.0;
  for (int i = 0; i < 8; ++i) {
    x += n[i] * s.x[static_cast<std::size_t>(s.elements[e][i])];
    y += n[i] * s.y[static_cast<std::size_t>(s.elements[e][i])];
  }
  return {x, y};
}

std::string Number(double v) {
  return fmt::format("{:.10g}", v);
}

// ---- ParaView -------------------------------------------------------------------------

void WriteDataArray(std::ostream& out, const std::string& name, int components,
                    const std::vector<double>& values) {
  out << fmt::format(
      "        <DataArray type=\"Float64\" Name=\"{}\" NumberOfComponents=\"{}\" "
      "format=\"ascii\">\n",
      name, components);
  for (std::size_t i = 0; i < values.size(); ++i)
    out << Number(values[i]) << ((i + 1) % static_cast<std::size_t>(components) == 0 ? "\n" : " ");
  out << "        </DataArray>\n";
}

/// Per element the mean over its 4 Gauss points of component c of `per` components.
std::vector<double> CellMean(const std::vector<double>& gauss, std::size_t nEl, int per) {
  std::vector<double> mean(nEl * static_cast<std::size_t>(per), 0.0);
  for (std::size_t e = 0; e < nEl; ++e)
    for (int g = 0; g < 4; ++g)
      for (int c = 0; c < per; ++c) mean[e * per + c] += 0.25 * gauss[(e * 4 + g) * per + c];
  return mean;
}

std::vector<double> CellMax(const std::vector<double>& gauss, std::size_t nEl) {
  std::vector<double> largest(nEl, -std::numeric_limits<double>::infinity());
  for (std::size_t e = 0; e < nEl; ++e)
    for (int g = 0; g < 4; ++g) largest[e] = std::max(largest[e], gauss[e * 4 + g]);
  return largest;
}

int ExportVtu(DataFileReader& r, const Results& s, const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    throw ExportError(
        fmt::format("{}: cannot create the folder: {}", folder.string(), error.message()));
  const std::string stem = fs::path(s.file).stem().string();
  const std::size_t nEl = s.elements.size();
  std::string collection =
      "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\">\n  <Collection>\n";
  for (std::int64_t k = 1; k <= s.events; ++k) {
    const std::string name = fmt::format("{}_{:04d}.vtu", stem, k);
    const fs::path file = folder / name;
    std::ofstream out(file);
    if (!out) throw ExportError(file.string() + ": cannot be written");
    out << "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"0.1\" "
           "byte_order=\"LittleEndian\">\n  <UnstructuredGrid>\n";
    out << fmt::format("    <Piece NumberOfPoints=\"{}\" NumberOfCells=\"{}\">\n", s.x.size(), nEl);
    out << "      <Points>\n        <DataArray type=\"Float64\" NumberOfComponents=\"3\" "
           "format=\"ascii\">\n";
    for (std::size_t n = 0; n < s.x.size(); ++n)
      out << Number(s.x[n]) << " " << Number(s.y[n]) << " 0\n";
    out << "        </DataArray>\n      </Points>\n      <Cells>\n";
    out << "        <DataArray type=\"Int64\" Name=\"connectivity\" format=\"ascii\">\n";
    for (const auto& el : s.elements)  // corners first, then the mid-side nodes
      out << fmt::format("{} {} {} {} {} {} {} {}\n", el[0], el[2], el[4], el[6], el[1], el[3],
                         el[5], el[7]);
    out << "        </DataArray>\n        <DataArray type=\"Int64\" Name=\"offsets\" "
           "format=\"ascii\">\n";
    for (std::size_t e = 1; e <= nEl; ++e) out << 8 * e << "\n";
    out << "        </DataArray>\n        <DataArray type=\"UInt8\" Name=\"types\" "
           "format=\"ascii\">\n";
    for (std::size_t e = 0; e < nEl; ++e) out << "23\n";  // VTK_QUADRATIC_QUAD
    out << "        </DataArray>\n      </Cells>\n      <PointData>\n";
    if (auto t = Field(r, s, 'T', k, true, 1)) WriteDataArray(out, "T", 1, *t);
    if (auto u = Field(r, s, 'U', k, true, 2)) {
      std::vector<double> u3;
      for (std::size_t n = 0; n < s.x.size(); ++n)
        u3.insert(u3.end(), {(*u)[2 * n], (*u)[2 * n + 1], 0.0});
      WriteDataArray(out, "U", 3, u3);
    }
    out << "      </PointData>\n      <CellData>\n";
    const std::pair<char, const char*> scalars[] = {{'M', "maturity"},
                                                    {'A', "degree_of_hydration"},
                                                    {'R', "stress_strength_ratio"},
                                                    {'D', "tensile_strength"},
                                                    {'C', "compressive_strength"}};
    for (const auto& [letter, fieldName] : scalars)
      if (auto v = Field(r, s, letter, k, false, 4)) {
        WriteDataArray(out, fieldName, 1, CellMean(*v, nEl, 1));
        if (letter == 'R') WriteDataArray(out, "stress_strength_ratio_max", 1, CellMax(*v, nEl));
      }
    if (auto sig = Field(r, s, 'S', k, false, 16))
      WriteDataArray(out, "stress", 4, CellMean(*sig, nEl, 4));  // sx, sy, txy, sz (Pa)
    out << "      </CellData>\n    </Piece>\n  </UnstructuredGrid>\n</VTKFile>\n";
    out.close();
    if (!out) throw ExportError(file.string() + ": cannot be written completely");
    collection += fmt::format("    <DataSet timestep=\"{}\" group=\"\" part=\"0\" file=\"{}\"/>\n",
                              Number(s.hours[k - 1]), name);
  }
  collection += "  </Collection>\n</VTKFile>\n";
  const fs::path pvd = folder / (stem + ".pvd");
  std::ofstream out(pvd);
  out << collection;
  out.close();
  if (!out) throw ExportError(pvd.string() + ": cannot be written");
  std::cerr << fmt::format("Wrote {} ParaView files and {}\n", s.events, pvd.string());
  return 0;
}

// ---- time history -----------------------------------------------------------------------

bool ParsePoint(const std::string& text, double& x, double& y) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto rx = std::from_chars(begin, begin + comma, x);
  auto ry = std::from_chars(begin + comma + 1, end, y);
  return rx.ec == std::errc() && rx.ptr == begin + comma && ry.ec == std::errc() && ry.ptr == end &&
         std::isfinite(x) && std::isfinite(y);
}

int History(DataFileReader& r, const Results& s, const ExportOptions& o) {
  double px = 0.0, py = 0.0;
  if (!ParsePoint(o.point, px, py)) {
    std::cerr << "vemto-cli: --history needs --point X,Y (metres, \".\" as decimal separator)\n";
    return 2;
  }
  if (o.history.size() != 1 ||
      std::string("TQUFMARDCS")
              .find(static_cast<char>(std::toupper(static_cast<unsigned char>(o.history[0])))) ==
          std::string::npos) {
    std::cerr << fmt::format("vemto-cli: unknown field \"{}\"; one of T Q U F M A S R D C\n",
                             o.history);
    return 2;
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(o.history[0])));
  const bool nodal = std::string("TQUF").find(letter) != std::string::npos;
  const int per = letter == 'U' || letter == 'F' ? 2 : letter == 'S' ? 4 : 1;
  std::size_t at = 0;
  double best = std::numeric_limits<double>::max(), ax = 0.0, ay = 0.0;
  if (nodal) {
    std::vector<bool> used(s.x.size(), false);  // nodes of eight-node elements only
    for (const auto& el : s.elements)
      for (std::int32_t n : el) used[static_cast<std::size_t>(n)] = true;
    for (std::size_t n = 0; n < s.x.size(); ++n) {
      const double d = std::hypot(s.x[n] - px, s.y[n] - py);
      if (used[n] && d < best) {
        best = d;
        at = n;
        ax = s.x[n];
        ay = s.y[n];
      }
    }
  } else {
    for (std::size_t e = 0; e < s.elements.size(); ++e)
      for (int g = 0; g < 4; ++g) {
        const auto p = GaussPosition(s, e, g);
        const double d = std::hypot(p[0] - px, p[1] - py);
        if (d < best) {
          best = d;
          at = e * 4 + static_cast<std::size_t>(g);
          ax = p[0];
          ay = p[1];
        }
      }
  }
  std::cout << fmt::format("# {} at {} ({}, {}) m\n", letter,
                           nodal ? fmt::format("node {}", at + 1)
                                 : fmt::format("element {} Gauss point {}", at / 4 + 1, at % 4 + 1),
                           Number(ax), Number(ay));
  const char* header[] = {"value"};
  (void)header;
  std::cout << "time_h";
  if (per == 1) std::cout << "," << letter;
  if (per == 2) std::cout << "," << letter << "x," << letter << "y";
  if (per == 4) std::cout << ",sx,sy,txy,sz";
  std::cout << "\n";
  for (std::int64_t k = 1; k <= s.events; ++k) {
    const auto v = Field(r, s, letter, k, nodal, static_cast<std::size_t>(nodal ? per : 4 * per));
    if (!v) continue;
    std::cout << Number(s.hours[k - 1]);
    for (int c = 0; c < per; ++c) std::cout << "," << Number((*v)[at * per + c]);
    std::cout << "\n";
  }
  return 0;
}

// ---- summary ----------------------------------------------------------------------------

int Summary(DataFileReader& r, const Results& s) {
  std::cout << fmt::format("{}: {} storage events, {} elements, {} nodes\n", s.file, s.events,
                           s.elements.size(), s.x.size());
  if (s.events == 0) return 0;
  std::cout << fmt::format("last stored time: {} h\n", Number(s.hours.back()));
  double peakT = -std::numeric_limits<double>::infinity(), tx = 0, ty = 0, tt = 0;
  double peakR = -std::numeric_limits<double>::infinity(), rx = 0, ry = 0, rt = 0;
  bool haveT = false, haveR = false;
  std::vector<bool> used(s.x.size(), false);
  for (const auto& el : s.elements)
    for (std::int32_t n : el) used[static_cast<std::size_t>(n)] = true;
  for (std::int64_t k = 1; k <= s.events; ++k) {
    if (auto t = Field(r, s, 'T', k, true, 1))
      for (std::size_t n = 0; n < t->size(); ++n)
        if (used[n] && (*t)[n] > peakT) {
          haveT = true;
          peakT = (*t)[n];
          tx = s.x[n];
          ty = s.y[n];
          tt = s.hours[k - 1];
        }
    if (auto ratio = Field(r, s, 'R', k, false, 4))
      for (std::size_t i = 0; i < ratio->size(); ++i)
        if ((*ratio)[i] > peakR) {
          haveR = true;
          peakR = (*ratio)[i];
          const auto p = GaussPosition(s, i / 4, static_cast<int>(i % 4));
          rx = p[0];
          ry = p[1];
          rt = s.hours[k - 1];
        }
  }
  if (haveT)
    std::cout << fmt::format("peak temperature: {} C at {} h, x = {} m, y = {} m\n", Number(peakT),
                             Number(tt), Number(tx), Number(ty));
  else
    std::cout << "peak temperature: no temperatures stored\n";
  if (haveR)
    std::cout << fmt::format("largest stress/strength ratio: {} at {} h, x = {} m, y = {} m\n",
                             Number(peakR), Number(rt), Number(rx), Number(ry));
  else
    std::cout << "largest stress/strength ratio: no stresses stored\n";
  return 0;
}

}  // namespace

std::shared_ptr<ExportOptions> AddExportOptions(CLI::App& results) {
  auto o = std::make_shared<ExportOptions>();
  results.add_option("--vtu", o->vtuFolder,
                     "Write one ParaView file per stored time and a .pvd collection into DIR");
  results.add_option("--history", o->history,
                     "Time history of a field as CSV: T Q U F at the nearest node, M A S R D C "
                     "at the nearest Gauss point");
  results.add_option("--point", o->point, "Point X,Y (m) of --history");
  results.add_flag("--summary", o->summary,
                   "Peak temperature and largest stress/strength ratio with time and place");
  return o;
}

int RunExport(const std::string& out, const ExportOptions& options) {
  try {
    DataFileReader r(out);
    const Results s = Open(r);
    int status = 0;
    if (options.summary) status = std::max(status, Summary(r, s));
    if (!options.history.empty()) status = std::max(status, History(r, s, options));
    if (!options.vtuFolder.empty()) status = std::max(status, ExportVtu(r, s, options.vtuFolder));
    return status;
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vemto::cli
