// Little-endian byte streams for the fixed binary records of the model objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vemto {

/// Thrown when a record cannot be read (truncated stream, bad length) or written
/// (a text longer than a record can hold). The message says what was wrong.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Longest text a record can hold; longer texts are rejected on write and on read.
inline constexpr std::size_t kMaxRecordText = 255;

/// An in-memory byte stream with a read position. Writes always append at the end.
/// Reads past the end throw StreamError and leave the position unchanged.
class TStream {
 public:
  TStream() = default;
  explicit TStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::size_t Size() const { return data_.size(); }
  /// Read position in bytes from the start.
  std::size_t Position() const { return pos_; }
  void Seek(std::size_t pos);
  /// Bytes left to read.
  std::size_t Remaining() const { return data_.size() - pos_; }

  void WriteInt32(std::int32_t v);
  void WriteUInt8(std::uint8_t v);
  void WriteDouble(double v);  ///< IEEE 754 binary64, little-endian
  void WriteBytes(const void* p, std::size_t n);
  /// Text form of the records: int32 (length + 1), the bytes, a zero byte.
  /// Throws StreamError for texts longer than kMaxRecordText.
  void WriteText(std::string_view s);

  std::int32_t ReadInt32();
  std::uint8_t ReadUInt8();
  double ReadDouble();
  void ReadBytes(void* p, std::size_t n);
  /// Reads the text form written by WriteText; a length field below 1 or above
  /// kMaxRecordText + 1, or a stream too short for it, throws StreamError.
  std::string ReadText();

 private:
  void Need(std::size_t n, const char* what) const;

  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace vemto
