#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plenar {

class TCommThread;
class SerialChannel;
class UdpSocket;
class UsbChannel;
class ParallelChannel;

// One set of operations over the four links (serial, network, USB, parallel), and the framed
// request protocol on top of them. The link in use is the running command's snapshot.
// Threads: every operation runs on the worker thread, except the receive handlers, which run on
// the owner (UI) thread and meet the worker only through the worker's reply fields and event.
class LinkLayer {
 public:
  // `usb` and `parallel` may be null until those channels exist: opening such a link then fails
  // with a message.
  LinkLayer(TCommThread& worker, SerialChannel& serial, UdpSocket& udp, UsbChannel* usb,
            ParallelChannel* parallel);

  // ---- link operations ----
  // Opens the chosen link; on serial: port at the device rate, switch to `transferRate`, identify.
  void openLink(const std::string& serialPort, std::optional<int> transferRate);
  // Open with the snapshot's serial port name and transfer rate.
  void openLink();
  void closeLink();
  // Writes over the chosen link; no reply is awaited. Resets the reply state first.
  void sendRaw(std::span<const std::uint8_t> bytes);
  // Open link, send raw, restore device rate; leaves the link open, does not catch failures.
  void openAndSendRaw(std::span<const std::uint8_t> bytes);
  // 0x31 with the rate's code, then the serial channel follows. Throws ESetBaudRateException
  // "Set Baudrate Failed"; a rate without a code (or no number) fails with a clear text and
  // sends nothing.
  void switchBaudRate(std::optional<int> rate);
  void restoreDeviceRate();
  // (Re)opens the serial port at the device rate, no request.
  void reopenSerialPort(const std::string& name);
  // Boot loader handshake: 0x32, three attempts; throws ESetBaudRateException "Connecting Failed".
  void connectHandshake();

  // Closes the serial port once everything written has left the driver.
  void closeSerialPort();
  // The serial channel itself, for the routines that refresh the port without opening the link.
  SerialChannel& serialChannel() { return serial_; }
  // Snapshot helpers of the running command.
  bool serialChosen() const;

  // The firmware update's wait for the printer to restart: suspend closes the chosen link's
  // channel without clearing LinkOpen (socket deactivated, USB device closed, parallel channel
  // deactivated, serial port closed); resume reopens it with its current settings (serial at
  // the rate it had, parallel with the remembered port, 0x378, then 100 ms).
  void suspendLink();
  void resumeLink();

  // Boot handshake support: the first byte collected in the reply buffer, and filling the
  // buffer (read and written under the reply lock, so the worker's polling is race-free).
  std::uint8_t replyFirstByte() const;
  void fillReplyBuffer(std::uint8_t value);

  // ---- framed protocol ----
  // Sends the frame up to `attempts` times until acknowledged; returns ReplyLength. Throws
  // ECommunicationException "Download Data Failed" unless BootQuiet. More than 1016 data bytes
  // are refused (std::length_error) before anything is sent.
  int framedRequest(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                    std::span<const std::uint8_t> data, int attempts);
  // Like framedRequest, but the reply data is copied to the start of `reply` (at most its size;
  // excess dropped) and ReplyLength returned. "Received Failed". At most 2032 request bytes.
  int framedRead(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                 std::span<const std::uint8_t> requestData, std::span<std::uint8_t> reply,
                 int attempts);
  // 0x30 with 01 02 04 08 10 20 40 80, one attempt; sets the printer model tag.
  void identifyRequest();
  std::string printerModelTag() const;

  // ---- owner-thread handlers, bound to the channels ----
  void serialReceive(const std::uint8_t* bytes, std::uint16_t count);
  void usbReceive(const std::uint8_t* bytes, std::uint16_t count);
  // Assembles a reply frame from received bytes (owner thread, while a command runs).
  void replyAssembler(const std::uint8_t* bytes, std::size_t count);
  // ---- USB device list (owner thread) ----
  // The entries the connection window lists at start-up (empty without a USB channel).
  std::vector<std::string> usbDevicesAtStart(const std::vector<std::string>& filters);
  // A device arrived or left: the USB channel is closed (LinkOpen stays as it is) and the list
  // refilled through the sink; after an arrival the first entry is selected, after a removal an
  // empty list also shows an empty text.
  void usbArrival();
  void usbRemoval();
  void usbSendEmpty();
  void setUsbListSink(
      std::function<void(const std::vector<std::string>& entries, bool selectFirst)> sink);

  // Receives the text lines of bytes that arrive while no command runs (owner thread).
  void setTextAreaSink(std::function<void(const std::string&)> sink);

 private:
  struct ReadOutcome {
    bool answered = false;
    int length = 0;
  };
  ReadOutcome framedReadOnce(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                             std::span<const std::uint8_t> requestData,
                             std::span<std::uint8_t> reply, int attempts);
  // One datagram from the printer within `timeout`; 0 when none came. Throws EWorkerStopping
  // when the program is closing.
  std::size_t receiveDatagram(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);
  void activateParallel();
  int checkedRate(std::optional<int> rate, const std::string& boxText) const;
  void showInTextArea(const std::uint8_t* bytes, std::size_t count);

  void usbDeviceChanged(bool arrival);

  std::function<void(const std::string&)> textAreaSink_;
  std::function<void(const std::vector<std::string>&, bool)> usbListSink_;
  TCommThread& worker_;
  SerialChannel& serial_;
  UdpSocket& udp_;
  UsbChannel* usb_;
  ParallelChannel* parallel_;
  mutable std::mutex tagMutex_;
  std::string modelTag_;
};

}  // namespace plenar
