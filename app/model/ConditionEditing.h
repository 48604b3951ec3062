// What the condition editors compute without any window: how a condition's history is
// shown (columns, labels, value step), histories pasted from a spreadsheet, heat-transfer
// coefficients from wind and insulation, and weather series read from text files.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "VemtoCondition.h"

namespace vemto {

/// How the history of one condition is shown and edited.
struct HistoryLayout {
  int ValueCount = 1;                       ///< shown values per event, 1 or 2
  std::array<int, 2> Fields{1, 2};          ///< the event value (1 Value1, 2 Value2) of each
  std::array<std::string, 2> EditorLabels;  ///< labels of the history editor's value fields
  std::array<std::string, 2> ColumnTitles;  ///< table column titles after "Time (h)"
  double ValueStep = 1.0;                   ///< step of the value buttons, in the value's unit
};

/// Step of the history editor's time buttons, h.
inline constexpr double kHistoryTimeStep = 1.0;

/// The layout for `condition`'s kind (and its Direction or PipeConditionType).
HistoryLayout LayoutOf(const TVemtoCondition& condition);

/// Shown value `k` (0 or 1) of `point` under `layout`.
double ShownValue(const TVemtoEventPos& point, const HistoryLayout& layout, int k);
/// Sets shown value `k` (0 or 1) of `point` under `layout`.
void SetShownValue(TVemtoEventPos& point, const HistoryLayout& layout, int k, double value);

/// The two events a condition with an empty history gets when it is first shown:
/// (0 h, 0, 0) and (1 h, 2 x step, step).
std::vector<TVemtoEventPos> StartingHistory(const HistoryLayout& layout);

/// Index of the first event whose time breaks the order (the first time must exceed -1
/// h, each further one its predecessor); empty when the times are in order.
std::optional<std::size_t> FirstTimeOutOfOrder(const std::vector<TVemtoEventPos>& history);

/// Why a history edit is refused; empty when it is acceptable: times out of order
/// ("Invalid time scale.") or more than kMaxHistoryPoints events.
std::string CheckHistory(const std::vector<TVemtoEventPos>& history);

/// `history` with spreadsheet text pasted over it: one line per event (LF, CR LF or CR
/// line ends; blank lines at the end are ignored), cells separated by TAB: time (h), then
/// the shown values of `layout`. Line k overwrites event k from the first; events below
/// the pasted lines keep their content, and values the layout does not show keep theirs.
/// A first line without any number is a header and skipped. Throws HistoryTextError
/// naming the line and column of the first bad cell, or the check of CheckHistory.
std::vector<TVemtoEventPos> PasteIntoHistory(const std::vector<TVemtoEventPos>& history,
                                             const HistoryLayout& layout, std::string_view text);

/// A pasted or imported text that cannot become a history; the message says where.
class HistoryTextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Surface heat-transfer coefficient of a face in wind of `wind` m/s, W/m2K:
/// 5.6 + 3.95 v below 5 m/s, 7.2 v^0.78 from 5 m/s on.
double SurfaceCoefficient(double wind);

/// Transfer coefficient through insulation of type `type` (W/m2K): the surface
/// coefficient for no insulation, 1 / (1/h + d/lambda) for insulation of thickness `d` (m)
/// and conductivity `lambda` (W/mK). Empty when lambda is 0 for an insulated face, and for
/// a specified coefficient (type 6: nothing to derive).
std::optional<double> InsulatedCoefficient(InsulationKind type, double lambda, double d,
                                           double wind);

/// Transfer coefficient of a pipe wall of thickness `d` (m) and conductivity `lambda`
/// (W/mK), W/mK: 1 / (d/lambda + 0.001). Empty when lambda is 0.
std::optional<double> PipeWallCoefficient(double d, double lambda);

/// A weather series read from a text file.
struct WeatherSeries {
  std::vector<double> Time;         ///< h, from the first row when given as date-times
  std::vector<double> Temperature;  ///< air temperature, °C
  std::vector<double> Wind;         ///< wind speed, m/s; empty when the file has none
};

/// Reads a weather series: a header line, then one row per time with fields separated
/// by TAB, ';' or ',' (the first of them found in the header): time in hours or as a
/// date-time "YYYY-MM-DD HH:MM[:SS]" (also with 'T' or '/'), air temperature in °C and,
/// when the header has a third field, the wind speed in m/s; further fields are ignored.
/// `name` is the file's name for messages. Throws HistoryTextError naming the file and
/// the line of the first row that cannot be read.
WeatherSeries ParseWeatherSeries(std::string_view text, const std::string& name);

/// What a weather series does to a temperature condition.
struct WeatherImport {
  std::vector<TVemtoEventPos> History;        ///< (time, air temperature, 0) per row
  std::optional<double> WindVelocity;         ///< time-weighted mean wind, m/s
  std::optional<double> TransferCoefficient;  ///< derived from it as in the dialog
};

/// The history and constants `series` gives `condition`. With wind the condition holds one
/// coefficient for the whole series: the coefficient of the time-weighted mean wind speed
/// and the condition's insulation (unchanged for a specified coefficient). Throws
/// HistoryTextError when the insulation's conductivity is 0 or the series is too long.
WeatherImport ImportWeather(const TVemtoTempCondition& condition, const WeatherSeries& series);

}  // namespace vemto
