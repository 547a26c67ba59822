#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plenar {

// What the link layer needs of the USB channel. The channel delivers received bytes, arrivals
// and removals on the owner thread.
// Threads: called from the worker (open, close, send) and the owner thread (lists, handlers).
class UsbChannel {
 public:
  virtual ~UsbChannel() = default;
  virtual std::vector<std::string> GetDeviceList() = 0;  // VID_xxxx&PID_yyyy entries
  virtual void SelectDevice(const std::string& entry) = 0;
  virtual void OpenDevice() = 0;  // throws ECommsError
  virtual void CloseDevice() = 0;
  virtual bool SendBytes(const std::uint8_t* data, std::uint32_t count) = 0;
  virtual void setSendDataEmpty(bool empty) = 0;
};

}  // namespace plenar
