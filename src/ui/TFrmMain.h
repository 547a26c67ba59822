// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "engine/CommandResult.h"
#include "platform/ProgramPaths.h"
#include "ui/QtDispatcher.h"
#include "ui/QtReportWindow.h"
#include "ui/TFrmMainForm.h"

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QTimer;

namespace plenar {

class DropDownComboBox;
class Engine;
class TLptDeviceBox;
class TCommThread;

// The connection window "Plenar Setting Tool V1.0": the user picks a link (serial, network, USB,
// parallel) and its settings, tests it, opens the parameter window, and puts the printer into
// BOOT mode and out of it. It owns the engine and answers the worker's messages 1024 (printer
// found), 1025 (progress) and 1028 (link test failed).
// The window never waits for the printer: buttons post a command with a snapshot of the link
// settings and return; outcomes come back as messages. The one wait is the set-parameters
// button's, at most twenty 50 ms pauses in which events keep being processed.
// Threads: GUI thread only; the worker reaches it through its QtReportWindow and QtDispatcher.
class TFrmMain : public QMainWindow {
  Q_OBJECT

 public:
  struct Options {
    // One folder for sysconfig.ini, debug.log, the language files, 1.bin and 2.bin (as --dir);
    // empty means the folders ProgramPaths decides for this installation.
    std::string programDir;
    // Serial ports with hardware behind them; empty means the system's list.
    std::function<std::vector<std::string>()> serialPorts;
    // Selects this language instead of the stored one (screenshots).
    std::optional<int> language;
  };

  explicit TFrmMain(Options options = {}, QWidget* parent = nullptr);
  ~TFrmMain() override;

  Engine& engine() { return *engine_; }
  TCommThread& worker();
  // Where sysconfig.ini, debug.log, 1.bin, 2.bin and the language files are kept.
  const ProgramPaths& paths() const { return paths_; }
  // The folder of sysconfig.ini.
  const std::string& programDir() const { return paths_.configDir; }
  // The receiver of worker messages for this window; the parameter window hands the worker back
  // to it when it closes.
  ReportWindow& reportWindow() { return report_; }

  // Set by message 1024, cleared by 1028, the test button, a radio click and the parameter
  // window's closing.
  bool connectedFlag() const { return connected_; }
  // The link settings as last remembered by a button (the window state the worker is given).
  const LinkSnapshot& rememberedLink() const { return remembered_; }
  // The link a request is posted with: the remembered settings, the chosen link and the rate
  // boxes as shown now (typed text included; the worker parses them).
  LinkSnapshot linkSnapshot() const;
  const std::vector<std::string>& usbFilterList() const { return usbFilterList_; }

  // Replaces the USB device entries. `selectFirst` selects the first entry when there is one;
  // with no entries the text becomes empty.
  void setUsbDevices(const QStringList& entries, bool selectFirst);
  // Replaces the parallel port entries ("LPT1", ...) and selects `selected` if listed.
  void setParallelPorts(const QStringList& names, const QString& selected);

  // Posts a request of the parameter window over the link this window shows. Codes whose action
  // first makes the window remember its link settings do so. False when nothing was posted (the
  // worker runs a command, or a rate box holds no number). `done` gets the worker's result.
  bool postParameterRequest(CommandRequest request, CommandCompletion done = {});

  // Runs the parameter window modally (it returns when that window has closed). Without one, a
  // successful set-parameters press writes MainDefault and stops there.
  void setParameterWindowOpener(std::function<void()> opener);
  // The parameter window has closed: this window is shown again, reports come here again, and
  // the next set-parameters press tests the link again.
  void parameterWindowClosed();

  // The printer now answers on `link`: an apply or a setting of the parameter window changed its
  // device rate, network address or USB type. The link controls show it, the next link test
  // and request use it, and a new address is stored for the next start. nullopt: the printer left
  // its USB link to show up as a USB virtual serial port; the serial link is chosen, with the port
  // list as it is now.
  void followLink(const std::optional<LinkSnapshot>& link);

  // Applies the language of `index` (1 English, else Chinese) to every window, the option lists
  // and the shared texts, then shows the link label in that language.
  void applyLanguageIndex(int index);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The boot tick and the set-parameters pause.
  void createTimers();
  void connectSignals();
  void readSettings();
  // Shows English instead of the `chosen` language when no installed font draws the Chinese
  // texts (a build run from its folder, a system without a CJK font), and says so once.
  void fallBackToEnglishWithoutFont(int chosen);
  void createEngine();

