// A computation library loaded at run time (libengine.so, libmeshgen.so, a stand-in
// in the tests), with its progress-channel entry points.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "VemtoListener.h"

namespace vemto {

/// One dlopen'ed library (RTLD_NOW | RTLD_LOCAL): every entry point is taken from its
/// own handle, so libraries exporting the same names never answer for each other.
/// The handle is closed when the last owner lets go, unless a calculation thread that
/// was forcefully shut down still holds it (then it stays loaded for good).
class TComputationLibrary {
 public:
  /// Loads the library at `path`. Throws TDriverError naming the file and the loader's
  /// reason when it cannot be loaded or lacks one of the three IO_FUNC_ entry points.
  static std::shared_ptr<TComputationLibrary> Load(const std::filesystem::path& path);
  ~TComputationLibrary();
  TComputationLibrary(const TComputationLibrary&) = delete;
  TComputationLibrary& operator=(const TComputationLibrary&) = delete;

  /// The exported symbol `name`, or null when the library has none.
  void* Symbol(const char* name) const;
  /// The exported symbol `name`; throws TDriverError when the library has none.
  void* RequiredSymbol(const char* name) const;

  /// The library's file.
  const std::filesystem::path& Path() const { return path_; }

  /// IO_FUNC_mp_vemto_init: registers the listener, clears break and error flags.
  void Init(VemtoWindowHandle window) const { init_(window); }
  /// IO_FUNC_mp_vemto_getinfotext with leading and trailing blanks removed: the text of
  /// the message being handled (call it only while handling that message).
  std::string InfoText() const;
  /// IO_FUNC_mp_vemto_break: requests cancellation of the run in progress.
  void Break() const { break_(); }

  /// Claims the library for one call (the libraries run one call at a time per
  /// process). False when another call holds it.
  bool TryClaim() { return !busy_.exchange(true); }
  /// Ends the claim of TryClaim.
  void Release() { busy_.store(false); }
  /// Marks the library as held for good by a parked thread: it is never claimed again
  /// and never unloaded.
  void Abandon() {
    abandoned_.store(true);
    busy_.store(true);
  }
  /// True after Abandon.
  bool Abandoned() const { return abandoned_.load(); }

 private:
  TComputationLibrary() = default;
  std::filesystem::path path_;
  void* handle_ = nullptr;
  VemtoInitFn init_ = nullptr;
  VemtoGetInfoTextFn getInfoText_ = nullptr;
  VemtoBreakFn break_ = nullptr;
  std::atomic<bool> busy_{false};
  std::atomic<bool> abandoned_{false};
};

/// The folder of the running program (where the libraries and data files lie).
std::filesystem::path ProgramFolder();

}  // namespace vemto
