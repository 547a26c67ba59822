// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace plenar::test {

// Runs plenar-printer-sim as a child process for one test: in a fresh temporary folder, with its
// state file (state.json) and record file (record.jsonl) there. The constructor returns once the
// simulator has printed "ready" (at most 10 s) and throws std::runtime_error otherwise; the
// destructor stops it (SIGTERM, then SIGKILL after a bounded wait) and removes the folder.
// Threads: one thread at a time.
class SimProcess {
 public:
  struct Options {
    bool serial = true;
    bool udp = false;
    int baud = 9600;    // 0: no --baud, the printer starts at its stored rate
    std::string model;  // empty: the simulator's default tag
    std::string usb;    // "VID:PID": also a virtual USB printer (umockdev); empty: none
    std::vector<std::string> extraArgs;
  };

  SimProcess();
  explicit SimProcess(Options o);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  std::string serialPath() const { return serialPath_; }
  std::string udpHost() const { return udpHost_; }
  int udpPort() const { return udpPort_; }
  std::string dir() const { return dir_; }
  // The rest of the announcement line of `link` ("lpt" -> "UMOCKDEV_DIR=/tmp/umockdev.X"), ""
  // when the simulator announced none.
  std::string announced(const std::string& link) const;
  // The testbed of the virtual USB printer: a tool sees it with the umockdev preload and
  // UMOCKDEV_DIR set to this. Empty without Options::usb.
  std::string usbDir() const { return usbDir_; }
  std::string statePath() const { return dir_ + "/state.json"; }
  std::string recordPath() const { return dir_ + "/record.jsonl"; }
  int pid() const { return pid_; }

  // The state file as it is now (an empty object when it cannot be read).
  QJsonObject state() const;
  // The complete lines of the record file so far.
  std::vector<QJsonObject> records() const;

  // Bounded waits for something the simulator does without answering (raw sequences, a state
  // save after a burst of blocks). They return the state or records that satisfied `pred`, or
  // the last ones read when `timeout` ran out; the caller's assertions decide.
  QJsonObject waitForState(const std::function<bool(const QJsonObject&)>& pred,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  std::vector<QJsonObject> waitForRecords(
      const std::function<bool(const std::vector<QJsonObject>&)>& pred,
      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // Ends the simulator now (it saves its state); true when it ended by itself after SIGTERM.
  bool stop();
  bool running() const { return pid_ > 0; }

 private:
  std::string dir_;
  std::vector<std::string> announcements_;
  std::string serialPath_;
  std::string udpHost_;
  int udpPort_ = 0;
  std::string usbDir_;
  int pid_ = -1;
  int stdoutFd_ = -1;
};

// The object at a path of keys in a state or record object ({} where a key is missing), e.g.
// stateAt(sim.state(), {"settings", "ethernet"}).
QJsonObject stateAt(const QJsonObject& root, std::initializer_list<const char*> path);

// Path of a program built with the project (next to the test executables).
std::string binaryPath(const std::string& name);

}  // namespace plenar::test
