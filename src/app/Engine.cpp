#include "app/Engine.h"

#include "channels/TComm.h"
#include "commands/Routines.h"
#include "engine/LinkLayer.h"
#include "platform/UdpSocket.h"

namespace plenar {

Engine::Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner,
               UsbChannel* usb, ParallelChannel* parallel)
    : programDir_(std::move(programDir)),
      serial_(std::make_unique<TComm>(owner)),
      udp_(std::make_unique<UdpSocket>()),
      worker_(std::make_unique<TCommThread>(programDir_, reportWindow, owner)),
      link_(std::make_unique<LinkLayer>(*worker_, *serial_, *udp_, usb, parallel)) {
  TComm& serial = *serial_;
  serial.setInx_XonXoffFlow(false);
  serial.setOutx_XonXoffFlow(false);
  serial.setReadIntervalTimeout(20);
  serial.setDtrControl(TDtrControl::DtrDisable);
  serial.setRtsControl(TRtsControl::RtsDisable);
  LinkLayer& link = *link_;
  serial.OnReceiveData = [&link](TComm&, const std::uint8_t* bytes, std::uint16_t count) {
    link.serialReceive(bytes, count);
  };
  // A command reads with a 1 ms interval, so replies are assembled as soon as they arrive.
  worker_->setCommandHooks(
      [&serial] {
        serial.setReadIntervalTimeout(1);
        serial.setReadTotalTimeoutMultiplier(0);
        serial.setReadTotalTimeoutConstant(0);
      },
      [&serial] {
        serial.setReadIntervalTimeout(20);
        serial.setReadTotalTimeoutMultiplier(0);
        serial.setReadTotalTimeoutConstant(0);
      });
  registerRoutines(*worker_, *link_);
}

Engine::~Engine() {
  worker_.reset();
  serial_->ClosePort();
  udp_->deactivate();
}

}  // namespace plenar
