// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

class QGroupBox;
class QLineEdit;
class QListWidget;

namespace plenar {

class LogoPreview;

// Tab "程序下载": printer program update, font download, the NV logo list (download in two forms,
// print stored logos, with a preview of the selected image as printed) and reading printer
// memory back into a file.
class TabProgram : public ParaTab {
 public:
  explicit TabProgram(ParaHost& host, QWidget* parent = nullptr);
  void refresh() override;

  QStringList logoPaths() const;

 private:
  // The tab's groups, top to bottom, each with its controls, layout and actions.
  QGroupBox* programGroup();
  QGroupBox* fontGroup();
  QGroupBox* logoGroup();
  QGroupBox* readBackGroup();

  void updateProgram();
  void downloadFont();
  void readBack();
  void addLogos();
  void deleteLogos();
  void downloadLogos(bool raw);
  void printLogos();
  void showPreview();
  // Runs a file action; what it refuses (missing or unreadable file, bad field) becomes a message
  // box at its field, or at `field` when it names none.
  void guarded(const std::function<void()>& action, const QWidget* field);

  QLineEdit* programFile_;
  QLineEdit* waitTime_;
  QLineEdit* fontFile_;
  QLineEdit* fontAddress_;
  QListWidget* logos_;
  LogoPreview* preview_;
  QLineEdit* startAddress_;
  QLineEdit* readLength_;
};

}  // namespace plenar
