// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;

namespace plenar {

// Tab "蓝牙设置": the Bluetooth module's names, password, model, mode and authentication; its
// working mode; and free AT command lines sent to the module.
class TabBluetooth : public ParaTab {
 public:
  explicit TabBluetooth(ParaHost& host, QWidget* parent = nullptr);

 private:
  // The tab's groups, top to bottom, each with its controls, layout and actions.
  QGroupBox* settingsGroup();
  QGroupBox* workModeGroup();
  QGroupBox* commandGroup();

  QLineEdit* name_;
  QLineEdit* dualName_;
  QLineEdit* password_;
  QLineEdit* model_;
  QGroupBox* mode_;
  QGroupBox* auth_;
  QComboBox* workMode_;
  QPlainTextEdit* commands_;
};

// The lines of a memo as the printer tool counts them: an empty memo is one empty line.
QStringList memoLines(const QPlainTextEdit* memo);

}  // namespace plenar
