// The entry points of libpost.so: open a result database, report its stored times,
// draw the diagrams on the surface given to FGRAPH_mp_init / FGRAPH_mp_update, deliver
// the last history and draw the cursor markers. Failures are reported through the
// progress channel's error message: number 1 when the data asked for is not in the
// database, 0 with the text for every other failure. No exception leaves a call.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Diagram.h"
#include "ModuleState.h"
#include "ProgressChannel.h"
#include "ResultReader.h"

namespace {

using namespace vemto::post;

/// The data is not in the database (a field not stored, a pipe that does not exist).
constexpr int kUnavailable = 1;

struct PostState {
  std::unique_ptr<ResultReader> reader;
  const VemtoPostDrawing* dc = nullptr;
  int width = 0, height = 0;
  int palette = 0;
  std::int32_t rsize = -1;
  std::vector<double> times, values;  // the last history: s and database units
};

PostState& State() {
  static PostState state;  // module state of the library, one per process
  return state;
}

Surface CurrentSurface() {
  const PostState& s = State();
  return Surface{s.dc, s.width, s.height, s.palette};
}

void ClearHistory() {
  State().rsize = -1;
  State().times.clear();
  State().values.clear();
}

/// Runs a drawing call with the checks every call shares.
template <typename F>
void Guarded(F&& draw) {
  try {
    if (!State().reader) throw ResultError("no result database is open");
    draw(*State().reader, CurrentSurface());
  } catch (const OutsideError& e) {
    numlib::Module().channel.SendError(kUnavailable, e.what());
  } catch (const ResultError& e) {
    const bool missing = std::string(e.what()).find("not stored") != std::string::npos ||
                         std::string(e.what()).find("does not exist") != std::string::npos;
    numlib::Module().channel.SendError(missing ? kUnavailable : 0, e.what());
  } catch (const std::exception& e) {
    numlib::Module().channel.SendError(0, e.what());
  }
}

/// Cursor type 1 point, 2 mean, 3 maximum, 4 minimum.
Reduce ReduceOf(std::int32_t type) {
  switch (type) {
    case 2:
      return Reduce::Mean;
    case 3:
      return Reduce::Max;
    case 4:
      return Reduce::Min;
    default:
      return Reduce::Point;
  }
}

/// History values are delivered in database units, except heat loss (positive out of
/// the body, W/m) and the strengths (MPa), as the result window's table expects them.
double DeliveredFactor(Field field) {
  switch (field) {
    case Field::HeatFlow:
      return -1.0;
    case Field::TensileStrength:
    case Field::CompressiveStrength:
      return 1e-6;
    default:
      return 1.0;
  }
}

/// Draws a history chart and keeps it for postresult.
void History(const ResultReader& r, const Surface& s, const Series& series, Field field,
             const std::string& title) {
  PostState& st = State();
  st.times.clear();
  st.values.clear();
  Curve c;
  c.rgb = PaletteColour(s.palette, 12);
  for (std::size_t k = 0; k < series.values.size(); ++k) {
    c.hours.push_back(series.seconds[k] / 3600.0);
    const double v = series.values[k];
    c.values.push_back(std::isnan(v) ? v : v * ShownFactor(field));
    if (std::isnan(v)) continue;  // nothing exists there at that time
    st.times.push_back(series.seconds[k]);
    st.values.push_back(v * DeliveredFactor(field));
  }
  st.rsize = static_cast<std::int32_t>(st.times.size());
  const std::vector<double> frame = {
      0.0, 0.0, double(s.width), 0.0, double(s.width), double(s.height), 0.0, double(s.height)};
  if (s.dc != nullptr && s.dc->fill != nullptr)
    s.dc->fill(s.dc->context, frame.data(), 4, 0xFFFFFF);
  const std::string unit = ShownUnit(field);
  DrawChart(s, 0.0, 0.0, s.width, s.height, {c}, fmt::format("{} at {}", title, series.where),
            unit);
  (void)r;
}

void FieldHistory(Field field, int component, std::int32_t type, double x1, double y1, double x2,
                  double y2, const std::string& title) {
  Guarded([&](const ResultReader& r, const Surface& s) {
    if (!r.HasAny(field)) throw ResultError(fmt::format("{} is not stored", title));
    History(r, s, r.History(field, component, ReduceOf(type), x1, y1, x2, y2), field, title);
  });
}

void FieldDistribution(Field field, int component, double hours, double lower, double upper,
                       int lines = 0) {
  Guarded([&](const ResultReader& r, const Surface& s) {
    Distribution d;
    d.field = field;
    d.component = component;
    d.hours = hours;
    d.lower = lower;
    d.upper = upper;
    d.lines = lines;
    DrawDistribution(r, s, d);
  });
}

}  // namespace

