// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace plenar {

struct StationFields;

// Tab "WIFI设置": access-point mode (broadcast name, password), station mode (SSID, password,
// dynamic or static address with mask, gateway and port) and switching Wi-Fi off.
class TabWifi : public ParaTab {
 public:
  explicit TabWifi(ParaHost& host, QWidget* parent = nullptr);
  void refresh() override;

 private:
  // The tab's two groups, each with its controls, layout and action.
  QGroupBox* accessPointGroup();
  QGroupBox* stationGroup();
  StationFields stationFields() const;
  void followAddressing();

  QLineEdit* broadcastName_;
  QLineEdit* apPassword_;
  QLineEdit* ssid_;
  QLineEdit* staPassword_;
  QRadioButton* dynamic_;
  QRadioButton* static_;
  QLineEdit* ip_;
  QLineEdit* mask_;
  QLineEdit* gateway_;
  QLineEdit* port_;
};

}  // namespace plenar
