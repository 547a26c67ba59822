// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "profile/ApplyRun.h"

class QLabel;
class QPlainTextEdit;
class QTreeWidget;

namespace plenar {

// The steps of one apply of a profile from the parameter window and their outcome: one row per
// group in the order they run (done / unchanged / failed / not run, or running, with the time it
// took), the action in progress, and at the end a summary with the notes, the error and the link
// the printer answers on afterwards.
// Modeless, and a child of the parameter window: the language file reaches its captions in the
// window's own section. It reaches widgets only, so the words of the list (column titles,
// statuses, the result's line heads) are kept as the captions of hidden labels, one text with
// "|" between the words, and each kind of note as a hidden label's caption with "%1".. for what
// it names.
// Threads: GUI thread only.
class ApplyProgressDialog : public QDialog {
 public:
  explicit ApplyProgressDialog(QWidget* parent);

  // A new apply of `profile`: every step not run yet. Shows and raises the dialog.
  void begin(const QString& title, const QString& profile, const ApplyRun& run);
  // The run as it stands; `runningGroup` (empty for a link test) is the step under way and
  // `activity` says what is being done.
  void update(const ApplyRun& run, const std::string& runningGroup, const QString& activity);
  // The run has ended: final statuses, the summary line (returned, for the status bar), the
  // notes and the error.
  QString finish(const ApplyRun& run);
  // A note of the run in the language in force.
  QString noteText(const ApplyRun::Note& note) const;

 private:
  QString statusWord(int index) const;
  QString resultWord(int word) const;
  void fillSteps(const ApplyRun& run, const std::string& runningGroup);

  QLabel* profile_ = nullptr;
  QLabel* stepsLabel_ = nullptr;
  QTreeWidget* steps_ = nullptr;
  QLabel* activity_ = nullptr;
  QLabel* resultLabel_ = nullptr;
  QPlainTextEdit* result_ = nullptr;
  QLabel* columnWords_ = nullptr;
  QLabel* statusWords_ = nullptr;
  QLabel* resultWords_ = nullptr;
  std::vector<QLabel*> noteWordings_;  // as kNoteWordings
};

}  // namespace plenar
