#include "InputListing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "FatalStop.h"

namespace meshgen {

std::string ListingExponent(double value, int digits) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  const char* sign = std::signbit(value) && value != 0.0 ? "-" : "";
  if (value == 0.0)
    return fmt::format("0.{}E+00", std::string(static_cast<std::size_t>(digits), '0'));
  // d.ddd...e+xx with `digits` significant digits, correctly rounded; then shift the
  // point one place to the left.
  const std::string s = fmt::format("{:.{}e}", std::fabs(value), digits - 1);
  const std::size_t e = s.find('e');
  std::string mantissa = s.substr(0, 1);
  if (digits > 1) mantissa += s.substr(2, e - 2);
  const int exponent = std::atoi(s.c_str() + e + 1) + 1;
  const int magnitude = std::abs(exponent);
  return fmt::format("{}0.{}E{}{:0{}d}", sign, mantissa, exponent < 0 ? '-' : '+', magnitude,
                     magnitude >= 100 ? 3 : 2);
}

namespace {

constexpr double kSecondsPerHour = 3600.0;

std::string E(double value, int width) {
  return fmt::format("{:>{}}", ListingExponent(value), width);
}
std::string I(long long value, int width) {
  return fmt::format("{:{}d}", value, width);
}

// Numbers of one line: each right-aligned in its field; a number that fills its field
// gets a blank in front when it follows another number, so that two numbers never join
// ("1" and "0.500000E+00" are listed as "1 0.500000E+00", not "10.500000E+00").
void Append(std::string& line, const std::string& field) {
  if (!line.empty() && !field.empty() && field.front() != ' ' && line.back() != ' ')
    line.push_back(' ');
  line += field;
}
std::string Cat(std::initializer_list<std::string> fields) {
  std::string line;
  for (const auto& f : fields) Append(line, f);
  return line;
}

// A project text: the characters before the zero byte that ends it; without a zero
// byte, the 255-character field without its trailing blanks.
std::string ProjectText(const char* field) {
  std::size_t n = 0;
  while (n < 255 && field[n] != '\0') ++n;
  if (n == 255)
    while (n > 0 && field[n - 1] == ' ') --n;
  return std::string(field, n);
}

class Listing {
 public:
  void Line(std::string_view text) {
    out_.append(6, ' ');
    out_.append(text);
    out_.push_back('\n');
  }
  void Separator() { out_.append(" \n"); }
  // A labelled value: label, the value in exponent form (E13 or E12), the unit text.
  void Value(std::string_view label, double value, std::string_view unit, int width = 13) {
    Line(fmt::format("{}{}{}", label, E(value, width), unit));
  }
  void Hours(std::string_view label, double seconds, int width = 13) {
    Value(label, seconds / kSecondsPerHour, " h", width);
  }
  void Heading(std::string_view text) {
    Line(text);
    Line(std::string(text.size(), '='));
  }
  std::string Text() && { return std::move(out_); }

