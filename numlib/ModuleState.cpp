#include "ModuleState.h"

#include <new>

// The exported progress-channel entry points live in this file together with the
// module state, so that every library that uses the module state also exports them
// (the link options of the numlib target force this file in as well).

namespace numlib {

ModuleState& Module() {
  static ModuleState state;
  return state;
}

bool RunGuarded(int defaultCode, int tooLargeCode, const std::function<void(ModuleState&)>& body) {
  ModuleState& module = Module();
  int code = 0;
  bool failed = true;
  std::string text;
  try {
    body(module);
    failed = false;
  } catch (const FatalStop& stop) {
    code = stop.Code() != 0 ? stop.Code() : defaultCode;
    text = stop.what();
  } catch (const std::bad_alloc&) {
    code = tooLargeCode;
    text = " PROBLEM TOO LARGE.";
  } catch (const std::exception& e) {
    code = defaultCode;
    text = std::string(" INTERNAL ERROR: ") + e.what();
  } catch (...) {
    code = defaultCode;
    text = " INTERNAL ERROR";
  }
  // Files are closed and the work array released before the error is reported, so
  // that the receiver finds the files complete and the run holds nothing.
  module.files.CloseAll();
  module.storage.Release();
  if (!failed) return true;
  try {
    module.channel.SendError(code, text);
  } catch (...) {
    // A receiver that throws must not carry its exception out of the library.
  }
  return false;
}

std::string FieldText(const char* field, std::size_t length) {
  std::size_t n = 0;
  while (n < length && field[n] != '\0') ++n;
  while (n > 0 && field[n - 1] == ' ') --n;
  return std::string(field, n);
}

}  // namespace numlib

extern "C" {

VEMTO_EXPORT void IO_FUNC_mp_vemto_init(VemtoWindowHandle window) {
  numlib::Module().channel.Init(window);
}

VEMTO_EXPORT void IO_FUNC_mp_vemto_getinfotext(char* buffer) {
  if (buffer != nullptr) numlib::Module().channel.GetInfoText(buffer);
}

VEMTO_EXPORT void IO_FUNC_mp_vemto_break(void) {
  numlib::Module().channel.Break();
}

}  // extern "C"
