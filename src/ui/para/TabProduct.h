// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "ui/para/ParaTab.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace plenar {

// Tab "产品设置": device name and serial number (with the automatic step for a run of printers),
// USB device type, paper type, print order, receipt retraction time, Bluetooth hiding, paper
// size, and the user's own commands in hexadecimal or as text.
class TabProduct : public ParaTab {
 public:
  explicit TabProduct(ParaHost& host, QWidget* parent = nullptr);

  // After the printer took the device parameters the serial number steps by one in the chosen
  // direction, ready for the next printer of a run. Returns the conversion error's text when the
  // field holds no 32-bit number (the field then keeps its text).
  std::optional<QString> stepSerialNumber();

 private:
  // One row of "硬件设置": its caption and "设置" button; the field (and its unit) comes first.
  struct HardwareRow {
    QWidget* group;
    QGridLayout* grid;
    int row;
    const char* labelName;
    QString caption;
    const char* buttonName;
  };
  QPushButton* hardwareRow(const HardwareRow& spec, QWidget* field, QLabel* unit = nullptr);
  // The tab's groups, top to bottom, each with its controls, layout and actions.
  QGroupBox* deviceGroup();
  QGroupBox* hardwareGroup();
  QGroupBox* customDataGroup();

  QLineEdit* name_;
  QLineEdit* serial_;
  QRadioButton* minus_;
  QRadioButton* plus_;
  QComboBox* usbType_;
  QComboBox* paperType_;
  QComboBox* order_;
  QSpinBox* retraction_;
  QComboBox* hiding_;
  QComboBox* paperSize_;
  QPlainTextEdit* data_;
  QCheckBox* hex_;
};

}  // namespace plenar
