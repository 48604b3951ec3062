// The module state of one library copy and the guard for a library entry point.
//
// numlib is a static library compiled into each computation library, so meshgen and
// engine each hold their own ModuleState. A library runs one call at a time.
//
// Use in an entry point:
//
//   extern "C" VEMTO_EXPORT void execute(...) {
//     numlib::RunGuarded(VEMTO_ERROR_GENERAL, VEMTO_ERROR_GENERAL, [&](numlib::ModuleState& m) {
//       m.storage.Allocate(words);          // released again when the call ends
//       ...                                 // may throw numlib::FatalStop
//     });
//   }
//
// RunGuarded releases the work array and closes every data file on every exit path
// and turns every exception into an error message (2026) of the progress channel;
// nothing escapes the entry point.
#pragma once

#include <functional>

#include "DataFileSet.h"
#include "FatalStop.h"
#include "ProgressChannel.h"
#include "WorkStorage.h"

namespace numlib {

struct ModuleState {
  ProgressChannel channel;  ///< registered listener, info text, flags
  WorkStorage storage;      ///< the work array of the call in progress
  DataFileSet files;        ///< the data files of the call in progress
};

/// This library copy's module state.
ModuleState& Module();

/// Runs body(Module()) as one library call. Afterwards (also after any exception)
/// the work array is released and all data files are closed. Exceptions become
/// SendError: FatalStop with its code (or defaultCode when it has none) and text;
/// std::bad_alloc with tooLargeCode and " PROBLEM TOO LARGE."; anything else with
/// defaultCode and " INTERNAL ERROR: <what>". Returns false when an exception ended
/// the call.
bool RunGuarded(int defaultCode, int tooLargeCode, const std::function<void(ModuleState&)>& body);

/// The fixed field of a file name argument: trailing blanks and zero bytes removed,
/// at most the first 255 characters, cut at the first zero byte.
std::string FieldText(const char* field, std::size_t length = 255);

}  // namespace numlib