 private:
  std::string out_;
};

// Property P(k), k = 1 ... 68, of material m (0-based).
struct Material {
  const double* p;
  const std::int32_t* o;
  double P(int k) const { return p[k - 1]; }
  int O(int k) const { return o[k - 1]; }
};

void OptionLine(Listing& out, int option, const char* text) {
  out.Line(option == 1 ? std::string(text) : std::string("NO ") + text);
}

void ListMaterial(Listing& out, const Material& m) {
  constexpr const char* kNone = " ";
  if (m.O(1) == 1) {
    out.Hours("TIME OF CASTING:", m.P(1));
    out.Value("THERMAL CONDUCTIVITY:", m.P(3), " W/mK");
    out.Value("MASS DENSITY:", m.P(4), " kg/m**3");
    out.Value("SPECIFIC HEAT:", m.P(5), " J/kgK");
    out.Value("CASTING TEMPERATURE:", m.P(6), " C");
    out.Hours("INITIAL MATURITY TIME:", m.P(7));
    out.Value("CEMENT CONTENT:", m.P(8), " kg/m**3");
    out.Value("QUANTITY OF HEAT DEVELOPED AT COMPLETE HYDRATION", m.P(10) / 1000.0, " kJ/kg");
    out.Value("LAMBDA-1:", m.P(11), kNone);
    out.Hours("t-1:", m.P(12));
    out.Value("KAPPA-1:", m.P(13), kNone);
    out.Value("THETA-0:", m.P(14), kNone);
    out.Value("KAPPA-0:", m.P(15), kNone);
    out.Hours("VOLUME LOAD INITIATION TIME:", m.P(16));
    out.Value("f-x    :", m.P(17), " N/m**3");
    out.Value("f-y    :", m.P(18), " N/m**3");
    OptionLine(out, m.O(2), "DEVELOPMENT OF PROPERTIES");
    out.Separator();
  } else {
    out.Value("THERMAL CONDUCTIVITY:", m.P(3), " W/mK");
    out.Value("MASS DENSITY:", m.P(4), " kg/m**3");
    out.Value("SPECIFIC HEAT:", m.P(5), " J/kgK");
    out.Value("INITIAL TEMPERATURE:", m.P(6), " C");
    out.Hours("VOLUME LOAD INITIATION TIME:", m.P(16));
    out.Value("f-x    :", m.P(17), " N/m**3");
    out.Value("f-y    :", m.P(18), " N/m**3");
    out.Separator();
  }
  OptionLine(out, m.O(3), "FRACTURE MODELLING");
  out.Separator();
  OptionLine(out, m.O(4), "MODELLING OF CREEP");
  out.Separator();
  OptionLine(out, m.O(5), "MODELLING OF STRESS INDUCED THERMAL STRAIN");
  OptionLine(out, m.O(6), "MODELLING OF AUTOGENEOUS SHRINKAGE");
  if (m.O(1) == 1) {
    out.Value("E-0:", m.P(23), " Pa");
    out.Value("a-1E:", m.P(24), kNone);
    out.Value("b-1E:", m.P(25), kNone);
    out.Value("a-2E:", m.P(26), kNone);
    out.Value("b-2E:", m.P(27), kNone);
    out.Value("NY-1:", m.P(28), kNone);
    out.Value("NY-2:", m.P(29), kNone);
    out.Value("ALPHA-NY,1:", m.P(30), kNone);
    out.Value("ALPHA-NY,2:", m.P(31), kNone);
    out.Value("f-c0:", m.P(64), " Pa");
    out.Value("a-1c:", m.P(65), kNone);
    out.Value("b-1c:", m.P(66), kNone);
    out.Value("a-2c:", m.P(67), kNone);
    out.Value("b-2c:", m.P(68), kNone);
    out.Value("f-t0:", m.P(32), " Pa");
    out.Value("a-1t:", m.P(33), kNone);
    out.Value("b-1t:", m.P(34), kNone);
    out.Value("a-2t:", m.P(35), kNone);
    out.Value("b-2t:", m.P(36), kNone);
    out.Value("G-F0:", m.P(37), " N/m");
    out.Value("G-S0:", m.P(38), " Pa");
  } else {
    out.Value("E:", m.P(23), " Pa");
    out.Value("NY:", m.P(29), kNone);
    out.Value("f-c:", m.P(64), " Pa");
    out.Value("f-t:", m.P(32), " Pa");
    out.Value("G-F:", m.P(37), " N/m");
    out.Value("G-S:", m.P(38), " Pa");
  }
  out.Value("ALPHA-T:", m.P(39), kNone);
  out.Value("r-t:", m.P(40), kNone);
  out.Value("E-T,SIG:", m.P(41), " PaK");
  out.Value("NY-T,SIG:", m.P(42), kNone);
  out.Value("PHI-0:", m.P(43), kNone);
  out.Value("PHI-t1:", m.P(44), kNone);
  for (int i = 0; i < 5; ++i) {
    const int base = 45 + 3 * i;
    out.Value(fmt::format("TAU-{}:", i + 1), m.P(base), " s");
    out.Value(fmt::format("PHI-{}:", i + 1), m.P(base + 1), kNone);
    out.Value(fmt::format("NY-c{}:", i + 1), m.P(base + 2), kNone);
  }
  out.Value("EPS-a,inf", m.P(60), kNone);
  out.Hours("t-a:", m.P(61));
  out.Hours("t-2:", m.P(62));
  out.Value("kap-2:", m.P(63), kNone);
}

// Kinds of condition records.
enum class Kind { Temperature, Flow, Pipe, Displacement, Spring, EdgeLoad, NodalLoad };

struct ConditionSet {
  Kind kind;
  std::int32_t count;
  const double* records;
  int recordLength;
  const char* transferUnit = " W/m**2K";                // temperature kinds
  const char* flowHead = "    TIME (h) HEAT (W/m**2)";  // flow kinds
  const std::int32_t* directions = nullptr;             // displacement kinds
};

void ListConditions(Listing& out, const ConditionSet& set) {
  for (std::int32_t k = 0; k < set.count; ++k) {
    const double* c1 = set.records + static_cast<std::int64_t>(k) * set.recordLength;
    // c(i): 1-based entry of the record.
    auto c = [c1](long i) { return c1[i - 1]; };
    const long n = std::lround(c(1));
    out.Line(fmt::format("CONDITION NO.{:5d}:", k + 1));
    out.Line("-------------------");
    auto times = [&](auto&& head, auto&& point) {
      out.Line(fmt::format("NUMBER OF TIMES:{:10d}", n));
      if (head[0] != '\0') {
        out.Line(head);
        for (long p = 1; p <= n; ++p) out.Line(point(p));
      }
    };
    switch (set.kind) {
      case Kind::Temperature:
        out.Value("TRANSFER COEFFICIENT:", c(2), set.transferUnit, 12);
        times("    TIME (h)    TEMP (C)", [&](long p) {
          return Cat({E(c(2 * p + 1) / kSecondsPerHour, 12), E(c(2 * p + 2), 12)});
        });
        break;
      case Kind::Flow:
        times(set.flowHead, [&](long p) {
          return Cat({E(c(2 * p) / kSecondsPerHour, 12), E(c(2 * p + 1), 12)});
        });
        break;
      case Kind::Pipe:
        out.Value("TRANSFER COEFFICIENT:", c(2), " W/m**2K", 12);
        out.Value("PIPE DIAMETER:", c(3), " m", 12);
        out.Value("LENGTH OF PARTS:", c(4), " m", 12);
        out.Value("SPECIFIC HEAT OF COOLING LIQUID:", c(5), " J/kgK", 12);
        times((c(6) > -0.5 && c(6) < 0.5) ? "    TIME (h) TEMP-IN (C) FLOW (kg/s)"
                                          : "    TIME (h) TEMP-IN (C) TEMP-OUT (C)",
              [&](long p) {
                return Cat({E(c(3 * p + 4) / kSecondsPerHour, 12), E(c(3 * p + 5), 12),
                            E(c(3 * p + 6), 12)});
              });
        break;
      case Kind::Displacement: {
        const bool x = set.directions[2 * k] == 1;
        const bool y = set.directions[2 * k + 1] == 1;
        const char* head = x && y ? "TIME (h)    X-DISP (m)  Y-DISP (m)"
                           : x    ? "    TIME (h)    X-DISP (m)"
                           : y    ? "    TIME (h)    Y-DISP (m)"
                                  : "";
        times(head, [&](long p) {
          std::string line = E(c(3 * p - 1) / kSecondsPerHour, 12);
          if (x) Append(line, E(c(3 * p), 12));
          if (y) Append(line, E(c(3 * p + 1), 12));
          return line;
        });
        break;
      }
      case Kind::Spring:
        out.Value("SPRING STIFFNESS (X)", c(2), " N/m**3", 12);
        out.Value("SPRING STIFFNESS (Y)", c(3), " N/m**3", 12);
        times("TIME (h)    X-DISP (m)  Y-DISP (m)", [&](long p) {
          return Cat(
              {E(c(3 * p + 1) / kSecondsPerHour, 12), E(c(3 * p + 2), 12), E(c(3 * p + 3), 12)});
        });
        break;
      case Kind::EdgeLoad:
      case Kind::NodalLoad:
        times(set.kind == Kind::EdgeLoad ? "TIME (h)    X-LOAD (Pa)  Y-LOAD (Pa)"
                                         : "TIME (h)    X-LOAD (N/m)  Y-LOAD (N/m)",
              [&](long p) {
                return Cat(
                    {E(c(3 * p - 1) / kSecondsPerHour, 12), E(c(3 * p), 12), E(c(3 * p + 1), 12)});
              });
        break;
    }
    out.Separator();
  }
}

void EdgePositions(Listing& out, std::int32_t count, const std::int32_t* pos) {
  out.Line("    POSITION      NODE 1      NODE 2   CONDITION");
  for (std::int32_t i = 0; i < count; ++i)
    out.Line(Cat({I(i + 1, 12), I(pos[3 * i], 12), I(pos[3 * i + 1], 12), I(pos[3 * i + 2], 12)}));
}

void AreaPositions(Listing& out, std::int32_t count, const std::int32_t* pos) {
  out.Line("    POSITION      NODE 1      NODE 2      NODE 3      NODE 4   CONDITION");
  for (std::int32_t i = 0; i < count; ++i) {
    std::string line = I(i + 1, 12);
    for (int j = 0; j < 5; ++j) Append(line, I(pos[5 * i + j], 12));
    out.Line(line);
  }
}

void NodalPositions(Listing& out, std::int32_t count, const std::int32_t* cond, const double* xy) {
  out.Line("    POSITION       X           Y       CONDITION");
  for (std::int32_t i = 0; i < count; ++i)
    out.Line(Cat({I(i + 1, 12), E(xy[2 * i], 12), E(xy[2 * i + 1], 12), I(cond[i], 12)}));
}

void PipePositions(Listing& out, std::int32_t count, const std::int32_t* condPart,
                   const double* xy) {
  out.Line("    POSITION       X           Y       CONDITION        PART");
  for (std::int32_t i = 0; i < count; ++i)
    out.Line(Cat({I(i + 1, 12), E(xy[2 * i], 12), E(xy[2 * i + 1], 12),
                  I(condPart[2 * i], 12) + I(condPart[2 * i + 1], 12)}));
}

// One condition section: only when it has positions.
template <typename PositionLister>
void Section(Listing& out, const char* heading, std::int32_t positions,
             PositionLister&& listPositions, const ConditionSet& conditions) {
  if (positions <= 0) return;
  out.Heading(heading);
  out.Separator();
  listPositions();
  out.Separator();
  ListConditions(out, conditions);
}

}  // namespace

