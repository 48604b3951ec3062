// History state of one Gauss point of young concrete: 43 words, stored per point.
#pragma once

#include <array>
#include <cstddef>

namespace vemto::engine::mech {

inline constexpr int kStateWords = 43;
inline constexpr int kCrackSlots = 3;

// Crack state of a slot.
enum class CrackState : int { Uncracked = 0, Closed = 1, Softening = 2, Open = 3 };

// The 43-word record of a Gauss point. Slots 0 and 1 crack normal to the directions phi and
// phi + 90 deg in the plane, slot 2 normal to z. Word numbers below are 1-based.
class ConcreteState {
 public:
  std::array<double, kStateWords> w{};  // the raw words, word n at index n - 1

  // State of a point whose element becomes active: time of the last update (s), maturity,
  // temperature (degC); everything else 0.
  static ConcreteState initial(double time, double maturity, double temperature) {
    ConcreteState s;
    s.w[0] = time;
    s.w[1] = maturity;
    s.w[2] = temperature;
    s.w[3] = temperature;
    return s;
  }

  double& time() { return w[0]; }                  // word 1: time of the last update (s)
  double& maturity() { return w[1]; }              // word 2: maturity t_e
  double& temperature() { return w[2]; }           // word 3 (degC)
  double& maxTemperature() { return w[3]; }        // word 4: highest temperature (degC)
  double& strengthRatio() { return w[4]; }         // word 5: stress/strength ratio
  double& crackAngle() { return w[5]; }            // word 6: degrees from the x axis
  double& tensileStrength() { return w[41]; }      // word 42 (Pa)
  double& compressiveStrength() { return w[42]; }  // word 43 (Pa)
  double time() const { return w[0]; }
  double maturity() const { return w[1]; }
  double temperature() const { return w[2]; }
  double maxTemperature() const { return w[3]; }
  double strengthRatio() const { return w[4]; }
  double crackAngle() const { return w[5]; }
  double tensileStrength() const { return w[41]; }
  double compressiveStrength() const { return w[42]; }

  // Slot k = 0, 1, 2: words 7 + 5k (state), 8 + 5k (band width h, m), 9 + 5k (crack
  // strain w), 10 + 5k (crack strain gathered while softening), 11 + 5k (remaining energy, N/m).
  CrackState slotState(int k) const {
    const double v = w[at(k, 0)];
    if (!(v >= 0.0 && v <= 3.0)) return CrackState::Uncracked;  // never-written or damaged word
    return static_cast<CrackState>(static_cast<int>(v));
  }
  void setSlotState(int k, CrackState s) { w[at(k, 0)] = static_cast<double>(static_cast<int>(s)); }
  double& bandWidth(int k) { return w[at(k, 1)]; }
  double& crackStrain(int k) { return w[at(k, 2)]; }
  double& softeningStrain(int k) { return w[at(k, 3)]; }
  double& energy(int k) { return w[at(k, 4)]; }
  double bandWidth(int k) const { return w[at(k, 1)]; }
  double crackStrain(int k) const { return w[at(k, 2)]; }
  double softeningStrain(int k) const { return w[at(k, 3)]; }
  double energy(int k) const { return w[at(k, 4)]; }

  // Creep strain of Kelvin term k = 0..4 still to come at the time of the last update
  // (it is realised as 1 - exp(-t / tau_k) over the time t that follows), component
  // c = 0..3 (x, y, xy, z): word 22 + 4k + c. Kept as a strain rather than a rate of the
  // last step, so that a step of another length realises exactly its share.
  double& creepPending(int k, int c) { return w[static_cast<std::size_t>(21 + 4 * k + c)]; }
  double creepPending(int k, int c) const { return w[static_cast<std::size_t>(21 + 4 * k + c)]; }

  // True while both in-plane slots are uncracked.
  bool inPlaneUncracked() const {
    return slotState(0) == CrackState::Uncracked && slotState(1) == CrackState::Uncracked;
  }

 private:
  static std::size_t at(int k, int field) { return static_cast<std::size_t>(6 + 5 * k + field); }
};

}  // namespace vemto::engine::mech
