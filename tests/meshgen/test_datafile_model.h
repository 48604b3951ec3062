// Test models for the analysis data file: the argument block with owned
// storage, a hand-made mesh, and a free-format reader of the file that reads
// it the way the engine does (values separated by blanks or commas, a read
// continues on the next lines when a line has too few values and skips the
// rest of the line it ends on).
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "DataFile.h"
#include "MeshgenArgs.h"

namespace meshgen::testing {

/// One condition record of `length` reals: n, the coefficients, then the points.
inline std::vector<double> Record(int length, double n, std::initializer_list<double> coeffs,
                                  std::initializer_list<double> points) {
  std::vector<double> r(static_cast<std::size_t>(length), 0.0);
  r[0] = n;
  std::size_t i = 1;
  for (double c : coeffs) r[i++] = c;
  for (double p : points) r[i++] = p;
  return r;
}

/// A condition list: records one after the other.
struct Conds {
  std::vector<double> data;
  int count = 0;
  void Add(const std::vector<double>& r) {
    data.insert(data.end(), r.begin(), r.end());
    ++count;
  }
  const double* Ptr() const { return data.empty() ? nullptr : data.data(); }
};

/// Owned arrays behind a MeshgenArgs.
struct Model {
  std::vector<double> props;
  std::vector<int> opts;
  int nMaterials = 0;
  std::vector<double> thickness;
  Conds edgeTemp, edgeFlow, areaTemp, areaFlow, edgeDisp, edgeSpring, edgeLoad;
  Conds nodalTemp, nodalFlow, pipe, nodalDisp, nodalSpring, nodalLoad;
  std::vector<int> edgeDispDirs, nodalDispDirs;
  int nNodalTempPos = 0, nNodalFlowPos = 0, nNodalDispPos = 0, nNodalSpringPos = 0,
      nNodalLoadPos = 0;
  char title[80] = {};
  int analysis[3] = {2, 84, 0};
  double times[4] = {0.0, 7200.0, 86400.0, 1.0};

  void AddMaterial(const std::vector<double>& p, const std::vector<int>& o) {
    props.insert(props.end(), p.begin(), p.end());
    opts.insert(opts.end(), o.begin(), o.end());
    ++nMaterials;
  }

  MeshgenArgs Args() const {
    MeshgenArgs a{};
    std::memcpy(a.titleWords, title, sizeof title);
    a.generalDefined = 1;
    for (int i = 0; i < 3; ++i) a.analysisInts[i] = analysis[i];
    for (int i = 0; i < 4; ++i) a.timeReals[i] = times[i];
    a.nSuperElements = static_cast<int>(thickness.size());
    a.superThickness = thickness.data();
    a.nMaterials = nMaterials;
    a.materialProperties = props.data();
    a.materialOptions = opts.data();
    a.nEdgeTempConds = edgeTemp.count, a.edgeTempConds = edgeTemp.Ptr();
    a.nEdgeFlowConds = edgeFlow.count, a.edgeFlowConds = edgeFlow.Ptr();
    a.nAreaTempConds = areaTemp.count, a.areaTempConds = areaTemp.Ptr();
    a.nAreaFlowConds = areaFlow.count, a.areaFlowConds = areaFlow.Ptr();
    a.nEdgeDispConds = edgeDisp.count, a.edgeDispConds = edgeDisp.Ptr();
    a.edgeDispDirs = edgeDispDirs.data();
    a.nEdgeSpringConds = edgeSpring.count, a.edgeSpringConds = edgeSpring.Ptr();
    a.nEdgeLoadConds = edgeLoad.count, a.edgeLoadConds = edgeLoad.Ptr();
    a.nNodalTempConds = nodalTemp.count, a.nodalTempConds = nodalTemp.Ptr();
    a.nNodalFlowConds = nodalFlow.count, a.nodalFlowConds = nodalFlow.Ptr();
    a.nPipeConds = pipe.count, a.pipeConds = pipe.Ptr();
    a.nNodalDispConds = nodalDisp.count, a.nodalDispConds = nodalDisp.Ptr();
    a.nodalDispDirs = nodalDispDirs.data();
    a.nNodalSpringConds = nodalSpring.count, a.nodalSpringConds = nodalSpring.Ptr();
    a.nNodalLoadConds = nodalLoad.count, a.nodalLoadConds = nodalLoad.Ptr();
    a.nNodalTempPos = nNodalTempPos;
    a.nNodalFlowPos = nNodalFlowPos;
    a.nNodalDispPos = nNodalDispPos;
    a.nNodalSpringPos = nNodalSpringPos;
    a.nNodalLoadPos = nNodalLoadPos;
    return a;
  }
};

/// Owned tables behind an AnalysisMesh.
struct Mesh {
  std::vector<double> x, y;
  std::vector<int> ncon, ncn, mat, region, type, mwt, icross, jnt;
  bool renumbered = false;
  std::vector<int> edgeTemp, edgeFlow, areaTemp, areaFlow, edgeDisp, edgeSpring, edgeLoad;
  std::vector<int> nodalTemp, nodalFlow, nodalDisp, nodalSpring, nodalLoad;

