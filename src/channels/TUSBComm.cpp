// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TUSBComm.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "channels/ChannelSession.h"
#include "channels/OpenFailureReason.h"
#include "channels/UsbChoice.h"
#include "channels/UsbContext.h"
#include "channels/UsbDeviceSet.h"
#include "channels/UsbErrors.h"
#include "platform/OwnerDispatcher.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

using std::chrono::milliseconds;

constexpr const char* kOpenFailed = "Error open USB DEVICE ";
// A bulk OUT that the printer does not take within this time fails the write (and ends the
// writer): a printer that stopped reading, or a cable pulled in a way the host did not notice.
constexpr unsigned kWriteTimeoutMs = 5000;
// How long a close waits for libusb to hand back a cancelled transfer. libusb always completes a
// cancelled transfer through the event thread; the bound only guards against a stalled thread.
constexpr milliseconds kCancelWait{3000};

// The first interface (alternate setting 0) with a bulk IN and a bulk OUT endpoint.
struct BulkInterface {
  int number = -1;
  std::uint8_t in = 0;
  std::uint8_t out = 0;
};

std::optional<BulkInterface> findBulkInterface(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS) {
    if (libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) return std::nullopt;
  }
  std::optional<BulkInterface> found;
  for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
    if (config->interface[i].num_altsetting < 1) continue;
    const libusb_interface_descriptor& alt = config->interface[i].altsetting[0];
    BulkInterface b;
    b.number = alt.bInterfaceNumber;
    for (int e = 0; e < alt.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = alt.endpoint[e];
      if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
        if (b.in == 0) b.in = ep.bEndpointAddress;
      } else if (b.out == 0) {
        b.out = ep.bEndpointAddress;
      }
    }
    if (b.in != 0 && b.out != 0) found = b;
  }
  libusb_free_config_descriptor(config);
  return found;
}

std::vector<std::string> splitAt(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

}  // namespace

struct TUSBComm::Impl {
  struct Session;

  Impl(TUSBComm& self, OwnerDispatcher& owner);

  void open();
  // Opens and claims the device on a new session; a LIBUSB_ERROR code, or 0 when it is open.
  int tryOpen(const UsbDeviceInfo& info, const BulkInterface& bulk);

  // The open session and its events. Their lock is also held by every open, close and send: an
  // event may close the device, and once CloseDevice has returned no event of the closed session
  // runs.
  ChannelSessions<TUSBComm, Session> sessions;
  std::unique_ptr<UsbContext> context;
  std::string openProblem;  // under the events' lock

  // The selected device (SelectDevice).
  std::string vid, pid, subId;
};

// One open device: the claimed interface, the pending bulk IN and the writer. Destroying it
// cancels and waits for both transfers, joins the writer, releases the interface, hands it back
// to a kernel driver we detached, and closes the device, so any failure during the open leaves
// nothing behind.
struct TUSBComm::Impl::Session : ChannelSession<TUSBComm> {
  Session(Impl& impl, std::uint64_t id)
      : ChannelSession(impl.sessions.events, id, impl.sessions.sendDataEmpty,
                       impl.sessions.direct) {}
  ~Session() override;

  // Opens, claims and starts reading; a LIBUSB_ERROR code, or 0.
  int start(const UsbDeviceInfo& info, const BulkInterface& bulk);
  void stop();
  static void LIBUSB_CALL onRead(libusb_transfer* t);
  static void LIBUSB_CALL onWrite(libusb_transfer* t);
  bool writeRequest(const std::vector<std::uint8_t>& bytes) override;

  libusb_device_handle* handle = nullptr;
  int interface = -1;
  bool claimed = false;
  bool detached = false;  // we took the interface from a kernel driver; give it back on close
  std::uint8_t endpointIn = 0;
  std::uint8_t endpointOut = 0;

  std::mutex mutex;  // guards everything below; the transfer callbacks run on the event thread
  std::condition_variable changed;
  bool stopping = false;
  libusb_transfer* in = nullptr;
  bool reading = false;  // the IN transfer is submitted
  std::array<std::uint8_t, kReadChunk> inBuffer{};
  libusb_transfer* out = nullptr;
  bool writing = false;  // the OUT transfer is submitted
  int outStatus = LIBUSB_TRANSFER_COMPLETED;
  int outActual = 0;
};

TUSBComm::Impl::Impl(TUSBComm& self, OwnerDispatcher& owner) : sessions(owner, self) {
  // The context never calls after it is destroyed, which happens before `events` go.
  context = std::make_unique<UsbContext>(owner, [this](bool arrived) {
    sessions.events.run([arrived](TUSBComm& c) {
      const NotifyEvent& event = arrived ? c.OnUSBArrival : c.OnUSBRemove;
      if (event) event(c);
    });
  });
}

