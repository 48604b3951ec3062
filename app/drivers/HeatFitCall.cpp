#include "HeatFitCall.h"

#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>

#include "DriverError.h"
#include "RunFileNames.h"

namespace vemto {

namespace {

constexpr std::size_t kNameSlot = 255;     // bytes per file name in the call
constexpr std::size_t kWorkWords = 10000;  // reals of the work area handed to the library

using CalcFn = void (*)(const std::int32_t*, const std::int32_t*, const std::int32_t*, const char*,
                        double*, void*, const double*, double*, double*, double*, double*, double*,
                        double*, double*);
using LastErrorFn = void (*)(char*);
using RmsFn = void (*)(double*);
using CurveSizeFn = void (*)(const std::int32_t*, std::int32_t*);
using CurveFn = void (*)(const std::int32_t*, double*, double*, double*);

template <class Fn>
Fn Entry(void* handle, const char* name) {
  auto* fn = reinterpret_cast<Fn>(dlsym(handle, name));
  if (fn == nullptr)
    throw TDriverError(std::string("libheatfit.so does not export \"") + name + "\".");
  return fn;
}

}  // namespace

THeatFitResult RunHeatFit(const THeatFitInput& input, const std::filesystem::path& programFolder) {
  THeatFitResult result;
  try {
    const int count = static_cast<int>(input.Files.size());
    if (count < 1 || count > kHeatFitMaxFiles) throw TDriverError("Give 1 to 3 input files.");
    std::array<char, kHeatFitMaxFiles * kNameSlot> names{};
    for (int f = 0; f < count; ++f) {
      if (input.Files[f].size() > kNameSlot)
        throw TDriverError("The file name \"" + input.Files[f] +
                           "\" is longer than 255 characters.");
      input.Files[f].copy(names.data() + f * kNameSlot, kNameSlot);
    }
    const auto path = programFolder / "libheatfit.so";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      throw TDriverError("Cannot load the library \"" + path.string() +
                         "\": " + (why != nullptr ? why : "unknown reason"));
    }
    std::unique_ptr<void, int (*)(void*)> library(handle, &dlclose);
    const auto calc = Entry<CalcFn>(handle, "calc");
    const auto lastError = Entry<LastErrorFn>(handle, "heatfit_lasterror");
    const auto rms = Entry<RmsFn>(handle, "heatfit_rms");
    const auto curveSize = Entry<CurveSizeFn>(handle, "heatfit_curvesize");
    const auto curve = Entry<CurveFn>(handle, "heatfit_curve");

    // One row of concrete values per file, all rows alike.
    std::array<double, 9> concrete{};
    for (int f = 0; f < kHeatFitMaxFiles; ++f) {
      concrete[3 * f] = input.Density;
      concrete[3 * f + 1] = input.SpecificHeat;
      concrete[3 * f + 2] = input.Cement;
    }
    const std::int32_t type = input.Type, set = input.Set, files = count;
    std::vector<double> work(kWorkWords);
    std::array<char, 16> work16{};
    result.HeatLoss = input.HeatLoss, result.Theta0 = input.Theta0, result.Kappa0 = input.Kappa0;
    result.Wc0 = input.Wc0, result.T1 = input.T1;
    calc(&type, &set, &files, names.data(), work.data(), work16.data(), concrete.data(),
         &result.HeatLoss, &result.Theta0, &result.Kappa0, &result.Kappa1, &result.Lambda1,
         &result.Wc0, &result.T1);
    std::array<char, 256> error{};
    lastError(error.data());
    result.Error = FieldToString(error.data(), 255);
    if (!result.Error.empty()) return result;
    rms(&result.Rms);
    for (std::int32_t f = 1; f <= files; ++f) {
      std::int32_t points = 0;
      curveSize(&f, &points);
      THeatFitCurve c;
      c.X.resize(static_cast<std::size_t>(std::max(points, 0)));
      c.Measured.resize(c.X.size());
      c.Fitted.resize(c.X.size());
      if (points > 0) curve(&f, c.X.data(), c.Measured.data(), c.Fitted.data());
      result.Curves.push_back(std::move(c));
    }
    result.Succeeded = true;
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}

}  // namespace vemto