extern "C" {

VEMTO_EXPORT void postopen(const char* name, const std::int32_t* memory) {
  (void)memory;  // the reader needs no work array
  PostState& st = State();
  st.reader.reset();
  ClearHistory();
  try {
    std::string file(name, strnlen(name, 256));
    while (!file.empty() && file.back() == ' ') file.pop_back();
    st.reader = std::make_unique<ResultReader>(file);
  } catch (const std::exception& e) {
    numlib::Module().channel.SendError(0, e.what());
  }
}

VEMTO_EXPORT void postclose() {
  State().reader.reset();
  ClearHistory();
}

VEMTO_EXPORT void postgetinfo(double* first, double* last, double* count) {
  const auto& r = State().reader;
  const std::size_t n = r ? r->StoredCount() : 0;
  *first = n > 0 ? r->Seconds(0) : 0.0;
  *last = n > 0 ? r->Seconds(n - 1) : 0.0;
  *count = static_cast<double>(n);
}

VEMTO_EXPORT void posttimes(std::int32_t* count, const double** seconds) {
  const auto& r = State().reader;
  *count = r ? static_cast<std::int32_t>(r->StoredCount()) : 0;
  *seconds = r && r->StoredCount() > 0 ? r->Seconds().data() : nullptr;
}

/// Keeps a cursor that lies in the section; one outside it (such as a default never
/// set for this model) moves to the hottest stored point of the hardening concrete, the
/// rectangle from there a tenth of the section's size wide.
VEMTO_EXPORT void postcursorinside(double* x1, double* y1, double* x2, double* y2) {
  const auto& r = State().reader;
  if (!r || r->Mesh().elements.empty() || r->Locate(*x1, *y1).inside) return;
  const QuadMesh& mesh = r->Mesh();
  std::size_t best = static_cast<std::size_t>(mesh.elements[0][0]);
  double hottest = -std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < r->StoredCount(); ++k) {
    const auto t = r->Read(Field::Temperature, k);
    if (!t) continue;
    const auto active = r->ActiveElements(k);
    for (std::size_t e = 0; e < active.size(); ++e)
      if (active[e] && r->IsConcrete(e))
        for (std::int32_t n : mesh.elements[e])
          if ((*t)[n] > hottest) hottest = (*t)[n], best = static_cast<std::size_t>(n);
  }
  double x0 = mesh.x[best], x1max = x0, y0 = mesh.y[best], y1max = y0;
  for (std::size_t n = 0; n < mesh.x.size(); ++n) {
    x0 = std::min(x0, mesh.x[n]);
    x1max = std::max(x1max, mesh.x[n]);
    y0 = std::min(y0, mesh.y[n]);
    y1max = std::max(y1max, mesh.y[n]);
  }
  const double half = 0.05 * std::max(x1max - x0, y1max - y0);
  *x1 = mesh.x[best];
  *y1 = mesh.y[best];
  *x2 = *x1 + 2.0 * half;
  *y2 = *y1 + 2.0 * half;
}

VEMTO_EXPORT void postresult(std::int32_t* rsize, const double** times, const double** values) {
  const PostState& st = State();
  *rsize = st.rsize;
  *times = st.rsize >= 0 ? st.times.data() : nullptr;
  *values = st.rsize >= 0 ? st.values.data() : nullptr;
}

VEMTO_EXPORT void postdrawmarkers(std::int32_t kind, double x1, double y1, double x2, double y2) {
  Guarded(
      [&](const ResultReader& r, const Surface& s) { DrawMarkers(r, s, kind, x1, y1, x2, y2); });
}

VEMTO_EXPORT void posttempdistr(double hours, std::int32_t distrType, double upper, double lower,
                                std::int32_t lines) {
  ClearHistory();
  FieldDistribution(Field::Temperature, 0, hours, lower, upper,
                    distrType == 2 ? std::max(1, lines) : 0);
}
VEMTO_EXPORT void postmatdistr(double hours, double lower, double upper) {
  ClearHistory();
  FieldDistribution(Field::Maturity, 0, hours, lower, upper);
}
VEMTO_EXPORT void posthydrdistr(double hours, double lower, double upper) {
  ClearHistory();
  FieldDistribution(Field::Hydration, 0, hours, lower, upper);
}
VEMTO_EXPORT void poststrengthdistr(double hours, double lower, double upper) {
  ClearHistory();
  // The limits are given in per cent of the ratio.
  FieldDistribution(Field::Ratio, 0, hours, lower == -1.0 ? -1.0 : lower / 100.0,
                    upper == -1.0 ? -1.0 : upper / 100.0);
}
VEMTO_EXPORT void poststrnthtdistr(double hours, double lower, double upper) {
  ClearHistory();
  FieldDistribution(Field::TensileStrength, 0, hours, lower, upper);
}
VEMTO_EXPORT void poststrnthcdistr(double hours, double lower, double upper) {
  ClearHistory();
  FieldDistribution(Field::CompressiveStrength, 0, hours, lower, upper);
}
VEMTO_EXPORT void postdispl(double hours, double scale) {
  ClearHistory();
  Guarded([&](const ResultReader& r, const Surface& s) { DrawDeformed(r, s, hours, scale); });
}
VEMTO_EXPORT void poststressdistr(double hours, std::int32_t type, double scale) {
  ClearHistory();
  if (type == 2) {
    Guarded([&](const ResultReader& r, const Surface& s) {
      DrawStressCrosses(r, s, hours, scale > 0.0 ? scale : 1.0);
    });
  } else {
    FieldDistribution(Field::Stress, kS1, hours, -1.0, -1.0);
  }
}
VEMTO_EXPORT void postcrackrisk(double hours, double threshold) {
  ClearHistory();
  Guarded([&](const ResultReader& r, const Surface& s) {
    if (!r.HasAny(Field::Ratio)) throw ResultError("Stress/strength ratios are not stored");
    DrawCrackRisk(r, s, hours, threshold);
  });
}

