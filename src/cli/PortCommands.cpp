#include "cli/CliCommands.h"

namespace plenar::cli {

void addPortCommands(std::vector<CliCommand>& out) { (void)out; }

}  // namespace plenar::cli
