#include "ConditionEditing.h"

#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "NumberText.h"

namespace vemto {

namespace {

HistoryLayout OneValue(std::string label, std::string title, double step, int field = 1) {
  HistoryLayout l;
  l.ValueCount = 1;
  l.Fields = {field, field == 1 ? 2 : 1};
  l.EditorLabels = {std::move(label), ""};
  l.ColumnTitles = {std::move(title), ""};
  l.ValueStep = step;
  return l;
}

HistoryLayout TwoValues(std::array<std::string, 2> labels, std::array<std::string, 2> titles,
                        double step) {
  HistoryLayout l;
  l.ValueCount = 2;
  l.EditorLabels = std::move(labels);
  l.ColumnTitles = std::move(titles);
  l.ValueStep = step;
  return l;
}

double& Field(TVemtoEventPos& p, int field) {
  return field == 2 ? p.Value2 : p.Value1;
}

/// Lines of `text`, split at LF, CR LF or CR; trailing blank lines dropped.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string_view::npos)
    lines.pop_back();
  return lines;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> cells;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i)
    if (i == line.size() || line[i] == separator) {
      cells.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  return cells;
}

bool Blank(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string_view Unquoted(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  const std::size_t last = s.find_last_not_of(' ');
  if (first == std::string_view::npos) return {};
  s = s.substr(first, last - first + 1);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool LeapYear(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

/// Hours since 1970-01-01 00:00 of "YYYY-MM-DD[( |T)HH:MM[:SS]]" ('/' also separates the
/// date); empty when `s` is not such a date-time.
std::optional<double> DateTimeHours(std::string_view s) {
  auto number = [&s](std::size_t at, std::size_t digits) -> std::optional<int> {
    if (at + digits > s.size()) return std::nullopt;
    int v = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (s[i] < '0' || s[i] > '9') return std::nullopt;
      v = v * 10 + (s[i] - '0');
    }
    return v;
  };
  const auto y = number(0, 4), mo = number(5, 2), d = number(8, 2);
  if (!y || !mo || !d || (s[4] != '-' && s[4] != '/') || s[7] != s[4]) return std::nullopt;
  static constexpr std::array<int, 12> kDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*mo < 1 || *mo > 12 || *d < 1 || *d > kDays[*mo - 1] ||
      (*mo == 2 && *d == 29 && !LeapYear(*y)))
    return std::nullopt;
  int h = 0, mi = 0, sec = 0;
  if (s.size() > 10) {
    const auto hh = number(11, 2), mm = number(14, 2);
    if ((s[10] != ' ' && s[10] != 'T') || !hh || !mm || s[13] != ':') return std::nullopt;
    h = *hh;
    mi = *mm;
    if (s.size() > 16) {
      const auto ss = number(17, 2);
      if (s[16] != ':' || !ss || s.size() != 19) return std::nullopt;
      sec = *ss;
    }
    if (h > 23 || mi > 59 || sec > 59) return std::nullopt;
  }
  return static_cast<double>(
             DaysFromCivil(*y, static_cast<unsigned>(*mo), static_cast<unsigned>(*d))) *
             24.0 +
         h + mi / 60.0 + sec / 3600.0;
}

}  // namespace

HistoryLayout LayoutOf(const TVemtoCondition& condition) {
  if (dynamic_cast<const TVemtoTempCondition*>(&condition))
    return OneValue("Temp. (C)", "Temp. (C)", 1.0);
  if (dynamic_cast<const TVemtoFlowCondition*>(&condition))
    return OneValue("Heat flow W/m,W/m2", "Flow.", 1.0);
  if (const auto* pipe = dynamic_cast<const TVemtoPipeCondition*>(&condition)) {
    if (pipe->PipeConditionType == 1)
      return TwoValues({"Temp-in (C)", "Temp-out (C)"}, {"Temp. in (C)", "Temp. out (C)"}, 10.0);
    return TwoValues({"Temp-in (C)", "Pipeflow (kg/s)"}, {"Temp. in (C)", "Flow (kg/s);"}, 10.0);
  }
  if (const auto* displ = dynamic_cast<const TVemtoDisplCondition*>(&condition)) {
    if (displ->Direction == 1) return OneValue("Displ. X (m)", "Displ X (m)", 0.001);
    if (displ->Direction == 2) return OneValue("Displ. Y (m)", "Displ Y (m)", 0.001, 2);
    return TwoValues({"Displ. X (m)", "Displ. Y (m)"}, {"Displ X (m)", "Displ Y (m)"}, 0.001);
  }
  if (dynamic_cast<const TVemtoLoadCondition*>(&condition))
    return TwoValues({"Load X (N/m2,N/m3)", "Load Y (N/m2,N/m3)"},
                     {"Load X (N/m3)", "Load Y (N/m3)"}, 1000.0);
  return TwoValues({"Displ. X (m)", "Displ. Y (m)"}, {"Displ X (m)", "Displ Y (m)"}, 0.001);
}

double ShownValue(const TVemtoEventPos& point, const HistoryLayout& layout, int k) {
  return layout.Fields[static_cast<std::size_t>(k)] == 2 ? point.Value2 : point.Value1;
}

void SetShownValue(TVemtoEventPos& point, const HistoryLayout& layout, int k, double value) {
  Field(point, layout.Fields[static_cast<std::size_t>(k)]) = value;
}

std::vector<TVemtoEventPos> StartingHistory(const HistoryLayout& layout) {
  TVemtoEventPos first, second;
  second.Time = 1.0;
  second.Value1 = 2.0 * layout.ValueStep;
  second.Value2 = layout.ValueStep;
  return {first, second};
}

std::optional<std::size_t> FirstTimeOutOfOrder(const std::vector<TVemtoEventPos>& history) {
  double previous = -1.0;
  for (std::size_t i = 0; i < history.size(); ++i) {
    if (!(history[i].Time > previous)) return i;
    previous = history[i].Time;
  }
  return std::nullopt;
}

std::string CheckHistory(const std::vector<TVemtoEventPos>& history) {
  if (history.size() > kMaxHistoryPoints)
    return fmt::format("Too many points in history (MAX={})", kMaxHistoryPoints);
  if (const auto bad = FirstTimeOutOfOrder(history)) {
    if (*bad == 0)
      return fmt::format("Invalid time scale. (Event 1: the time {} h is not above -1 h.)",
                         FormatG(history[0].Time));
    return fmt::format("Invalid time scale. (Event {}: the time {} h is not after {} h.)", *bad + 1,
                       FormatG(history[*bad].Time), FormatG(history[*bad - 1].Time));
  }
  return {};
}

std::vector<TVemtoEventPos> PasteIntoHistory(const std::vector<TVemtoEventPos>& history,
                                             const HistoryLayout& layout, std::string_view text) {
  const std::vector<std::string_view> lines = Lines(text);
  const std::size_t columns = 1 + static_cast<std::size_t>(layout.ValueCount);
  auto title = [&layout](std::size_t c) {
    return c == 0 ? std::string("Time (h)") : layout.ColumnTitles[c - 1];
  };
  std::size_t first = 0;
  if (!lines.empty()) {
    bool anyNumber = false;
    for (std::string_view cell : Split(lines[0], '\t')) anyNumber |= ParseReal(cell).has_value();
    if (!anyNumber) first = 1;  // a header line
  }
  if (first >= lines.size()) throw HistoryTextError("The clipboard holds no rows of numbers.");
  std::vector<TVemtoEventPos> out = history;
  for (std::size_t i = first; i < lines.size(); ++i) {
    std::vector<std::string_view> cells = Split(lines[i], '\t');
    while (cells.size() > columns && Blank(cells.back())) cells.pop_back();
    if (cells.size() > columns)
      throw HistoryTextError(fmt::format(
          "Data does not fit into grid. (Row {} has {} cells; the table has {} columns.)", i + 1,
          cells.size(), columns));
    if (cells.size() < columns)
      throw HistoryTextError(fmt::format("Row {}, column {} ({}): the cell is missing.", i + 1,
                                         cells.size() + 1, title(cells.size())));
    const std::size_t event = i - first;
    if (event >= out.size()) out.emplace_back();
    for (std::size_t c = 0; c < columns; ++c) {
      const std::optional<double> v = ParseReal(cells[c]);
      if (!v)
        throw HistoryTextError(fmt::format("Invalid numeric input. ({}) Row {}, column {} ({}).",
                                           cells[c], i + 1, c + 1, title(c)));
      if (c == 0)
        out[event].Time = *v;
      else
        SetShownValue(out[event], layout, static_cast<int>(c - 1), *v);
    }
  }
  if (std::string problem = CheckHistory(out); !problem.empty()) throw HistoryTextError(problem);
  return out;
}

double SurfaceCoefficient(double wind) {
  return wind < 5.0 ? 5.6 + 3.95 * wind : 7.2 * std::pow(wind, 0.78);
}

std::optional<double> InsulatedCoefficient(InsulationKind type, double lambda, double d,
                                           double wind) {
  const double h = SurfaceCoefficient(wind);
  switch (type) {
    case InsulationKind::None:
      return h;
    case InsulationKind::SpecifiedTransferCoefficient:
      return std::nullopt;
    default:
      if (lambda == 0.0) return std::nullopt;  // exact: only a zero conductivity divides by 0
      return 1.0 / (1.0 / h + d / lambda);
  }
}

std::optional<double> PipeWallCoefficient(double d, double lambda) {
  if (lambda == 0.0) return std::nullopt;  // exact: only a zero conductivity divides by 0
  return 1.0 / (d / lambda + 0.001);
}

WeatherSeries ParseWeatherSeries(std::string_view text, const std::string& name) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
  std::vector<std::pair<std::size_t, std::string_view>> rows;      // (line number, text)
  {
    std::size_t number = 0, start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '\n') continue;
      std::string_view line = text.substr(start, i - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++number;
      if (!Blank(line)) rows.emplace_back(number, line);
      start = i + 1;
    }
  }
  auto fail = [&name](std::size_t line, const std::string& what) {
    return HistoryTextError(fmt::format("{}, line {}: {}", name, line, what));
  };
  if (rows.empty()) throw HistoryTextError(fmt::format("{}: the file is empty.", name));
  const std::string_view header = rows[0].second;
  const char sep = header.find('\t') != std::string_view::npos  ? '\t'
                   : header.find(';') != std::string_view::npos ? ';'
                                                                : ',';
  const std::size_t fields = Split(header, sep).size();
  if (fields < 2)
    throw fail(rows[0].first,
               "the header names fewer than two fields (time and air temperature are needed).");
  const bool hasWind = fields >= 3;
  WeatherSeries out;
  std::optional<bool> dates;  // the kind of the time column, fixed by the first row
  double origin = 0.0;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto [line, row] = rows[r];
    const std::vector<std::string_view> cells = Split(row, sep);
    if (cells.size() < (hasWind ? 3u : 2u))
      throw fail(line, fmt::format("{} fields expected, {} found.", hasWind ? 3 : 2, cells.size()));
    const std::string_view timeText = Unquoted(cells[0]);
    std::optional<double> t = ParseReal(timeText);
    const bool isDate = !t.has_value();
    if (isDate) t = DateTimeHours(timeText);
    if (!t)
      throw fail(line, fmt::format("the time \"{}\" is neither hours nor a date-time.", timeText));
    if (dates && *dates != isDate)
      throw fail(line, fmt::format("the time \"{}\" is not of the first row's kind ({}).", timeText,
                                   *dates ? "date-time" : "hours"));
    if (!dates) {
      dates = isDate;
      origin = isDate ? *t : 0.0;
    }
    const double time = *t - origin;
    if (!out.Time.empty() && !(time > out.Time.back()))
      throw fail(line, fmt::format("the time \"{}\" is not after the previous row's.", timeText));
    if (out.Time.empty() && !(time > -1.0))
      throw fail(line, fmt::format("the time \"{}\" is not above -1 h.", timeText));
    const std::optional<double> temp = ParseReal(Unquoted(cells[1]));
    if (!temp)
      throw fail(line,
                 fmt::format("the air temperature \"{}\" is not a number.", Unquoted(cells[1])));
    out.Time.push_back(time);
    out.Temperature.push_back(*temp);
    if (hasWind) {
      const std::optional<double> wind = ParseReal(Unquoted(cells[2]));
      if (!wind || *wind < 0.0)
        throw fail(line, fmt::format("the wind speed \"{}\" is not a number of at least 0 m/s.",
                                     Unquoted(cells[2])));
      out.Wind.push_back(*wind);
    }
  }
  if (out.Time.empty()) throw fail(rows[0].first, "the header is not followed by any row.");
  if (out.Time.size() > kMaxHistoryPoints)
    throw HistoryTextError(fmt::format("{}: {} rows; a history holds at most {} points.", name,
                                       out.Time.size(), kMaxHistoryPoints));
  return out;
}

