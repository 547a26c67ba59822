#include <QApplication>
#include <QLabel>

#include "app/Engine.h"
#include "app/Language.h"
#include "app/MainDefault.h"
#include "app/ProgramDir.h"
#include "platform/IniFile.h"
#include "ui/QtDispatcher.h"
#include "ui/QtReportWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string dir = plenar::executableDir();
  auto settings = plenar::readMainDefault(plenar::IniFile(plenar::pathIn(dir, plenar::kSettingsFileName)));
  plenar::applyLanguageTexts(dir, settings.language);

  QLabel window(QStringLiteral("Plenar Setting Tool V1.0"));
  window.setWindowTitle(QStringLiteral("Plenar Setting Tool V1.0"));
  window.setMinimumSize(600, 200);
  window.setAlignment(Qt::AlignCenter);
  plenar::QtDispatcher dispatcher(&window);
  plenar::QtReportWindow report(&window, [](int, std::intptr_t) {});
  plenar::Engine engine(dir, report, dispatcher);
  window.show();
  return app.exec();
}
