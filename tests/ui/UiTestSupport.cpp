// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTestSupport.h"

#include <stdlib.h>
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Gbk.h"

namespace plenar::uitest {

namespace fs = std::filesystem;

ProgramDir::ProgramDir(bool withLanguageFiles) {
  std::string pattern = (fs::temp_directory_path() / "plenar-ui-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  if (!made) std::abort();
  path_ = made;
  if (withLanguageFiles) {
    for (const char* name : {"Chinese.lng", "English.lng"}) {
      fs::copy_file(fs::path(sourceLangDir()) / name, fs::path(path_) / name);
    }
  }
}

ProgramDir::~ProgramDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void ProgramDir::writeGbk(const std::string& name, const std::string& utf8) const {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out << utf8ToGbk(crlf);
}

bool ProgramDir::exists(const std::string& name) const {
  return fs::exists(file(name));
}

std::string sourceLangDir() {
  return std::string(PLENAR_SOURCE_DIR) + "/lang";
}

bool hasCjk(const QString& s) {
  for (QChar c : s) {
    ushort u = c.unicode();
    if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
        (u >= 0xFF00 && u <= 0xFFEF)) {
      return true;
    }
  }
  return false;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout.count()) return done();
    QTest::qWait(10);
  }
  return true;
}

MessageBoxWatcher::MessageBoxWatcher() {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start();
}

void MessageBoxWatcher::poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  QAbstractButton* button = box->defaultButton();
  if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
  if (!button) return;
  texts_ << box->text();
  details_ << box->detailedText();
  QTest::mouseClick(button, Qt::LeftButton);
}

bool MessageBoxWatcher::waitForBox(std::chrono::milliseconds timeout) {
  int wanted = ++awaited_;
  return waitUntil([&] { return texts_.size() >= wanted; }, timeout);
}

}  // namespace plenar::uitest
