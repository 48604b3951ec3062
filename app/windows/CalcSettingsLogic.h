// The rules of the "Calculation settings" dialog without widgets: reading its fields,
// adjusting the steps of an interval to whole numbers, the step counts the engine will
// run, and the values that are refused because a calculation could not run with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "CalcSettings.h"

namespace vemto {

/// Largest number of intervals the dialog offers.
inline constexpr int kMaxIntervals = 100;
/// Message for an initial time that does not read as a number (the other values are
/// still applied).
inline constexpr const char* kIncorrectInputMessage =
    "Some of the input data was incorrectly entered!";

/// A refused value: the message names the field (and the interval) concerned.
struct TSettingsError {
  std::string Message;
  int Interval = -1;  ///< zero-based interval the error is about, -1 for none
};

/// Start of interval `i` in h: the previous interval's end, InitialTime for the first.
double IntervalStart(const TCalcSettings& s, std::size_t i);

/// Number of time steps the engine runs in interval `i`, counted as the engine counts
/// (in seconds, with its tolerance); 0 when the interval cannot run.
std::int64_t EngineStepCount(const TCalcSettings& s, std::size_t i);
/// The same for the storage events of interval `i`.
std::int64_t EngineStoreCount(const TCalcSettings& s, std::size_t i);

/// The interval fields as read from the dialog, in h.
struct TIntervalInput {
  double EndTime = 0.0;
  double TimeStep = 0.0;   ///< 0 is taken as 1.0
  double StoreStep = 0.0;  ///< 0 is taken as 1.0
};

/// Applies `input` to interval `i` (with the current InitialTime): a step of 0 becomes
/// 1.0, then with D = EndTime - start both steps become D / round(D / step) (halves to
/// even), so that whole numbers of them fill the interval. Refused, leaving the interval
/// unchanged: a negative step, an interval that does not end after its start, a step
/// longer than the interval, more steps than the engine takes.
std::optional<TSettingsError> ApplyInterval(TCalcSettings& s, std::size_t i,
                                            const TIntervalInput& input);

/// Checks every interval as the engine will see it (after a change of InitialTime an
/// interval that was fine may end before its start). The first problem, or none.
std::optional<TSettingsError> CheckIntervals(const TCalcSettings& s);

/// Appends an interval 48 h after the last, step 1 h, storage 24 h (up to kMaxIntervals).
void AddInterval(TCalcSettings& s);
/// Removes the last interval (never the only one).
void RemoveLastInterval(TCalcSettings& s);

/// A memory field in bytes as 8-byte words (bytes / 8, integer division). Refused
/// (message naming `field`): text that is no whole number, fewer than 8 bytes, more
/// words than a work-array size can hold.
std::variant<std::int32_t, TSettingsError> ReadMemoryField(const std::string& text,
                                                           const std::string& field);
/// Words shown as bytes (in 64 bits: 8 x words never overflows).
std::int64_t MemoryBytes(std::int32_t words);

/// The thickness field in m; refused when it is no number or not positive.
std::variant<double, TSettingsError> ReadThicknessField(const std::string& text);

/// Longest project text the project file takes.
inline constexpr std::size_t kMaxProjectText = 255;
/// The first project text longer than kMaxProjectText, as a message naming its field.
std::optional<TSettingsError> CheckProjectInfo(const TVemtoProjectInfo& info);

}  // namespace vemto
