#include "TempMatInput.h"

#include <dlfcn.h>

#include <array>
#include <exception>
#include <memory>

#include "ComputationLibrary.h"
#include "DriverError.h"
#include "RunFileNames.h"
#include "RunLock.h"
#include "VemtoFile.h"

namespace vemto {

namespace {

using ReadMeanFn = void (*)(const char* resultFile, const char* datFile, const char* dtmFile);
using LastErrorFn = void (*)(char* buffer);

}  // namespace

TTempMatResult ExtractTemperatureMaturity(TVemtoFile& document, const std::string& otherResultFile,
                                          const std::filesystem::path& programFolder,
                                          const TRunObserver& observer) {
  TTempMatResult result;
  try {
    const TRunFileNames files = DeriveRunFileNames(document.FileName);
    result.TempMatFile = files.TempMatFile;
    if (!std::filesystem::is_regular_file(otherResultFile))
      throw TDriverError("\"" + otherResultFile + "\" does not exist or is no file.");
    // The mesh rewrites the run's analysis data file: no run of this project may be using it.
    const TRunLock lock(files);
    const TRunMeshOutcome mesh =
        MeshModelStep(document, files, observer, (programFolder / "libmeshgen.so").string());
    if (mesh.Failed) {
      if (mesh.ErrorNumber >= 2000)
        result.Error = kTooLargeHistoryMessage;
      else if (mesh.ErrorNumber != 0)
        result.Error = "MESH ERROR : " + mesh.ErrorText;
      else
        result.Error = mesh.ErrorText;
      return result;
    }
    // The library is loaded for this call only; it keeps no state between calls.
    void* handle = dlopen((programFolder / "libtmfetch.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      throw TDriverError("Cannot load the library \"" + (programFolder / "libtmfetch.so").string() +
                         "\": " + (why != nullptr ? why : "unknown reason"));
    }
    std::unique_ptr<void, int (*)(void*)> library(handle, &dlclose);
    const auto readmean = reinterpret_cast<ReadMeanFn>(dlsym(handle, "readmean"));
    const auto lastError = reinterpret_cast<LastErrorFn>(dlsym(handle, "tmfetch_lasterror"));
    if (readmean == nullptr) throw TDriverError("libtmfetch.so does not export \"readmean\".");
    if (observer.OnMeshInfo)
      observer.OnMeshInfo("Extracting to " +
                          std::filesystem::path(files.TempMatFile).filename().string());
    const auto other = FileNameBuffer(otherResultFile);
    const auto data = FileNameBuffer(files.DataFile);
    const auto tempMat = FileNameBuffer(files.TempMatFile);
    readmean(other.data(), data.data(), tempMat.data());
    if (lastError != nullptr) {
      std::array<char, kFileNameBufferLength> error{};
      lastError(error.data());
      result.Error = FieldToString(error.data(), kFileNameBufferLength - 1);
    }
    if (result.Error.empty() && !std::filesystem::exists(files.TempMatFile))
      result.Error = "\"" + files.TempMatFile + "\" was not written.";
    result.Succeeded = result.Error.empty();
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}

}  // namespace vemto
