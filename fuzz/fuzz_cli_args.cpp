// SPDX-License-Identifier: GPL-3.0-or-later
// plenar's command line: any argument list (NUL-separated here) must end in options, a usage
// error or a field refusal, never in a crash; every argument is also put through each edit limit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/FieldLimits.h"

namespace {

using namespace plenar::cli;

void parseCommandArguments(std::vector<std::string> rest) {
  ArgList args(std::move(rest));
  // The option names the commands take, in the kinds they are taken.
  for (const char* flag : {"--raw", "--dhcp"}) (void)args.takeFlag(flag);
  for (const char* name : {"--address", "--ssid", "--password", "--ip", "--mask", "--gateway",
                           "--port", "--name", "--dual-name", "--model", "--wait", "--hex",
                           "--text", "--file", "--baud", "--protocol", "--density", "--font"}) {
    if (auto v = args.takeOption(name)) {
      for (FieldFilter f : {FieldFilter::Any, FieldFilter::Digits, FieldFilter::Dotted}) {
        try {
          checkFieldLimit(*v, {name, f, 15});
        } catch (const InputRefused&) {
        }
      }
    }
  }
  for (const char* name : {"--length", "--passes", "--value1", "--value2", "--sleep"}) {
    (void)args.takeInt(name, INT32_MIN, INT32_MAX);
  }
  std::vector<std::string> positional = args.positionals();
  // Each positional goes through the same two parsers, and most of them refuse it: unwinding a
  // refusal costs more than the rest of a run, and an input of a hundred empty arguments ran
  // two hundred of them. The first few reach every path.
  const std::size_t checked = std::min<std::size_t>(positional.size(), 4);
  for (const auto& p : std::span(positional).first(checked)) {
    try {
      (void)parseInteger(p, "N", 0, 65535);
    } catch (const UsageError&) {
    }
    plenar::LinkSnapshot link;
    try {
      parseNetAddress(p, link);
    } catch (const UsageError&) {
    }
  }
  (void)args.expect(positional.size(), "usage");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> argv(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      argv.emplace_back();
    } else {
      argv.back().push_back(static_cast<char>(data[i]));
    }
  }
  try {
    CommonOptions options = parseCommonOptions(argv);
    if (options.linkGiven && options.link.kind == plenar::LinkKind::Network &&
        (options.link.udpPort < 1 || options.link.udpPort > 65535)) {
      std::abort();
    }
    parseCommandArguments(options.rest);
  } catch (const UsageError&) {
  } catch (const InputRefused&) {
  }
  return 0;
}
