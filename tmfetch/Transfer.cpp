#include "Transfer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "AnalysisData.h"
#include "DataFileReader.h"
#include "FreeFormatReader.h"
#include "Quad8.h"

namespace vemto::tmfetch {

namespace {

void CheckNodes(const QuadMesh& mesh, const std::string& file) {
  const auto nNodes = static_cast<std::int32_t>(mesh.x.size());
  for (std::size_t e = 0; e < mesh.elements.size(); ++e)
    for (std::int32_t node : mesh.elements[e])
      if (node < 0 || node >= nNodes)
        throw TransferError(fmt::format("{}: element {} refers to node {}, but there are {} nodes",
                                        file, e + 1, node + 1, nNodes));
}

}  // namespace

SourceResults ReadSourceResults(const std::string& resultFile) {
  SourceResults s;
  try {
    numlib::DataFileReader in(resultFile);
    const auto coor = in.ReadReals("COOR");
    const auto itop = in.ReadIntegers("ITOP");
    if (coor.rows != 2 || itop.rows != 8 || itop.columns < 1)
      throw TransferError(resultFile + ": the mesh matrices COOR and ITOP have wrong sizes");
    const auto nNodes = static_cast<std::size_t>(coor.columns);
    const auto nEl = static_cast<std::size_t>(itop.columns);
    for (std::size_t n = 0; n < nNodes; ++n) {
      s.mesh.x.push_back(coor.values[2 * n]);
      s.mesh.y.push_back(coor.values[2 * n + 1]);
    }
    for (std::size_t e = 0; e < nEl; ++e) {
      std::array<std::int32_t, 8> nodes{};
      for (int i = 0; i < 8; ++i) nodes[i] = itop.values[8 * e + i] - 1;
      s.mesh.elements.push_back(nodes);
    }
    CheckNodes(s.mesh, resultFile);
    if (!in.HasTime())
      throw TransferError(resultFile +
                          ": no storage times (TIME): the run of that model did not end normally");
    const auto time = in.ReadReals("TIME");
    const std::int64_t events = std::min<std::int64_t>(in.EventCount(), time.rows * time.columns);
    for (std::int64_t k = 1; k <= events; ++k) {
      const numlib::DataBlock* t = in.Find(numlib::DataFileReader::EventName('T', k));
      const numlib::DataBlock* m = in.Find(numlib::DataFileReader::EventName('M', k));
      if (t == nullptr || m == nullptr)
        throw TransferError(resultFile +
                            ": no temperatures and maturities stored: that model does not "
                            "simulate temperature");
      auto tv = in.ReadReals(*t);
      auto mv = in.ReadReals(*m);
      if (tv.values.size() != nNodes || mv.values.size() != 4 * nEl)
        throw TransferError(
            fmt::format("{}: storage event {} has fields of wrong size", resultFile, k));
      s.times.push_back(time.values[static_cast<std::size_t>(k - 1)]);
      s.T.push_back(std::move(tv.values));
      s.M.push_back(std::move(mv.values));
    }
    if (s.times.empty()) throw TransferError(resultFile + ": no stored results");
  } catch (const numlib::DataFileError& e) {
    throw TransferError(e.what());
  } catch (const std::out_of_range& e) {
    throw TransferError(resultFile + ": damaged result database");
  }
  return s;
}

QuadMesh ReadTargetMesh(const std::string& dataFile) {
  std::ifstream stream(dataFile);
  if (!stream) throw TransferError(dataFile + ": cannot be opened");
  QuadMesh mesh;
  try {
    engine::FreeFormatReader in(stream, dataFile);
    engine::AnalysisHeader header;
    std::string title;
    engine::ReadAnalysisHeader(in, header, title);
    for (std::int32_t n = 0; n < header.nNodes; ++n) {
      double xy[2];
      in.ReadReals(xy, "node coordinates");
      mesh.x.push_back(xy[0]);
      mesh.y.push_back(xy[1]);
    }
    for (std::int32_t e = 0; e < header.nEl8; ++e) {
      std::int32_t values[12];
      in.ReadIntegers(values, "element nodes");
      std::array<std::int32_t, 8> nodes{};
      for (int i = 0; i < 8; ++i) nodes[i] = values[i] - 1;
      mesh.elements.push_back(nodes);
    }
  } catch (const engine::InputError& e) {
    throw TransferError(e.what());
  }
  CheckNodes(mesh, dataFile);
  return mesh;
}

void ValuesAt(const SourceResults& source, std::size_t time, const PointLocation& at,
              double& temperature, double& maturity) {
  const std::array<double, 8> n = numlib::Quad8Values(at.xi, at.eta);
  const auto& nodes = source.mesh.elements[at.element];
  const std::vector<double>& t = source.T[time];
  temperature = 0.0;
  for (int i = 0; i < 8; ++i) temperature += n[i] * t[static_cast<std::size_t>(nodes[i])];
  // Gauss points 1 (−a,−a), 2 (a,−a), 3 (−a,a), 4 (a,a): bilinear in (ξ/a, η/a).
  const double s = at.xi / kGauss, r = at.eta / kGauss;
  const double* m = &source.M[time][4 * at.element];
  const double w[4] = {0.25 * (1 - s) * (1 - r), 0.25 * (1 + s) * (1 - r), 0.25 * (1 - s) * (1 + r),
                       0.25 * (1 + s) * (1 + r)};
  maturity = w[0] * m[0] + w[1] * m[1] + w[2] * m[2] + w[3] * m[3];
  const auto [lo, hi] = std::minmax({m[0], m[1], m[2], m[3]});
  maturity = std::clamp(maturity, lo, hi);
}

std::vector<std::vector<double>> ElementMeans(const SourceResults& source, const QuadMesh& target) {
  const MeshLocator locator(source.mesh);
  static constexpr double gp[4][2] = {
      {-kGauss, -kGauss}, {kGauss, -kGauss}, {-kGauss, kGauss}, {kGauss, kGauss}};
  const std::size_t nEl = target.elements.size();
  std::vector<PointLocation> where(4 * nEl);
  std::vector<double> weight(4 * nEl);
  for (std::size_t e = 0; e < nEl; ++e) {
    double sum = 0.0;
    for (int g = 0; g < 4; ++g) {
      double x = 0.0, y = 0.0;
      MapPoint(target, e, gp[g][0], gp[g][1], x, y);
      where[4 * e + g] = locator.Locate(x, y);
      weight[4 * e + g] = std::abs(JacobianDeterminant(target, e, gp[g][0], gp[g][1]));
      sum += weight[4 * e + g];
    }
    for (int g = 0; g < 4; ++g) weight[4 * e + g] = sum > 0.0 ? weight[4 * e + g] / sum : 0.25;
  }
  std::vector<std::vector<double>> means(source.times.size(), std::vector<double>(2 * nEl));
  for (std::size_t k = 0; k < source.times.size(); ++k) {
    for (std::size_t e = 0; e < nEl; ++e) {
      double t = 0.0, m = 0.0;
      for (int g = 0; g < 4; ++g) {
        double tg = 0.0, mg = 0.0;
        ValuesAt(source, k, where[4 * e + g], tg, mg);
        t += weight[4 * e + g] * tg;
        m += weight[4 * e + g] * mg;
      }
      means[k][2 * e] = t;
      means[k][2 * e + 1] = m;
    }
  }
  return means;
}

void ReadMean(const std::string& resultFile, const std::string& dataFile,
              const std::string& dtmFile) {
  const SourceResults source = ReadSourceResults(resultFile);
  const QuadMesh target = ReadTargetMesh(dataFile);
  if (target.elements.empty()) throw TransferError(dataFile + ": no eight-node elements");
  const auto means = ElementMeans(source, target);

  const std::string temporary = dtmFile + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr)
    throw TransferError(fmt::format("{}: cannot be written: {}", dtmFile, std::strerror(errno)));
  bool ok = true;
  for (std::size_t k = 0; k < means.size() && ok; ++k) {
    ok = std::fputs(fmt::format("{:.17g}\n", source.times[k]).c_str(), out) >= 0;
    for (std::size_t e = 0; e < target.elements.size() && ok; ++e)
      ok =
          std::fputs(fmt::format("{:.17g} {:.17g}\n", means[k][2 * e], means[k][2 * e + 1]).c_str(),
                     out) >= 0;
  }
  ok = std::fflush(out) == 0 && ok;
  ok = std::fclose(out) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, dtmFile, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    throw TransferError(dtmFile + ": cannot be written completely");
  }
}

}  // namespace vemto::tmfetch
