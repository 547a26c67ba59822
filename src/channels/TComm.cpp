// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TComm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "channels/OpenFailureReason.h"
#include "channels/SerialInputFilter.h"
#include "channels/SerialPortList.h"
#include "channels/SerialPortState.h"
#include "channels/SessionEvents.h"
#include "channels/UniqueFd.h"
#include "channels/WriteQueue.h"
#include "platform/OwnerDispatcher.h"
#include "shared/Errors.h"
#include "shared/Timespec.h"

namespace plenar {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Line-error flags passed to OnReceiveError: the values of the Windows comm API, which owners
// written against it test for.
constexpr std::uint32_t kErrRxOver = 0x01;   // the driver's receive buffer overflowed
constexpr std::uint32_t kErrOverrun = 0x02;  // the UART's receive FIFO overran
constexpr std::uint32_t kErrParity = 0x04;
constexpr std::uint32_t kErrFrame = 0x08;
constexpr std::uint32_t kErrBreak = 0x10;
// Modem events passed to OnModemStateChange.
constexpr std::uint32_t kModemCarrierChange = 8;
constexpr std::uint32_t kModemRing = 4;

constexpr std::size_t kChunkSize = 2048;
// How often an idle reader looks at the driver's error and modem counters (UARTs only).
constexpr milliseconds kCounterPoll{100};

void signalEvent(int fd) {
  const std::uint64_t one = 1;
  (void)!::write(fd, &one, sizeof one);
}

}  // namespace

struct TComm::Impl {
  struct ReaderConfig {
    std::uint32_t interval = 0;
    std::uint32_t totalMultiplier = 0;
    std::uint32_t totalConstant = 0;
    SerialInputFilter::Options filter;
  };
  struct Session;
  enum class Applies { Nothing, PortState, Timeouts };

  Impl(TComm& self, OwnerDispatcher& owner);

  void open();
  void close();
  void applyPortState();
  void publishReaderConfig();
  ReaderConfig readerConfig() const {
    std::lock_guard lock(readerConfigMutex);
    return readerConfig_;
  }

  template <class T>
  void set(T SerialSettings::*field, const T& value, Applies applies) {
    if (settings.*field == value) return;
    settings.*field = value;
    publishReaderConfig();
    // The reader takes the time-outs from the published copy at its next wake; the port state
    // is written to the driver here.
    if (session && applies == Applies::PortState) applyPortState();
  }

  // Events of the open session only; the destructor and ClosePort end their delivery.
  SessionEvents<TComm> events;
  SerialSettings settings;  // caller's thread only
  std::atomic<bool> sendDataEmpty{true};
  std::unique_ptr<Session> session;  // set while open
  std::uint64_t sessionCounter = 0;

 private:
  mutable std::mutex readerConfigMutex;
  ReaderConfig readerConfig_;
};

// One open port with its reader and writer. Destroying it stops both threads and closes the
// port, so any failure during the open leaves nothing behind.
struct TComm::Impl::Session {
  Session(Impl& impl, std::uint64_t id) : impl(impl), id(id), queue(impl.sendDataEmpty) {}
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void stopThreads();
  void readLoop();
  void writeLoop();
  bool writeAll(const std::vector<std::uint8_t>& bytes);

  void post(std::function<void(TComm&)> event) const;
  void postHangup();

  Impl& impl;
  const std::uint64_t id;
  UniqueFd port;
  bool exclusive = false;  // TIOCEXCL set by us, cleared again before the close
  UniqueFd closeEvent;     // signalled once: both threads end
  std::atomic<bool> stopping{false};
  std::atomic<bool> hangupPosted{false};
  WriteQueue queue;

  std::thread reader;
  std::thread writer;
};

TComm::Impl::Impl(TComm& self, OwnerDispatcher& owner) : events(owner, self) {
  publishReaderConfig();
}

