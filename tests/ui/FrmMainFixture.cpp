// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrmMainFixture.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "shared/SharedTexts.h"

namespace plenar::uitest {

void FrmMainFixture::SetUp() {
  resetTexts();
}

void FrmMainFixture::TearDown() {
  destroyWindow();
  resetTexts();
}

TFrmMain& FrmMainFixture::open() {
  TFrmMain::Options options;
  options.programDir = dir_->path();
  options.serialPorts = [this] { return ports_; };
  window_ = std::make_unique<TFrmMain>(options);
  window_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  return *window_;
}

void FrmMainFixture::destroyWindow() {
  if (!window_) return;
  window_->close();
  window_.reset();
}

QString FrmMainFixture::statusText() {
  auto* panel = window_->findChild<QLabel*>(QStringLiteral("qt_statusPanel0"));
  return panel ? panel->text() : QString();
}

std::map<QString, QString> FrmMainFixture::visibleTexts(QWidget& window) {
  std::map<QString, QString> texts;
  texts[QStringLiteral("Caption")] = window.windowTitle();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts[name] = b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) texts[name] = l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts[name] = g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) texts[name] = e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) {
      texts[name] = c->currentText();
      for (int i = 0; i < c->count(); ++i) texts[name + "#" + QString::number(i)] = c->itemText(i);
    }
    if (!w->toolTip().isEmpty()) texts[name + ".Hint"] = w->toolTip();
  }
  return texts;
}

}  // namespace plenar::uitest
