// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include "ui/para/ParaTab.h"

class QLineEdit;

namespace plenar {

// Tab "网络设置": the Ethernet interface's address, mask, gateway, MAC and port, one row each,
// and switching the Ethernet port on and off.
class TabNetwork : public ParaTab {
 public:
  explicit TabNetwork(ParaHost& host, QWidget* parent = nullptr);

 private:
  QLineEdit* address_;
  QLineEdit* mask_;
  QLineEdit* gateway_;
  std::array<QLineEdit*, 6> mac_{};
  QLineEdit* port_;
};

}  // namespace plenar