void TComm::Impl::publishReaderConfig() {
  ReaderConfig c;
  c.interval = settings.readIntervalTimeout;
  c.totalMultiplier = settings.readTotalTimeoutMultiplier;
  c.totalConstant = settings.readTotalTimeoutConstant;
  c.filter.parityMarks = settings.parityCheck;  // PARMRK follows ParityCheck (buildTermios)
  c.filter.replaceErrors = settings.replaceWhenParityError;
  c.filter.replacedChar = static_cast<std::uint8_t>(settings.replacedChar);
  c.filter.dropNul = settings.ignoreNullChar;
  std::lock_guard lock(readerConfigMutex);
  readerConfig_ = c;
}

void TComm::Impl::applyPortState() {
  const int fd = session->port.get();
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return;
  buildTermios(t, settings);
  (void)::tcsetattr(fd, TCSANOW, &t);
  applyModemLines(fd, settings);
}

void TComm::Impl::open() {
  if (session) throw ECommsError("This serial port already opened");
  auto s = std::make_unique<Session>(*this, ++sessionCounter);
  const std::string path = resolveSerialPortName(settings.commName);
  // The system's reason travels with the described text: debug.log, plenar's second line, the
  // windows' detail text.
  auto refused = [&path](const char* message) {
    const int err = errno;
    return ECommsError(message, err, openFailureReason(DeviceKind::Serial, path, err));
  };

  // The port is ours alone while open: a second program (or a second TComm) on the same line
  // would interleave its bytes with our frames and steal the printer's replies. flock keeps out
  // everyone who asks for the lock, even root; TIOCEXCL keeps out plain opens by non-root.
  s->port.reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!s->port.valid()) throw refused("Error opening serial port");
  if (::flock(s->port.get(), LOCK_EX | LOCK_NB) != 0) throw refused("Error opening serial port");
  termios t{};
  if (::tcgetattr(s->port.get(), &t) != 0) {
    throw refused("File handle is not a comm handle ");
  }
  if (::ioctl(s->port.get(), TIOCEXCL) != 0) throw refused("Error opening serial port");
  s->exclusive = true;
  // Linux sizes the driver queues itself; purging them is what is left of setting them up.
  if (::tcflush(s->port.get(), TCIOFLUSH) != 0) {
    throw ECommsError("Cannot setup comm buffer", errno);
  }

  session = std::move(s);
  try {
    sendDataEmpty = true;
    applyPortState();

    session->closeEvent.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!session->closeEvent.valid()) throw ECommsError("Unable to create event", errno);

    events.setSession(session->id);
    try {
      session->reader = std::thread(&Session::readLoop, session.get());
    } catch (const std::system_error& e) {
      throw ECommsError("Unable to create read thread", e.code().value());
    }
    try {
      session->queue.start();
      session->writer = std::thread(&Session::writeLoop, session.get());
    } catch (const std::system_error& e) {
      throw ECommsError("Unable to create write thread", e.code().value());
    }
  } catch (...) {
    events.setSession(0);
    session.reset();
    throw;
  }
}

void TComm::Impl::close() {
  if (!session) return;
  // Events of this session that are still queued are dropped: after a close/open cycle the owner
  // must not see bytes or a hang-up of the earlier connection.
  events.setSession(0);
  session.reset();
  sendDataEmpty = true;
}

// ---- the session's threads ----

TComm::Impl::Session::~Session() {
  stopThreads();
  if (exclusive) (void)::ioctl(port.get(), TIOCNXCL);  // a pty slave keeps the flag past close
}

void TComm::Impl::Session::stopThreads() {
  stopping = true;
  queue.stop();
  if (closeEvent.valid()) signalEvent(closeEvent.get());
  if (port.valid()) (void)::tcflush(port.get(), TCIOFLUSH);
  if (reader.joinable()) reader.join();
  if (writer.joinable()) writer.join();
}

void TComm::Impl::Session::post(std::function<void(TComm&)> event) const {
  impl.events.post(id, std::move(event));
}

// Reader and writer may both see a vanished port; the owner hears it once.
void TComm::Impl::Session::postHangup() {
  if (hangupPosted.exchange(true)) return;
  post([](TComm& c) {
    if (c.OnRequestHangup) c.OnRequestHangup(c);
  });
}

