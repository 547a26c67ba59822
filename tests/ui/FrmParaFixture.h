// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "FrmMainFixture.h"
#include "ui/TFrmPara.h"

namespace plenar::uitest {

// The connection window and its parameter window on a program folder of their own. openPara()
// shows the parameter window as the connection window does after a successful link test;
// closePara() closes it as the user does (the fields are saved).
class FrmParaFixture : public FrmMainFixture {
 protected:
  void TearDown() override;

 public:
  TFrmPara& openPara();
  void closePara();
  TFrmPara& para() { return *para_; }

  template <class T>
  T* field(const char* name) {
    T* w = para_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Replaces the text of an edit (or an editable list) as typed keys, through its input filter.
  void type(const char* name, const QString& text);
  void click(const char* name);
  // Picks a list item with the keyboard-free API the user's mouse would reach.
  void pick(const char* name, int item);
  QString panel0();

  std::unique_ptr<TFrmPara> para_;
};

// Answers every file dialog that opens while it lives with the next of the given answers: the
// files (one or more, from one folder) are chosen and the dialog accepted; an empty answer
// cancels it.
class FileDialogAnswers : public QObject {
 public:
  explicit FileDialogAnswers(QList<QStringList> answers);
  int answered() const { return answered_; }
  QString lastTitle() const { return lastTitle_; }

 private:
  void poll();
  QTimer timer_;
  QList<QStringList> answers_;
  int answered_ = 0;
  QString lastTitle_;
};

// Answers the dialog of "Save profile..." as a keyboard user: seen() holds what it showed (each
// item's group, text and check state as it opened), then Down and Space toggle the items of the
// `toggle` groups, and Enter saves (Escape cancels when `cancel`).
class SaveGroupsAnswer : public QObject {
 public:
  struct Item {
    QString group;
    QString text;
    bool checked = false;
  };
  explicit SaveGroupsAnswer(QStringList toggle = {}, bool cancel = false);
  const QList<Item>& seen() const { return seen_; }
  // The captions of the list's label and of the line that says why, and the list's accessible
  // name and description.
  QString listCaption, why, accessibleName, accessibleDescription;

 private:
  void poll();
  QTimer timer_;
  QStringList toggle_;
  bool cancel_;
  QList<Item> seen_;
};

}  // namespace plenar::uitest
