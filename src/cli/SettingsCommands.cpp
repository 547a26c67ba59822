#include "cli/CliCommands.h"

namespace plenar::cli {

void addSettingsCommands(std::vector<CliCommand>& out) { (void)out; }

}  // namespace plenar::cli
