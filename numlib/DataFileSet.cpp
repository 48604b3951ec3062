#include "DataFileSet.h"

#include <fmt/format.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "FatalStop.h"

namespace numlib {

static_assert(std::endian::native == std::endian::little,
              "data file records are written in the host's byte order");

struct DataFileSet::File {
  std::FILE* fp = nullptr;
  std::string name;
  std::int64_t freeRecord = 3;  // cached record 2 (only this writer changes it)
  ~File() {
    if (fp != nullptr) std::fclose(fp);
  }
};

DataFileSet::DataFileSet() : sink_(WriteToStandardOutput) {}

DataFileSet::~DataFileSet() {
  CloseAll();
}

void DataFileSet::Fatal(const std::string& line) const {
  if (sink_) sink_(line);
  throw FatalStop(line);
}

namespace {

std::string TrimField(std::string_view field) {
  const auto zero = field.find('\0');
  if (zero != std::string_view::npos) field = field.substr(0, zero);
  field = field.substr(0, 255);
  const auto last = field.find_last_not_of(' ');
  return std::string(last == std::string_view::npos ? std::string_view{}
                                                    : field.substr(0, last + 1));
}

bool WriteAt(std::FILE* fp, std::int64_t record, const void* data, std::size_t words) {
  if (fseeko(fp, static_cast<off_t>((record - 1) * 8), SEEK_SET) != 0) return false;
  return std::fwrite(data, 8, words, fp) == words;
}

}  // namespace

void DataFileSet::OpenDataFile(int unit, std::string_view fileName) {
  files_.erase(unit);  // a unit is open at most once
  const std::string name = TrimField(fileName);
  auto file = std::make_unique<File>();
  file->name = name;
  if (!name.empty()) {
    file->fp = std::fopen(name.c_str(), "r+b");
    if (file->fp == nullptr && errno == ENOENT) file->fp = std::fopen(name.c_str(), "w+b");
  }
  if (file->fp == nullptr) Fatal(" FILE NOT AVAILABLE");
  const double three = 3.0;
  if (!WriteAt(file->fp, 1, "DATAFILE", 1) || !WriteAt(file->fp, 2, &three, 1) ||
      std::fflush(file->fp) != 0) {
    Fatal(fmt::format(" DATA FILE {} COULD NOT BE WRITTEN", name));
  }
  files_[unit] = std::move(file);
}

void DataFileSet::WriteMatrixToDataFile(std::string_view name, std::string_view storedName,
                                        const WorkStorage& storage, int unit) {
  const std::int32_t k = storage.FindHeader(name);
  if (k == 0) Fatal(fmt::format(" ARRAY {} NOT DEFINED", MatrixName(name)));
  const auto it = files_.find(unit);
  if (it == files_.end()) Fatal(" FILE NOT AVAILABLE");
  File& file = *it->second;

  const MatrixInfo info = storage.Info(k + storage.Control().HeaderWords);
  const std::int64_t r = file.freeRecord == 0 ? 3 : file.freeRecord;
  const std::string stored = MatrixName(storedName);
  // Header words 2..4 and the data lie contiguously in the work array.
  const bool ok =
      WriteAt(file.fp, r, stored.data(), 1) &&
      std::fwrite(storage.WordAddress(k + 1), 8, 3, file.fp) == 3 &&
      std::fwrite(storage.WordAddress(info.index), 8, static_cast<std::size_t>(info.dataWords),
                  file.fp) == static_cast<std::size_t>(info.dataWords);
  const std::int64_t next = r + storage.Control().HeaderWords + info.dataWords;
  const double nextReal = static_cast<double>(next);
  if (!ok || !WriteAt(file.fp, 2, &nextReal, 1) || std::fflush(file.fp) != 0)
    Fatal(fmt::format(" DATA FILE {} COULD NOT BE WRITTEN", file.name));
  file.freeRecord = next;
}

void DataFileSet::CloseDataFile(int unit) {
  const auto it = files_.find(unit);
  if (it == files_.end()) return;
  std::unique_ptr<File> file = std::move(it->second);
  files_.erase(it);
  const int result = std::fclose(file->fp);
  file->fp = nullptr;
  if (result != 0) Fatal(fmt::format(" DATA FILE {} COULD NOT BE WRITTEN", file->name));
}

void DataFileSet::CloseAll() noexcept {
  files_.clear();
}

}  // namespace numlib
