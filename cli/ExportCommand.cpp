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

#include "Commands.h"
#include "ResultReader.h"

namespace vemto::cli {
namespace {

namespace fs = std::filesystem;
using post::Field;
using post::ResultReader;

class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Physical position of Gauss point g (0..3) of element e.
std::array<double, 2> GaussPosition(const ResultReader& r, std::size_t e, int g) {
  double x = 0.0, y = 0.0;
  post::MapPoint(r.Mesh(), e, g % 2 ? post::kGauss : -post::kGauss,
                 g / 2 ? post::kGauss : -post::kGauss, x, y);
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

/// Per listed element the mean over its 4 Gauss points of component c of `per` components.
std::vector<double> CellMean(const std::vector<double>& gauss,
                             const std::vector<std::size_t>& cells, int per) {
  std::vector<double> mean;
  mean.reserve(cells.size() * static_cast<std::size_t>(per));
  for (std::size_t e : cells)
    for (int c = 0; c < per; ++c) {
      double sum = 0.0;
      for (int g = 0; g < 4; ++g) sum += 0.25 * gauss[(e * 4 + g) * per + c];
      mean.push_back(sum);
    }
  return mean;
}

std::vector<double> CellMax(const std::vector<double>& gauss,
                            const std::vector<std::size_t>& cells) {
  std::vector<double> largest;
  for (std::size_t e : cells)
    largest.push_back(
        std::max({gauss[e * 4], gauss[e * 4 + 1], gauss[e * 4 + 2], gauss[e * 4 + 3]}));
  return largest;
}

/// One .vtu per stored time. Only the elements that exist at that time (cast and not
/// yet removed) are written, with the nodes they use, so that no value of an element
/// that does not exist (the engine's 0 °C) enters a colour range. The cell field
/// `element` and the point field `node` keep the numbers of the whole mesh.
int ExportVtu(const ResultReader& r, const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    throw ExportError(
        fmt::format("{}: cannot create the folder: {}", folder.string(), error.message()));
  const std::string stem = fs::path(r.FileName()).stem().string();
  const post::QuadMesh& mesh = r.Mesh();
  std::string collection =
      "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\">\n  <Collection>\n";
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    const auto active = r.ActiveElements(k);
    const auto used = r.ActiveNodes(active);
    std::vector<std::size_t> cells, points;
    std::vector<std::int64_t> newIndex(mesh.x.size(), -1);
    for (std::size_t e = 0; e < active.size(); ++e)
      if (active[e]) cells.push_back(e);
    for (std::size_t n = 0; n < used.size(); ++n)
      if (used[n]) {
        newIndex[n] = static_cast<std::int64_t>(points.size());
        points.push_back(n);
      }
    const std::string name = fmt::format("{}_{:04d}.vtu", stem, k + 1);
    const fs::path file = folder / name;
    std::ofstream out(file);
    if (!out) throw ExportError(file.string() + ": cannot be written");
    out << "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"0.1\" "
           "byte_order=\"LittleEndian\">\n  <UnstructuredGrid>\n";
    out << fmt::format("    <Piece NumberOfPoints=\"{}\" NumberOfCells=\"{}\">\n", points.size(),
                       cells.size());
    out << "      <Points>\n        <DataArray type=\"Float64\" NumberOfComponents=\"3\" "
           "format=\"ascii\">\n";
    for (std::size_t n : points) out << Number(mesh.x[n]) << " " << Number(mesh.y[n]) << " 0\n";
    out << "        </DataArray>\n      </Points>\n      <Cells>\n";
    out << "        <DataArray type=\"Int64\" Name=\"connectivity\" format=\"ascii\">\n";
    for (std::size_t e : cells) {  // corners first, then the mid-side nodes
      const auto& el = mesh.elements[e];
      auto at = [&](int i) { return newIndex[static_cast<std::size_t>(el[i])]; };
      out << fmt::format("{} {} {} {} {} {} {} {}\n", at(0), at(2), at(4), at(6), at(1), at(3),
                         at(5), at(7));
    }
    out << "        </DataArray>\n        <DataArray type=\"Int64\" Name=\"offsets\" "
           "format=\"ascii\">\n";
    for (std::size_t e = 1; e <= cells.size(); ++e) out << 8 * e << "\n";
    out << "        </DataArray>\n        <DataArray type=\"UInt8\" Name=\"types\" "
           "format=\"ascii\">\n";
    for (std::size_t e = 0; e < cells.size(); ++e) out << "23\n";  // VTK_QUADRATIC_QUAD
    out << "        </DataArray>\n      </Cells>\n      <PointData>\n";
    std::vector<double> numbers;
    for (std::size_t n : points) numbers.push_back(static_cast<double>(n + 1));
    WriteDataArray(out, "node", 1, numbers);
    if (auto t = r.Read(Field::Temperature, k)) {
      std::vector<double> values;
      for (std::size_t n : points) values.push_back((*t)[n]);
      WriteDataArray(out, "T", 1, values);
    }
    if (auto u = r.Read(Field::Displacement, k)) {
      std::vector<double> u3;
      for (std::size_t n : points) u3.insert(u3.end(), {(*u)[2 * n], (*u)[2 * n + 1], 0.0});
      WriteDataArray(out, "U", 3, u3);
    }
    out << "      </PointData>\n      <CellData>\n";
    numbers.clear();
    for (std::size_t e : cells) numbers.push_back(static_cast<double>(e + 1));
    WriteDataArray(out, "element", 1, numbers);
    const std::pair<Field, const char*> scalars[] = {
        {Field::Maturity, "maturity"},
        {Field::Hydration, "degree_of_hydration"},
        {Field::Ratio, "stress_strength_ratio"},
        {Field::TensileStrength, "tensile_strength"},
        {Field::CompressiveStrength, "compressive_strength"}};
    for (const auto& [field, fieldName] : scalars)
      if (auto v = r.Read(field, k)) {
        WriteDataArray(out, fieldName, 1, CellMean(*v, cells, 1));
        if (field == Field::Ratio)
          WriteDataArray(out, "stress_strength_ratio_max", 1, CellMax(*v, cells));
      }
    if (auto sig = r.Read(Field::Stress, k))
      WriteDataArray(out, "stress", 4, CellMean(*sig, cells, 4));  // sx, sy, txy, sz (Pa)
    out << "      </CellData>\n    </Piece>\n  </UnstructuredGrid>\n</VTKFile>\n";
    out.close();
    if (!out) throw ExportError(file.string() + ": cannot be written completely");
    collection += fmt::format("    <DataSet timestep=\"{}\" group=\"\" part=\"0\" file=\"{}\"/>\n",
                              Number(r.Hours(k)), name);
  }
  collection += "  </Collection>\n</VTKFile>\n";
  const fs::path pvd = folder / (stem + ".pvd");
  std::ofstream out(pvd);
  out << collection;
  out.close();
  if (!out) throw ExportError(pvd.string() + ": cannot be written");
  std::cerr << fmt::format("Wrote {} ParaView files and {}\n", r.StoredCount(), pvd.string());
  return 0;
}

// ---- time history -----------------------------------------------------------------------

/// History at a point inside the section: nodal fields interpolated with the element's
/// shape functions (heat flows and support forces at the element's nearest node),
/// Gauss-point fields bilinear through the element's four points. A point outside the
/// section is an error naming its distance, unless --nearest asks for the nearest point.
int History(const ResultReader& r, const ExportOptions& o) {
  double px = 0.0, py = 0.0;
  if (!ParseNumberPair(o.point, px, py)) {
    std::cerr << "vemto-cli: --history needs --point X,Y (metres, \".\" as decimal separator)\n";
    return kExitUsage;
  }
  const auto field = o.history.size() == 1 ? post::FieldFromLetter(o.history[0]) : std::nullopt;
  if (!field || *field == Field::Pipe) {
    std::cerr << fmt::format("vemto-cli: unknown field \"{}\"; one of T Q U F M A S R D C\n",
                             o.history);
    return kExitUsage;
  }
  const post::FieldInfo& info = post::Info(*field);
  std::vector<post::Series> series;
  try {
    for (int c = 0; c < info.components; ++c)
      series.push_back(r.History(*field, c, post::Reduce::Point, px, py, px, py, o.nearest));
  } catch (const post::OutsideError& e) {
    std::cerr << fmt::format("vemto-cli: {}: {} (--nearest takes the nearest point)\n",
                             r.FileName(), e.what());
    return 1;
  }
  std::cout << fmt::format("# {} at {}\n", info.letter, series[0].where);
  std::cout << "time_h";
  if (info.components == 1) std::cout << "," << info.letter;
  if (info.components == 2) std::cout << "," << info.letter << "x," << info.letter << "y";
  if (info.components == 4) std::cout << ",sx,sy,txy,sz";
  std::cout << "\n";
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    if (std::isnan(series[0].values[k])) continue;  // not stored, or the element does not exist
    std::cout << Number(r.Hours(k));
    for (const auto& s : series) std::cout << "," << Number(s.values[k]);
    std::cout << "\n";
  }
  return 0;
}

// ---- summary ----------------------------------------------------------------------------

/// "over N stored times, a h apart" or "… between a and b h apart".
std::string StoredTimesNote(const ResultReader& r) {
  double low = std::numeric_limits<double>::infinity(), high = 0.0;
  for (std::size_t k = 1; k < r.StoredCount(); ++k) {
    const double gap = r.Hours(k) - r.Hours(k - 1);
    low = std::min(low, gap);
    high = std::max(high, gap);
  }
  if (r.StoredCount() < 2) return fmt::format("{} stored time", r.StoredCount());
  // Spacings that differ by less than 1e-9 h are the same storage step.
  if (high - low <= 1e-9 * std::max(1.0, high))
    return fmt::format("{} stored times {} h apart", r.StoredCount(), Number(high));
  return fmt::format("{} stored times between {} and {} h apart", r.StoredCount(), Number(low),
                     Number(high));
}

int Summary(const ResultReader& r) {
  std::cout << fmt::format("{}: {} storage events, {} elements, {} nodes\n", r.FileName(),
                           r.StoredCount(), r.Mesh().elements.size(), r.Mesh().x.size());
  if (r.StoredCount() == 0) return 0;
  std::cout << fmt::format("last stored time: {} h\n", Number(r.Hours(r.StoredCount() - 1)));
  double peakT = -std::numeric_limits<double>::infinity(), tx = 0, ty = 0, tt = 0;
  double peakR = -std::numeric_limits<double>::infinity(), rx = 0, ry = 0, rt = 0;
  bool haveT = false, haveR = false;
  const post::QuadMesh& mesh = r.Mesh();
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    const auto active = r.ActiveElements(k);
    if (auto t = r.Read(Field::Temperature, k)) {
      const auto used = r.ActiveNodes(active);
      for (std::size_t n = 0; n < t->size(); ++n)
        if (used[n] && (*t)[n] > peakT) {
          haveT = true;
          peakT = (*t)[n];
          tx = mesh.x[n];
          ty = mesh.y[n];
          tt = r.Hours(k);
        }
    }
    if (auto ratio = r.Read(Field::Ratio, k))
      for (std::size_t i = 0; i < ratio->size(); ++i)
        if (active[i / 4] && (*ratio)[i] > peakR) {
          haveR = true;
          peakR = (*ratio)[i];
          const auto p = GaussPosition(r, i / 4, static_cast<int>(i % 4));
          rx = p[0];
          ry = p[1];
          rt = r.Hours(k);
        }
  }
  std::cout << fmt::format(
      "peaks are taken over the {} only; a peak between them is not seen (store every time "
      "step when the peak matters)\n",
      StoredTimesNote(r));
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

bool ParseNumberPair(const std::string& text, double& a, double& b) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto ra = std::from_chars(begin, begin + comma, a);
  auto rb = std::from_chars(begin + comma + 1, end, b);
  return ra.ec == std::errc() && ra.ptr == begin + comma && rb.ec == std::errc() && rb.ptr == end &&
         std::isfinite(a) && std::isfinite(b);
}

std::shared_ptr<ExportOptions> AddExportOptions(CLI::App& results) {
  auto o = std::make_shared<ExportOptions>();
  results.add_option("--vtu", o->vtuFolder,
                     "Write one ParaView file per stored time and a .pvd collection into DIR");
  results.add_option("--history", o->history,
                     "Time history of a field as CSV at --point: T Q U F M A S R D C, interpolated "
                     "inside the element that holds the point");
  results.add_option("--point", o->point, "Point X,Y (m) of --history, inside the section");
  results.add_flag("--nearest", o->nearest,
                   "Take --history at the nearest point of the section when --point is outside");
  results.add_flag("--summary", o->summary,
                   "Peak temperature and largest stress/strength ratio with time and place");
  return o;
}

int RunExport(const std::string& out, const ExportOptions& options) {
  try {
    const ResultReader r(out);
    if (!r.EndedNormally())
      throw ExportError(
          out + ": the run did not end normally (no TIME); the storage times are not known");
    int status = 0;
    if (options.summary) status = std::max(status, Summary(r));
    if (!options.history.empty()) status = std::max(status, History(r, options));
    if (!options.vtuFolder.empty()) status = std::max(status, ExportVtu(r, options.vtuFolder));
    return status;
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vemto::cli
