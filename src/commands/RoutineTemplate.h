// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace plenar {

class TCommThread;
class LinkLayer;

// The common shape of a printer routine: failure code 0; open the link (snapshot port and
// transfer rate); run `exchange`; report `successText`; restore the device rate. A failure in
// any of these steps skips the rest and becomes failure code 1 with its message (2 and
// "Undefined Error" for a failure without one). The link is closed in every case.
void runCommonTemplate(TCommThread& worker, LinkLayer& link, const std::function<void()>& exchange,
                       const std::string& successText);

}  // namespace plenar
