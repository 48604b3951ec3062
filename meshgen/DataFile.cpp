#include "DataFile.h"

#include <fmt/format.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "FixedFormat.h"

namespace meshgen {
namespace {

constexpr int kFiniteType = 5;
constexpr int kStripType = 2;
constexpr int kMaxHistoryPoints = 1000;

std::size_t Sz(long long n) {
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

[[noreturn]] void Internal(const std::string& what) {
  throw DataFileError(" INTERNAL ERROR IN OUTPUT DATA: " + what);
}

/// Appends a field after an I5 (or any field written without separator),
/// keeping a blank between the two values when the field has none in front.
void AppendAfter(std::string& out, const std::string& field) {
  if (!field.empty() && field.front() != ' ' && !out.empty() && out.back() != ' ')
    out.push_back(' ');
  out += field;
}

class Writer {
 public:
  Writer(const MeshgenArgs& a, const AnalysisMesh& m) : a_(a), m_(m) {}

  std::string Run() {
    CheckMesh();
    Title();
    Header();
    Coordinates();
    Elements();
    Materials();
    Thermal();
    Structural();
    Thickness();
    return std::move(out_);
  }

 private:
  // ---- checks ---------------------------------------------------------------

  void CheckCount(long long n, const char* what) const {
    if (n < 0) Internal(fmt::format("NEGATIVE COUNT OF {}", what));
  }
  template <typename T>
  void CheckArray(const T* p, long long n, const char* what) const {
    CheckCount(n, what);
    if (n > 0 && p == nullptr) Internal(fmt::format("MISSING ARRAY {}", what));
  }
  void CheckSpan(std::size_t have, long long want, const char* what) const {
    if (want < 0 || have < Sz(want)) Internal(fmt::format("TABLE {} TOO SHORT", what));
  }
  void CheckList(const MappedList& l, int length, const char* what) const {
    CheckCount(l.count, what);
    CheckSpan(l.records.size(), static_cast<long long>(length) * l.count, what);
  }

  void CheckMesh() {
    const int nn = m_.nodeCount, ne = m_.elementCount;
    CheckCount(nn, "NODES");
    CheckCount(ne, "ELEMENTS");
    CheckSpan(m_.x.size(), nn, "XNOD");
    CheckSpan(m_.y.size(), nn, "YNOD");
    CheckSpan(m_.ncon.size(), 8LL * ne, "NCON");
    CheckSpan(m_.ncn.size(), ne, "NCN");
    CheckSpan(m_.mat.size(), ne, "MAT");
    CheckSpan(m_.region.size(), ne, "REGION");
    CheckSpan(m_.type.size(), ne, "ITY");
    if (!m_.mwt.empty()) CheckSpan(m_.mwt.size(), 3LL * ne, "MWT");
    CheckList(m_.edgeTemp, 4, "MPET");
    CheckList(m_.edgeFlow, 4, "MPSH");
    CheckList(m_.areaTemp, 9, "MPAT");
    CheckList(m_.areaFlow, 9, "MPAH");
    CheckList(m_.edgeDisp, 2, "MSDS");
    CheckList(m_.edgeSpring, 4, "MSES");
    CheckList(m_.edgeLoad, 4, "MSFS");
    CheckSpan(m_.nodalTemp.size(), 2LL * a_.nNodalTempPos, "MPV");
    CheckSpan(m_.nodalFlow.size(), 2LL * a_.nNodalFlowPos, "MNL");
    CheckSpan(m_.nodalDisp.size(), 2LL * a_.nNodalDispPos, "MPVS");
    CheckSpan(m_.nodalSpring.size(), 2LL * a_.nNodalSpringPos, "MNES");
    CheckSpan(m_.nodalLoad.size(), 2LL * a_.nNodalLoadPos, "MNLS");
    CheckArray(a_.materialProperties, 68LL * a_.nMaterials, "MATERIAL PROPERTIES");
    CheckArray(a_.materialOptions, 7LL * a_.nMaterials, "MATERIAL OPTIONS");

    // New node numbers: JNT must be a permutation of 1 … nodeCount.
    newNumber_.resize(Sz(nn) + 1);
    oldNumber_.assign(Sz(nn) + 1, 0);
    for (int n = 1; n <= nn; ++n) {
      int k = n;
      if (m_.renumbered) {
        CheckSpan(m_.jnt.size(), nn, "JNT");
        k = m_.jnt[Sz(n - 1)];
        if (k < 1 || k > nn || oldNumber_[Sz(k)] != 0) Internal("INVALID NODE RENUMBERING");
      }
      newNumber_[Sz(n)] = k;
      oldNumber_[Sz(k)] = n;
    }

    for (int e = 0; e < ne; ++e) {
      const int t = m_.type[Sz(e)];
      (t == kFiniteType ? el8_ : t == kStripType ? el5_ : el3_).push_back(e);
      const int ncn = m_.ncn[Sz(e)];
      if (ncn < 1 || ncn > 8) Internal(fmt::format("ELEMENT {} HAS {} NODES", e + 1, ncn));
    }
    // The engine reads five nodes for every strip element and three for every
    // corner element: a strip that does not border the finite region keeps
    // four nodes and would shift every later value of the file.
    for (int e : el5_)
      if (m_.ncn[Sz(e)] != 5)
        throw DataFileError(
            fmt::format(" INFINITE ELEMENTS OF SUPER ELEMENT{:5d} DO NOT BORDER A FINITE REGION",
                        InputSuperElement(e)));
    for (int e : el3_)
      if (m_.ncn[Sz(e)] != 3)
        throw DataFileError(
            fmt::format(" INFINITE CORNER ELEMENT OF SUPER ELEMENT{:5d} DOES NOT HAVE THREE NODES",
                        InputSuperElement(e)));
  }

  /// Input number of the super element of element e (0-based).
  int InputSuperElement(int e) const {
    const int r = m_.region[Sz(e)];
    if (r < 1 || Sz(r) > m_.icross.size()) Internal(fmt::format("ELEMENT {} HAS NO REGION", e + 1));
    const int s = m_.icross[Sz(r - 1)];
    if (s < 1 || s > a_.nSuperElements) Internal("INVALID SUPER ELEMENT ORDER");
    return s;
  }

  int Node(int old) const {
    if (old < 1 || old > m_.nodeCount) Internal(fmt::format("NODE NUMBER {} OUT OF RANGE", old));
    return newNumber_[Sz(old)];
  }

  double Real(double v, const char* what) const {
    if (!std::isfinite(v)) throw DataFileError(fmt::format(" INVALID NUMBER IN {}", what));
    return v;
  }

  // ---- layouts --------------------------------------------------------------

  void I7List(std::initializer_list<long long> values) {
    for (long long v : values) {
      AppendInt(out_, v, 7);
      out_.push_back(' ');
    }
    out_.push_back('\n');
  }

  void I8List(const std::vector<int>& values) {
    std::size_t onLine = 0;
    for (int v : values) {
      if (onLine == 12) {
        out_.push_back('\n');
        onLine = 0;
      }
      AppendInt(out_, v, 8);
      ++onLine;
    }
    out_.push_back('\n');
  }

  void E16List(const double* v, int n, const char* what) {
    for (int i = 0; i < n; ++i) {
      if (i > 0) out_.push_back(i % 4 == 0 ? '\n' : ' ');
      out_ += E16(Real(v[i], what));
    }
    out_.push_back('\n');
  }

  /// " " + I5 count, as history headers begin.
  void CountField(int n) {
    out_.push_back(' ');
    AppendInt(out_, n, 5);
  }

  // ---- header ---------------------------------------------------------------

  void Title() {
    char title[80];
    std::memcpy(title, a_.titleWords, sizeof title);
    for (char& ch : title)
      if (ch == '\n' || ch == '\r') ch = ' ';  // a line break would split the title line
    out_.append(title, sizeof title);
    out_.push_back('\n');
  }

  void Header() {
    for (int i = 0; i < 4; ++i) Real(a_.timeReals[i], "GENERAL DATA");
    CheckCount(a_.nMaterials, "MATERIALS");
    I7List({a_.analysisInts[0], a_.analysisInts[1], m_.nodeCount,
            static_cast<long long>(el8_.size()), a_.nMaterials, a_.analysisInts[2]});
    for (int i = 0; i < 4; ++i) {
      out_ += E16(a_.timeReals[i]);
      out_.push_back(' ');
    }
    out_.push_back('\n');
    I7List({static_cast<long long>(el5_.size()), static_cast<long long>(el3_.size()),
            m_.edgeTemp.count, a_.nEdgeTempConds, m_.edgeFlow.count, a_.nEdgeFlowConds,
            m_.areaTemp.count, a_.nAreaTempConds, m_.areaFlow.count, a_.nAreaFlowConds,
            a_.nNodalTempPos, a_.nNodalTempConds, a_.nNodalFlowPos, a_.nNodalFlowConds,
            a_.nPipeConds});
    I7List({m_.edgeSpring.count, a_.nEdgeSpringConds, m_.edgeLoad.count, a_.nEdgeLoadConds,
            static_cast<long long>(m_.edgeDisp.count) + a_.nNodalDispPos,
            static_cast<long long>(a_.nNodalDispConds) + a_.nEdgeDispConds, a_.nNodalSpringPos,
            a_.nNodalSpringConds, a_.nNodalLoadPos, a_.nNodalLoadConds});
  }

  // ---- mesh -----------------------------------------------------------------

  void Coordinates() {
    for (int k = 1; k <= m_.nodeCount; ++k) {
      const int n = oldNumber_[Sz(k)];
      out_ += E19(Real(m_.x[Sz(n - 1)], "NODE COORDINATES"));
      out_.push_back(' ');
      out_ += E19(Real(m_.y[Sz(n - 1)], "NODE COORDINATES"));
      out_.push_back('\n');
    }
  }

  void Elements() {
    std::vector<int> line;
    for (int e : el8_) {
      line.clear();
      for (int p = 0; p < 8; ++p) line.push_back(Node(m_.ncon[Sz(8 * e + p)]));
      line.push_back(m_.mat[Sz(e)]);
      for (int j = 0; j < 3; ++j) line.push_back(m_.mwt.empty() ? 0 : m_.mwt[Sz(3 * e + j)]);
      I8List(line);
    }
    for (const auto* list : {&el5_, &el3_})
      for (int e : *list) {
        line.clear();
        for (int p = 0; p < m_.ncn[Sz(e)]; ++p) line.push_back(Node(m_.ncon[Sz(8 * e + p)]));
        line.push_back(m_.mat[Sz(e)]);
        I8List(line);
      }
  }

  void Materials() {
    for (int m = 0; m < a_.nMaterials; ++m) {
      const double* p = a_.materialProperties + 68 * m;
      const int32_t* o = a_.materialOptions + 7 * m;
      const char* what = "MATERIAL PROPERTIES";
      I8List({o[0]});
      E16List(p + 0, 2, what);   // P1, P2
      E16List(p + 2, 4, what);   // P3 … P6
      E16List(p + 6, 3, what);   // P7 … P9
      E16List(p + 9, 3, what);   // P10 … P12
      E16List(p + 12, 3, what);  // P13 … P15
      E16List(p + 15, 3, what);  // P16 … P18
      I7List({o[1], o[2], o[3], o[4], o[5]});
      for (int l = 0; l < 12; ++l) E16List(p + 18 + 4 * l, 4, what);  // P19 … P66
      E16List(p + 66, 2, what);                                       // P67, P68
    }
  }

  // ---- conditions -----------------------------------------------------------

  /// Mapped records: `nodes` node numbers then a condition (plus `offset`).
  void Records(const MappedList& l, int nodes, int offset = 0) {
    std::vector<int> line;
    const int len = nodes + 1;
    for (int r = 0; r < l.count; ++r) {
      line.clear();
      for (int j = 0; j < nodes; ++j) line.push_back(Node(l.records[Sz(len * r + j)]));
      line.push_back(l.records[Sz(len * r + nodes)] + offset);
      I8List(line);
    }
  }
  void NodalRecords(std::span<const int> list, int count) { Records(MappedList{list, count}, 1); }

  enum class Kind { kTemp, kFlow, kPipe, kSpring, kLoad, kDisp };

  static int RecordLength(Kind k) {
    switch (k) {
      case Kind::kTemp:
        return MESHGEN_TEMP_RECORD;
      case Kind::kFlow:
        return MESHGEN_FLOW_RECORD;
      case Kind::kPipe:
        return MESHGEN_PIPE_RECORD;
      case Kind::kSpring:
        return MESHGEN_SPRING_RECORD;
      case Kind::kLoad:
        return MESHGEN_LOAD_RECORD;
      case Kind::kDisp:
        return MESHGEN_DISP_RECORD;
    }
    return 0;
  }

  /// Writes `count` histories of one kind; `dirs` holds the direction flags of
  /// displacement conditions (2 per condition).
  void Histories(Kind kind, const double* conds, int count, const char* name,
                 const int32_t* dirs = nullptr) {
    const int len = RecordLength(kind);
    CheckArray(conds, static_cast<long long>(len) * count, name);
    if (kind == Kind::kDisp) CheckArray(dirs, 2LL * count, name);
    for (int i = 0; i < count; ++i) {
      const double* c = conds + static_cast<std::size_t>(len) * Sz(i);
      const double stored = c[0];
      if (!std::isfinite(stored) || stored < -0.5 || stored >= kMaxHistoryPoints + 0.5)
        throw DataFileError(fmt::format(
            " HISTORY OF {} CONDITION{:5d} HAS AN INVALID NUMBER OF POINTS", name, i + 1));
      const int n = static_cast<int>(std::lround(stored));  // halves away from zero
      int first = 0, width = 0;  // 0-based index of point 1 and values per point
      switch (kind) {
        case Kind::kTemp:
          CountField(n);
          out_ += E19(Real(c[1], name));
          first = 2, width = 2;
          break;
        case Kind::kFlow:
          CountField(n);
          first = 1, width = 2;
          break;
        case Kind::kPipe:
          CountField(n);
          for (int j = 1; j <= 4; ++j) {
            AppendAfter(out_, E16(Real(c[j], name)));
            out_.push_back(' ');
          }
          AppendInt(out_, std::lround(Real(c[5], name)), 5);
          first = 6, width = 3;
          break;
        case Kind::kSpring:
          CountField(n);
          for (int j = 1; j <= 2; ++j) {
            AppendAfter(out_, E16(Real(c[j], name)));
            out_.push_back(' ');
          }
          first = 3, width = 3;
          break;
        case Kind::kLoad:
          CountField(n);
          first = 1, width = 3;
          break;
        case Kind::kDisp:
          I7ListNoBreak({n, dirs[2 * i], dirs[2 * i + 1]});
          first = 1, width = 3;
          break;
      }
      out_.push_back('\n');
      for (int k = 0; k < n; ++k) E16List(c + first + width * k, width, name);
    }
  }

  void I7ListNoBreak(std::initializer_list<long long> values) {
    for (long long v : values) {
      AppendInt(out_, v, 7);
      out_.push_back(' ');
    }
  }

  void Thermal() {
    Records(m_.edgeTemp, 3);
    Histories(Kind::kTemp, a_.edgeTempConds, a_.nEdgeTempConds, "EDGE TEMPERATURE");
    Records(m_.edgeFlow, 3);
    Histories(Kind::kFlow, a_.edgeFlowConds, a_.nEdgeFlowConds, "EDGE HEAT FLOW");
    Records(m_.areaTemp, 8);
    Histories(Kind::kTemp, a_.areaTempConds, a_.nAreaTempConds, "SURFACE TEMPERATURE");
    Records(m_.areaFlow, 8);
    Histories(Kind::kFlow, a_.areaFlowConds, a_.nAreaFlowConds, "SURFACE HEAT FLOW");
    NodalRecords(m_.nodalTemp, a_.nNodalTempPos);
    Histories(Kind::kTemp, a_.nodalTempConds, a_.nNodalTempConds, "NODAL TEMPERATURE");
    NodalRecords(m_.nodalFlow, a_.nNodalFlowPos);
    Histories(Kind::kFlow, a_.nodalFlowConds, a_.nNodalFlowConds, "NODAL HEAT FLOW");
    Histories(Kind::kPipe, a_.pipeConds, a_.nPipeConds, "PIPE");
  }

  void Structural() {
    Records(m_.edgeSpring, 3);
    Histories(Kind::kSpring, a_.edgeSpringConds, a_.nEdgeSpringConds, "EDGE SPRING");
    Records(m_.edgeLoad, 3);
    Histories(Kind::kLoad, a_.edgeLoadConds, a_.nEdgeLoadConds, "EDGE LOAD");
    NodalRecords(m_.nodalDisp, a_.nNodalDispPos);
    // Edge displacement conditions follow the nodal ones.
    Records(m_.edgeDisp, 1, a_.nNodalDispConds);
    Histories(Kind::kDisp, a_.nodalDispConds, a_.nNodalDispConds, "NODAL DISPLACEMENT",
              a_.nodalDispDirs);
    Histories(Kind::kDisp, a_.edgeDispConds, a_.nEdgeDispConds, "EDGE DISPLACEMENT",
              a_.edgeDispDirs);
    NodalRecords(m_.nodalSpring, a_.nNodalSpringPos);
    Histories(Kind::kSpring, a_.nodalSpringConds, a_.nNodalSpringConds, "NODAL SPRING");
    NodalRecords(m_.nodalLoad, a_.nNodalLoadPos);
    Histories(Kind::kLoad, a_.nodalLoadConds, a_.nNodalLoadConds, "NODAL LOAD");
  }

  /// One line per element in the order of the element sections, so that the
  /// engine's first nEl8 lines are the eight-node elements' own thicknesses.
  void Thickness() {
    for (const auto* list : {&el8_, &el5_, &el3_})
      for (int e : *list) {
        const int s = InputSuperElement(e);
        const double t = a_.superThickness != nullptr ? a_.superThickness[s - 1] : -1.0;
        AppendInt(out_, m_.region[Sz(e)], 5);
        AppendAfter(out_, G16(Real(t, "THICKNESS")));
        out_.push_back('\n');
      }
  }

  const MeshgenArgs& a_;
  const AnalysisMesh& m_;
  std::string out_;
  std::vector<int> newNumber_, oldNumber_;  // creation → file number and back, 1-based
  std::vector<int> el8_, el5_, el3_;        // 0-based element indices per section
};

}  // namespace

std::string FormatAnalysisData(const MeshgenArgs& args, const AnalysisMesh& mesh) {
  return Writer(args, mesh).Run();
}

void WriteAnalysisData(const std::string& fileName, const MeshgenArgs& args,
                       const AnalysisMesh& mesh) {
  const std::string text = FormatAnalysisData(args, mesh);
  std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
  if (!f) throw DataFileError(" OUTPUT FILE NOT AVAILABLE!");
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  f.close();
  if (!f) throw DataFileError(" ERROR WRITING OUTPUT FILE");
}

}  // namespace meshgen
