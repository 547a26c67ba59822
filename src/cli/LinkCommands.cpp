#include "cli/CliCommands.h"

namespace plenar::cli {

void addLinkCommands(std::vector<CliCommand>& out) { (void)out; }

}  // namespace plenar::cli
