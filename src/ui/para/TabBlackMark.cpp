// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabBlackMark.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "requests/BlackMarkRequests.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/TabKeyFields.h"

namespace plenar {

TabBlackMark::TabBlackMark(ParaHost& host, QWidget* parent)
    : ParaTab("ts_BlackMark", host, parent) {
  using namespace para;
  auto* modeOn = button("btn__Set_black_mode", QStringLiteral("设置黑标模式"), this);
  auto* modeOff = button("btn__Cance_black_mark", QStringLiteral("取消黑标"), this);
  auto* modes = new QHBoxLayout;
  modes->addWidget(modeOn);
  modes->addWidget(modeOff);

  auto* grid = new QGridLayout;
  int row = 0;
  // One row: caption, edit (digits only, with its advice as a tool tip), unit, set button.
  auto addRow = [&](const char* labelName, const QString& caption, const char* editName,
                    const QString& text, std::size_t maxChars, const QString& hint,
                    const char* unitName, const QString& unit, const char* buttonName,
                    std::function<BuildResult(const std::string&)> build) {
    auto* e = edit(editName, text, maxChars, this);
    acceptOnly(e, FieldFilter::Digits);
    if (!hint.isEmpty()) e->setToolTip(hint);
    auto* l = label(labelName, caption, this, e);
    auto* u = label(unitName, unit, this);
    auto* b = button(buttonName, QStringLiteral("设置"), this);
    grid->addWidget(l, row, 0, Qt::AlignRight);
    grid->addWidget(e, row, 1);
    grid->addWidget(u, row, 2);
    grid->addWidget(b, row++, 3);
    describeBy(b, {l, u});
    if (build) {
      onAction(b, [this, e, build] { this->host().submit(build(e->text().toStdString())); });
    } else {
      b->setEnabled(false);  // the feed before printing has no printer command
    }
  };
  addRow("lbl_Black_look_distance", QStringLiteral("黑标查找距离"), "edt__Black_look_distance",
         QStringLiteral("400"), keyValuesOf("Blacklookdistance")->maxChars,
         rangeHint("Blacklookdistance"), "lbl_Black_look_distanceUnit", QStringLiteral("mm"),
         "btn_But_Black_look_dis_set", buildBlackMarkDistance);
  addRow("lbl_Black_width", QStringLiteral("黑标宽度"), "edt__Black_width", QStringLiteral("40"),
         keyValuesOf("Blackwidth")->maxChars, rangeHint("Blackwidth"), "lbl_Black_widthUnit",
         QStringLiteral("mm"), "btn__Black_width_set", buildBlackMarkWidth);
  addRow("lbl_cutter_optocoupler", QStringLiteral("找到黑标后进纸"), "edt_cutter_optocoupler", {},
         keyValuesOf("Cutteroptocoupler")->maxChars, rangeHint("Cutteroptocoupler", u'-'),
         "lbl_cutter_optocouplerUnit", QStringLiteral("mm  切纸"), "btn_1", buildCutterFeed);
  addRow("lbl_2", QStringLiteral("找到黑标后进纸"), "edt_2", {}, field::kPrintFeedChars, {},
         "lbl_2Unit", QStringLiteral("mm  打印"), "btn_2", nullptr);
  grid->setColumnStretch(1, 1);

  auto* find = button("btn_3", QStringLiteral("查找黑标"), this);
  auto* findAndCut = button("btn_4", QStringLiteral("查找黑标并切纸"), this);
  auto* testPage = button("btn_5", QStringLiteral("打印测试"), this);
  auto* last = new QHBoxLayout;
  last->addWidget(find);
  last->addWidget(findAndCut);
  last->addWidget(testPage);

  auto* column = new QVBoxLayout(this);
  column->addLayout(modes);
  column->addLayout(grid);
  column->addLayout(last);
  column->addStretch(1);

  onAction(modeOn, [this] { this->host().submit(buildBlackMarkMode(true)); });
  onAction(modeOff, [this] { this->host().submit(buildBlackMarkMode(false)); });
  onAction(find, [this] { this->host().submit(buildFindBlackMark(false)); });
  onAction(findAndCut, [this] { this->host().submit(buildFindBlackMark(true)); });
  onAction(testPage, [this] { this->host().submit(buildTestPage()); });
}

}  // namespace plenar