std::string FormatInputListing(const MeshgenArgs& a) {
  Listing out;
  const std::string stars(68, '*');

  // 1. Banner and project texts.
  out.Line(stars);
  out.Line("VEMTO 3  -  A PROGRAM FOR SIMULATION OF STRESS IN HARDENING CONCRETE");
  out.Line(stars);
  out.Line("TITLE    : " + ProjectText(a.projectTitle));
  out.Line("SUBJECT  : " + ProjectText(a.projectSubject));
  out.Line("AUTHOR   : " + ProjectText(a.projectAuthor));
  out.Line("MANAGER  : " + ProjectText(a.projectManager));
  out.Line("COMPANY  : " + ProjectText(a.projectCompany));
  out.Line("DESCR.   : " + ProjectText(a.projectDescription));
  out.Line(stars);

  // 2. Analysis type and temperature mode.
  const int analysisType = a.analysisInts[0];
  out.Line(analysisType == 1   ? "PLANE STRESS ANALYSIS"
           : analysisType == 2 ? "PLANE STRAIN ANALYSIS"
                               : "AXISYMMETRIC ANALYSIS");
  const int mode = a.analysisInts[2];
  const int baseMode = mode >= 10 ? mode - 10 : mode;
  out.Line(baseMode == 0   ? "SIMULATION OF TEMPERATURE AND MATURITY"
           : baseMode == 1 ? "NO VARIATION OF TEMPERATURE AND MATURITY"
                           : "INPUT OF TEMPERATURE AND MATURITY");
  if (mode >= 10) out.Line("DISPLACEMENTS AND STRESSES NOT CALCULATED");
  out.Separator();

  // 3. Time stepping and thickness.
  out.Line(fmt::format("NUMBER OF TIME STEPS:{:5d}", a.analysisInts[1]));
  out.Separator();
  out.Hours("INITIAL TIME:", a.timeReals[0]);
  out.Separator();
  out.Hours("TIME STEP:", a.timeReals[1]);
  out.Separator();
  out.Hours("TIME INCREMENT FOR STORAGE OF RESULTS:", a.timeReals[2]);
  out.Separator();
  if (analysisType == 1 || analysisType == 2) {
    out.Value("THICKNESS:", a.timeReals[3], " m");
    out.Separator();
  }

  // 4. Super-element nodes.
  if (a.nSuperNodes > 0) {
    out.Heading("SUPER ELEMENT NODES");
    out.Separator();
    out.Line(" NODE        X            Y   ");
    for (std::int32_t i = 0; i < a.nSuperNodes; ++i)
      out.Line(Cat({I(i + 1, 5), E(a.superNodeX[i], 13), E(a.superNodeY[i], 13)}));
    out.Separator();
  } else {
    out.Line("NO SUPER ELEMENT NODES DEFINED");
    out.Line(std::string(30, '='));
  }

  // 5. Super elements.
  if (a.nSuperElements > 0) {
    out.Heading("SUPER ELEMENT DATA");
    out.Separator();
    for (std::int32_t i = 0; i < a.nSuperElements; ++i) {
      out.Line(fmt::format("SUPER ELEMENT NO.{:3d} :", i + 1));
      out.Line("----------------------");
      out.Separator();
      std::string nodes = "SUPER ELEMENT NODES:";
      const int step = a.superNodeCode[i] == 2 ? 2 : 1;
      for (int p = 0; p < 8; p += step) Append(nodes, I(a.superElementNodes[8 * i + p], 5));
      out.Line(nodes);
      out.Separator();
      const long long rows = a.elementRows[i];
      const long long columns = a.elementColumns[i];
      if (a.elementType[i] == MESHGEN_TYPE_FINITE) {
        out.Line("EIGHT-NODE FINITE ELEMENTS");
        out.Line(I(rows, 5) + " ELEMENT ROWS AND" + I(columns, 5) + " ELEMENT COLUMNS");
      } else if (a.elementType[i] == MESHGEN_TYPE_INFINITE_SURFACE) {
        out.Line("FIVE-NODE INFINITE ELEMENTS (SURFACE)");
        out.Line(I(rows * columns, 5) + " ELEMENTS");
      } else {
        out.Line("THREE-NODE INFINITE ELEMENT (CORNER)");
      }
      out.Line(fmt::format("MATERIAL CODE:{:5d}", a.materialNumber[i]));
      out.Line("THICKNESS " + E(a.superThickness[i], 13) + " m");
      out.Separator();
    }
  } else {
    out.Line("NO SUPER ELEMENTS DEFINED");
    out.Line(std::string(25, '='));
  }

  // 6. Materials.
  if (a.nMaterials > 0) {
    out.Heading("MATERIAL DATA");
    out.Separator();
    for (std::int32_t m = 0; m < a.nMaterials; ++m) {
      out.Line(fmt::format("MATERIAL TYPE NO.{:3d} :", m + 1));
      out.Line("----------------------");
      out.Separator();
      ListMaterial(out, {a.materialProperties + static_cast<std::int64_t>(m) * 68,
                         a.materialOptions + static_cast<std::int64_t>(m) * 7});
      out.Separator();
    }
  } else {
    out.Line("NO MATERIAL TYPES DEFINED");
    out.Line(std::string(25, '='));
  }

  // 7. Conditions.
  Section(out, "PRESCRIBED EDGE TEMPERATURE", a.nEdgeTempPos,
          [&] { EdgePositions(out, a.nEdgeTempPos, a.edgeTempPos); },
          {Kind::Temperature, a.nEdgeTempConds, a.edgeTempConds, MESHGEN_TEMP_RECORD});
  Section(out, "PRESCRIBED EDGE HEAT FLOW", a.nEdgeFlowPos,
          [&] { EdgePositions(out, a.nEdgeFlowPos, a.edgeFlowPos); },
          {Kind::Flow, a.nEdgeFlowConds, a.edgeFlowConds, MESHGEN_FLOW_RECORD});
  Section(out, "PRESCRIBED SURFACE TEMPERATURE", a.nAreaTempPos,
          [&] { AreaPositions(out, a.nAreaTempPos, a.areaTempPos); },
          {Kind::Temperature, a.nAreaTempConds, a.areaTempConds, MESHGEN_TEMP_RECORD});
  Section(out, "PRESCRIBED SURFACE HEAT FLOW", a.nAreaFlowPos,
          [&] { AreaPositions(out, a.nAreaFlowPos, a.areaFlowPos); },
          {Kind::Flow, a.nAreaFlowConds, a.areaFlowConds, MESHGEN_FLOW_RECORD});
  Section(out, "PRESCRIBED NODAL TEMPERATURE", a.nNodalTempPos,
          [&] { NodalPositions(out, a.nNodalTempPos, a.nodalTempPosCond, a.nodalTempPosXY); },
          {Kind::Temperature, a.nNodalTempConds, a.nodalTempConds, MESHGEN_TEMP_RECORD, " W/mK"});
  Section(out, "PRESCRIBED NODAL HEAT FLOW", a.nNodalFlowPos,
          [&] { NodalPositions(out, a.nNodalFlowPos, a.nodalFlowPosCond, a.nodalFlowPosXY); },
          {Kind::Flow, a.nNodalFlowConds, a.nodalFlowConds, MESHGEN_FLOW_RECORD, "",
           "    TIME (h) HEAT (W/m)"});
  Section(out, "PRESCRIBED PIPE TEMPERATURE", a.nPipePos,
          [&] { PipePositions(out, a.nPipePos, a.pipePosCondPart, a.pipePosXY); },
          {Kind::Pipe, a.nPipeConds, a.pipeConds, MESHGEN_PIPE_RECORD});
  Section(out, "SURFACE DISPLACEMENTS", a.nEdgeDispPos,
          [&] { EdgePositions(out, a.nEdgeDispPos, a.edgeDispPos); },
          {Kind::Displacement, a.nEdgeDispConds, a.edgeDispConds, MESHGEN_DISP_RECORD, "", "",
           a.edgeDispDirs});
  Section(out, "SURFACE SPRINGS", a.nEdgeSpringPos,
          [&] { EdgePositions(out, a.nEdgeSpringPos, a.edgeSpringPos); },
          {Kind::Spring, a.nEdgeSpringConds, a.edgeSpringConds, MESHGEN_SPRING_RECORD});
  Section(out, "PRESCRIBED SURFACE LOAD", a.nEdgeLoadPos,
          [&] { EdgePositions(out, a.nEdgeLoadPos, a.edgeLoadPos); },
          {Kind::EdgeLoad, a.nEdgeLoadConds, a.edgeLoadConds, MESHGEN_LOAD_RECORD});
  Section(out, "PRESCRIBED NODAL DISPLACEMENT", a.nNodalDispPos,
          [&] { NodalPositions(out, a.nNodalDispPos, a.nodalDispPosCond, a.nodalDispPosXY); },
          {Kind::Displacement, a.nNodalDispConds, a.nodalDispConds, MESHGEN_DISP_RECORD, "", "",
           a.nodalDispDirs});
  Section(out, "PRESCRIBED NODAL SPRING", a.nNodalSpringPos,
          [&] { NodalPositions(out, a.nNodalSpringPos, a.nodalSpringPosCond, a.nodalSpringPosXY); },
          {Kind::Spring, a.nNodalSpringConds, a.nodalSpringConds, MESHGEN_SPRING_RECORD});
  Section(out, "PRESCRIBED NODAL LOAD", a.nNodalLoadPos,
          [&] { NodalPositions(out, a.nNodalLoadPos, a.nodalLoadPosCond, a.nodalLoadPosXY); },
          {Kind::NodalLoad, a.nNodalLoadConds, a.nodalLoadConds, MESHGEN_LOAD_RECORD});

  return std::move(out).Text();
}

namespace {

void WriteListingText(const std::string& fileName, const std::string& text, const char* mode) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(fileName.c_str(), mode));
  if (!file) throw numlib::FatalStop(kErrListingFile);
  const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  if (std::fclose(file.release()) != 0 || !written) throw numlib::FatalStop(kErrListingFile);
}

}  // namespace

void WriteInputListing(const std::string& fileName, const MeshgenArgs& args) {
  WriteListingText(fileName, FormatInputListing(args), "wb");
}

void AppendToInputListing(const std::string& fileName, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  Listing out;
  out.Separator();
  for (const std::string& line : lines) out.Line(line);
  WriteListingText(fileName, std::move(out).Text(), "ab");
}

}  // namespace meshgen
