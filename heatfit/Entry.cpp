// The exported entry points of libheatfit.so.
//
// calc takes the 14 arguments of the program's cement guide, all by reference:
//   1 calculation type (1 time-temperature, 2 maturity-heat, 3 heat loss), int32, in
//   2 parameter set (1 λ1, κ1; 2 also t1; 3 also Wc0), int32, in
//   3 number of files (1 to 3), int32, in
//   4 file names, 3 × 255 bytes, each zero-filled, in
//   5 work area of reals reserved by the caller (not used by this library)
//   6 16 bytes of work (not used by this library)
//   7 concrete per file, double[3][3]: density kg/m³, specific heat J/(kg·K),
//     cement content kg/m³, in
//   8 heat loss coefficient k (1/s), in/out (out for type 3)
//   9 θ0 (K), 10 κ0: in, unchanged
//  11 κ1, 12 λ1: out (types 1 and 2)
//  13 Wc0 (J/kg): in for sets 1 and 2, out for set 3
//  14 t1 (s): in for set 1 (seed otherwise), out for sets 2 and 3
// After a failed fit the in/out values stay as they were and heatfit_lasterror tells
// why. heatfit_rms and heatfit_curve give the quality and the curves of the last fit.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>

#include "HeatFit.h"

#define HEATFIT_EXPORT __attribute__((visibility("default")))

namespace {

/// The library's module state: the outcome of the last calc.
struct HeatfitState {
  std::mutex mutex;
  std::string lastError;
  vemto::heatfit::FitOutcome outcome;
};

HeatfitState& State() {
  static HeatfitState state;
  return state;
}

constexpr std::size_t kNameField = 255;

const vemto::heatfit::Curve* CurveOf(const std::int32_t* file) {
  const auto& curves = State().outcome.curves;
  if (file == nullptr || *file < 1 || static_cast<std::size_t>(*file) > curves.size())
    return nullptr;
  return &curves[static_cast<std::size_t>(*file) - 1];
}

}  // namespace

extern "C" {

/// Fits heat-development parameters; see the head of this file.
HEATFIT_EXPORT void calc(const std::int32_t* type, const std::int32_t* set,
                         const std::int32_t* fileCount, const char* fileNames, double* /*work*/,
                         void* /*work16*/, const double* concrete, double* heatLoss, double* theta0,
                         double* kappa0, double* kappa1, double* lambda1, double* wc0, double* t1) {
  using namespace vemto::heatfit;
  std::string error;
  FitOutcome outcome;
  try {
    FitRequest request;
    request.type = static_cast<FitType>(*type);
    request.set = *set;
    const int count = *fileCount;
    if (count < 1 || count > 3)
      throw FitError("the number of files must be 1, 2 or 3 (it is " + std::to_string(count) + ")");
    for (int f = 0; f < count; ++f) {
      const char* field = fileNames + f * kNameField;
      request.files.emplace_back(std::string(field, strnlen(field, kNameField)));
      request.concrete.push_back({concrete[3 * f], concrete[3 * f + 1], concrete[3 * f + 2]});
    }
    request.start = {*heatLoss, *theta0, *kappa0, *kappa1, *lambda1, *wc0, *t1};
    outcome = Fit(request);
    const Parameters& p = outcome.values;
    if (request.type == FitType::HeatLoss) {
      *heatLoss = p.heatLoss;
    } else {
      *kappa1 = p.kappa1;
      *lambda1 = p.lambda1;
      *t1 = p.t1;
      *wc0 = p.wc0;
    }
  } catch (const std::exception& e) {
    error = e.what();
    if (error.empty()) error = "the fit failed";
    outcome = {};
  } catch (...) {
    error = "the fit failed";
    outcome = {};
  }
  std::lock_guard lock(State().mutex);
  State().lastError = error;
  State().outcome = std::move(outcome);
}

/// Copies the error text of the last calc (empty after a converged fit) into a 256-byte
/// buffer, zero-terminated and cut at 255 characters.
HEATFIT_EXPORT void heatfit_lasterror(char* buffer) {
  std::lock_guard lock(State().mutex);
  std::memset(buffer, 0, 256);
  std::strncpy(buffer, State().lastError.c_str(), 255);
}

/// Root mean square of fitted − measured of the last calc (°C for temperature records,
/// J/kg for heat records); 0 after a failure.
HEATFIT_EXPORT void heatfit_rms(double* rms) {
  std::lock_guard lock(State().mutex);
  *rms = State().outcome.rms;
}

/// Number of points of record `file` (1-based) of the last calc; 0 when there is none.
HEATFIT_EXPORT void heatfit_curvesize(const std::int32_t* file, std::int32_t* points) {
  std::lock_guard lock(State().mutex);
  const auto* c = CurveOf(file);
  *points = c != nullptr ? static_cast<std::int32_t>(c->x.size()) : 0;
}

/// Copies record `file` (1-based) of the last calc: x (time or maturity, h), measured and
/// fitted values (°C or J/kg), each an array of heatfit_curvesize elements.
HEATFIT_EXPORT void heatfit_curve(const std::int32_t* file, double* x, double* measured,
                                  double* fitted) {
  std::lock_guard lock(State().mutex);
  const auto* c = CurveOf(file);
  if (c == nullptr) return;
  std::copy(c->x.begin(), c->x.end(), x);
  std::copy(c->measured.begin(), c->measured.end(), measured);
  std::copy(c->fitted.begin(), c->fitted.end(), fitted);
}
}