  void AddNode(double xv, double yv) {
    x.push_back(xv);
    y.push_back(yv);
  }
  void AddElement(std::vector<int> nodes, int t, int m, int r) {
    ncn.push_back(static_cast<int>(nodes.size()));
    nodes.resize(8, 0);
    ncon.insert(ncon.end(), nodes.begin(), nodes.end());
    type.push_back(t);
    mat.push_back(m);
    region.push_back(r);
    mwt.insert(mwt.end(), {0, 0, 0});
  }
  static MappedList List(const std::vector<int>& v, int len) {
    return {v, static_cast<int>(v.size()) / len};
  }
  AnalysisMesh View() const {
    AnalysisMesh m;
    m.nodeCount = static_cast<int>(x.size());
    m.x = x, m.y = y;
    m.elementCount = static_cast<int>(type.size());
    m.ncon = ncon, m.ncn = ncn, m.mat = mat, m.region = region, m.type = type, m.mwt = mwt;
    m.icross = icross, m.renumbered = renumbered, m.jnt = jnt;
    m.edgeTemp = List(edgeTemp, 4), m.edgeFlow = List(edgeFlow, 4);
    m.areaTemp = List(areaTemp, 9), m.areaFlow = List(areaFlow, 9);
    m.edgeDisp = List(edgeDisp, 2), m.edgeSpring = List(edgeSpring, 4);
    m.edgeLoad = List(edgeLoad, 4);
    m.nodalTemp = nodalTemp, m.nodalFlow = nodalFlow, m.nodalDisp = nodalDisp;
    m.nodalSpring = nodalSpring, m.nodalLoad = nodalLoad;
    return m;
  }
};

/// Eight-node elements of one super element with R rows and C columns of
/// unit squares, made like the mesher: points row by row from the top, element
/// centres without a node; elements from the top left. Returns the grid.
inline std::vector<int> AddFiniteBlock(Mesh& mesh, int R, int C, int material, int region) {
  const int cols = 2 * C + 1;
  std::vector<int> grid;
  int next = static_cast<int>(mesh.x.size());
  for (int j = 1; j <= 2 * R + 1; ++j)
    for (int i = 1; i <= cols; ++i) {
      if (j % 2 == 0 && i % 2 == 0) {
        grid.push_back(0);
        continue;
      }
      grid.push_back(++next);
      mesh.AddNode(0.5 * (i - 1), 0.5 * (2 * R + 1 - j));
    }
  auto at = [&](int j, int i) { return grid[static_cast<std::size_t>((j - 1) * cols + i - 1)]; };
  for (int r = 1; r <= R; ++r)
    for (int l = 1; l <= C; ++l) {
      const int t = 2 * r - 1, m = 2 * r, b = 2 * r + 1, le = 2 * l - 1, c = 2 * l, ri = 2 * l + 1;
      mesh.AddElement(
          {at(b, le), at(b, c), at(b, ri), at(m, ri), at(t, ri), at(t, c), at(t, le), at(m, le)}, 5,
          material, region);
    }
  return grid;
}

/// Free-format reading of a text, as the engine reads the analysis data file.
class FreeFormat {
 public:
  explicit FreeFormat(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find('\n', start);
      if (end == std::string::npos) {
        lines_.push_back(text.substr(start));
        break;
      }
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }

