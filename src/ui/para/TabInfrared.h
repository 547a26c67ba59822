// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

class QComboBox;
class QRadioButton;

namespace plenar {

// Tab "红外设置": infrared on or off, its rate and its protocol.
class TabInfrared : public ParaTab {
 public:
  explicit TabInfrared(ParaHost& host, QWidget* parent = nullptr);
  void refresh() override;

 private:
  void followSwitch();

  QRadioButton* off_;
  QRadioButton* on_;
  QComboBox* rate_;
  QComboBox* protocol_;
};

}  // namespace plenar
