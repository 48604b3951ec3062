// The exported entry points of libtmfetch.so.
#include <array>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>

#include "ModuleState.h"
#include "Transfer.h"

#define TMFETCH_EXPORT __attribute__((visibility("default")))

namespace {

/// The library's module state: the error text of the last call.
struct TmfetchState {
  std::mutex mutex;
  std::string lastError;
};

TmfetchState& State() {
  static TmfetchState state;
  return state;
}

}  // namespace

extern "C" {

/// Writes this model's temperature-and-maturity file from another model's result
/// database. resultFile: the other model's ".out"; datFile: this model's analysis data
/// file; dtmFile: the file to write. Each a 256-byte name field. The outcome is fetched
/// with tmfetch_lasterror.
TMFETCH_EXPORT void readmean(const char* resultFile, const char* datFile, const char* dtmFile) {
  std::string error;
  try {
    vemto::tmfetch::ReadMean(numlib::FieldText(resultFile), numlib::FieldText(datFile),
                             numlib::FieldText(dtmFile));
  } catch (const std::exception& e) {
    error = e.what();
    if (error.empty()) error = "temperature and maturity transfer failed";
  } catch (...) {
    error = "temperature and maturity transfer failed";
  }
  std::lock_guard lock(State().mutex);
  State().lastError = error;
}

/// Copies the error text of the last readmean (empty after success) into a 256-byte
/// buffer, zero-terminated and cut at 255 characters.
TMFETCH_EXPORT void tmfetch_lasterror(char* buffer) {
  std::lock_guard lock(State().mutex);
  std::memset(buffer, 0, 256);
  std::strncpy(buffer, State().lastError.c_str(), 255);
}
}
