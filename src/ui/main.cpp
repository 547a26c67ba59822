// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "engine/TCommThread.h"
#include "platform/BuildInfo.h"
#include "platform/FolderOwners.h"
#include "platform/SafeFiles.h"
#include "platform/TerminationSignals.h"
#include "ui/TFrmMain.h"
#include "ui/TFrmPara.h"

// Start-up: the application object, then the connection window (its creation handler reads
// sysconfig.ini, creates the worker with its channels and fills the port lists), then the message
// loop; showing the window applies the language. Closing the window ends the loop, and the
// window's destruction stops the worker and the channels before the process ends.
//
// --dir=DIR keeps every file in DIR, as `plenar --dir` does. Two options exist for documentation
// and checks only: --language=N shows the window in that language instead of the stored one,
// --screenshot=FILE saves the window as a PNG and exits.
int main(int argc, char** argv) {
  // Before Qt starts its threads: SIGTERM, SIGINT and SIGHUP stop the worker's waits and end the
  // message loop, so the windows and the engine close as when the window is closed.
  plenar::installTerminationHandler([](int) {
    plenar::TCommThread::requestStopAll();
    if (QCoreApplication* running = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(
          running, [] { QApplication::quit(); }, Qt::QueuedConnection);
    }
  });
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Plenar Setting Tool"));
  QApplication::setApplicationVersion(QString::fromLatin1(plenar::buildVersion()));
  // Matches the installed desktop entry, so the window is grouped under its menu entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.plenar.settingtool"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromLatin1(plenar::kProductName));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption dir(QStringLiteral("dir"),
                         QStringLiteral("Keep sysconfig.ini, debug.log, the language files, 1.bin "
                                        "and 2.bin in DIR."),
                         QStringLiteral("DIR"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                QStringLiteral("Save the connection window to FILE and exit."),
                                QStringLiteral("FILE"));
  QCommandLineOption language(QStringLiteral("language"),
                              QStringLiteral("Language index: 0 Chinese, 1 English."),
                              QStringLiteral("N"));
  QCommandLineOption parameterTab(
      QStringLiteral("parameter-tab"),
      QStringLiteral("With --screenshot: show the parameter window at tab N (from 0) instead."),
      QStringLiteral("N"));
  QCommandLineOption batchDialog(
      QStringLiteral("batch-dialog"),
      QStringLiteral("With --screenshot: show the batch bench dialog of the parameter window."));
  parser.addOptions({dir, screenshot, language, parameterTab, batchDialog});
  parser.process(app);

  plenar::TFrmMain::Options options;
  if (parser.isSet(language)) options.language = parser.value(language).toInt();
  if (parser.isSet(dir)) options.programDir = parser.value(dir).toStdString();
  // The window keeps sysconfig.ini (with the printers' passwords), debug.log, 1.bin and 2.bin
  // there: never in a folder where another user could put a link in their place.
  const std::string unsafe = plenar::unsafeProgramFolders(
      options.programDir.empty()
          ? plenar::programPaths()
          : plenar::ProgramPaths::inFolder(options.programDir, plenar::ProgramPaths::Mode::Chosen));
  if (!unsafe.empty()) {
    std::fprintf(stderr, "plenar-setting-tool: %s\n", unsafe.c_str());
    if (!parser.isSet(screenshot)) {
      QMessageBox::critical(nullptr, QApplication::applicationName(),
                            QString::fromStdString(unsafe));
    }
    return 73;  // the program's own files cannot be created there
  }
  plenar::TFrmMain window(options);
  // Created once and kept for the whole run (its logo list lives as long); destroyed before the
  // connection window, whose worker it reports to.
  plenar::TFrmPara parameters(window);
  window.setParameterWindowOpener([&parameters] { parameters.showModal(); });
  window.show();

  if (parser.isSet(screenshot)) {
    const QString file = parser.value(screenshot);
    QWidget* shown = &window;
    if (parser.isSet(parameterTab)) {
      window.hide();
      parameters.showModal();
      if (auto* tabs = parameters.findChild<QTabWidget*>(QStringLiteral("PageControl1"))) {
        tabs->setCurrentIndex(parser.value(parameterTab).toInt());
      }
      shown = &parameters;
    }
    if (parser.isSet(batchDialog)) {
      window.hide();
      parameters.showModal();
      if (auto* batch = parameters.findChild<QAbstractButton*>(QStringLiteral("btn_Batch"))) {
        batch->click();
      }
      if (auto* dialog = parameters.findChild<QDialog*>(QStringLiteral("FrmBatch"))) shown = dialog;
    }
    // Let the layout settle and the first paint happen before grabbing.
    QTimer::singleShot(500, shown, [shown, file] {
      // Through the program's own writer: never through a link or over another user's file.
      QByteArray png;
      QBuffer buffer(&png);
      const bool saved =
          buffer.open(QIODevice::WriteOnly) && shown->grab().save(&buffer, "PNG") &&
          plenar::saveOutputFile(file.toStdString(), std::string_view(png.constData(), png.size()));
      if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      QApplication::exit(saved ? 0 : 1);
    });
  }
  int rc = app.exec();
  if (int signal = plenar::terminationSignal()) return 128 + signal;
  return rc;
}