  /// The next line as it is (the title line).
  std::string Line() {
    if (line_ >= lines_.size()) throw std::runtime_error("end of file");
    return lines_[line_++];
  }

  /// The next n values, from the next line on; the rest of the last line is skipped.
  std::vector<std::string> Tokens(std::size_t n) {
    std::vector<std::string> out;
    while (out.size() < n) {
      if (line_ >= lines_.size()) throw std::runtime_error("end of file");
      const std::string& l = lines_[line_++];
      std::size_t i = 0;
      while (i < l.size() && out.size() < n) {
        if (l[i] == ' ' || l[i] == ',' || l[i] == '\t') {
          ++i;
          continue;
        }
        std::size_t j = i;
        while (j < l.size() && l[j] != ' ' && l[j] != ',' && l[j] != '\t') ++j;
        out.push_back(l.substr(i, j - i));
        i = j;
      }
    }
    return out;
  }

  static int ToInt(const std::string& t) {
    int v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size())
      throw std::runtime_error("not an integer: '" + t + "'");
    return v;
  }
  static double ToReal(std::string t) {
    for (char& c : t)
      if (c == 'D' || c == 'd') c = 'E';
    double v = 0.0;
    const char* b = t.data();
    if (!t.empty() && t[0] == '+') ++b;
    const auto r = std::from_chars(b, t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size())
      throw std::runtime_error("not a real: '" + t + "'");
    return v;
  }
  std::vector<int> Ints(std::size_t n) {
    std::vector<int> v;
    for (const auto& t : Tokens(n)) v.push_back(ToInt(t));
    return v;
  }
  std::vector<double> Reals(std::size_t n) {
    std::vector<double> v;
    for (const auto& t : Tokens(n)) v.push_back(ToReal(t));
    return v;
  }
  bool AtEnd() const { return line_ >= lines_.size(); }

 private:
  std::vector<std::string> lines_;
  std::size_t line_ = 0;
};

/// A history as read: header values and the points (each `width` values).
struct History {
  std::vector<double> header;  ///< n (as read) and the coefficients
  std::vector<int> flags;      ///< displacement direction flags
  std::vector<std::vector<double>> points;
};

/// The analysis data file as the engine reads it.
struct ReadBack {
  std::string title;
  std::vector<int> general;  ///< analysisType, nTimeSteps, nNodes, nEl8, nMaterials, tempMode
  std::vector<double> times;
  std::vector<int> counts4, counts5;
  std::vector<std::vector<double>> coords;
  std::vector<std::vector<int>> el8, el5, el3;
  std::vector<std::vector<double>> materials;  ///< P1 … P68 of each material
  std::vector<std::vector<int>> options;       ///< O1 … O6 of each material
  std::vector<std::vector<int>> edgeTemp, edgeFlow, surfTemp, surfFlow, nodalTemp, nodalFlow;
  std::vector<History> edgeTempH, edgeFlowH, surfTempH, surfFlowH, nodalTempH, nodalFlowH, pipeH;
  std::vector<std::vector<int>> spring, load, disp, nodalSpring, nodalLoad;
  std::vector<History> springH, loadH, dispH, nodalSpringH, nodalLoadH;
  std::vector<std::pair<int, double>> thickness;
};

inline std::vector<std::vector<int>> ReadItems(FreeFormat& f, int count, std::size_t width) {
  std::vector<std::vector<int>> v;
  for (int i = 0; i < count; ++i) v.push_back(f.Ints(width));
  return v;
}