  // Window actions.
  void fillSerialPortList();
  void fillParallelPortList();
  void runShowHandler();
  void onLanguageChanged();
  void onRadioClicked(LinkKind kind);
  void onTestClicked();
  void onSetParaClicked();
  // A pause of the wait for the link test before the parameter window opens has passed.
  void setParaPauseEnded();
  void openParameterWindow();
  void onBootInClicked();
  void onBootOutClicked();
  void onTimerTick();
  // The worker's progress view (message 1025).
  void handleWorkerMessage(int msg, std::intptr_t wParam);
  // Posts the link test of the chosen link; its result sets the connected state.
  void postLinkTest();
  void linkTested(const CommandResult& result);

  // Takes the chosen link's settings from the controls. Returns the conversion error text when a
  // rate box does not hold a decimal number (the serial link only); the other links' values are
  // kept as they were.
  std::optional<QString> rememberLinkSettings();
  LinkKind chosenLink() const;
  int chosenLinkIndex() const;
  void showTransModeLabel();
  bool postCommand(int code, CommandCompletion done = {});
  bool postRequest(CommandRequest request, CommandCompletion done = {});
  void setBootControlsEnabled(bool enabled);
  // `detail`, when given, is the message box's detail text (why a port would not open).
  void showMessage(int icon, const QString& text, const QString& detail = {});

  // ---- controls; objectNames as the language files address them ----
  // The form creates and lays them out; the names below are its members under the window's
  // own names.
  TFrmMainForm form_;
  QGroupBox*& groupBox1_ = form_.groupBox1;
  QRadioButton*& radioSerial_ = form_.radioSerial;
  QRadioButton*& radioNetwork_ = form_.radioNetwork;
  QRadioButton*& radioUsb_ = form_.radioUsb;
  QRadioButton*& radioParallel_ = form_.radioParallel;
  DropDownComboBox*& comName_ = form_.comName;
  QLabel*& label1_ = form_.label1;
  QComboBox*& devBauRate_ = form_.devBauRate;
  QLabel*& label4_ = form_.label4;
  QComboBox*& tranBauRate_ = form_.tranBauRate;
  QLabel*& label2_ = form_.label2;
  QComboBox*& check_ = form_.check;
  QLineEdit*& ipAddress_ = form_.ipAddress;
  QLabel*& label3_ = form_.label3;
  QLineEdit*& port_ = form_.port;
  QComboBox*& usbDeviceList_ = form_.usbDeviceList;
  QComboBox*& lpt_ = form_.lpt;
  QLabel*& languageLabel_ = form_.languageLabel;
  QComboBox*& language_ = form_.language;
  QLabel*& tranMsg_ = form_.tranMsg;
  QPushButton*& test_ = form_.test;
  QPushButton*& setPara_ = form_.setPara;
  QPushButton*& bootIn_ = form_.bootIn;
  QPushButton*& bootOut_ = form_.bootOut;
  QPlainTextEdit*& memo1_ = form_.memo1;
  QLabel*& statusPanel0_ = form_.statusPanel0;
  QLabel*& statusPanel1_ = form_.statusPanel1;
  QTimer* timer1_ = nullptr;
  QTimer* setParaPause_ = nullptr;

  // ---- window state ----
  Options options_;
  ProgramPaths paths_;
  std::vector<std::string> usbFilterList_;
  LinkSnapshot remembered_;
  bool connected_ = false;
  int waitCounter_ = 0;
  bool inSetParaWait_ = false;
  bool closing_ = false;
  // The stored language while the window shows English because no font draws the Chinese
  // texts: written back in its place, until the user picks a language.
  std::optional<int> storedLanguage_;
  std::function<void()> parameterWindowOpener_;

  // Destroyed in reverse order: the engine goes first, while the report window (closed by then)
  // and the dispatcher it posts to still exist.
  QtDispatcher dispatcher_;
  QtReportWindow report_;
  // cbb_Lpt's list of the ports of the engine's parallel channel (LptChannel1); the engine's
  // channel tells it when it goes.
  std::unique_ptr<TLptDeviceBox> lptBox_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace plenar
