// `vemto-cli materials`: the default materials made from the property files.
#include <iostream>

#include "Commands.h"

namespace vemto::cli {

void AddMaterialsCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand("materials", "Print the default material of each cement type");
  cmd->callback([&status]() {
    std::cout << "No property files are read yet.\n";
    status.code = 0;
  });
}

}  // namespace vemto::cli
