// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ParaDefault.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <string>

#include "platform/IniFile.h"
#include "profile/ParaKeys.h"
#include "shared/SharedTexts.h"
#include "ui/QtText.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/TabBluetooth.h"

namespace plenar {

namespace {

template <class T>
T* control(const QWidget* window, const char* name) {
  return window->findChild<T*>(QString::fromLatin1(name));
}

// The text of an edit or spin box.
QString textOf(const QWidget* w) {
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* s = qobject_cast<const QSpinBox*>(w)) return s->text();
  return {};
}

void setTextOf(QWidget* w, const QString& text) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(text);
  } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
    // A stored text that is no number in range leaves the value as it was.
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok && value >= s->minimum() && value <= s->maximum()) s->setValue(value);
  }
}

void loadField(QWidget* window, const IniDocument& doc, const ParaKey& f) {
  const std::string def = paraKeyDefault(f);
  switch (f.kind) {
    case ParaKind::SameKey:
      if (auto* e = control<QLineEdit>(window, f.control)) {
        e->setText(qs(doc.readString(kParaSection, f.key, e->text().toStdString())));
      }
      break;
    case ParaKind::ListOrNone:
    case ParaKind::ListOrFirst:
      if (auto* box = control<QComboBox>(window, f.control)) {
        para::selectMatching(box, qs(doc.readString(kParaSection, f.key, def)),
                             f.kind == ParaKind::ListOrFirst);
      }
      break;
    case ParaKind::Bool:
      if (auto* box = control<QCheckBox>(window, f.control)) {
        box->setChecked(doc.readBool(kParaSection, f.key, def == "1"));
      }
      break;
    case ParaKind::Text:
      if (QWidget* w = control<QWidget>(window, f.control)) {
        setTextOf(w, qs(doc.readString(kParaSection, f.key, def)));
      }
      break;
    case ParaKind::RadioGroup:
      if (auto* group = control<QGroupBox>(window, f.control)) {
        para::checkItem(group, doc.readInt(kParaSection, f.key, std::stoi(def)));
      }
      break;
    case ParaKind::RadioPair: {
      const int value = doc.readInt(kParaSection, f.key, std::stoi(def));
      auto* first = control<QRadioButton>(window, f.control);
      auto* second = control<QRadioButton>(window, f.second);
      if (value == 0 && first) first->setChecked(true);
      if (value == 1 && second) second->setChecked(true);
      break;
    }
    case ParaKind::Memo:
      if (auto* memo = control<QPlainTextEdit>(window, f.control)) {
        const int count = doc.readInt(kParaSection, f.key, 0);
        QStringList lines;
        for (int i = 1; i <= count; ++i) {
          lines << qs(doc.readString(kParaSection, kMemoLineKey + std::to_string(i), ""));
        }
        memo->setPlainText(lines.join(QLatin1Char('\n')));
      }
      break;
    case ParaKind::Mac: {
      const QString mac = qs(doc.readString(kParaSection, f.key, def));
      for (int i = 0; i < 6; ++i) {
        if (auto* box = control<QLineEdit>(window, kMacBoxes[i])) box->setText(mac.mid(i * 2, 2));
      }
      break;
    }
  }
}

void saveField(const QWidget* window, IniDocument& doc, const ParaKey& f) {
  auto write = [&](const std::string& key, const QString& value) {
    doc.writeString(kParaSection, key, value.toStdString());
  };
  switch (f.kind) {
    case ParaKind::ListOrNone:
    case ParaKind::ListOrFirst:
      if (auto* box = control<QComboBox>(window, f.control)) write(f.key, box->currentText());
      break;
    case ParaKind::Bool:
      if (auto* box = control<QCheckBox>(window, f.control)) {
        write(f.key, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
      }
      break;
    case ParaKind::Text:
    case ParaKind::SameKey:
      if (QWidget* w = control<QWidget>(window, f.control)) write(f.key, textOf(w));
      break;
    case ParaKind::RadioGroup:
      if (auto* group = control<QGroupBox>(window, f.control)) {
        doc.writeInt(kParaSection, f.key, para::checkedItem(group));
      }
      break;
    case ParaKind::RadioPair: {
      auto* first = control<QRadioButton>(window, f.control);
      auto* second = control<QRadioButton>(window, f.second);
      // Neither checked (only after a stored value other than 0 and 1) is kept as 2, which
      // loads as "change nothing" again.
      int value = 2;
      if (first && first->isChecked()) value = 0;
      if (second && second->isChecked()) value = 1;
      doc.writeInt(kParaSection, f.key, value);
      break;
    }
    case ParaKind::Memo:
      if (auto* memo = control<QPlainTextEdit>(window, f.control)) {
        const QStringList lines = memoLines(memo);
        doc.writeInt(kParaSection, f.key, static_cast<int>(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i) {
          write(kMemoLineKey + std::to_string(i + 1), lines[i]);
        }
      }
      break;
    case ParaKind::Mac: {
      QString mac;
      for (const char* name : kMacBoxes) {
        if (auto* box = control<QLineEdit>(window, name)) mac += box->text();
      }
      write(f.key, mac);
      break;
    }
  }
}

}  // namespace

void loadParaDefault(QWidget* window, const IniDocument& doc) {
  for (const ParaKey& f : paraKeys()) loadField(window, doc, f);
}

void saveParaDefault(const QWidget* window, IniDocument& doc) {
  for (const ParaKey& f : paraKeys()) saveField(window, doc, f);
}

void saveParaDefault(const QWidget* window, IniDocument& doc,
                     const std::function<bool(std::string_view key)>& include) {
  for (const ParaKey& f : paraKeys()) {
    if (include(f.key)) saveField(window, doc, f);
  }
}

}  // namespace plenar
