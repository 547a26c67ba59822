// SPDX-License-Identifier: GPL-3.0-or-later
// How late the GUI thread runs a 1 ms timer while the parameter window downloads a 64 KiB font
// to plenar-printer-sim, over UDP loopback and over a pseudo-terminal paced at 115200 bit/s.
// Every tick's lateness (time since the previous tick minus 1 ms) is collected from the click
// until the worker reports the outcome (over UDP, twenty downloads back to back); p50, p99 and max
// are printed with p99 over the 16 ms of one frame at 60 Hz (target: below 1).
//
// usage: bench_ui [--size BYTES] [--udp-only | --serial-only]   (runs on the offscreen platform)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "engine/TCommThread.h"
#include "ui/TFrmMain.h"
#include "ui/TFrmPara.h"

using namespace plenar;

namespace {

constexpr double kFrameBudgetMs = 16.0;

struct Result {
  double p50 = 0, p99 = 0, max = 0;
  std::size_t ticks = 0;
  double seconds = 0;
  bool ok = false;
};

template <class T>
T* find(QWidget& w, const char* name) {
  return w.findChild<T*>(QString::fromLatin1(name));
}

Result measure(bool serial, int size, int repeats) {
  test::SimProcess::Options options;
  options.serial = serial;
  options.udp = !serial;
  options.baud = 115200;
  if (serial) options.extraArgs = {"--pace"};
  test::SimProcess sim(options);

  QTemporaryDir dir;
  const QString fontPath = dir.filePath(QStringLiteral("font.bin"));
  {
    QFile f(fontPath);
    if (!f.open(QIODevice::WriteOnly)) return {};
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
    f.write(bytes);
  }

  TFrmMain::Options mainOptions;
  mainOptions.programDir = dir.path().toStdString();
  TFrmMain main(mainOptions);
  TFrmPara para(main);
  main.show();
  if (serial) {
    find<QRadioButton>(main, "RadioButton1")->setChecked(true);
    find<QComboBox>(main, "cbb_Comname")->setEditText(QString::fromStdString(sim.serialPath()));
    find<QComboBox>(main, "cbb_DevBauRate")->setEditText(QStringLiteral("115200"));
    find<QComboBox>(main, "cbb_TranBauRate")->setEditText(QStringLiteral("115200"));
  } else {
    find<QRadioButton>(main, "RadioButton2")->setChecked(true);
    find<QLineEdit>(main, "edt_Ipaddress")->setText(QString::fromStdString(sim.udpHost()));
    find<QLineEdit>(main, "edt_Port")->setText(QString::number(sim.udpPort()));
  }
  main.hide();
  para.showModal();
  find<QLineEdit>(para, "edt_FontFile")->setText(fontPath);
  find<QLineEdit>(para, "edt_FontAddress")->setText(QStringLiteral("10000"));

  std::vector<double> lateness;
  QElapsedTimer clock;
  qint64 last = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    lateness.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - 1.0));
    last = now;
  });

  clock.start();
  tick.start();
  // The timer settles first; then the downloads run back to back, each started by a click.
  QTest::qWait(50);
  lateness.clear();
  Result r;
  r.ok = true;
  QElapsedTimer limit;
  limit.start();
  for (int i = 0; i < repeats && r.ok; ++i) {
    QTest::mouseClick(find<QPushButton>(para, "btn_UpdateFont"), Qt::LeftButton);
    while (para.commandRunning() && limit.elapsed() < 300000) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    r.ok = !para.commandRunning();
  }
  tick.stop();
  r.seconds = static_cast<double>(limit.elapsed()) / 1e3;
  para.close();
  if (lateness.empty()) return r;
  std::sort(lateness.begin(), lateness.end());
  auto at = [&](double q) {
    return lateness[std::min(lateness.size() - 1, static_cast<std::size_t>(q * lateness.size()))];
  };
  r.p50 = at(0.50);
  r.p99 = at(0.99);
  r.max = lateness.back();
  r.ticks = lateness.size();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int size = 64 * 1024;
  bool udp = true, serial = true;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--size") && i + 1 < argc) size = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--udp-only")) serial = false;
    if (!std::strcmp(argv[i], "--serial-only")) udp = false;
  }
  std::printf("GUI thread lateness of a 1 ms timer during a %d-byte font download\n", size);
  std::printf("%-28s %8s %8s %8s %8s %8s %10s\n", "link", "seconds", "ticks", "p50 ms", "p99 ms",
              "max ms", "p99/16ms");
  int failures = 0;
  for (bool overSerial : {false, true}) {
    if ((overSerial && !serial) || (!overSerial && !udp)) continue;
    // A download over loopback takes a few milliseconds: twenty of them give enough ticks.
    Result r = measure(overSerial, size, overSerial ? 1 : 20);
    if (!r.ok) ++failures;
    std::printf("%-28s %8.2f %8zu %8.3f %8.3f %8.3f %10.3f%s\n",
                overSerial ? "serial (paced, 115200)" : "UDP loopback", r.seconds, r.ticks, r.p50,
                r.p99, r.max, r.p99 / kFrameBudgetMs, r.ok ? "" : "  (did not finish)");
  }
  return failures == 0 ? 0 : 1;
}
