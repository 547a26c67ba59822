// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LanguageApplier.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>
#include <optional>

#include "app/Language.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"

namespace plenar {

namespace {

// The tab widget whose page `w` is, with the page's index.
std::optional<std::pair<QTabWidget*, int>> tabOf(QWidget* w) {
  auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
  if (!stack) return std::nullopt;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  if (!tabs) return std::nullopt;
  int index = tabs->indexOf(w);
  if (index < 0) return std::nullopt;
  return std::make_pair(tabs, index);
}

// The text a control shows as its own; nullopt for widgets that have none (memos, plain lists,
// containers).
std::optional<QString> ownText(QWidget* w) {
  if (auto tab = tabOf(w)) return tab->first->tabText(tab->second);
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) {
    if (c->isEditable()) return c->currentText();
    return std::nullopt;
  }
  if (auto* s = qobject_cast<QSpinBox*>(w)) return QString::number(s->value());
  return std::nullopt;
}

void setOwnText(QWidget* w, const QString& text) {
  if (auto tab = tabOf(w)) {
    tab->first->setTabText(tab->second, text);
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    c->setEditText(text);
  } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
    bool ok = false;
    int v = text.toInt(&ok);
    if (ok) s->setValue(v);
  }
}

QString read(const IniDocument& doc, const std::string& section, const QString& key,
             const QString& current) {
  std::string value = doc.readString(section, key.toStdString(), current.toStdString());
  return QString::fromStdString(value);
}

}  // namespace

void applyWindowLanguage(QWidget* window, const IniDocument& doc) {
  const std::string section = window->objectName().toStdString();
  if (section.empty()) return;
  if (!window->windowTitle().isEmpty()) {
    window->setWindowTitle(read(doc, section, QStringLiteral("Caption"), window->windowTitle()));
  }
  // Children come in creation order, each parent before its own children. Widgets without a name
  // and Qt's own parts ("qt_..." inside combo boxes, spin boxes and tab widgets) are not
  // controls of the window.
  const QList<QWidget*> controls = window->findChildren<QWidget*>();
  for (QWidget* w : controls) {
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
    if (auto text = ownText(w); text && !text->isEmpty()) {
      setOwnText(w, read(doc, section, name + QLatin1String(".Caption"), *text));
    }
    if (!w->toolTip().isEmpty()) {
      w->setToolTip(read(doc, section, name + QLatin1String(".Hint"), w->toolTip()));
    }
  }
}

void applyLanguage(const IniDocument& doc) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName().startsWith(QLatin1String("Frm"))) applyWindowLanguage(top, doc);
  }
  applyLanguageTexts(doc);
}

void applyLanguage(const std::string& programDir, int index) {
  applyLanguage(IniFile(pathIn(programDir, languageFileName(index))).load());
}

}  // namespace plenar
