// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include "ui/para/ParaTab.h"

class QGridLayout;
class QLineEdit;

namespace plenar {

// Tab "网络设置": the Ethernet interface's address, mask, gateway, MAC and port, one row each,
// and switching the Ethernet port on and off.
class TabNetwork : public ParaTab {
 public:
  explicit TabNetwork(ParaHost& host, QWidget* parent = nullptr);

 private:
  // One dotted-address row: its edit (name, first text), caption and "设置" button.
  struct AddressRow {
    const char* editName;
    QString text;
    const char* labelName;
    QString caption;
    const char* buttonName;
  };
  QPushButton* addressRow(QGridLayout* grid, int& row, const AddressRow& spec, QLineEdit*& field);
  // Each adds its rows to the grid from `row` on and advances it.
  void addAddressRows(QGridLayout* grid, int& row);
  void addMacRow(QGridLayout* grid, int& row);
  void addPortRow(QGridLayout* grid, int& row);

  QLineEdit* address_;
  QLineEdit* mask_;
  QLineEdit* gateway_;
  std::array<QLineEdit*, 6> mac_{};
  QLineEdit* port_;
};

}  // namespace plenar