WeatherImport ImportWeather(const TVemtoTempCondition& condition, const WeatherSeries& series) {
  WeatherImport out;
  if (series.Time.size() > kMaxHistoryPoints)
    throw HistoryTextError(fmt::format("Too many points in history (MAX={})", kMaxHistoryPoints));
  for (std::size_t i = 0; i < series.Time.size(); ++i) {
    TVemtoEventPos p;
    p.Time = series.Time[i];
    p.Value1 = series.Temperature[i];
    out.History.push_back(p);
  }
  if (series.Wind.empty() || series.Wind.size() != series.Time.size()) return out;
  // Time-weighted (trapezoidal) mean; a single row is its own mean.
  double mean = series.Wind.front();
  const double span = series.Time.back() - series.Time.front();
  if (series.Time.size() > 1 && span > 0.0) {
    double integral = 0.0;
    for (std::size_t i = 1; i < series.Time.size(); ++i)
      integral +=
          0.5 * (series.Wind[i] + series.Wind[i - 1]) * (series.Time[i] - series.Time[i - 1]);
    mean = integral / span;
  }
  out.WindVelocity = mean;
  const auto type = static_cast<InsulationKind>(condition.InsulationType);
  if (type == InsulationKind::SpecifiedTransferCoefficient) return out;
  out.TransferCoefficient = InsulatedCoefficient(type, condition.ThermalConductivity,
                                                 condition.InsulationThickness, mean);
  if (!out.TransferCoefficient)
    throw HistoryTextError(
        "The insulation's thermal conductivity is 0: no transfer coefficient can be derived "
        "from the wind. Set the insulation first.");
  return out;
}

}  // namespace vemto