// Hands on a chunk when the line has been idle for ReadIntervalTimeout after at least one byte,
// when 2048 bytes have arrived, or when the read's total time-out (multiplier * 2048 + constant,
// counted from the previous hand-on) has run out. An interval of 0 with total time-outs of 0
// waits for a full chunk, as the Windows driver does.
void TComm::Impl::Session::readLoop() {
  const int fd = port.get();
  std::array<std::uint8_t, kChunkSize> chunk;
  std::array<std::uint8_t, kChunkSize> raw;
  std::size_t count = 0;
  SerialInputFilter filter;
  SerialInputFilter::Options filterOptions;

  serial_icounter_struct counters{};
  const bool haveCounters = ::ioctl(fd, TIOCGICOUNT, &counters) == 0;  // not on a pty
  auto checkCounters = [&] {
    serial_icounter_struct now{};
    if (::ioctl(fd, TIOCGICOUNT, &now) != 0) return;
    std::uint32_t errors = 0;
    if (now.buf_overrun != counters.buf_overrun) errors |= kErrRxOver;
    if (now.overrun != counters.overrun) errors |= kErrOverrun;
    if (now.parity != counters.parity) errors |= kErrParity;
    if (now.frame != counters.frame) errors |= kErrFrame;
    if (now.brk != counters.brk) errors |= kErrBreak;
    std::uint32_t modem = 0;
    if (now.dcd != counters.dcd) modem |= kModemCarrierChange;
    if (now.rng != counters.rng) modem |= kModemRing;
    counters = now;
    if (errors != 0) {
      post([errors](TComm& c) {
        if (c.OnReceiveError) c.OnReceiveError(c, errors);
      });
    }
    if (modem != 0) {
      post([modem](TComm& c) {
        if (c.OnModemStateChange) c.OnModemStateChange(c, modem);
      });
    }
  };

  Clock::time_point readStart = Clock::now();
  Clock::time_point lastByte = readStart;
  auto handOn = [&] {
    if (count > 0) {
      post([bytes = std::vector<std::uint8_t>(chunk.begin(), chunk.begin() + count)](TComm& c) {
        if (c.OnReceiveData) {
          c.OnReceiveData(c, bytes.data(), static_cast<std::uint16_t>(bytes.size()));
        }
      });
      count = 0;
    }
    readStart = Clock::now();
  };

  enum class ReadResult { More, Drained, Hangup, Quiet };
  // Reads what the driver holds, at most up to a full chunk.
  auto readAvailable = [&]() -> ReadResult {
    while (count < kChunkSize) {
      ssize_t n;
      if (filterOptions.active()) {
        const std::size_t room = kChunkSize - count - (filter.holding() ? 1 : 0);
        if (room == 0) return ReadResult::More;
        n = ::read(fd, raw.data(), room);
        if (n > 0) {
          count += filter.filter(raw.data(), static_cast<std::size_t>(n), chunk.data() + count,
                                 filterOptions);
        }
      } else {
        n = ::read(fd, chunk.data() + count, kChunkSize - count);
        if (n > 0) count += static_cast<std::size_t>(n);
      }
      if (n > 0) {
        lastByte = Clock::now();
        continue;
      }
      if (n == 0) return ReadResult::Hangup;  // VMIN is 1: 0 only on a hung-up tty
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return ReadResult::Drained;
      if (errno == EBADF) return ReadResult::Quiet;
      return ReadResult::Hangup;  // EIO: adapter unplugged, pty master closed
    }
    return ReadResult::More;
  };

  while (!stopping) {
    const ReaderConfig config = impl.readerConfig();
    if (config.filter != filterOptions) {
      filter.reset();
      filterOptions = config.filter;
    }
    const auto interval = milliseconds(config.interval);
    const auto total = milliseconds(
        static_cast<std::uint64_t>(config.totalMultiplier) * kChunkSize + config.totalConstant);
    const bool hasTotal = config.totalMultiplier != 0 || config.totalConstant != 0;

    Clock::time_point now = Clock::now();
    if (count > 0) {
      const bool due = count + (filter.holding() ? 1 : 0) >= kChunkSize ||
                       config.interval == TComm::kReadReturnAtOnce ||
                       (config.interval != 0 && now - lastByte >= interval) ||
                       (hasTotal && now - readStart >= total);
      if (due) handOn();
    } else if (hasTotal && now - readStart >= total) {
      readStart = now;  // the read ran out empty: no event, the next one starts
    }

    std::optional<Clock::time_point> wakeAt;
    auto until = [&](Clock::time_point t) { wakeAt = wakeAt ? std::min(*wakeAt, t) : t; };
    if (count > 0 && config.interval != 0 && config.interval != TComm::kReadReturnAtOnce) {
      until(lastByte + interval);
    }
    if (hasTotal) until(readStart + total);
    if (haveCounters) until(now + kCounterPoll);

    std::array<pollfd, 2> fds{{{fd, POLLIN, 0}, {closeEvent.get(), POLLIN, 0}}};
    // To the nanosecond: with a 1 ms read interval, a wait rounded up to whole milliseconds held
    // every chunk back up to twice that.
    const timespec wait = wakeAt ? waitFor(*wakeAt - now) : timespec{};
    const int ready = ::ppoll(fds.data(), fds.size(), wakeAt ? &wait : nullptr, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      postHangup();
      break;
    }
    if (fds[1].revents != 0) break;
    if ((fds[0].revents & POLLNVAL) != 0) break;
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      // On POLLHUP the driver may still hold bytes: read them first, the read then fails.
      const ReadResult result = readAvailable();
      if (result == ReadResult::Hangup || result == ReadResult::Quiet) {
        handOn();
        if (result == ReadResult::Hangup) postHangup();
        break;
      }
    }
    if (haveCounters) checkCounters();
  }
  (void)::tcflush(fd, TCIFLUSH);
}

