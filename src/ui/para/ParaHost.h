// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "requests/BuildResult.h"

namespace plenar {

// What a tab of the parameter window may ask of the window: a tab turns its fields into a
// request with the builders of src/requests and hands it over here; it never sees the worker.
// Threads: GUI thread only.
class ParaHost {
 public:
  virtual ~ParaHost() = default;

  // A request is posted (after the connection window remembered its link settings, for the
  // codes that do), a refusal is shown in a message box, NoAction does nothing.
  virtual void submit(const BuildResult& result) = 0;
  // A message box over the window (field checks, file problems).
  virtual void showMessage(const QString& text) = 0;
  // A refused field: its page comes into view and the cursor goes into it, then its message is
  // shown. `field` is the control's name; when no control has it, only the message is shown.
  virtual void showRefusal(const QString& text, const QString& field) = 0;

  // The window's open-file dialog, with filter `filterIndex` (0 program/font files, 1 BMP)
  // preselected; `title` replaces the dialog's title when not null, else it keeps the last one.
  // Empty when cancelled.
  virtual QStringList chooseFilesToOpen(int filterIndex, const QString* title, bool several) = 0;
  // The window's save-file dialog; empty when cancelled.
  virtual QString chooseFileToSave() = 0;
  // Status panel 1: the file a transfer is about.
  virtual void setFilePanel(const QString& text) = 0;
  // Where 1.bin and 2.bin are built (beside debug.log).
  virtual std::string programDir() const = 0;
};

}  // namespace plenar