inline std::vector<History> ReadHistories(FreeFormat& f, int count, std::size_t coeffs,
                                          std::size_t width, bool dispFlags = false) {
  std::vector<History> v;
  for (int i = 0; i < count; ++i) {
    History h;
    if (dispFlags) {
      const auto t = f.Tokens(3);
      h.header = {FreeFormat::ToReal(t[0])};
      h.flags = {FreeFormat::ToInt(t[1]), FreeFormat::ToInt(t[2])};
    } else {
      h.header = f.Reals(1 + coeffs);
    }
    const long n = std::lround(h.header[0]);
    for (long k = 0; k < n; ++k) h.points.push_back(f.Reals(width));
    v.push_back(h);
  }
  return v;
}

/// Reads the whole file in the engine's order; throws on any value that does
/// not read.
inline ReadBack ReadAnalysisData(const std::string& text) {
  FreeFormat f(text);
  ReadBack r;
  r.title = f.Line();
  r.general = f.Ints(6);
  r.times = f.Reals(4);
  r.counts4 = f.Ints(15);
  r.counts5 = f.Ints(10);
  const int nNodes = r.general[2], nEl8 = r.general[3], nMat = r.general[4];
  for (int i = 0; i < nNodes; ++i) r.coords.push_back(f.Reals(2));
  r.el8 = ReadItems(f, nEl8, 12);
  r.el5 = ReadItems(f, r.counts4[0], 6);
  r.el3 = ReadItems(f, r.counts4[1], 4);
  for (int m = 0; m < nMat; ++m) {
    std::vector<double> p;
    std::vector<int> o = f.Ints(1);
    for (std::size_t n : {2, 4, 3, 3, 3, 3}) {
      const auto v = f.Reals(n);
      p.insert(p.end(), v.begin(), v.end());
    }
    const auto o2 = f.Ints(5);
    o.insert(o.end(), o2.begin(), o2.end());
    for (int l = 0; l < 12; ++l) {
      const auto v = f.Reals(4);
      p.insert(p.end(), v.begin(), v.end());
    }
    const auto v = f.Reals(2);
    p.insert(p.end(), v.begin(), v.end());
    r.materials.push_back(p);
    r.options.push_back(o);
  }
  const auto& c = r.counts4;
  r.edgeTemp = ReadItems(f, c[2], 4);
  r.edgeTempH = ReadHistories(f, c[3], 1, 2);
  r.edgeFlow = ReadItems(f, c[4], 4);
  r.edgeFlowH = ReadHistories(f, c[5], 0, 2);
  r.surfTemp = ReadItems(f, c[6], 9);
  r.surfTempH = ReadHistories(f, c[7], 1, 2);
  r.surfFlow = ReadItems(f, c[8], 9);
  r.surfFlowH = ReadHistories(f, c[9], 0, 2);
  r.nodalTemp = ReadItems(f, c[10], 2);
  r.nodalTempH = ReadHistories(f, c[11], 1, 2);
  r.nodalFlow = ReadItems(f, c[12], 2);
  r.nodalFlowH = ReadHistories(f, c[13], 0, 2);
  r.pipeH = ReadHistories(f, c[14], 5, 3);
  const auto& d = r.counts5;
  r.spring = ReadItems(f, d[0], 4);
  r.springH = ReadHistories(f, d[1], 2, 3);
  r.load = ReadItems(f, d[2], 4);
  r.loadH = ReadHistories(f, d[3], 0, 3);
  r.disp = ReadItems(f, d[4], 2);
  r.dispH = ReadHistories(f, d[5], 0, 3, true);
  r.nodalSpring = ReadItems(f, d[6], 2);
  r.nodalSpringH = ReadHistories(f, d[7], 2, 3);
  r.nodalLoad = ReadItems(f, d[8], 2);
  r.nodalLoadH = ReadHistories(f, d[9], 0, 3);
  for (int e = 0; e < nEl8; ++e) {
    const auto t = f.Tokens(2);
    r.thickness.emplace_back(FreeFormat::ToInt(t[0]), FreeFormat::ToReal(t[1]));
  }
  return r;
}

}  // namespace meshgen::testing