void TComm::Impl::Session::writeLoop() {
  while (auto request = queue.next([this] {
    post([](TComm& c) {
      if (c.OnSendDataEmpty) c.OnSendDataEmpty(c);
    });
  })) {
    if (stopping || !writeAll(*request)) break;
  }
  (void)::tcflush(port.get(), TCOFLUSH);
  queue.finish();
}

// Writes one request completely, in as many partial writes as the driver needs. The write
// time-outs are not used: a Windows write that times out is simply resumed with the rest, so
// they change nothing that the owner sees.
bool TComm::Impl::Session::writeAll(const std::vector<std::uint8_t>& bytes) {
  const int fd = port.get();
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (stopping) return false;
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      std::array<pollfd, 2> fds{{{fd, POLLOUT, 0}, {closeEvent.get(), POLLIN, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        postHangup();
        return false;
      }
      if (fds[1].revents != 0 || (fds[0].revents & POLLNVAL) != 0) return false;
      if ((fds[0].revents & POLLOUT) == 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
        postHangup();
        return false;
      }
      continue;
    }
    if (n < 0 && errno == EBADF) return false;
    postHangup();  // EIO: the port went away
    return false;
  }
  return true;
}

// ---- TComm ----

TComm::TComm(OwnerDispatcher& owner) : impl_(std::make_unique<Impl>(*this, owner)) {}

TComm::~TComm() {
  impl_->events.detach();
  impl_->close();
}

