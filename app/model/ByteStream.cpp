#include "ByteStream.h"

#include <cstring>

#include <fmt/format.h>

namespace vemto {

void TStream::Seek(std::size_t pos) {
  if (pos > data_.size()) throw StreamError(fmt::format("seek to {} beyond end {}", pos, data_.size()));
  pos_ = pos;
}

void TStream::Need(std::size_t n, const char* what) const {
  if (data_.size() - pos_ < n)
    throw StreamError(fmt::format("truncated record: {} needs {} bytes at offset {}, {} left",
                                  what, n, pos_, data_.size() - pos_));
}

void TStream::WriteBytes(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  data_.insert(data_.end(), b, b + n);
}

void TStream::WriteInt32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  const std::uint8_t b[4] = {std::uint8_t(u), std::uint8_t(u >> 8), std::uint8_t(u >> 16),
                             std::uint8_t(u >> 24)};
  WriteBytes(b, 4);
}

void TStream::WriteUInt8(std::uint8_t v) { data_.push_back(v); }

void TStream::WriteDouble(double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, 8);
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = std::uint8_t(u >> (8 * i));
  WriteBytes(b, 8);
}

void TStream::WriteText(std::string_view s) {
  if (s.size() > kMaxRecordText)
    throw StreamError(fmt::format("text of {} characters is longer than {} characters",
                                  s.size(), kMaxRecordText));
  WriteInt32(static_cast<std::int32_t>(s.size() + 1));
  WriteBytes(s.data(), s.size());
  WriteUInt8(0);
}

void TStream::ReadBytes(void* p, std::size_t n) {
  Need(n, "data");
  std::memcpy(p, data_.data() + pos_, n);
  pos_ += n;
}

std::int32_t TStream::ReadInt32() {
  Need(4, "int32");
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= std::uint32_t(data_[pos_ + i]) << (8 * i);
  pos_ += 4;
  return static_cast<std::int32_t>(u);
}

std::uint8_t TStream::ReadUInt8() {
  Need(1, "byte");
  return data_[pos_++];
}

double TStream::ReadDouble() {
  Need(8, "real64");
  std::uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= std::uint64_t(data_[pos_ + i]) << (8 * i);
  pos_ += 8;
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

std::string TStream::ReadText() {
  const std::size_t start = pos_;
  const std::int32_t n = ReadInt32();
  if (n < 1 || static_cast<std::size_t>(n) > kMaxRecordText + 1) {
    pos_ = start;
    throw StreamError(fmt::format("text length {} at offset {} is outside 0..{}", n - 1, start,
                                  kMaxRecordText));
  }
  if (Remaining() < static_cast<std::size_t>(n)) {
    pos_ = start;
    throw StreamError(fmt::format("truncated text at offset {}", start));
  }
  std::string s(reinterpret_cast<const char*>(data_.data() + pos_), static_cast<std::size_t>(n - 1));
  pos_ += static_cast<std::size_t>(n);  // the bytes and the terminating zero
  return s;
}

}  // namespace vemto
