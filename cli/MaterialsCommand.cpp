// `vemto-cli materials`: the default material of each cement type of the property files
// beside the program, with its main derived properties.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "PropertyFiles.h"
#include "VemtoMaterial.h"

namespace vemto::cli {
namespace {

struct MaterialsOptions {
  double cementContent = 300.0;  // kg/m3
  double ratio = 0.5;            // water-cement ratio
  std::string folder;            // property files; empty = the program's folder
};

// Value of a developing property at the age `days` of a concrete kept at 20 °C, where the
// maturity equals the age.
double AtAge(const TVemtoMaterial& m, int first, double value, double days) {
  const double x = days * 86400.0 / m.P(20);
  return value * DevelopmentFactor(m.P(first), m.P(first + 1), m.P(first + 2), m.P(first + 3), x);
}

void PrintMaterial(const TVemtoMaterial& m, int type) {
  const double ages[] = {1.0, 3.0, 7.0, 28.0};
  std::cout << fmt::format("Cement type {}: {}\n", type, m.Cement.Name(type));
  std::cout << fmt::format("  {:<44}{:.4g}\n", "water-cement ratio", m.WaterCementRatio());
  std::cout << fmt::format("  {:<44}{:.4g} kg/m3\n", "cement content", m.P(8));
  std::cout << fmt::format("  {:<44}{:.4g} W/mK\n", "thermal conductivity", m.P(3));
  std::cout << fmt::format("  {:<44}{:.4g} kg/m3\n", "mass density", m.P(4));
  std::cout << fmt::format("  {:<44}{:.4g} J/kgK\n", "specific heat", m.P(5));
  std::cout << fmt::format("  {:<44}{:.4g} kJ/kg\n", "heat of complete hydration", m.P(10) / 1e3);
  std::cout << fmt::format("  {:<44}{:.4g}, {:.4g} h, {:.4g}\n", "lambda-1, t-1, kappa-1", m.P(11),
                           m.P(12) / 3600.0, m.P(13));
  std::cout << fmt::format("  {:<44}{:.4g} K, {:.4g}\n", "theta-0, kappa-0", m.P(14), m.P(15));
  std::string hydration;
  for (const double d : ages)
    hydration += fmt::format(" {:.3f}", DegreeOfHydration(m.P(11), m.P(12), m.P(13), d * 86400.0));
  std::cout << fmt::format("  {:<43}{}\n", "degree of hydration at 1, 3, 7, 28 d (20 C)",
                           hydration);
  const double adiabatic = m.P(8) * m.P(10) *
                           DegreeOfHydration(m.P(11), m.P(12), m.P(13), 28 * 86400.0) /
                           (m.P(4) * m.P(5));
  std::cout << fmt::format("  {:<44}{:.3g} K\n", "temperature rise by the 28-day heat", adiabatic);
  const struct {
    const char* what;
    int value;
    int first;
    double scale;
    const char* unit;
  } developing[] = {{"compressive strength", 64, 65, 1e6, "MPa"},
                    {"tensile strength", 32, 33, 1e6, "MPa"},
                    {"elastic modulus", 23, 24, 1e9, "GPa"}};
  for (const auto& d : developing) {
    std::string values;
    for (const double age : ages)
      values += fmt::format(" {:.3g}", AtAge(m, d.first, m.P(d.value), age) / d.scale);
    std::cout << fmt::format("  {:<43}{} {}\n", fmt::format("{} at 1, 3, 7, 28 d", d.what), values,
                             d.unit);
  }
  std::cout << fmt::format("  {:<44}{:.4g} N/m\n", "fracture energy at 28 d", m.P(37));
  std::cout << fmt::format("  {:<44}{:.3g} 1/K\n", "thermal expansion", m.P(39));
  std::cout << fmt::format("  {:<44}{:.3g} -> {:.3g}\n", "Poisson's ratio young -> hardened",
                           m.P(28), m.P(29));
  std::cout << fmt::format("  {:<44}{:.3g}\n", "creep scale phi-0", m.P(43));
}

}  // namespace

void AddMaterialsCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand("materials", "Print the default material of each cement type");
  auto options = std::make_shared<MaterialsOptions>();
  cmd->add_option("--cement-content", options->cementContent, "Cement content, kg/m3")
      ->capture_default_str();
  cmd->add_option("--ratio", options->ratio, "Water-cement ratio")->capture_default_str();
  cmd->add_option("--folder", options->folder,
                  "Folder of \"cempropt\" and \"conpropt\" (default: the program's folder)");
  cmd->callback([&status, options]() {
    try {
      const std::filesystem::path folder =
          options->folder.empty() ? ProgramDirectory() : std::filesystem::path(options->folder);
      TVemtoCement cement;
      const std::filesystem::path cementFile = folder / kCementFileName;
      if (!cement.ReadFromFile(cementFile) || cement.CementCount == 0) {
        std::cerr << fmt::format("vemto-cli: no cement types: \"{}\" is missing or empty\n",
                                 cementFile.string());
        status.code = 1;
        return;
      }
      // Create every material first, so that a refusal prints nothing but the error.
      std::vector<TVemtoMaterial> materials;
      for (int type = 1; type <= cement.CementCount; ++type)
        materials.emplace_back(fmt::format("Concrete {}", type), 1, type, options->cementContent,
                               options->ratio, folder);
      std::cout << fmt::format("Default materials from \"{}\" and \"{}\"\n", cementFile.string(),
                               (folder / kConcreteFileName).string());
      std::cout << "Ages are at 20 C, where the maturity equals the age; strength and stiffness\n"
                   "develop with the maturity alone, heat with the cement type.\n\n";
      for (int type = 1; type <= cement.CementCount; ++type) {
        PrintMaterial(materials[static_cast<std::size_t>(type - 1)], type);
        std::cout << "\n";
      }
      status.code = 0;
    } catch (const std::exception& e) {
      std::cerr << "vemto-cli: " << e.what() << "\n";
      status.code = 1;
    }
  });
}

}  // namespace vemto::cli
