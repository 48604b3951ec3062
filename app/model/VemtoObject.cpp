#include "VemtoObject.h"

#include <fmt/format.h>

namespace vemto {

void CheckRecordText(std::string_view text, std::string_view what) {
  if (text.size() > kMaxRecordText)
    throw StreamError(fmt::format("{} \"{}...\" has {} characters; at most {} can be stored", what,
                                  text.substr(0, 20), text.size(), kMaxRecordText));
}

void WriteRecordText(TStream& stream, std::string_view text, std::string_view what) {
  CheckRecordText(text, what);
  stream.WriteText(text);
}

std::string ReadRecordText(TStream& stream) {
  std::string s = stream.ReadText();
  // The stored bytes are read into a zero-filled buffer and taken up to the first zero.
  if (const auto zero = s.find('\0'); zero != std::string::npos) s.resize(zero);
  return s;
}

}  // namespace vemto