void TUSBComm::Impl::open() {
  if (sessions.session) return;
  openProblem.clear();
  // The codes as set: the device's are upper-case hex, so a lower-case code matches nothing.
  // The first exact fit in enumeration order is taken, else the first bare one (usbDeviceFit).
  // A third part several printers fit bare is refused, naming them (resolveUsbChoice).
  const std::string wanted = pid;
  UsbDeviceSet devices(context->get());
  const UsbChoice choice = resolveUsbChoice(devices.devices(), {vid, pid, subId});
  if (!choice.ambiguous.empty()) {
    openProblem =
        ambiguousUsbChoiceText("VID_" + vid + "&PID_" + pid + "&" + subId, choice.ambiguous);
    throw ECommsError(kOpenFailed, EINVAL, openProblem);
  }
  const std::vector<const UsbDeviceInfo*>& candidates = choice.candidates;
  bool denied = false;
  std::string deniedIdentifier;
  std::string lastError;
  int lastErrno = 0;
  for (const UsbDeviceInfo* found : candidates) {
    const UsbDeviceInfo& info = *found;
    const auto bulk = findBulkInterface(info.device);
    if (!bulk) {
      lastError = info.entry + " has no interface with bulk endpoints";
      lastErrno = ENODEV;
      continue;
    }
    const int rc = tryOpen(info, *bulk);
    if (rc == LIBUSB_SUCCESS) return;
    if (rc == LIBUSB_ERROR_ACCESS && !denied) {
      denied = true;
      deniedIdentifier = info.entry;
    }
    lastError = usbErrorText(rc, "open " + info.path, info.vendorId, info.productId);
    lastErrno = usbErrno(rc);
  }
  int osError = ENOENT;
  if (denied) {
    osError = EACCES;
    openProblem = openFailureReason(DeviceKind::Usb, deniedIdentifier, EACCES);
  } else if (!lastError.empty()) {
    osError = lastErrno;
    openProblem = lastError;
  } else {
    const std::string chosen =
        "VID_" + vid + "&PID_" + pid + (subId.empty() ? std::string() : "&" + subId);
    openProblem = wanted.empty() ? "No USB device chosen."
                                 : "No present USB device matches \"" + chosen + "\".";
  }
  throw ECommsError(kOpenFailed, osError, openProblem);
}

int TUSBComm::Impl::tryOpen(const UsbDeviceInfo& info, const BulkInterface& bulk) {
  int rc = LIBUSB_SUCCESS;
  sessions.open([&](std::uint64_t id) {
    auto s = std::make_unique<Session>(*this, id);
    rc = s->start(info, bulk);
    if (rc != LIBUSB_SUCCESS) s.reset();
    return s;
  });
  return rc;
}

// ---- the session ----

int TUSBComm::Impl::Session::start(const UsbDeviceInfo& info, const BulkInterface& bulk) {
  int rc = libusb_open(info.device, &handle);
  if (rc != LIBUSB_SUCCESS) {
    handle = nullptr;
    return rc;
  }
  interface = bulk.number;
  endpointIn = bulk.in;
  endpointOut = bulk.out;
  // A printer class device is normally bound to usblp; it gives the interface up while we hold
  // it and gets it back on close.
  if (libusb_kernel_driver_active(handle, interface) == 1) {
    rc = libusb_detach_kernel_driver(handle, interface);
    if (rc != LIBUSB_SUCCESS) return rc;
    detached = true;
  }
  rc = libusb_claim_interface(handle, interface);
  if (rc != LIBUSB_SUCCESS) return rc;  // held by another program
  claimed = true;

  in = libusb_alloc_transfer(0);
  out = libusb_alloc_transfer(0);
  if (in == nullptr || out == nullptr) return LIBUSB_ERROR_NO_MEM;
  libusb_fill_bulk_transfer(in, handle, endpointIn, inBuffer.data(),
                            static_cast<int>(inBuffer.size()), &Session::onRead, this, 0);
  {
    std::lock_guard lock(mutex);
    rc = libusb_submit_transfer(in);
    if (rc != LIBUSB_SUCCESS) return rc;
    reading = true;
  }
  startWriter();
  return LIBUSB_SUCCESS;
}

void TUSBComm::Impl::Session::stop() {
  std::unique_lock lock(mutex);
  stopping = true;
  if (reading) (void)libusb_cancel_transfer(in);
  if (writing) (void)libusb_cancel_transfer(out);
  changed.notify_all();
  changed.wait_for(lock, kCancelWait, [&] { return !reading && !writing; });
}

TUSBComm::Impl::Session::~Session() {
  stop();
  stopWriter();
  bool inFlight;
  {
    std::lock_guard lock(mutex);
    inFlight = reading || writing;
  }
  // A transfer libusb never handed back must not be freed under it; the session is small.
  if (inFlight) return;
  if (in != nullptr) libusb_free_transfer(in);
  if (out != nullptr) libusb_free_transfer(out);
  if (handle == nullptr) return;
  if (claimed) (void)libusb_release_interface(handle, interface);
  if (detached) (void)libusb_attach_kernel_driver(handle, interface);
  libusb_close(handle);
}

