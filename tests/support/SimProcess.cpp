// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimProcess.h"

#include <QFile>
#include <QJsonDocument>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace plenar::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr auto kPollStep = std::chrono::milliseconds(20);

// Waits for the child to end, at most `timeout`; true when it did.
bool reap(int pid, Clock::duration timeout) {
  const auto until = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    int r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::string binaryPath(const std::string& name) {
  return std::string(PLENAR_BIN_DIR) + "/" + name;
}

SimProcess::SimProcess() : SimProcess(Options{}) {}

SimProcess::SimProcess(Options o) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "plenar-sim-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;

  std::vector<std::string> args{binaryPath("plenar-printer-sim")};
  if (o.serial) {
    args.insert(args.end(), {"--serial-link", dir_ + "/ttyPRINTER"});
  }
  if (o.udp) args.insert(args.end(), {"--udp", "127.0.0.1:0"});
  if (!o.usb.empty()) args.insert(args.end(), {"--usb", o.usb});
  if (o.baud > 0) args.insert(args.end(), {"--baud", std::to_string(o.baud)});
  args.insert(args.end(), {"--state", statePath(), "--record", recordPath()});
  if (!o.model.empty()) args.insert(args.end(), {"--model", o.model});
  args.insert(args.end(), o.extraArgs.begin(), o.extraArgs.end());

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  // A descriptor the test holds open (a serial port, say) must not live on in the simulator: an
  // open terminal side would hide the tool's closing of the port.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];
  if (rc != 0) {
    close(stdoutFd_);
    std::filesystem::remove_all(dir_);
    throw std::runtime_error(std::string("cannot start ") + argv[0] + ": " + std::strerror(rc));
  }
  pid_ = pid;

  // Read the announcement lines until "ready".
  std::string text;
  const auto until = Clock::now() + kStartTimeout;
  bool ready = false;
  while (!ready && Clock::now() < until) {
    pollfd p{stdoutFd_, POLLIN, 0};
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    if (poll(&p, 1, std::max(left, 1)) <= 0) continue;
    char buf[512];
    ssize_t n = read(stdoutFd_, buf, sizeof buf);
    if (n <= 0) break;  // the simulator ended
    text.append(buf, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = text.substr(start, nl - start);
      announcements_.push_back(line);
      if (line == "ready") {
        ready = true;
      } else if (line.rfind("serial ", 0) == 0) {
        serialPath_ = line.substr(7);
      } else if (line.rfind("udp ", 0) == 0) {
        std::string a = line.substr(4);
        auto colon = a.rfind(':');
        udpHost_ = a.substr(0, colon);
        udpPort_ = std::atoi(a.c_str() + colon + 1);
      } else if (line.rfind("usb UMOCKDEV_DIR=", 0) == 0) {
        usbDir_ = line.substr(17);
      }
    }
    text.erase(0, start);
  }
  if (!ready) {
    stop();
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("plenar-printer-sim did not become ready");
  }
}

std::string SimProcess::announced(const std::string& link) const {
  for (const auto& line : announcements_) {
    if (line.rfind(link + " ", 0) == 0) return line.substr(link.size() + 1);
  }
  return "";
}

SimProcess::~SimProcess() {
  stop();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

bool SimProcess::stop() {
  bool clean = true;
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!reap(pid_, kStopTimeout)) {
      clean = false;
      kill(pid_, SIGKILL);
      reap(pid_, kStopTimeout);
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    close(stdoutFd_);
    stdoutFd_ = -1;
  }
  return clean;
}

QJsonObject SimProcess::state() const {
  QFile f(QString::fromStdString(statePath()));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

std::vector<QJsonObject> SimProcess::records() const {
  std::vector<QJsonObject> out;
  QFile f(QString::fromStdString(recordPath()));
  if (!f.open(QIODevice::ReadOnly)) return out;
  const QByteArray all = f.readAll();
  qsizetype start = 0;
  for (qsizetype nl; (nl = all.indexOf('\n', start)) >= 0; start = nl + 1) {
    QJsonDocument d = QJsonDocument::fromJson(all.mid(start, nl - start));
    if (d.isObject()) out.push_back(d.object());
  }
  return out;
}

QJsonObject SimProcess::waitForState(const std::function<bool(const QJsonObject&)>& pred,
                                     std::chrono::milliseconds timeout) const {
  const auto until = Clock::now() + timeout;
  for (;;) {
    QJsonObject s = state();
    if (pred(s) || Clock::now() >= until) return s;
    std::this_thread::sleep_for(kPollStep);
  }
}

std::vector<QJsonObject> SimProcess::waitForRecords(
    const std::function<bool(const std::vector<QJsonObject>&)>& pred,
    std::chrono::milliseconds timeout) const {
  const auto until = Clock::now() + timeout;
  for (;;) {
    auto r = records();
    if (pred(r) || Clock::now() >= until) return r;
    std::this_thread::sleep_for(kPollStep);
  }
}

QJsonObject stateAt(const QJsonObject& root, std::initializer_list<const char*> path) {
  QJsonObject o = root;
  for (const char* key : path) o = o.value(key).toObject();
  return o;
}

}  // namespace plenar::test
