// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>

namespace plenar {

// A combo box that announces each drop-down before its list opens, so the owner can refill the
// items first (the serial port list follows ports plugged in while the program runs).
class DropDownComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void aboutToDropDown();
};

}  // namespace plenar