// Runs on the event thread. A completed read is handed on and the next one started; anything
// else (cancelled, device gone, error) ends reading quietly.
void LIBUSB_CALL TUSBComm::Impl::Session::onRead(libusb_transfer* t) {
  auto* s = static_cast<Session*>(t->user_data);
  if (t->status == LIBUSB_TRANSFER_COMPLETED) {
    // A zero-length packet carries nothing and only re-arms the read.
    if (t->actual_length > 0) {
      s->deliver(std::span(t->buffer, static_cast<std::size_t>(t->actual_length)));
    }
    std::lock_guard lock(s->mutex);
    if (!s->stopping && libusb_submit_transfer(t) == LIBUSB_SUCCESS) return;
    s->reading = false;
    s->changed.notify_all();
    return;
  }
  std::lock_guard lock(s->mutex);
  s->reading = false;
  s->changed.notify_all();
}

void LIBUSB_CALL TUSBComm::Impl::Session::onWrite(libusb_transfer* t) {
  auto* s = static_cast<Session*>(t->user_data);
  std::lock_guard lock(s->mutex);
  s->outStatus = t->status;
  s->outActual = t->actual_length;
  s->writing = false;
  s->changed.notify_all();
}

// Sends one request, continuing after a short write; false on any failure.
bool TUSBComm::Impl::Session::writeRequest(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    std::unique_lock lock(mutex);
    if (stopping) return false;
    libusb_fill_bulk_transfer(
        out, handle, endpointOut, const_cast<std::uint8_t*>(bytes.data() + sent),
        static_cast<int>(bytes.size() - sent), &Session::onWrite, this, kWriteTimeoutMs);
    if (libusb_submit_transfer(out) != LIBUSB_SUCCESS) return false;
    writing = true;
    changed.wait(lock, [&] { return !writing; });
    if (outStatus != LIBUSB_TRANSFER_COMPLETED || outActual <= 0) return false;
    sent += static_cast<std::size_t>(outActual);
  }
  return true;
}

// ---- TUSBComm ----

TUSBComm::TUSBComm(OwnerDispatcher& owner) : impl_(std::make_unique<Impl>(*this, owner)) {}

void TUSBComm::setDirectReceiver(DirectReceiver direct) {
  impl_->sessions.direct = std::move(direct);
}

TUSBComm::~TUSBComm() {
  {
    std::lock_guard lock(impl_->sessions.events.mutex());
    impl_->sessions.close();
    impl_->sessions.events.detach();
  }
  impl_->context.reset();  // stops the event thread after every transfer has ended
}

std::vector<std::string> TUSBComm::GetDeviceList() {
  UsbDeviceSet devices(impl_->context->get());
  std::vector<std::string> out;
  for (const auto& d : devices.devices()) out.push_back(d.entry);
  return out;
}

void TUSBComm::SelectDevice(const std::string& identifier) {
  const auto parts = splitAt(identifier, '&');
  if (parts.size() >= 2) {
    impl_->vid = parts[0].size() > 4 ? parts[0].substr(4) : "";
    impl_->pid = parts[1].size() > 4 ? parts[1].substr(4) : "";
  } else {
    impl_->vid.clear();
    impl_->pid.clear();
  }
  impl_->subId = parts.size() == 3 ? parts[2] : "";
}

void TUSBComm::OpenDevice() {
  std::lock_guard lock(impl_->sessions.events.mutex());
  impl_->open();
}

void TUSBComm::CloseDevice() {
  std::lock_guard lock(impl_->sessions.events.mutex());
  impl_->sessions.close();
}

bool TUSBComm::SendBytes(const std::uint8_t* data, std::uint32_t count) {
  if (count == 0 || count > kMaxWrite) return false;
  std::lock_guard lock(impl_->sessions.events.mutex());
  Impl::Session* s = impl_->sessions.session.get();
  if (s == nullptr) return false;
  return s->send(std::span(data, count));  // false once the writer ended after a failure
}

void TUSBComm::setSendDataEmpty(bool empty) {
  impl_->sessions.sendDataEmpty = empty;
}

bool TUSBComm::SendDataEmpty() const {
  return impl_->sessions.sendDataEmpty.load();
}

bool TUSBComm::isOpen() const {
  std::lock_guard lock(impl_->sessions.events.mutex());
  return impl_->sessions.session != nullptr;
}

std::string TUSBComm::openProblem() const {
  std::lock_guard lock(impl_->sessions.events.mutex());
  return impl_->openProblem;
}

const std::string& TUSBComm::Vid() const {
  return impl_->vid;
}
const std::string& TUSBComm::PID() const {
  return impl_->pid;
}
const std::string& TUSBComm::subId() const {
  return impl_->subId;
}

}  // namespace plenar
