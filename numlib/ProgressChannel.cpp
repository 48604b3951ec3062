#include "ProgressChannel.h"

#include <algorithm>
#include <cstring>

namespace numlib {

void ProgressChannel::Init(VemtoWindowHandle window) {
  window_.store(window);
  breakFlag_.store(0);
  errorFlag_.store(0);
}

void ProgressChannel::GetInfoText(char* buffer) const {
  std::lock_guard lock(textMutex_);
  std::memcpy(buffer, infoText_.data(), infoText_.size());
}

std::string ProgressChannel::InfoText() const {
  std::lock_guard lock(textMutex_);
  return std::string(infoText_.data(), infoText_.size());
}

void ProgressChannel::Place(std::string_view text, bool zeroByte) {
  std::lock_guard lock(textMutex_);
  workingPlaced_ = false;
  infoText_.fill(' ');
  const std::size_t n = std::min(text.size(), infoText_.size());
  std::memcpy(infoText_.data(), text.data(), n);
  if (zeroByte && n < infoText_.size()) infoText_[n] = '\0';
}

void ProgressChannel::Send(int message, std::intptr_t lParam) {
  const VemtoWindowHandle window = window_.load();
  if (window != nullptr && window->send != nullptr) window->send(window->context, message, lParam);
}

void ProgressChannel::SendInfo(std::string_view text) {
  Place(text, true);
  Send(VEMTO_MSG_INFO, 0);
}

void ProgressChannel::SendError(int code, std::string_view text) {
  errorFlag_.store(1);
  Place(text, false);
  Send(VEMTO_MSG_ERROR, code);
}

void ProgressChannel::SendFinished(std::string_view text) {
  Place(text, true);
  Send(VEMTO_MSG_FINISHED, 0);
}

void ProgressChannel::SendTimeStep() {
  Place("TIMESTEP", false);
  Send(VEMTO_MSG_TIMESTEP, 0);
}

void ProgressChannel::SendWorking() {
  if (!workingPlaced_) {
    Place("TIMESTEP", false);
    workingPlaced_ = true;
  }
  Send(VEMTO_MSG_WORKING, 0);
}

std::string ProgressChannel::TrimmedText(const char* text255) {
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(kInfoTextLength) && text255[n] != '\0') ++n;
  while (n > 0 && text255[n - 1] == ' ') --n;
  return std::string(text255, n);
}

}  // namespace numlib
