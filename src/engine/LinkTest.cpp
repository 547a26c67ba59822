// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LinkTest.h"

#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "platform/ReportWindow.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

// The link as the user chose it, for the failure's cause.
std::string linkName(const LinkSnapshot& link) {
  switch (link.kind) {
    case LinkKind::Network:
      return link.ipAddress + ":" + std::to_string(link.udpPort);
    case LinkKind::Parallel:
      return "LPT" + std::to_string(link.lptNumber);
    case LinkKind::Usb:
      return link.usbDevice.empty() ? "USB" : link.usbDevice;
    case LinkKind::Serial:
      break;
  }
  return link.serialPort;
}

void testLink(TCommThread& worker, LinkLayer& link) {
  const LinkSnapshot& snapshot = worker.request().link;
  bool found = false;
  std::string cause;
  try {
    switch (snapshot.kind) {
      case LinkKind::Network:
      case LinkKind::Parallel: {
        const std::string where = linkName(snapshot);
        worker.reportProgress("Checking" + where);
        link.openLink();
        worker.reportProgress(where + " Found");
        break;
      }
      case LinkKind::Usb:
        link.openLink();
        break;
      case LinkKind::Serial:
        worker.reportProgress("Checking" + snapshot.serialPort);
        link.openLink();
        link.restoreDeviceRate();
        worker.reportProgress(snapshot.serialPort + "Found");
        break;
    }
    found = true;
  } catch (const ECommsError& e) {
    // The port could not be opened: the system's reason joins "Connecting Failed".
    worker.noteOpenFailure(e);
    cause = currentFailure();
  } catch (...) {
    // Why the test failed (no answer, rate refused): debug.log and plenar's detail.
    cause = currentFailure();
  }
  try {
    link.closeLink();
  } catch (...) {
  }
  if (found) {
    worker.sendToReportWindow(kMsgLinkFound);
  } else {
    worker.setFailure(1, "Connecting Failed", linkName(snapshot) + ": " + cause, FailureKind::Link);
    worker.sendToReportWindow(kMsgLinkNotFound);
  }
}

}  // namespace

void registerLinkTestRoutine(TCommThread& worker, LinkLayer& link) {
  worker.setRoutine(kLinkTestCode, [&link](TCommThread& w) { testLink(w, link); });
}

}  // namespace plenar
