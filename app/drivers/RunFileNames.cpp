#include "RunFileNames.h"

#include <cstring>

#include "DriverError.h"

namespace vemto {

namespace {

bool EndsWithV3(const std::string& name) {
  if (name.size() < 3) return false;
  const char* tail = name.c_str() + name.size() - 3;
  return tail[0] == '.' && (tail[1] == 'v' || tail[1] == 'V') && tail[2] == '3';
}

}  // namespace

TRunFileNames DeriveRunFileNames(const std::string& projectFileName) {
  if (projectFileName.empty()) throw TDriverError("The model has no file name: save it first.");
  std::string base = projectFileName;
  if (EndsWithV3(base)) base.resize(base.size() - 3);
  if (base.empty() || base.back() == '/')
    throw TDriverError("\"" + projectFileName + "\" has no name before its \".v3\" extension.");
  TRunFileNames names;
  names.Base = base;
  names.DataFile = base + ".dat";
  names.ListFile = base + ".lst";
  names.TempMatFile = base + ".dtm";
  names.ResultFile = base + ".out";
  if (names.DataFile.size() >= kFileNameBufferLength)
    throw TDriverError("The file name \"" + names.DataFile +
                       "\" is longer than 255 characters: move or rename the model.");
  return names;
}

std::array<char, kFileNameBufferLength> FileNameBuffer(const std::string& name) {
  if (name.size() >= kFileNameBufferLength)
    throw TDriverError("The file name \"" + name + "\" is longer than 255 characters.");
  if (name.find('\0') != std::string::npos) throw TDriverError("The file name holds a zero byte.");
  std::array<char, kFileNameBufferLength> buffer{};
  std::memcpy(buffer.data(), name.data(), name.size());
  return buffer;
}

std::string FieldToString(const char* field, std::size_t length) {
  std::size_t n = 0;
  while (n < length && field[n] != '\0') ++n;
  while (n > 0 && field[n - 1] == ' ') --n;
  return std::string(field, n);
}

}  // namespace vemto
