// The progress and cancel channel of one library copy.
//
// Outward: messages 2025-2029 are sent synchronously to the registered listener after
// the message's text has been placed in the 255-byte information text. Inward: the
// host registers its listener, fetches the text and requests cancellation through the
// exported IO_FUNC_mp_vemto_* functions, which act on this library copy's channel
// (numlib::Module().channel).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "VemtoListener.h"

#define VEMTO_EXPORT __attribute__((visibility("default")))

extern "C" {
/// Registers the listener (null: none) and clears the break and error flags.
VEMTO_EXPORT void IO_FUNC_mp_vemto_init(VemtoWindowHandle window);
/// Copies the 255 bytes of the information text to buffer (no terminator added).
VEMTO_EXPORT void IO_FUNC_mp_vemto_getinfotext(char* buffer);
/// Requests cancellation of the run in progress.
VEMTO_EXPORT void IO_FUNC_mp_vemto_break(void);
}

namespace numlib {

/// Information text length in bytes.
inline constexpr int kInfoTextLength = VEMTO_INFO_TEXT_LENGTH;

class ProgressChannel {
 public:
  /// Registers the listener (null: none) and clears BreakFlag and ErrorFlag.
  void Init(VemtoWindowHandle window);
  /// Copies the 255 bytes of the information text (no terminator).
  void GetInfoText(char* buffer) const;
  /// The information text as a string of exactly 255 bytes.
  std::string InfoText() const;
  /// Sets BreakFlag.
  void Break() { breakFlag_.store(1); }

  /// 2025: information text followed by a zero byte (when it fits).
  void SendInfo(std::string_view text);
  /// Sets ErrorFlag, then 2026 with lParam = code: the text as a whole blank-padded
  /// 255-character line without a zero byte.
  void SendError(int code, std::string_view text);
  /// 2027: completion text followed by a zero byte (when it fits).
  void SendFinished(std::string_view text);
  /// 2028: "TIMESTEP" followed by 247 blanks.
  void SendTimeStep();
  /// 2029: "TIMESTEP" followed by 247 blanks.
  void SendWorking();

  bool BreakRequested() const { return breakFlag_.load() != 0; }  ///< BreakFlag set
  bool ErrorReported() const { return errorFlag_.load() != 0; }   ///< ErrorFlag set

  /// Receiver of a sent information text: up to the first zero byte or 255 bytes,
  /// trailing blanks removed.
  static std::string TrimmedText(const char* text255);

 private:
  void Place(std::string_view text, bool zeroByte);
  void Send(int message, std::intptr_t lParam);

  std::atomic<VemtoWindowHandle> window_{nullptr};
  std::atomic<std::int32_t> breakFlag_{0};
  std::atomic<std::int32_t> errorFlag_{0};
  mutable std::mutex textMutex_;
  std::array<char, kInfoTextLength> infoText_{};
  // The text holds "TIMESTEP" and blanks from the last SendWorking: the next one,
  // sent once per solver row, need not place it again.
  bool workingPlaced_ = false;
};

}  // namespace numlib
