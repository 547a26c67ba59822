// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/TFrmMain.h"

namespace plenar::uitest {

// One connection window on a program folder of its own, with the serial port list the test
// chooses. Shared texts start from the built-in Chinese defaults in every test.
class FrmMainFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates and shows the window (the show handler applies the stored language).
  TFrmMain& open();
  // Closes and destroys the window: the worker and channels stop.
  void destroyWindow();
  TFrmMain& window() { return *window_; }

  template <class T>
  T* child(const char* name) {
    T* w = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Status panel 0.
  QString statusText();
  // Every text the window shows, by control: captions, edit texts, list items ("name#i"), hints
  // ("name.Hint") and the window title ("Caption").
  static std::map<QString, QString> visibleTexts(QWidget& window);

  std::unique_ptr<ProgramDir> dir_ = std::make_unique<ProgramDir>();
  std::vector<std::string> ports_ = {"/dev/ttyS0"};
  std::unique_ptr<TFrmMain> window_;
};

}  // namespace plenar::uitest
