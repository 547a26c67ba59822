// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace plenar {

class DropDownComboBox;

// The connection window's controls and layout, apart from what the window does with them (as a
// form uic generates would be). setupUi creates every control in the order of the window's
// table, each with its final parent and its objectName, so a language file sees them in that
// order; then it lays them out. The window owns the widgets (Qt parents); the form only points
// at them. Threads: GUI thread only.
class TFrmMainForm {
 public:
  void setupUi(QMainWindow* window);

  QGroupBox* groupBox1 = nullptr;
  QRadioButton* radioSerial = nullptr;
  QRadioButton* radioNetwork = nullptr;
  QRadioButton* radioUsb = nullptr;
  QRadioButton* radioParallel = nullptr;
  DropDownComboBox* comName = nullptr;
  QLabel* label1 = nullptr;
  QComboBox* devBauRate = nullptr;
  QLabel* label4 = nullptr;
  QComboBox* tranBauRate = nullptr;
  QLabel* label2 = nullptr;
  QComboBox* check = nullptr;
  QLineEdit* ipAddress = nullptr;
  QLabel* label3 = nullptr;
  QLineEdit* port = nullptr;
  QComboBox* usbDeviceList = nullptr;
  QComboBox* lpt = nullptr;
  QLabel* languageLabel = nullptr;
  QComboBox* language = nullptr;
  QLabel* tranMsg = nullptr;
  QPushButton* test = nullptr;
  QPushButton* setPara = nullptr;
  QPushButton* bootIn = nullptr;
  QPushButton* bootOut = nullptr;
  QPlainTextEdit* memo1 = nullptr;
  QLabel* statusPanel0 = nullptr;
  QLabel* statusPanel1 = nullptr;

 private:
  // The link group's controls; then language, link label, buttons and memo.
  void buildLinkControls(QWidget* central);
  void buildWindowControls(QWidget* central);
  void buildStatusBar(QMainWindow* window);
  void layOutLinkGroup();
  void layOutWindow(QWidget* central);
};

}  // namespace plenar
