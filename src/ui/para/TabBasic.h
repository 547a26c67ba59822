// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QSpinBox;

namespace plenar {

struct SwitchFields;

// Tab "基础设置": serial rate, flow control, code page, density/font/feed/cutter/buzzer, sleep and
// power-off times, all parameters at once, and the printer's factory defaults.
class TabBasic : public ParaTab {
 public:
  explicit TabBasic(ParaHost& host, QWidget* parent = nullptr);

 private:
  // The rows of the group "基本参数", top to bottom: serial rate, flow control and code page;
  // font, density, feed and the switches; sleep and power-off times and "设置全部参数".
  void addLinkRows(QWidget* basic, QGridLayout* grid);
  void addSwitchRows(QWidget* basic, QGridLayout* grid);
  void addTimeRows(QWidget* basic, QGridLayout* grid);
  SwitchFields switchFields() const;

  QComboBox* baudRate_;
  QComboBox* flowControl_;
  QComboBox* codePage_;
  QComboBox* font_;
  QComboBox* dark_;
  QComboBox* feed_;
  QCheckBox* buzzer_;
  QCheckBox* cutter_;
  QSpinBox* sleepTime_;
  QSpinBox* powerOffTime_;
};

}  // namespace plenar
