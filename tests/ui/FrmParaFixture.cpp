// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrmParaFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace plenar::uitest {

void FrmParaFixture::TearDown() {
  // The parameter window reports to the connection window's worker: it goes first.
  para_.reset();
  FrmMainFixture::TearDown();
}

TFrmPara& FrmParaFixture::openPara() {
  if (!window_) open();
  if (!para_) {
    para_ = std::make_unique<TFrmPara>(*window_);
    window_->setParameterWindowOpener([this] { para_->showModal(); });
  }
  window_->hide();
  para_->showModal();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(para_.get()));
  return *para_;
}

void FrmParaFixture::closePara() {
  para_->close();
  QApplication::processEvents();
}

void FrmParaFixture::type(const char* name, const QString& text) {
  QWidget* w = para_->findChild<QWidget*>(QString::fromLatin1(name));
  ASSERT_NE(w, nullptr) << name;
  QLineEdit* edit = qobject_cast<QLineEdit*>(w);
  if (auto* box = qobject_cast<QComboBox*>(w)) edit = box->lineEdit();
  if (!edit) edit = w->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr) << name;
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

void FrmParaFixture::click(const char* name) {
  auto* b = field<QAbstractButton>(name);
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton);
}

void FrmParaFixture::pick(const char* name, int item) {
  auto* box = field<QComboBox>(name);
  ASSERT_NE(box, nullptr);
  box->setCurrentIndex(item);
}

QString FrmParaFixture::panel0() {
  auto* panel = para_->findChild<QLabel*>(QStringLiteral("qt_statusPanel0"));
  return panel ? panel->text() : QString();
}

FileDialogAnswers::FileDialogAnswers(QList<QStringList> answers) : answers_(std::move(answers)) {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start();
}

void FileDialogAnswers::poll() {
  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  if (!dialog || !dialog->isVisible()) return;
  lastTitle_ = dialog->windowTitle();
  const QStringList files = answered_ < answers_.size() ? answers_[answered_] : QStringList{};
  ++answered_;
  if (files.isEmpty()) {
    static_cast<QDialog*>(dialog)->reject();
    return;
  }
  dialog->setDirectory(QFileInfo(files.first()).absolutePath());
  // Typed into the file name box, as the user does: one name, or several quoted ones.
  QStringList names;
  for (const QString& f : files) names << QFileInfo(f).fileName();
  QString typed = names.first();
  if (names.size() > 1)
    typed = QLatin1Char('"') + names.join(QStringLiteral("\" \"")) + QLatin1Char('"');
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->setText(typed);
  }
  static_cast<QDialog*>(dialog)->accept();
}

SaveGroupsAnswer::SaveGroupsAnswer(QStringList toggle, bool cancel)
    : toggle_(std::move(toggle)), cancel_(cancel) {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_.start();
}

void SaveGroupsAnswer::poll() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (!dialog || !dialog->isVisible() || dialog->objectName() != QStringLiteral("qt_saveGroups")) {
    return;
  }
  auto* list = dialog->findChild<QListWidget*>(QStringLiteral("qt_saveGroupList"));
  if (!list || !list->hasFocus()) return;
  listCaption = dialog->findChild<QLabel*>(QStringLiteral("lbl_SaveGroups"))->text();
  why = dialog->findChild<QLabel*>(QStringLiteral("lbl_SavePerPrinter"))->text();
  accessibleName = list->accessibleName();
  accessibleDescription = list->accessibleDescription();
  seen_.clear();
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* item = list->item(i);
    seen_.append(
        {item->data(Qt::UserRole).toString(), item->text(), item->checkState() == Qt::Checked});
  }
  // From the first item down, toggling on the way.
  for (int i = 0; i < list->count(); ++i) {
    if (i > 0) QTest::keyClick(list, Qt::Key_Down);
    if (toggle_.contains(seen_[i].group)) QTest::keyClick(list, Qt::Key_Space);
  }
  QTest::keyClick(list, cancel_ ? Qt::Key_Escape : Qt::Key_Return);
}

}  // namespace plenar::uitest
