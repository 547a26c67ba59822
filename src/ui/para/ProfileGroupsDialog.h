// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QListWidget;

namespace plenar {

// The groups "Save profile..." writes: a checkable list of the settings groups the window stores
// (one item per group, in the window's language, with the group's plenar name), where the
// groups that belong to one printer alone (its network address, MAC, device name and serial
// number) start unchecked, under a line that says why: a shared profile applied to a second
// printer would give it the same address and name.
// Space checks and unchecks the current item; Enter saves, Escape cancels.
// A child of the parameter window: the language file reaches its captions, and the group names
// (hidden labels "lbl_SaveGroup_<group>"), in the window's own section.
// Threads: GUI thread only.
class ProfileGroupsDialog : public QDialog {
 public:
  explicit ProfileGroupsDialog(QWidget* parent);

  // Every group the window stores, with the per-printer ones unchecked; runs the dialog. Empty
  // when the user cancels (or checks nothing).
  std::set<std::string> choose(const QString& title);

  // The groups that differ per printer, left out unless the user checks them.
  static const std::set<std::string>& perPrinterGroups();

 private:
  struct Item {
    std::string group;
    QLabel* name = nullptr;  // hidden: its caption is the item's text
  };
  void fill();

  QLabel* listLabel_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* why_ = nullptr;  // why the per-printer groups start unchecked
  std::vector<Item> items_;
};

// Whether a [ParaDefault] key belongs to one of `groups`: a profile saved with only those keys
// manages those groups and nothing else.
bool isKeyOfGroups(std::string_view key, const std::set<std::string>& groups);

}  // namespace plenar
