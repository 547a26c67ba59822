// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace plenar::sim {

// How the tool has set up its end of the serial line. On Linux tcgetattr on a pseudo-terminal's
// master returns the terminal side's settings, so the printer "sees" the rate and character
// format the tool chose with cfsetospeed/cfsetispeed and tcsetattr.
struct LineSettings {
  int sendRate = 0;     // the tool transmits at this rate (output speed)
  int receiveRate = 0;  // the tool samples at this rate (input speed; 0 in termios means "same")
  bool eightBits = true;
  bool parity = false;
  bool twoStopBits = false;
};

std::optional<LineSettings> readLineSettings(int fd);
// Rate in bit/s for a termios speed constant; 0 for one the printer does not know.
int speedToRate(unsigned speed);

// The printer's UART runs 8 data bits, no parity, at its current rate. Bytes at any other rate
// or format arrive as noise, and what it sends is noise to a tool listening at another rate.
bool toolSendsMatch(const LineSettings& tool, int printerRate);
bool toolReceivesMatch(const LineSettings& tool, int printerRate);
std::string describe(const LineSettings& tool);

// How many bytes a receiver at `receiverRate` picks up from `count` bytes sent at `senderRate`.
// A fast receiver splits each slow character's long bits into about one character; a slow one
// merges several fast characters into one.
std::size_t garbledCount(std::size_t count, int senderRate, int receiverRate);

// Paces one direction of the line at its rate: 10 bit times per byte (start, 8 data, stop).
// `sleeper` sleeps and returns false when the simulator is stopping.
class LinePacer {
 public:
  using Clock = std::chrono::steady_clock;
  using Sleeper = std::function<bool(Clock::duration)>;

  explicit LinePacer(Sleeper sleeper) : sleeper_(std::move(sleeper)) {}
  // Waits until `count` more bytes have had time to cross the line at `rate`. `from`: the
  // earliest moment they could take the line (the end of the request they answer, or of the
  // bytes they were queued behind); when the simulator woke up later than that, their line time
  // still starts there, so its own lateness does not show as the tool's. Without it: from now.
  bool pass(std::size_t count, int rate, std::optional<Clock::time_point> from = {});
  // When the bytes passed so far have crossed the line.
  Clock::time_point lineFreeAt() const { return free_; }

 private:
  Sleeper sleeper_;
  Clock::time_point free_{};
};

}  // namespace plenar::sim
