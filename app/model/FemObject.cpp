#include "FemObject.h"

#include <vector>

#include <fmt/format.h>

namespace vemto {

void WriteRecordToFile(std::FILE* file, const TStream& record) {
  if (file == nullptr) throw StreamError("cannot write a record: no open file");
  const auto& bytes = record.Bytes();
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    throw StreamError(fmt::format("cannot write a record of {} bytes to the file", bytes.size()));
}

TStream ReadRecordFromFile(std::FILE* file, std::size_t size) {
  if (file == nullptr) throw StreamError("cannot read a record: no open file");
  std::vector<std::uint8_t> bytes(size);
  const std::size_t got = std::fread(bytes.data(), 1, size, file);
  if (got != size)
    throw StreamError(
        fmt::format("truncated record: {} bytes expected in the file, {} read", size, got));
  return TStream(std::move(bytes));
}

}  // namespace vemto
