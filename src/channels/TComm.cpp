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

#include "channels/ChannelSession.h"
#include "channels/OpenFailureReason.h"
#include "channels/SerialPortList.h"
#include "channels/SerialPortState.h"
#include "channels/UniqueFd.h"
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

constexpr std::size_t kChunkSize = 2048;
// How often an idle reader looks at the driver's line-error counters (UARTs only).
constexpr milliseconds kCounterPoll{100};

void signalEvent(int fd) {
  const std::uint64_t one = 1;
  (void)!::write(fd, &one, sizeof one);
}

}  // namespace

struct TComm::Impl {
  struct Session;

  Impl(TComm& self, OwnerDispatcher& owner) : sessions(owner, self) {}

  void open();
  void applyPortState(int fd) const;

  SerialSettings settings;  // caller's thread only
  // The reader's copy of settings.readIntervalTimeout, taken at each wake.
  std::atomic<std::uint32_t> readInterval{SerialSettings{}.readIntervalTimeout};
  ChannelSessions<TComm, Session> sessions;
};

// One open port with its reader and writer. Destroying it stops both threads and closes the
// port, so any failure during the open leaves nothing behind.
struct TComm::Impl::Session : ChannelSession<TComm> {
  Session(Impl& impl, std::uint64_t id)
      : ChannelSession(impl.sessions.events, id, impl.sessions.sendDataEmpty,
                       impl.sessions.direct),
        impl(impl) {}
  ~Session() override;

  // Opens and claims the port; throws the described open failures.
  void openPort(const std::string& path);
  // Starts the reader and the writer.
  void start();
  void stopThreads();

  // The reader: readLoop waits for bytes and hands them on in chunks (see readLoop).
  enum class ReadResult { Full, Drained, Hangup, Quiet };
  enum class Wake { Readable, Timeout, Stop, Failed };
  void readLoop();
  bool chunkDue(std::uint32_t interval, Clock::time_point now) const;
  Wake waitForInput(std::uint32_t interval, Clock::time_point now);
  ReadResult readAvailable();
  void handOn();
  void checkCounters();

  bool writeRequest(const std::vector<std::uint8_t>& bytes) override;
  void writerEnded() override { (void)::tcflush(port.get(), TCOFLUSH); }
  void postHangup();

  Impl& impl;
  UniqueFd port;
  bool exclusive = false;  // TIOCEXCL set by us, cleared again before the close
  UniqueFd closeEvent;     // signalled once: both threads end
  std::atomic<bool> stopping{false};
  std::atomic<bool> hangupPosted{false};
  std::thread reader;

  // The reader's own state.
  std::array<std::uint8_t, kChunkSize> chunk{};
  std::size_t count = 0;  // bytes in `chunk`
  Clock::time_point lastByte;
  serial_icounter_struct counters{};
  bool haveCounters = false;  // the driver counts line errors (a UART; not a pty)
};

void TComm::Impl::applyPortState(int fd) const {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return;
  buildTermios(t, settings);
  (void)::tcsetattr(fd, TCSANOW, &t);
  applyModemLines(fd, settings);
}

void TComm::Impl::open() {
  if (sessions.session) throw ECommsError("This serial port already opened");
  sessions.open([this](std::uint64_t id) {
    auto s = std::make_unique<Session>(*this, id);
    s->openPort(resolveSerialPortName(settings.commName));
    applyPortState(s->port.get());
    s->start();
    return s;
  });
}

// ---- the session ----

void TComm::Impl::Session::openPort(const std::string& path) {
  // The system's reason travels with the described text: debug.log, plenar's second line, the
  // windows' detail text.
  auto refused = [&path](const char* message) {
    const int err = errno;
    return ECommsError(message, err, openFailureReason(DeviceKind::Serial, path, err));
  };
  // The port is ours alone while open: a second program (or a second TComm) on the same line
  // would interleave its bytes with our frames and steal the printer's replies. flock keeps out
  // everyone who asks for the lock, even root; TIOCEXCL keeps out plain opens by non-root.
  port.reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.valid()) throw refused("Error opening serial port");
  if (::flock(port.get(), LOCK_EX | LOCK_NB) != 0) throw refused("Error opening serial port");
  termios t{};
  if (::tcgetattr(port.get(), &t) != 0) throw refused("File handle is not a comm handle ");
  if (::ioctl(port.get(), TIOCEXCL) != 0) throw refused("Error opening serial port");
  exclusive = true;
  // Linux sizes the driver queues itself; purging them is what is left of setting them up.
  if (::tcflush(port.get(), TCIOFLUSH) != 0) throw ECommsError("Cannot setup comm buffer", errno);
}