void TComm::OpenPort() {
  impl_->open();
}
void TComm::ClosePort() {
  impl_->close();
}
bool TComm::isOpen() const {
  return impl_->session != nullptr;
}
bool TComm::WaitSendComplete(std::chrono::milliseconds stall, const std::function<bool()>& giveUp) {
  Impl::Session* s = impl_->session.get();
  if (s == nullptr) return true;
  auto lastProgress = std::chrono::steady_clock::now();
  std::size_t lastPending = std::numeric_limits<std::size_t>::max();
  while (true) {
    const std::optional<std::size_t> queued = s->queue.queuedBytes();
    if (!queued) return false;  // the writer ended
    std::size_t pending = *queued;
    if (!impl_->sendDataEmpty.load()) ++pending;  // a request is being written
    int inDriver = 0;
    if (::ioctl(s->port.get(), TIOCOUTQ, &inDriver) == 0 && inDriver > 0) pending += inDriver;
    if (pending == 0) return true;
    if (giveUp && giveUp()) return false;
    auto now = std::chrono::steady_clock::now();
    if (pending < lastPending) {
      lastPending = pending;
      lastProgress = now;
    } else if (now - lastProgress > stall) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool TComm::SendDataEmpty() const {
  return impl_->sendDataEmpty.load();
}

bool TComm::SendBytes(const std::uint8_t* data, std::uint16_t count) {
  Impl::Session* s = impl_->session.get();
  if (s == nullptr || data == nullptr || count == 0) return false;
  return s->queue.push(std::span(data, count));
}

// ---- properties ----

const std::string& TComm::CommName() const {
  return impl_->settings.commName;
}
void TComm::setCommName(const std::string& name) {
  impl_->set(&SerialSettings::commName, name, Impl::Applies::Nothing);
}
std::uint32_t TComm::BaudRate() const {
  return impl_->settings.baudRate;
}
void TComm::setBaudRate(std::uint32_t rate) {
  impl_->set(&SerialSettings::baudRate, rate, Impl::Applies::PortState);
}
bool TComm::ParityCheck() const {
  return impl_->settings.parityCheck;
}
void TComm::setParityCheck(bool on) {
  impl_->set(&SerialSettings::parityCheck, on, Impl::Applies::PortState);
}
bool TComm::Outx_CtsFlow() const {
  return impl_->settings.outxCtsFlow;
}
void TComm::setOutx_CtsFlow(bool on) {
  impl_->set(&SerialSettings::outxCtsFlow, on, Impl::Applies::PortState);
}
bool TComm::Outx_DsrFlow() const {
  return impl_->settings.outxDsrFlow;
}
void TComm::setOutx_DsrFlow(bool on) {
  impl_->set(&SerialSettings::outxDsrFlow, on, Impl::Applies::PortState);
}
TDtrControl TComm::DtrControl() const {
  return impl_->settings.dtrControl;
}
void TComm::setDtrControl(TDtrControl v) {
  impl_->set(&SerialSettings::dtrControl, v, Impl::Applies::PortState);
}
bool TComm::DsrSensitivity() const {
  return impl_->settings.dsrSensitivity;
}
void TComm::setDsrSensitivity(bool on) {
  impl_->set(&SerialSettings::dsrSensitivity, on, Impl::Applies::PortState);
}
bool TComm::TxContinueOnXoff() const {
  return impl_->settings.txContinueOnXoff;
}
void TComm::setTxContinueOnXoff(bool on) {
  impl_->set(&SerialSettings::txContinueOnXoff, on, Impl::Applies::PortState);
}
bool TComm::Outx_XonXoffFlow() const {
  return impl_->settings.outxXonXoffFlow;
}
void TComm::setOutx_XonXoffFlow(bool on) {
  impl_->set(&SerialSettings::outxXonXoffFlow, on, Impl::Applies::PortState);
}
bool TComm::Inx_XonXoffFlow() const {
  return impl_->settings.inxXonXoffFlow;
}
void TComm::setInx_XonXoffFlow(bool on) {
  impl_->set(&SerialSettings::inxXonXoffFlow, on, Impl::Applies::PortState);
}
bool TComm::ReplaceWhenParityError() const {
  return impl_->settings.replaceWhenParityError;
}
void TComm::setReplaceWhenParityError(bool on) {
  impl_->set(&SerialSettings::replaceWhenParityError, on, Impl::Applies::PortState);
}
bool TComm::IgnoreNullChar() const {
  return impl_->settings.ignoreNullChar;
}
void TComm::setIgnoreNullChar(bool on) {
  impl_->set(&SerialSettings::ignoreNullChar, on, Impl::Applies::PortState);
}
TRtsControl TComm::RtsControl() const {
  return impl_->settings.rtsControl;
}
void TComm::setRtsControl(TRtsControl v) {
  impl_->set(&SerialSettings::rtsControl, v, Impl::Applies::PortState);
}
std::uint16_t TComm::XonLimit() const {
  return impl_->settings.xonLimit;
}
void TComm::setXonLimit(std::uint16_t v) {
  impl_->set(&SerialSettings::xonLimit, v, Impl::Applies::PortState);
}
std::uint16_t TComm::XoffLimit() const {
  return impl_->settings.xoffLimit;
}
void TComm::setXoffLimit(std::uint16_t v) {
  impl_->set(&SerialSettings::xoffLimit, v, Impl::Applies::PortState);
}
TByteSize TComm::ByteSize() const {
  return impl_->settings.byteSize;
}
void TComm::setByteSize(TByteSize v) {
  impl_->set(&SerialSettings::byteSize, v, Impl::Applies::PortState);
}
// No re-apply: a new parity reaches the line with the next port-state change or open.
TParity TComm::Parity() const {
  return impl_->settings.parity;
}
void TComm::setParity(TParity v) {
  impl_->set(&SerialSettings::parity, v, Impl::Applies::Nothing);
}
TStopBits TComm::StopBits() const {
  return impl_->settings.stopBits;
}
void TComm::setStopBits(TStopBits v) {
  impl_->set(&SerialSettings::stopBits, v, Impl::Applies::PortState);
}
char TComm::XonChar() const {
  return impl_->settings.xonChar;
}
void TComm::setXonChar(char c) {
  impl_->set(&SerialSettings::xonChar, c, Impl::Applies::PortState);
}
char TComm::XoffChar() const {
  return impl_->settings.xoffChar;
}
void TComm::setXoffChar(char c) {
  impl_->set(&SerialSettings::xoffChar, c, Impl::Applies::PortState);
}
char TComm::ReplacedChar() const {
  return impl_->settings.replacedChar;
}
void TComm::setReplacedChar(char c) {
  impl_->set(&SerialSettings::replacedChar, c, Impl::Applies::PortState);
}
std::uint32_t TComm::ReadIntervalTimeout() const {
  return impl_->settings.readIntervalTimeout;
}
void TComm::setReadIntervalTimeout(std::uint32_t ms) {
  impl_->set(&SerialSettings::readIntervalTimeout, ms, Impl::Applies::Timeouts);
}
std::uint32_t TComm::ReadTotalTimeoutMultiplier() const {
  return impl_->settings.readTotalTimeoutMultiplier;
}
void TComm::setReadTotalTimeoutMultiplier(std::uint32_t ms) {
  impl_->set(&SerialSettings::readTotalTimeoutMultiplier, ms, Impl::Applies::Timeouts);
}
std::uint32_t TComm::ReadTotalTimeoutConstant() const {
  return impl_->settings.readTotalTimeoutConstant;
}
void TComm::setReadTotalTimeoutConstant(std::uint32_t ms) {
  impl_->set(&SerialSettings::readTotalTimeoutConstant, ms, Impl::Applies::Timeouts);
}
std::uint32_t TComm::WriteTotalTimeoutMultiplier() const {
  return impl_->settings.writeTotalTimeoutMultiplier;
}
void TComm::setWriteTotalTimeoutMultiplier(std::uint32_t ms) {
  impl_->set(&SerialSettings::writeTotalTimeoutMultiplier, ms, Impl::Applies::Timeouts);
}
std::uint32_t TComm::WriteTotalTimeoutConstant() const {
  return impl_->settings.writeTotalTimeoutConstant;
}
void TComm::setWriteTotalTimeoutConstant(std::uint32_t ms) {
  impl_->set(&SerialSettings::writeTotalTimeoutConstant, ms, Impl::Applies::Timeouts);
}

}  // namespace plenar
