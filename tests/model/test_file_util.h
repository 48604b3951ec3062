// Helpers of the file tests: temporary folders, whole-file bytes, the independent
// compound-file reader.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace vemto::test {

/// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vemto-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  /// `name` inside the folder; "" gives the folder itself with a trailing slash.
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

/// Runs tests/interop/olefile_dump.py on `file` and collects "storage/stream" → bytes.
/// Returns false when the reader fails.
inline bool RunOlefileDump(const std::string& file,
                           std::map<std::string, std::vector<std::uint8_t>>& streams) {
  const std::string cmd = std::string("/usr/bin/python3 '") + VEMTO_SOURCE_DIR +
                          "/tests/interop/olefile_dump.py' '" + file + "'";
  FILE* pipe = ::popen(cmd.c_str(), "r");
  if (!pipe) return false;
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int status = ::pclose(pipe);
  if (status != 0) return false;
  std::size_t pos = 0;
  while (pos < out.size()) {
    const std::size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end == std::string::npos ? end : end - pos);
    pos = end == std::string::npos ? out.size() : end + 1;
    const auto t1 = line.find('\t');
    const auto t2 = line.find('\t', t1 + 1);
    if (t1 == std::string::npos || t2 == std::string::npos) return false;
    const std::string hex = line.substr(t2 + 1);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    if (bytes.size() != std::stoul(line.substr(t1 + 1, t2 - t1 - 1))) return false;
    streams[line.substr(0, t1)] = std::move(bytes);
  }
  return true;
}

}  // namespace vemto::test
