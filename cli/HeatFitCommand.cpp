// `vemto-cli heatfit --type T --set S FILE...`: fits heat-development parameters of a
// cement to measured records with libheatfit.so, as the cement guide does, and prints
// one "name value" line per value (t-1 in hours).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "ComputationLibrary.h"
#include "HeatFitCall.h"

namespace vemto::cli {
namespace {

struct HeatFitOptions {
  THeatFitInput input;
  double t1Hours = 5.52;
};

int HeatFit(HeatFitOptions options) {
  THeatFitInput& in = options.input;
  if (in.Type < 1 || in.Type > 3 || in.Set < 1 || in.Set > 3) {
    std::cerr << "vemto-cli heatfit: --type and --set take 1, 2 or 3\n";
    return 2;
  }
  const std::size_t most = in.Type == 1 ? kHeatFitMaxFiles : 1;
  if (in.Files.size() > most) {
    std::cerr << "vemto-cli heatfit: type " << in.Type << " takes "
              << (most == 1 ? "one file" : "1 to 3 files") << "\n";
    return 2;
  }
  in.T1 = options.t1Hours * 3600.0;
  const THeatFitResult r = RunHeatFit(in, ProgramFolder());
  if (!r.Succeeded) {
    std::cerr << "vemto-cli heatfit: " << r.Error << "\n";
    return 1;
  }
  const std::pair<const char*, double> lines[] = {
      {"wc0", r.Wc0},       {"lambda1", r.Lambda1}, {"t1_h", r.T1 / 3600.0},   {"kappa1", r.Kappa1},
      {"theta0", r.Theta0}, {"kappa0", r.Kappa0},   {"heat_loss", r.HeatLoss}, {"rms", r.Rms}};
  for (const auto& [name, value] : lines) std::cout << fmt::format("{} {:.15g}\n", name, value);
  return 0;
}

}  // namespace

void AddHeatFitCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand("heatfit",
                                 "Fit heat-development parameters of a cement to measured records");
  auto o = std::make_shared<HeatFitOptions>();
  THeatFitInput& in = o->input;
  cmd->add_option("--type", in.Type,
                  "1 time-temperature (box records), 2 maturity-heat, 3 heat loss of the box")
      ->required();
  cmd->add_option("--set", in.Set, "1 Lambda-1, Kappa-1; 2 also t-1; 3 also Wc0")
      ->capture_default_str();
  cmd->add_option("FILE", in.Files,
                  "Records: time (h), concrete and surrounding temperature (C) for types 1 and "
                  "3; maturity (h), heat (J/kg) for type 2")
      ->required();
  cmd->add_option("--density", in.Density, "Mass density of concrete (kg/m3)")
      ->capture_default_str();
  cmd->add_option("--specific-heat", in.SpecificHeat, "Specific heat of concrete (J/kgK)")
      ->capture_default_str();
  cmd->add_option("--cement", in.Cement, "Cement content (kg/m3)")->capture_default_str();
  cmd->add_option("--heat-loss", in.HeatLoss, "Heat loss coefficient (s-1)")->capture_default_str();
  cmd->add_option("--theta0", in.Theta0, "Activation energy param. Theta-0 (K)")
      ->capture_default_str();
  cmd->add_option("--kappa0", in.Kappa0, "Activation energy param. Kappa-0 ()")
      ->capture_default_str();
  cmd->add_option("--wc0", in.Wc0, "Total energy Wc0 (J/kg), given for sets 1 and 2")
      ->capture_default_str();
  cmd->add_option("--t1", o->t1Hours, "t-1 (h), given for set 1")->capture_default_str();
  cmd->callback([&status, o]() { status.code = HeatFit(*o); });
}

}  // namespace vemto::cli
