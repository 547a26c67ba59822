// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabInfrared.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "requests/DeviceRequests.h"
#include "requests/OptionLists.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

TabInfrared::TabInfrared(ParaHost& host, QWidget* parent) : ParaTab("ts_Infrared", host, parent) {
  using namespace para;
  off_ = radio("rb_notInfrared", QStringLiteral("不启用红外"), false, this);
  on_ = radio("rb_Infrared", QStringLiteral("启用红外"), true, this);
  rate_ = list("cbb_InfraredBaurate", texts(kInfraredBaudItems), 0, this);
  auto* rateLabel = label("lbl_InfraredBaurate", QStringLiteral("红外波特率"), this, rate_);
  protocol_ = list("cbb_irdaProtecl", optionTexts(OptionList::IrdaProtocol), 0, this);
  auto* protocolLabel = label("lbl_irdaProtecl", QStringLiteral("红外协议"), this, protocol_);
  auto* set = button("btn_SetInfraredPara", QStringLiteral("设置"), this);

  auto* grid = new QGridLayout;
  grid->addWidget(off_, 0, 0);
  grid->addWidget(on_, 0, 1);
  grid->addWidget(rateLabel, 1, 0, Qt::AlignRight);
  grid->addWidget(rate_, 1, 1);
  grid->addWidget(protocolLabel, 2, 0, Qt::AlignRight);
  grid->addWidget(protocol_, 2, 1);
  grid->addWidget(set, 3, 1, Qt::AlignRight);
  grid->setColumnStretch(1, 1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addStretch(1);

  describeBy(set, {rateLabel, protocolLabel});
  connect(off_, &QRadioButton::clicked, this, [this] { followSwitch(); });
  connect(on_, &QRadioButton::clicked, this, [this] { followSwitch(); });
  onAction(set, [this] {
    this->host().submit(buildSetInfrared(para::selectedItem(rate_), on_->isChecked(),
                                         para::selectedItem(protocol_)));
  });
}

void TabInfrared::refresh() {
  ParaTab::refresh();
  followSwitch();
}

void TabInfrared::followSwitch() {
  const bool enabled = on_->isChecked();
  rate_->setEnabled(enabled);
  protocol_->setEnabled(enabled);
}

}  // namespace plenar
