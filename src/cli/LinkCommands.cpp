// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/RunReport.h"

namespace plenar::cli {

void addLinkCommands(std::vector<CliCommand>& out) {
  out.push_back(
      {"test",
       "test",
       {"check that the printer answers on the chosen link", "检查打印机能否在所选连接上应答"},
       true,
       [](const CommonOptions& o, ArgList& args) {
         // The report gave the result its fields already, for whatever ends the run first.
         args.expect(0, "test");
         CliSession session(o);
         const int rc = session.run(linkTestRequest(o.link));
         o.report->result() = {{"found", rc == kExitDone}, {"model_tag", session.modelTag()}};
         return rc;
       }});
}

}  // namespace plenar::cli
