#include "ComputationLibrary.h"

#include <dlfcn.h>

#include <array>
#include <system_error>

#include "DriverError.h"
#include "RunFileNames.h"

namespace vemto {

std::shared_ptr<TComputationLibrary> TComputationLibrary::Load(const std::filesystem::path& path) {
  std::shared_ptr<TComputationLibrary> library(new TComputationLibrary());
  library->path_ = path;
  library->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library->handle_ == nullptr) {
    const char* reason = dlerror();
    throw TDriverError("Cannot load the library \"" + path.string() +
                       "\": " + (reason != nullptr ? reason : "unknown reason"));
  }
  library->init_ = reinterpret_cast<VemtoInitFn>(library->RequiredSymbol("IO_FUNC_mp_vemto_init"));
  library->getInfoText_ =
      reinterpret_cast<VemtoGetInfoTextFn>(library->RequiredSymbol("IO_FUNC_mp_vemto_getinfotext"));
  library->break_ =
      reinterpret_cast<VemtoBreakFn>(library->RequiredSymbol("IO_FUNC_mp_vemto_break"));
  return library;
}

TComputationLibrary::~TComputationLibrary() {
  if (handle_ != nullptr && !abandoned_.load()) dlclose(handle_);
}

void* TComputationLibrary::Symbol(const char* name) const {
  return dlsym(handle_, name);
}

void* TComputationLibrary::RequiredSymbol(const char* name) const {
  void* symbol = dlsym(handle_, name);
  if (symbol == nullptr)
    throw TDriverError("The library \"" + path_.string() + "\" does not export \"" + name + "\".");
  return symbol;
}

std::string TComputationLibrary::InfoText() const {
  std::array<char, kFileNameBufferLength> buffer{};
  getInfoText_(buffer.data());
  std::string text = FieldToString(buffer.data(), VEMTO_INFO_TEXT_LENGTH);
  text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size()
                                                                 : text.find_first_not_of(' '));
  return text;
}

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error);
  return self.parent_path();
}

}  // namespace vemto
