// `vemto-cli results OUT --list` and `--csv FIELD --time HOURS`: the stored times and
// fields of a result database, and one field of one storage event as a table.
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "DataFileReader.h"
#include "ExportCommand.h"
#include "ResultReader.h"

namespace vemto::cli {
namespace {

struct FieldInfo {
  char letter;
  const char* name;
  const char* header;  // value columns
  enum Where { kNode, kNode2, kGauss, kGauss4, kPipe } where;
};

constexpr FieldInfo kFields[] = {
    {'T', "temperature (C)", "T", FieldInfo::kNode},
    {'Q', "boundary heat flow (W)", "Q", FieldInfo::kNode},
    {'M', "maturity", "M", FieldInfo::kGauss},
    {'A', "degree of hydration", "A", FieldInfo::kGauss},
    {'P', "pipe results", "", FieldInfo::kPipe},
    {'U', "displacement (m)", "ux,uy", FieldInfo::kNode2},
    {'F', "support force (N)", "Fx,Fy", FieldInfo::kNode2},
    {'S', "stress (Pa)", "sx,sy,txy,sz", FieldInfo::kGauss4},
    {'R', "stress/strength ratio", "R", FieldInfo::kGauss},
    {'D', "tensile strength (Pa)", "ft", FieldInfo::kGauss},
    {'C', "compressive strength (Pa)", "fc", FieldInfo::kGauss},
};

const FieldInfo* FindField(const std::string& s) {
  if (s.size() != 1) return nullptr;
  for (const FieldInfo& f : kFields)
    if (f.letter == std::toupper(static_cast<unsigned char>(s[0]))) return &f;
  return nullptr;
}

struct Options {
  std::string out;
  bool list = false;
  std::string field;
  std::optional<double> hours;
  PngOptions png;
};

int List(numlib::DataFileReader& r) {
  const std::int64_t events = r.EventCount();
  std::vector<double> times;
  if (r.HasTime()) times = r.ReadReals("TIME").values;
  std::cout << fmt::format(
      "{}: {} storage event{}, {}\n", r.FileName(), events, events == 1 ? "" : "s",
      r.HasTime() ? "run ended normally" : "run did not end normally (no TIME)");
  std::cout << "event,time_h,fields\n";
  for (std::int64_t k = 1; k <= events; ++k) {
    std::string fields;
    for (char c : numlib::DataFileReader::kEventLetters)
      if (r.Find(numlib::DataFileReader::EventName(c, k)) != nullptr) fields += c;
    const std::string t = static_cast<std::size_t>(k) <= times.size()
                              ? fmt::format("{:.10g}", times[k - 1] / 3600.0)
                              : std::string("?");
    std::cout << fmt::format("{},{},{}\n", k, t, fields);
  }
  return 0;
}

int Csv(const std::string& file, const Options& o) {
  const FieldInfo* f = FindField(o.field);
  if (f == nullptr) {
    std::cerr << fmt::format("vemto-cli: unknown field \"{}\"; one of T Q M A P U F S R D C\n",
                             o.field);
    return kExitUsage;
  }
  const post::ResultReader r(file);
  if (!r.EndedNormally()) {
    std::cerr << fmt::format(
        "vemto-cli: {}: the run did not end normally; the storage times are not known\n",
        r.FileName());
    return 1;
  }
  // A requested time matches an event within 1e-6 h (about 4 ms): the stored
  // times are sums of steps.
  const auto at = r.FindTime(*o.hours, 1e-6 * std::max(1.0, std::fabs(*o.hours)));
  if (!at) {
    std::cerr << fmt::format("vemto-cli: no storage event at {} h; stored times (h):", *o.hours);
    for (std::size_t k = 0; k < r.StoredCount(); ++k)
      std::cerr << fmt::format(" {:.10g}", r.Hours(k));
    std::cerr << "\n";
    return 1;
  }
  const post::Field field = *post::FieldFromLetter(f->letter);
  const auto v = r.Read(field, *at);
  if (!v) {
    std::cerr << fmt::format("vemto-cli: {} holds no {} at {} h\n", r.FileName(), f->name,
                             *o.hours);
    return 1;
  }
  const post::QuadMesh& mesh = r.Mesh();
  switch (f->where) {
    case FieldInfo::kNode:
    case FieldInfo::kNode2: {
      const std::size_t per = f->where == FieldInfo::kNode ? 1 : 2;
      std::cout << fmt::format("node,x,y,{}\n", f->header);
      for (std::size_t n = 0; n < mesh.x.size(); ++n) {
        std::cout << fmt::format("{},{:.15g},{:.15g}", n + 1, mesh.x[n], mesh.y[n]);
        for (std::size_t c = 0; c < per; ++c)
          std::cout << fmt::format(",{:.15g}", (*v)[per * n + c]);
        std::cout << "\n";
      }
      return 0;
    }
    case FieldInfo::kGauss:
    case FieldInfo::kGauss4: {
      const std::size_t per = f->where == FieldInfo::kGauss ? 1 : 4;
      std::cout << fmt::format("element,point,x,y,{}\n", f->header);
      for (std::size_t e = 0; e < mesh.elements.size(); ++e)
        for (int g = 0; g < 4; ++g) {
          double x = 0, y = 0;
          post::MapPoint(mesh, e, g % 2 ? post::kGauss : -post::kGauss,
                         g / 2 ? post::kGauss : -post::kGauss, x, y);
          std::cout << fmt::format("{},{},{:.15g},{:.15g}", e + 1, g + 1, x, y);
          for (std::size_t c = 0; c < per; ++c)
            std::cout << fmt::format(",{:.15g}",
                                     (*v)[(e * 4 + static_cast<std::size_t>(g)) * per + c]);
          std::cout << "\n";
        }
      return 0;
    }
    case FieldInfo::kPipe: {
      numlib::DataFileReader raw(file);
      const auto pwt = raw.ReadReals("PWT");
      std::cout << "pipe,pass,inflow_C,outflow_C,flow,heat_W_per_m,water_C\n";
      for (int p = 0; p < r.PipeCount(); ++p) {
        const double* q = v->data() + 153 * static_cast<std::size_t>(p);
        const long smax = p < pwt.columns ? std::lround(pwt(7, p + 1)) : 0;
        for (long s = 1; s <= std::min(smax, 75L); ++s)
          std::cout << fmt::format("{},{},{:.15g},{:.15g},{:.15g},{:.15g},{:.15g}\n", p + 1, s,
                                   q[0], q[1], q[2], q[2 + s], q[2 + smax + s]);
      }
      return 0;
    }
  }
  return 1;
}

int RunResults(const Options& o) {
  if (!o.list && !o.hours) {  // wrong usage before the file is read
    std::cerr << "vemto-cli: --csv needs --time HOURS\n";
    return kExitUsage;
  }
  try {
    if (o.list) {
      numlib::DataFileReader r(o.out);
      return List(r);
    }
    return Csv(o.out, o);
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

void AddResultsCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand("results", "List and export the contents of a result database");
  auto o = std::make_shared<Options>();
  cmd->add_option("OUT", o->out, "Result database (.out)")->required();
  cmd->add_flag("--list", o->list, "List the storage events with their times and fields");
  cmd->add_option("--csv", o->field,
                  "Write one field of one event as CSV to standard output: T Q M A P U F S R D C");
  cmd->add_option("--time", o->hours, "Time of the storage event (hours)");
  auto exports = AddExportOptions(*cmd);
  AddPngOptions(*cmd, o->png);
  cmd->callback([&status, o, exports, cmd]() {
    if (o->png.Requested()) {
      status.code = RenderPng(o->out, o->png, o->hours);
    } else if (exports->Requested()) {
      status.code = RunExport(o->out, *exports);
    } else if (o->list || !o->field.empty()) {
      status.code = RunResults(*o);
    } else {
      // No mode: every option with its text, so that no mode goes unmentioned.
      std::cerr << "vemto-cli: results needs a mode; its options are:\n";
      for (const CLI::Option* option : cmd->get_options())
        if (!option->get_positional() && option->get_name() != "--help")
          std::cerr << fmt::format("  {:<12} {}\n", option->get_name(), option->get_description());
      status.code = kExitUsage;
    }
  });
}

}  // namespace vemto::cli
