#include "cli/CliCommands.h"

namespace plenar::cli {

void addFileCommands(std::vector<CliCommand>& out) { (void)out; }

}  // namespace plenar::cli
