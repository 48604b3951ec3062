#include "WorkStorage.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "FatalStop.h"

namespace numlib {

namespace {

constexpr std::string_view kReservedName = "ALL     ";

}  // namespace

std::string MatrixName(std::string_view name) {
  std::string padded(name.substr(0, 8));
  padded.resize(8, ' ');
  return padded;
}

void WriteToStandardOutput(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string IntegerField(std::int64_t value, int width) {
  std::string text = fmt::format("{:>{}}", value, width);
  if (static_cast<int>(text.size()) > width)
    return std::string(static_cast<std::size_t>(width), '*');
  return text;
}

std::int64_t MatrixInfo::Elements() const {
  if (type == MatrixType::Integer) return 2 * std::int64_t{dataWords} - (storedColumns < 0 ? 1 : 0);
  return dataWords;
}

std::int64_t MatrixInfo::Rows() const {
  const std::int64_t columns = Columns();
  return columns == 0 ? 0 : Elements() / columns;
}

WorkStorage::WorkStorage() : sink_(WriteToStandardOutput) {}

WorkStorage::WorkStorage(std::int32_t totalWords) : WorkStorage() {
  Allocate(totalWords);
}

WorkStorage::WorkStorage(WorkStorage&& other) noexcept
    : words_(std::move(other.words_)),
      allocated_(std::exchange(other.allocated_, 0)),
      untouched_(std::exchange(other.untouched_, 1)),
      control_(std::exchange(other.control_, StorageControl{})),
      sink_(other.sink_),
      warnAlways_(other.warnAlways_) {}

WorkStorage& WorkStorage::operator=(WorkStorage&& other) noexcept {
  if (this != &other) {
    words_ = std::move(other.words_);
    allocated_ = std::exchange(other.allocated_, 0);
    untouched_ = std::exchange(other.untouched_, 1);
    control_ = std::exchange(other.control_, StorageControl{});
    sink_ = other.sink_;
    warnAlways_ = other.warnAlways_;
  }
  return *this;
}

void WorkStorage::Allocate(std::int32_t totalWords) {
  Release();
  if (totalWords > 0) {
    // calloc: zeroed pages are only committed when they are touched.
    void* p = std::calloc(static_cast<std::size_t>(totalWords), 8);
    if (p == nullptr) throw std::bad_alloc();
    words_.reset(static_cast<std::byte*>(p));
    allocated_ = totalWords;
  }
  untouched_ = 1;
  control_.TotalWords = totalWords;
  control_.NextFree = 1;
  control_.HeaderWords = 4;
  control_.PrintLevel = 2;
}

void WorkStorage::Release() {
  words_.reset();
  allocated_ = 0;
  untouched_ = 1;
  control_.TotalWords = 0;
  control_.NextFree = 1;
  control_.HeaderWords = 4;
}

void WorkStorage::Print(std::string_view line) const {
  if (sink_) sink_(line);
}

std::byte* WorkStorage::WordAddress(std::int32_t k) {
  assert(k >= 1 && k <= allocated_ + 1 && words_);
  return words_.get() + static_cast<std::size_t>(k - 1) * 8;
}

const std::byte* WorkStorage::WordAddress(std::int32_t k) const {
  assert(k >= 1 && k <= allocated_ + 1 && words_);
  return words_.get() + static_cast<std::size_t>(k - 1) * 8;
}

std::uint64_t WorkStorage::Word(std::int32_t k) const {
  std::uint64_t w;
  std::memcpy(&w, WordAddress(k), 8);
  return w;
}

double WorkStorage::HeaderReal(std::int32_t k) const {
  double v;
  std::memcpy(&v, WordAddress(k), 8);
  return v;
}

void WorkStorage::SetHeaderReal(std::int32_t k, double value) {
  std::memcpy(WordAddress(k), &value, 8);
}

std::int32_t WorkStorage::DefineMatrix(std::string_view name, std::int32_t rows,
                                       std::int32_t columns, MatrixType type) {
  const std::string padded = MatrixName(name);
  const int level = control_.PrintLevel;
  if (padded == kReservedName) {
    if (level <= 1) Print(" MATRIX NAME   ALL   NOT ALLOWED");
    return 0;
  }
  const auto code = static_cast<std::int32_t>(type);
  if (level == 0) {
    if (type == MatrixType::Text) {
      Print(fmt::format(" {} ROWS IN MATRIX {}", IntegerField(columns, 5), padded));
    } else {
      Print(fmt::format(" {} ROWS{} COLUMNS IN MATRIX {}", IntegerField(rows, 5),
                        IntegerField(columns, 5), padded));
    }
  }
  if (rows < 0 || columns < 0 || code < 1 || code > 3) {
    // A negative size or an unknown type cannot be stored: nothing is defined.
    if (level <= 1) Print(fmt::format(" MATRIX {} HAS NOT BEEN DEFINED", padded));
    return 0;
  }
  assert(control_.HeaderWords >= 4 && control_.NextFree >= 1);

  const std::int64_t m = std::int64_t{rows} * columns;
  const std::int64_t words = MatrixDataWords(m, type);
  std::int64_t stored = columns;
  if (type == MatrixType::Integer && 2 * words != m) stored = -std::int64_t{columns};
  const std::int64_t total = control_.TotalWords;
  const std::int64_t next = control_.NextFree;
  const std::int64_t need = control_.HeaderWords + words;
  const std::int64_t rest = total - next - need;
  // The allocated size is checked as well, in case the control was changed by hand.
  if (next + need > std::int64_t{allocated_} + 1) {
    if (level <= 1) {
      Print(fmt::format(" STORAGE EXCEEDED{} RESERVED{} REQUIRED", IntegerField(total, 6),
                        IntegerField(next + need, 6)));
      Print(fmt::format(" MATRIX {} HAS NOT BEEN DEFINED", padded));
    }
    return 0;
  }
  if (rest <= total / 10) {
    if (next + need > total) {
      if (level <= 1) {
        Print(fmt::format(" STORAGE EXCEEDED{} RESERVED{} REQUIRED", IntegerField(total, 6),
                          IntegerField(next + need, 6)));
        Print(fmt::format(" MATRIX {} HAS NOT BEEN DEFINED", padded));
      }
      return 0;
    }
    if (level <= 1 || warnAlways_) Print(" WARNING! - MORE THAN 90% OF STORAGE USED!");
  }

  const auto k = static_cast<std::int32_t>(next);
  std::memcpy(WordAddress(k), padded.data(), 8);
  SetHeaderReal(k + 1, static_cast<double>(words));
  SetHeaderReal(k + 2, static_cast<double>(stored));
  SetHeaderReal(k + 3, static_cast<double>(code));
  for (std::int32_t extra = 4; extra < control_.HeaderWords; ++extra)
    std::memset(WordAddress(k + extra), 0, 8);
  const auto index = static_cast<std::int32_t>(next + control_.HeaderWords);
  // Only words handed out before need zeroing; the rest are calloc's untouched zeros,
  // so that a generous work array costs neither time nor resident memory.
  const std::int64_t dirty = std::min<std::int64_t>(words, std::max(0, untouched_ - index));
  if (dirty > 0) std::memset(WordAddress(index), 0, static_cast<std::size_t>(dirty) * 8);
  control_.NextFree = static_cast<std::int32_t>(next + need);
  untouched_ = std::max(untouched_, control_.NextFree);
  return index;
}

std::int32_t WorkStorage::FindHeader(std::string_view name) const {
  const std::string padded = MatrixName(name);
  std::int32_t k = 1;
  while (k < control_.NextFree) {
    if (std::memcmp(WordAddress(k), padded.data(), 8) == 0) return k;
    k += control_.HeaderWords + static_cast<std::int32_t>(std::lround(HeaderReal(k + 1)));
  }
  return 0;
}

std::int32_t WorkStorage::Find(std::string_view name) const {
  const std::int32_t k = FindHeader(name);
  return k == 0 ? 0 : k + control_.HeaderWords;
}

void WorkStorage::DeleteMatrix(std::string_view name) {
  const std::int32_t k = FindHeader(name);
  if (k == 0) return;
  const std::int32_t size =
      control_.HeaderWords + static_cast<std::int32_t>(std::lround(HeaderReal(k + 1)));
  const std::int32_t moved = control_.NextFree - (k + size);
  if (moved > 0) {
    std::memmove(WordAddress(k), WordAddress(k + size), static_cast<std::size_t>(moved) * 8);
  }
  control_.NextFree -= size;
  std::memset(WordAddress(control_.NextFree), 0, static_cast<std::size_t>(size) * 8);
  if (control_.PrintLevel == 0)
    Print(fmt::format(" PREVIOUSLY DEFINED MATRIX {} DELETED", MatrixName(name)));
}

MatrixInfo WorkStorage::Info(std::int32_t index) const {
  const std::int32_t k = index - control_.HeaderWords;
  assert(k >= 1 && k < control_.NextFree);
  MatrixInfo info;
  info.name.assign(reinterpret_cast<const char*>(WordAddress(k)), 8);
  info.index = index;
  info.dataWords = static_cast<std::int32_t>(std::lround(HeaderReal(k + 1)));
  info.storedColumns = static_cast<std::int32_t>(std::lround(HeaderReal(k + 2)));
  info.type = static_cast<MatrixType>(std::lround(HeaderReal(k + 3)));
  return info;
}

std::vector<MatrixInfo> WorkStorage::Matrices() const {
  std::vector<MatrixInfo> all;
  std::int32_t k = 1;
  while (k < control_.NextFree) {
    all.push_back(Info(k + control_.HeaderWords));
    k += control_.HeaderWords + all.back().dataWords;
  }
  return all;
}

namespace {

template <typename T>
MatrixView<T> ViewOf(WorkStorage& storage, const MatrixInfo& info) {
  return MatrixView<T>(reinterpret_cast<T*>(storage.WordAddress(info.index)), info.Rows(),
                       info.Columns());
}

}  // namespace

#define NUMLIB_VIEW_BY_NAME(Method, T, Type)                                   \
  MatrixView<T> WorkStorage::Method(std::string_view name) {                   \
    const std::int32_t index = Find(name);                                     \
    if (index == 0 || Info(index).type != Type)                                \
      throw FatalStop(fmt::format(" ARRAY {} NOT DEFINED", MatrixName(name))); \
    return ViewOf<T>(*this, Info(index));                                      \
  }                                                                            \
  MatrixView<T> WorkStorage::Method##At(std::int32_t index) {                  \
    const MatrixInfo info = Info(index);                                       \
    assert(info.type == Type);                                                 \
    return ViewOf<T>(*this, info);                                             \
  }

NUMLIB_VIEW_BY_NAME(Integers, std::int32_t, MatrixType::Integer)
NUMLIB_VIEW_BY_NAME(Reals, double, MatrixType::Real)
NUMLIB_VIEW_BY_NAME(Texts, TextWord, MatrixType::Text)

#undef NUMLIB_VIEW_BY_NAME

void CopyIntegers(std::int64_t n, const std::int32_t* source, std::int32_t* target) {
  for (std::int64_t i = 0; i < n; ++i) target[i] = source[i];
}

void CopyReals(std::int64_t n, const double* source, double* target) {
  for (std::int64_t i = 0; i < n; ++i) target[i] = source[i];
}

}  // namespace numlib
