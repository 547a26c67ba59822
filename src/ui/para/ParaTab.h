// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>
#include <initializer_list>
#include <vector>

#include "requests/NetworkRequests.h"

class QAbstractButton;
class QLineEdit;
class QPushButton;

namespace plenar {

class ParaHost;

// One page of the parameter window. A tab builds its controls (in the window table's order,
// which is also the keyboard order) and turns its buttons into requests for the host. What is
// stored in sysconfig.ini is found by control name (ParaDefault), so tabs have no load/save code.
// Threads: GUI thread only.
class ParaTab : public QWidget {
 public:
  ParaTab(const char* name, ParaHost& host, QWidget* parent = nullptr);

  // Runs when the window is shown, after the language texts are in place: accessible names and
  // descriptions follow the captions, and the enabled states follow the radio buttons.
  virtual void refresh();

  // Every action button of the tab (set, send, download...); the window disables them while a
  // command runs, since the worker ignores a second one.
  const std::vector<QAbstractButton*>& actionButtons() const { return actions_; }

 protected:
  ParaHost& host() { return host_; }
  // Wires a button to its action and lists it as an action button.
  void onAction(QAbstractButton* button, std::function<void()> action);
  // The "设置" captions are the same on every row: a screen reader says the row's labels instead.
  void describeBy(QAbstractButton* button, std::initializer_list<QWidget*> sources);
  // An input without a label of its own (memo, list, MAC box) is named after a caption nearby.
  void nameBy(QWidget* input, QWidget* source, const QString& suffix = {});
  // When the focus leaves `edit`, the platform's address parser must accept its text; otherwise
  // the field's message is shown and the focus goes back to it.
  void checkAddressOnLeave(QLineEdit* edit, AddressField field);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Description {
    QWidget* target;
    std::vector<QWidget*> sources;
    QString suffix;
    bool isName;
  };
  ParaHost& host_;
  std::vector<QAbstractButton*> actions_;
  std::vector<Description> descriptions_;
  std::vector<std::pair<QLineEdit*, AddressField>> addressFields_;
  bool checking_ = false;
};

// The caption a control shows (label, button, group title), without accelerator marks.
QString captionOf(const QWidget* w);

}  // namespace plenar
