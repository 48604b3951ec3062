#include "DataFileReader.h"

#include <fmt/format.h>

#include <bit>
#include <cmath>
#include <cstring>

namespace numlib {

namespace {

double AsReal(std::uint64_t word) {
  return std::bit_cast<double>(word);
}

// A header value that must be a whole number within [low, high].
bool WholeNumber(double v, double low, double high, std::int64_t& out) {
  if (!std::isfinite(v) || v != std::floor(v) || v < low || v > high) return false;
  out = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace

std::int64_t DataBlock::Elements() const {
  if (type == MatrixType::Integer) return 2 * dataWords - (storedColumns < 0 ? 1 : 0);
  return dataWords;
}

std::int64_t DataBlock::Rows() const {
  const std::int64_t columns = Columns();
  return columns == 0 ? 0 : Elements() / columns;
}

void DataFileReader::Fail(const std::string& what) const {
  throw DataFileError(fmt::format("Data file \"{}\": {}", fileName_, what));
}

void DataFileReader::ReadInto(std::int64_t record, std::int64_t count, void* words) {
  if (count == 0) return;
  in_.clear();
  in_.seekg(static_cast<std::streamoff>((record - 1) * 8));
  in_.read(static_cast<char*>(words), static_cast<std::streamsize>(count * 8));
  if (!in_ || in_.gcount() != count * 8)
    Fail(fmt::format("cannot read records {} to {}", record, record + count - 1));
}

std::vector<std::uint64_t> DataFileReader::ReadWords(std::int64_t record, std::int64_t count) {
  std::vector<std::uint64_t> words(static_cast<std::size_t>(count));
  ReadInto(record, count, words.data());
  return words;
}

DataFileReader::DataFileReader(const std::string& fileName) : fileName_(fileName) {
  in_.open(fileName, std::ios::binary);
  if (!in_) Fail("cannot be opened");
  in_.seekg(0, std::ios::end);
  const std::streamoff size = in_.tellg();
  if (size < 0) Fail("cannot be read");
  fileRecords_ = size / 8;
  if (fileRecords_ < 2) Fail("too short for a data file (fewer than 2 records)");

  const std::vector<std::uint64_t> head = ReadWords(1, 2);
  if (std::memcmp(&head[0], "DATAFILE", 8) != 0) Fail("record 1 is not \"DATAFILE\"");
  if (!WholeNumber(AsReal(head[1]), 3, static_cast<double>(fileRecords_ + 1), freeRecord_))
    Fail(fmt::format("record 2 (first free record) is {} but must be a whole number from 3 to {}",
                     AsReal(head[1]), fileRecords_ + 1));

  std::int64_t record = 3;
  while (record < freeRecord_) {
    if (record + 4 > freeRecord_)
      Fail(fmt::format("block header at record {} runs past the first free record {}", record,
                       freeRecord_));
    const std::vector<std::uint64_t> header = ReadWords(record, 4);
    DataBlock block;
    block.name.assign(reinterpret_cast<const char*>(&header[0]), 8);
    block.record = record;
    std::int64_t type = 0;
    if (!WholeNumber(AsReal(header[1]), 0, static_cast<double>(freeRecord_ - record - 4),
                     block.dataWords))
      Fail(fmt::format("block \"{}\" at record {}: data word count {} does not fit the file",
                       block.name, record, AsReal(header[1])));
    if (!WholeNumber(AsReal(header[2]), -2147483647.0, 2147483647.0, block.storedColumns))
      Fail(fmt::format("block \"{}\" at record {}: invalid column count {}", block.name, record,
                       AsReal(header[2])));
    if (!WholeNumber(AsReal(header[3]), 1, 3, type))
      Fail(fmt::format("block \"{}\" at record {}: unknown type code {}", block.name, record,
                       AsReal(header[3])));
    block.type = static_cast<MatrixType>(type);
    if (block.storedColumns < 0 && (block.type != MatrixType::Integer || block.dataWords == 0))
      Fail(fmt::format("block \"{}\" at record {}: negative column count {} for this block",
                       block.name, record, block.storedColumns));
    const std::int64_t elements = block.Elements();
    if ((block.Columns() == 0 && elements != 0) ||
        (block.Columns() != 0 && elements % block.Columns() != 0))
      Fail(fmt::format("block \"{}\" at record {}: {} elements do not fill {} columns", block.name,
                       record, elements, block.Columns()));
    blocks_.push_back(block);
    record += 4 + block.dataWords;
  }
  for (std::size_t i = blocks_.size(); i-- > 0;) index_[blocks_[i].name] = i;
}

const DataBlock* DataFileReader::Find(std::string_view name) const {
  const auto it = index_.find(MatrixName(name));
  return it == index_.end() ? nullptr : &blocks_[it->second];
}

const DataBlock& DataFileReader::Get(std::string_view name) const {
  const DataBlock* block = Find(name);
  if (block == nullptr) Fail(fmt::format("matrix \"{}\" not found", MatrixName(name)));
  return *block;
}

namespace {

const char* TypeName(MatrixType type) {
  switch (type) {
    case MatrixType::Integer:
      return "integer";
    case MatrixType::Real:
      return "real";
    case MatrixType::Text:
      return "text";
  }
  return "unknown";
}

}  // namespace

#define NUMLIB_CHECK_TYPE(block, expected)                                                       \
  if ((block).type != (expected))                                                                \
  Fail(fmt::format("matrix \"{}\" is a {} matrix, not {}", (block).name, TypeName((block).type), \
                   TypeName(expected)))

DecodedMatrix<std::int32_t> DataFileReader::ReadIntegers(const DataBlock& block) {
  NUMLIB_CHECK_TYPE(block, MatrixType::Integer);
  const std::vector<std::uint64_t> words = ReadWords(block.record + 4, block.dataWords);
  DecodedMatrix<std::int32_t> m;
  m.rows = block.Rows();
  m.columns = block.Columns();
  m.values.resize(static_cast<std::size_t>(block.Elements()));
  // Two integers per word, the lower index in the first four bytes.
  std::memcpy(m.values.data(), words.data(), m.values.size() * 4);
  return m;
}

DecodedMatrix<double> DataFileReader::ReadReals(const DataBlock& block) {
  NUMLIB_CHECK_TYPE(block, MatrixType::Real);
  DecodedMatrix<double> m;
  m.rows = block.Rows();
  m.columns = block.Columns();
  // Read straight into the values: a field of a large mesh is megabytes, read at every
  // redraw, and a second buffer doubles the time.
  m.values.resize(static_cast<std::size_t>(block.dataWords));
  ReadInto(block.record + 4, block.dataWords, m.values.data());
  return m;
}

DecodedMatrix<std::string> DataFileReader::ReadTexts(const DataBlock& block) {
  NUMLIB_CHECK_TYPE(block, MatrixType::Text);
  const std::vector<std::uint64_t> words = ReadWords(block.record + 4, block.dataWords);
  DecodedMatrix<std::string> m;
  m.rows = block.Rows();
  m.columns = block.Columns();
  m.values.reserve(words.size());
  for (const std::uint64_t& w : words) m.values.emplace_back(reinterpret_cast<const char*>(&w), 8);
  return m;
}

#undef NUMLIB_CHECK_TYPE

std::string DataFileReader::EventName(char letter, std::int64_t k) {
  std::string name = fmt::format("{}", 10000000 + k);
  name[0] = letter;
  return name;
}

bool DataFileReader::HasEvent(std::int64_t k) const {
  for (const char letter : kEventLetters)
    if (Find(EventName(letter, k)) != nullptr) return true;
  return false;
}

std::int64_t DataFileReader::EventCount() const {
  std::int64_t k = 0;
  while (k < 89999999 && HasEvent(k + 1)) ++k;
  return k;
}

}  // namespace numlib