void TComm::Impl::Session::start() {
  closeEvent.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!closeEvent.valid()) throw ECommsError("Unable to create event", errno);
  try {
    reader = std::thread(&Session::readLoop, this);
  } catch (const std::system_error& e) {
    throw ECommsError("Unable to create read thread", e.code().value());
  }
  startWriter();
}

TComm::Impl::Session::~Session() {
  stopThreads();
  if (exclusive) (void)::ioctl(port.get(), TIOCNXCL);  // a pty slave keeps the flag past close
}

void TComm::Impl::Session::stopThreads() {
  stopping = true;
  if (closeEvent.valid()) signalEvent(closeEvent.get());
  if (port.valid()) (void)::tcflush(port.get(), TCIOFLUSH);
  stopWriter();
  if (reader.joinable()) reader.join();
}

// Reader and writer may both see a vanished port; the owner hears it once.
void TComm::Impl::Session::postHangup() {
  if (hangupPosted.exchange(true)) return;
  post([](TComm& c) {
    if (c.OnRequestHangup) c.OnRequestHangup(c);
  });
}

// Hands on a chunk when the line has been idle for the read interval after at least one byte, or
// when 2048 bytes have arrived; an interval of 0 waits for a full chunk, kReadReturnAtOnce hands
// on whatever arrived. Line errors are looked for at each wake, and at least every kCounterPoll.
void TComm::Impl::Session::readLoop() {
  haveCounters = ::ioctl(port.get(), TIOCGICOUNT, &counters) == 0;
  lastByte = Clock::now();
  while (!stopping) {
    const std::uint32_t interval = impl.readInterval.load();
    const Clock::time_point now = Clock::now();
    if (count > 0 && chunkDue(interval, now)) handOn();
    const Wake wake = waitForInput(interval, now);
    if (wake == Wake::Stop) break;
    if (wake == Wake::Failed) {
      postHangup();
      break;
    }
    if (wake == Wake::Readable) {
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
  (void)::tcflush(port.get(), TCIFLUSH);
}

bool TComm::Impl::Session::chunkDue(std::uint32_t interval, Clock::time_point now) const {
  return count >= kChunkSize || interval == kReadReturnAtOnce ||
         (interval != 0 && now - lastByte >= milliseconds(interval));
}

// Waits for bytes, the close event, the end of the read interval or the next look at the error
// counters, whichever comes first.
TComm::Impl::Session::Wake TComm::Impl::Session::waitForInput(std::uint32_t interval,
                                                              Clock::time_point now) {
  std::optional<Clock::time_point> wakeAt;
  if (count > 0 && interval != 0 && interval != kReadReturnAtOnce) {
    wakeAt = lastByte + milliseconds(interval);
  }
  if (haveCounters)
    wakeAt = std::min(wakeAt.value_or(Clock::time_point::max()), now + kCounterPoll);
  std::array<pollfd, 2> fds{{{port.get(), POLLIN, 0}, {closeEvent.get(), POLLIN, 0}}};
  // To the nanosecond: with a 1 ms read interval, a wait rounded up to whole milliseconds held
  // every chunk back up to twice that.
  const timespec wait = wakeAt ? waitFor(*wakeAt - now) : timespec{};
  if (::ppoll(fds.data(), fds.size(), wakeAt ? &wait : nullptr, nullptr) < 0) {
    return errno == EINTR ? Wake::Timeout : Wake::Failed;
  }
  if (fds[1].revents != 0 || (fds[0].revents & POLLNVAL) != 0) return Wake::Stop;
  if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) return Wake::Readable;
  return Wake::Timeout;
}

// Reads what the driver holds, at most up to a full chunk.
TComm::Impl::Session::ReadResult TComm::Impl::Session::readAvailable() {
  while (count < kChunkSize) {
    const ssize_t n = ::read(port.get(), chunk.data() + count, kChunkSize - count);
    if (n > 0) {
      count += static_cast<std::size_t>(n);
      lastByte = Clock::now();
      continue;
    }
    if (n == 0) return ReadResult::Hangup;  // VMIN is 1: 0 only on a hung-up tty
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return ReadResult::Drained;
    if (errno == EBADF) return ReadResult::Quiet;
    return ReadResult::Hangup;  // EIO: adapter unplugged, pty master closed
  }
  return ReadResult::Full;
}

void TComm::Impl::Session::handOn() {
  if (count == 0) return;
  deliver(std::span(chunk.data(), count));
  count = 0;
}

// Raises OnReceiveError with the line errors the driver counted since the last look.
void TComm::Impl::Session::checkCounters() {
  serial_icounter_struct now{};
  if (::ioctl(port.get(), TIOCGICOUNT, &now) != 0) return;
  std::uint32_t errors = 0;
  if (now.buf_overrun != counters.buf_overrun) errors |= kErrRxOver;
  if (now.overrun != counters.overrun) errors |= kErrOverrun;
  if (now.parity != counters.parity) errors |= kErrParity;
  if (now.frame != counters.frame) errors |= kErrFrame;
  if (now.brk != counters.brk) errors |= kErrBreak;
  counters = now;
  if (errors == 0) return;
  post([errors](TComm& c) {
    if (c.OnReceiveError) c.OnReceiveError(c, errors);
  });
}

// Writes one request completely, in as many partial writes as the driver needs.
bool TComm::Impl::Session::writeRequest(const std::vector<std::uint8_t>& bytes) {
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
  impl_->sessions.events.detach();
  impl_->sessions.close();
}

void TComm::OpenPort() {
  impl_->open();
}
void TComm::ClosePort() {
  impl_->sessions.close();
}
bool TComm::isOpen() const {
  return impl_->sessions.session != nullptr;
}
bool TComm::WaitSendComplete(std::chrono::milliseconds stall, const std::function<bool()>& giveUp) {
  Impl::Session* s = impl_->sessions.session.get();
  if (s == nullptr) return true;
  auto lastProgress = std::chrono::steady_clock::now();
  std::size_t lastPending = std::numeric_limits<std::size_t>::max();
  while (true) {
    const std::optional<std::size_t> queued = s->queuedBytes();
    if (!queued) return false;  // the writer ended
    std::size_t pending = *queued;
    if (!impl_->sessions.sendDataEmpty.load()) ++pending;  // a request is being written
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
  return impl_->sessions.sendDataEmpty.load();
}

bool TComm::SendBytes(const std::uint8_t* data, std::uint16_t count) {
  Impl::Session* s = impl_->sessions.session.get();
  if (s == nullptr || data == nullptr || count == 0) return false;
  return s->send(std::span(data, count));
}

// ---- settings ----

const SerialSettings& TComm::settings() const {
  return impl_->settings;
}

// Each setter writes its own fields only: the worker changes the read interval around every
// command while the owner thread may be choosing the port and the rate for the next one.
void TComm::setSettings(const SerialSettings& settings) {
  setPortName(settings.commName);
  setReadIntervalTimeout(settings.readIntervalTimeout);
  SerialSettings& line = impl_->settings;
  if (settings.sameLine(line)) return;
  line.baudRate = settings.baudRate;
  line.xonXoffFlow = settings.xonXoffFlow;
  line.dtr = settings.dtr;
  line.rts = settings.rts;
  if (impl_->sessions.session) impl_->applyPortState(impl_->sessions.session->port.get());
}

void TComm::setReadIntervalTimeout(std::uint32_t ms) {
  impl_->settings.readIntervalTimeout = ms;
  impl_->readInterval = ms;
}

void TComm::setPortName(const std::string& name) {
  impl_->settings.commName = name;
}

void TComm::setDirectReceiver(DirectReceiver direct) {
  impl_->sessions.direct = std::move(direct);
}

void TComm::setRate(std::uint32_t rate) {
  if (rate == impl_->settings.baudRate) return;
  impl_->settings.baudRate = rate;
  if (impl_->sessions.session) impl_->applyPortState(impl_->sessions.session->port.get());
}

}  // namespace plenar
