// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace plenar::uitest {

// A program folder of its own for one test: the shipped language files (unless told otherwise)
// and whatever sysconfig.ini the test writes. Removed at the end.
class ProgramDir {
 public:
  explicit ProgramDir(bool withLanguageFiles = true);
  ~ProgramDir();
  ProgramDir(const ProgramDir&) = delete;
  ProgramDir& operator=(const ProgramDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes `utf8` as a GBK file with CRLF lines, as the shipped files are.
  void writeGbk(const std::string& name, const std::string& utf8) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// The shipped language file sources (UTF-8) and files (GBK) in the source tree.
std::string sourceLangDir();

// True when `s` holds a Chinese (CJK) character or CJK punctuation.
bool hasCjk(const QString& s);

// Processes events until `done` holds or the time runs out; true when it holds.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Answers every message box that opens while it lives, the way a user would: it reads the text
// and clicks the box's default button. The boxes run their own event loop, so the watcher polls
// from a timer that keeps firing inside it.
class MessageBoxWatcher : public QObject {
 public:
  MessageBoxWatcher();
  const QStringList& texts() const { return texts_; }
  // The detail text of each box, in the same order (empty where a box had none).
  const QStringList& details() const { return details_; }
  // Waits for the next box (beyond those already seen); true when it came.
  bool waitForBox(std::chrono::milliseconds timeout);

 private:
  void poll();
  QTimer timer_;
  QStringList texts_;
  QStringList details_;
  int awaited_ = 0;
};

}  // namespace plenar::uitest