VEMTO_EXPORT void posttemphist(std::int32_t type, double x1, double y1, double x2, double y2) {
  FieldHistory(Field::Temperature, 0, type, x1, y1, x2, y2, "Temperature");
}
VEMTO_EXPORT void postmathist(std::int32_t type, double x1, double y1, double x2, double y2) {
  FieldHistory(Field::Maturity, 0, type, x1, y1, x2, y2, "Maturity");
}
VEMTO_EXPORT void posthydrhist(std::int32_t type, double x1, double y1, double x2, double y2) {
  FieldHistory(Field::Hydration, 0, type, x1, y1, x2, y2, "Degree of hydration");
}
VEMTO_EXPORT void postheatlosshist(std::int32_t type, double x1, double y1, double x2, double y2) {
  // Node: the heat flow of the nearest node; otherwise the sum over the rectangle.
  Guarded([&](const ResultReader& r, const Surface& s) {
    if (!r.HasAny(Field::HeatFlow)) throw ResultError("Heat flows are not stored");
    History(r, s,
            r.History(Field::HeatFlow, 0, type == 1 ? Reduce::Point : Reduce::Sum, x1, y1, x2, y2),
            Field::HeatFlow, "Heat loss");
  });
}
VEMTO_EXPORT void postpipehist(std::int32_t type, std::int32_t pipe) {
  Guarded([&](const ResultReader& r, const Surface& s) {
    static const char* kTitles[] = {"Inflow temperature (C)", "Outflow temperature (C)",
                                    "Pipe flow (kg/s)"};
    if (!r.HasAny(Field::Pipe)) throw ResultError("Pipe results are not stored");
    History(r, s, r.PipeHistory(pipe, type), Field::Pipe, kTitles[std::clamp(type, 1, 3) - 1]);
  });
}
VEMTO_EXPORT void postdisplhist(std::int32_t type, double x1, double y1) {
  FieldHistory(Field::Displacement, type == 2 ? 1 : 0, 1, x1, y1, x1, y1,
               type == 2 ? "Y-displacement" : "X-displacement");
}
VEMTO_EXPORT void postreacthist(std::int32_t type, std::int32_t axis, double x1, double y1,
                                double x2, double y2) {
  (void)axis;
  FieldHistory(Field::SupportForce, type == 2 ? 1 : 0, 1, x1, y1, x2, y2,
               type == 2 ? "Y-reaction" : "X-reaction");
}
VEMTO_EXPORT void poststresshist(std::int32_t type, std::int32_t component, double x1, double y1,
                                 double x2, double y2) {
  // Type 1 point, 2 maximum, 3 minimum in the rectangle.
  static const char* kNames[] = {"Stress sig,x",           "Stress sig,y",
                                 "Shear stress tau",       "Stress sig,z",
                                 "Principal stress sig,1", "Principal stress sig,2"};
  const int c = std::clamp(component, 1, 6) - 1;
  FieldHistory(Field::Stress, c, type == 2 ? 3 : type == 3 ? 4 : 1, x1, y1, x2, y2, kNames[c]);
}
VEMTO_EXPORT void poststrengthhist(std::int32_t type, double x1, double y1, double x2, double y2) {
  // Type 1 point, 2 mean, 3 maximum in the rectangle.
  FieldHistory(Field::Ratio, 0, type, x1, y1, x2, y2, "Stress/strength ratio");
}
VEMTO_EXPORT void poststrnththist(std::int32_t type, double x1, double y1, double x2, double y2) {
  FieldHistory(Field::TensileStrength, 0, type, x1, y1, x2, y2, "Tensile strength");
}
VEMTO_EXPORT void poststrnthchist(std::int32_t type, double x1, double y1, double x2, double y2) {
  FieldHistory(Field::CompressiveStrength, 0, type, x1, y1, x2, y2, "Compressive strength");
}

VEMTO_EXPORT void FGRAPH_mp_init(const VemtoPostDrawing* dc, std::int32_t width,
                                 std::int32_t height, std::int32_t drawSwitch) {
  (void)drawSwitch;
  State().dc = dc;
  State().width = width;
  State().height = height;
  State().palette = 0;
}
VEMTO_EXPORT void FGRAPH_mp_update(const VemtoPostDrawing* dc, std::int32_t width,
                                   std::int32_t height, std::int32_t drawSwitch) {
  (void)drawSwitch;
  State().dc = dc;
  State().width = width;
  State().height = height;
}
VEMTO_EXPORT void FGRAPH_mp_destroy() {
  State().dc = nullptr;
}
VEMTO_EXPORT void FGRAPH_mp_setpalette(const std::int32_t* palette) {
  if (*palette == 0 || *palette == 1) State().palette = *palette;
}

}  // extern "C"
