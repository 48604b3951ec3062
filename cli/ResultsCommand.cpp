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
#include "Quad8.h"

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

int Csv(numlib::DataFileReader& r, const Options& o) {
  const FieldInfo* f = FindField(o.field);
  if (f == nullptr) {
    std::cerr << fmt::format("vemto-cli: unknown field \"{}\"; one of T Q M A P U F S R D C\n",
                             o.field);
    return 2;
  }
  if (!r.HasTime()) {
    std::cerr << fmt::format(
        "vemto-cli: {}: the run did not end normally; the storage times are not known\n",
        r.FileName());
    return 1;
  }
  const std::vector<double> times = r.ReadReals("TIME").values;
  const std::int64_t events = std::min<std::int64_t>(r.EventCount(), times.size());
  std::int64_t best = 0;
  for (std::int64_t k = 1; k <= events; ++k)
    if (best == 0 || std::fabs(times[k - 1] / 3600.0 - *o.hours) <
                         std::fabs(times[best - 1] / 3600.0 - *o.hours))
      best = k;
  // A requested time matches an event within 1e-6 h (about 4 ms): the stored
  // times are sums of steps.
  if (best == 0 ||
      std::fabs(times[best - 1] / 3600.0 - *o.hours) > 1e-6 * std::max(1.0, std::fabs(*o.hours))) {
    std::cerr << fmt::format("vemto-cli: no storage event at {} h; stored times (h):", *o.hours);
    for (std::int64_t k = 1; k <= events; ++k)
      std::cerr << fmt::format(" {:.10g}", times[k - 1] / 3600.0);
    std::cerr << "\n";
    return 1;
  }
  const std::string name = numlib::DataFileReader::EventName(f->letter, best);
  const numlib::DataBlock* block = r.Find(name);
  if (block == nullptr) {
    std::cerr << fmt::format("vemto-cli: {} holds no {} at {} h\n", r.FileName(), f->name,
                             *o.hours);
    return 1;
  }
  const auto v = r.ReadReals(*block);
  const auto coor = r.ReadReals("COOR");
  const auto top = r.ReadIntegers("ITOP");
  const std::int64_t nn = coor.columns, ne = top.columns;
  auto bad = [&](const char* what) {
    std::cerr << fmt::format("vemto-cli: {}: block {} does not fit the mesh ({})\n", r.FileName(),
                             name, what);
    return 1;
  };
  switch (f->where) {
    case FieldInfo::kNode:
    case FieldInfo::kNode2: {
      const int per = f->where == FieldInfo::kNode ? 1 : 2;
      if (static_cast<std::int64_t>(v.values.size()) != per * nn) return bad("nodes");
      std::cout << fmt::format("node,x,y,{}\n", f->header);
      for (std::int64_t n = 1; n <= nn; ++n) {
        std::cout << fmt::format("{},{:.15g},{:.15g}", n, coor(1, n), coor(2, n));
        for (int c = 0; c < per; ++c)
          std::cout << fmt::format(",{:.15g}", v.values[per * (n - 1) + c]);
        std::cout << "\n";
      }
      return 0;
    }
    case FieldInfo::kGauss:
    case FieldInfo::kGauss4: {
      const int per = f->where == FieldInfo::kGauss ? 1 : 4;
      if (static_cast<std::int64_t>(v.values.size()) != 4 * per * ne) return bad("elements");
      std::cout << fmt::format("element,point,x,y,{}\n", f->header);
      const double a = 0.5773502691896257;
      const double gp[4][2] = {{-a, -a}, {a, -a}, {-a, a}, {a, a}};
      for (std::int64_t e = 1; e <= ne; ++e)
        for (int g = 0; g < 4; ++g) {
          const auto n = numlib::Quad8Values(gp[g][0], gp[g][1]);
          double x = 0, y = 0;
          for (int i = 0; i < 8; ++i) {
            const std::int32_t node = top(i + 1, e);
            if (node < 1 || node > nn) return bad("node numbers");
            x += n[i] * coor(1, node);
            y += n[i] * coor(2, node);
          }
          std::cout << fmt::format("{},{},{:.15g},{:.15g}", e, g + 1, x, y);
          for (int c = 0; c < per; ++c)
            std::cout << fmt::format(
                ",{:.15g}", v.values[static_cast<std::size_t>((e - 1) * 4 * per + g * per + c)]);
          std::cout << "\n";
        }
      return 0;
    }
    case FieldInfo::kPipe: {
      if (v.rows != 153) return bad("pipe rows");
      const auto pwt = r.ReadReals("PWT");
      std::cout << "pipe,pass,inflow_C,outflow_C,flow,heat_W_per_m,water_C\n";
      for (std::int64_t p = 1; p <= v.columns; ++p) {
        const long smax = p <= pwt.columns ? std::lround(pwt(7, p)) : 0;
        for (long s = 1; s <= std::min(smax, 75L); ++s)
          std::cout << fmt::format("{},{},{:.15g},{:.15g},{:.15g},{:.15g},{:.15g}\n", p, s, v(1, p),
                                   v(2, p), v(3, p), v(3 + s, p), v(3 + smax + s, p));
      }
      return 0;
    }
  }
  return 1;
}

int RunResults(const Options& o) {
  try {
    numlib::DataFileReader r(o.out);
    if (o.list) return List(r);
    if (!o.field.empty()) {
      if (!o.hours) {
        std::cerr << "vemto-cli: --csv needs --time HOURS\n";
        return 2;
      }
      return Csv(r, o);
    }
    std::cerr << "vemto-cli: results: give --list or --csv FIELD --time HOURS\n";
    return 2;
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
  cmd->callback([&status, o, exports]() {
    status.code = exports->Requested() ? RunExport(o->out, *exports) : RunResults(*o);
  });
}

}  // namespace vemto::cli
