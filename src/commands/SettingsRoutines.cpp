// SPDX-License-Identifier: GPL-3.0-or-later
// Settings commands: one framed request per stored printer parameter, in the common routine
// shape (open the link, send, report the success text, restore the device rate, close).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/RequestBytes.h"
#include "commands/RoutineTemplate.h"
#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "shared/Errors.h"
#include "shared/Frame.h"
#include "shared/RateCodes.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

constexpr int kAttempts = 3;

// A block that does not fit one frame is refused before anything is built, with a text the user
// can act on (the link layer would refuse it too, but as a bare size error).
void checkFits(std::span<const std::uint8_t> data, const char* what) {
  if (data.size() > kMaxRequestData) {
    throw EPrinterError(std::string(what) + " of " + std::to_string(data.size()) +
                        " bytes does not fit one frame (at most " +
                        std::to_string(kMaxRequestData) + " bytes)");
  }
}

std::uint32_t asWord(std::int32_t v) {
  return static_cast<std::uint32_t>(v);
}

// The frame command of a settings code, from the one table the planner shows too.
std::uint16_t frameOf(int code) {
  return *settingsFrameCommand(code);
}

// One framed request whose data is the request's block, with the request's two values.
void blockRoutine(TCommThread& worker, LinkLayer& link, std::uint16_t command, TextId success) {
  runCommonTemplate(
      worker, link,
      [&] {
        const CommandRequest& r = worker.request();
        checkFits(r.paraBuf, "The settings block");
        link.framedRequest(command, asWord(r.value1), asWord(r.value2), r.paraBuf, kAttempts);
      },
      text(success));
}

// One framed request with both values 0 and the low byte of Value1 as its only data byte.
void oneByteRoutine(TCommThread& worker, LinkLayer& link, std::uint16_t command, std::uint8_t byte,
                    const std::string& success) {
  runCommonTemplate(
      worker, link,
      [&] {
        const std::uint8_t data[1] = {byte};
        link.framedRequest(command, 0, 0, data, kAttempts);
      },
      success);
}

// Code 8: the new rate becomes the device rate; the link stays at the transfer rate, since the
// printer already runs at the new one once it acknowledged.
void setBaudRate(TCommThread& worker, LinkLayer& link) {
  worker.runGuarded([&] {
    link.openLink();
    const std::int32_t code = worker.request().value1;
    const std::uint8_t data[1] = {static_cast<std::uint8_t>(code)};
    link.framedRequest(frameOf(kBaudRateCode), 0, 0, data, kAttempts);
    worker.reportProgress(text(TextId::BaudRateSet));
    if (auto rate = codeToRate(code)) worker.setDeviceBaud(*rate);
  });
  try {
    link.closeLink();
  } catch (...) {
    // Closing only releases the port or socket; the outcome above stands.
  }
}

// Code 13: a failure's message is also shown as both windows' status text.
void switchWifiOff(TCommThread& worker, LinkLayer& link) {
  runCommonTemplate(
      worker, link,
      [&] {
        link.framedRequest(frameOf(kWifiOffCode), asWord(worker.request().value1),
                           asWord(worker.request().value2), {}, kAttempts);
      },
      text(TextId::WifiApSet));
  if (worker.failureCode() == 1) {
    std::string message = worker.result().message;
    worker.mainTexts().setStatusText(message);
    worker.paraTexts().setStatusText(message);
  }
}

// Code 22: one 0x87 frame per ParamList line, in order; a failed line stops the rest.
void sendModuleCommands(TCommThread& worker, LinkLayer& link) {
  runCommonTemplate(
      worker, link,
      [&] {
        const CommandRequest& r = worker.request();
        // Every line is checked before the first is sent, so a refused list sends nothing.
        for (std::size_t i = 0; i < r.paramList.size(); ++i) {
          const std::string& line = r.paramList[i];
          if (line.size() > kMaxRequestData) {
            throw EPrinterError("Bluetooth command line " + std::to_string(i + 1) + " is " +
                                std::to_string(line.size()) +
                                " bytes long; a line may have at most " +
                                std::to_string(kMaxRequestData) + " bytes");
          }
        }
        for (const std::string& line : r.paramList) {
          auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
          link.framedRequest(frameOf(kBluetoothCommandsCode), asWord(r.value1), asWord(r.value2),
                             bytes, kAttempts);
        }
      },
      text(TextId::BluetoothCommandsSent));
}

}  // namespace

void registerSettingsRoutines(TCommThread& worker, LinkLayer& link) {
  LinkLayer* l = &link;
  worker.setRoutine(kCodePageCode, [l](TCommThread& w) {
    oneByteRoutine(w, *l, frameOf(kCodePageCode), static_cast<std::uint8_t>(w.request().value1),
                   text(TextId::CodePageSet));
  });
  worker.setRoutine(kBaudRateCode, [l](TCommThread& w) { setBaudRate(w, *l); });
  worker.setRoutine(kRestoreDefaultsCode, [l](TCommThread& w) {
    runCommonTemplate(
        w, *l,
        [&] {
          l->framedRequest(frameOf(kRestoreDefaultsCode), asWord(w.request().value1),
                           asWord(w.request().value2), {}, kAttempts);
        },
        text(TextId::DefaultsRestored));
  });
  worker.setRoutine(kBluetoothCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kBluetoothCode), TextId::BluetoothSet);
  });
  worker.setRoutine(kWifiAddressCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kWifiAddressCode), TextId::WifiIpSet);
  });
  worker.setRoutine(kWifiOffCode, [l](TCommThread& w) { switchWifiOff(w, *l); });
  worker.setRoutine(kInfraredCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kInfraredCode), TextId::InfraredSet);
  });
  worker.setRoutine(kDeviceParametersCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kDeviceParametersCode), TextId::DeviceParametersSet);
  });
  worker.setRoutine(kTimesCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kTimesCode), TextId::TimesSet);
  });
  worker.setRoutine(kAllParametersCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kAllParametersCode), TextId::AllParametersSet);
  });
  // Code 9 is the same routine as 20; no window posts it.
  worker.setRoutine(kSwitchesCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kSwitchesCode), TextId::SwitchesSet);
  });
  worker.setRoutine(kSwitchOptionsCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kSwitchOptionsCode), TextId::SwitchesSet);
  });
  worker.setRoutine(
      kWifiCode, [l](TCommThread& w) { blockRoutine(w, *l, frameOf(kWifiCode), TextId::WifiSet); });
  worker.setRoutine(kBluetoothCommandsCode, [l](TCommThread& w) { sendModuleCommands(w, *l); });
  worker.setRoutine(kRetractTimeCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kRetractTimeCode), TextId::RetractTimeSet);
  });
  // Flow control: 0 software, 1 hardware, as the one data byte of 0x8D.
  worker.setRoutine(kSoftwareFlowCode, [l](TCommThread& w) {
    w.request().value1 = 0;
    oneByteRoutine(w, *l, frameOf(kSoftwareFlowCode), 0, text(TextId::FlowControlSet));
  });
  worker.setRoutine(kHardwareFlowCode, [l](TCommThread& w) {
    w.request().value1 = 1;
    oneByteRoutine(w, *l, frameOf(kHardwareFlowCode), 1, text(TextId::FlowControlSet));
  });
  worker.setRoutine(47, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kPrintSizeCode), TextId::PaperSizeSet);
  });
  worker.setRoutine(kEthernetCode, [l](TCommThread& w) {
    blockRoutine(w, *l, frameOf(kEthernetCode), TextId::SettingDone);
  });
}

}  // namespace plenar
