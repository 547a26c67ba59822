// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ParaWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

namespace plenar::para {

namespace {

// A wheel turned over a list or spin box the user is not editing scrolls nothing and changes
// nothing: a printer setting must not change behind the user's back.
class WheelGuard : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel) {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && !w->hasFocus()) {
        event->ignore();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

void guardWheel(QWidget* w) {
  w->setFocusPolicy(Qt::StrongFocus);
  w->installEventFilter(new WheelGuard(w));
}

template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

QLabel* label(const char* name, const QString& text, QWidget* parent, QWidget* buddy) {
  auto* l = named(new QLabel(text, parent), name);
  // The buddy's accessible name is this label's text, whatever language it shows.
  if (buddy) l->setBuddy(buddy);
  return l;
}

QPushButton* button(const char* name, const QString& text, QWidget* parent) {
  auto* b = named(new QPushButton(text, parent), name);
  b->setAutoDefault(false);
  return b;
}

QGroupBox* group(const char* name, const QString& title, QWidget* parent) {
  return named(new QGroupBox(title, parent), name);
}

QCheckBox* checkBox(const char* name, const QString& text, bool checked, QWidget* parent) {
  auto* c = named(new QCheckBox(text, parent), name);
  c->setChecked(checked);
  return c;
}

QRadioButton* radio(const char* name, const QString& text, bool checked, QWidget* parent) {
  auto* r = named(new QRadioButton(text, parent), name);
  r->setChecked(checked);
  return r;
}

QGroupBox* radioGroup(const char* name, const QString& title, const QStringList& items, int checked,
                      int columns, QWidget* parent) {
  auto* g = group(name, title, parent);
  auto* grid = new QGridLayout(g);
  for (int i = 0; i < items.size(); ++i) {
    auto* r = new QRadioButton(items[i], g);
    r->setChecked(i == checked);
    grid->addWidget(r, i / columns, i % columns);
  }
  return g;
}

int checkedItem(const QGroupBox* group) {
  const auto buttons = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
  for (int i = 0; i < buttons.size(); ++i) {
    if (buttons[i]->isChecked()) return i;
  }
  return -1;
}

void checkItem(QGroupBox* group, int index) {
  const auto buttons = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
  if (index >= 0 && index < buttons.size()) {
    buttons[index]->setChecked(true);
    return;
  }
  for (QRadioButton* b : buttons) uncheck(b);
}

void setItemTexts(QGroupBox* group, const QStringList& texts) {
  const auto buttons = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
  for (int i = 0; i < buttons.size() && i < texts.size(); ++i) buttons[i]->setText(texts[i]);
}

void uncheck(QRadioButton* button) {
  button->setAutoExclusive(false);
  button->setChecked(false);
  button->setAutoExclusive(true);
}

QComboBox* list(const char* name, const QStringList& items, int current, QWidget* parent) {
  auto* c = named(new QComboBox(parent), name);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->addItems(items);
  c->setCurrentIndex(current);
  if (current < 0) c->setEditText(QString());
  guardWheel(c);
  return c;
}

QLineEdit* edit(const char* name, const QString& text, std::size_t maxChars, QWidget* parent) {
  auto* e = named(new QLineEdit(parent), name);
  if (maxChars > 0) e->setMaxLength(static_cast<int>(maxChars));
  e->setText(text);
  return e;
}

QSpinBox* spin(const char* name, int min, int max, int value, QWidget* parent) {
  auto* s = named(new QSpinBox(parent), name);
  s->setRange(min, max);
  s->setValue(value);
  guardWheel(s);
  return s;
}

QStringList optionTexts(OptionList list) {
  QStringList out;
  for (int i = 0; i < optionCount(list); ++i) out << QString::fromStdString(optionEntry(list, i));
  return out;
}

void acceptOnly(QLineEdit* edit, FieldFilter filter) {
  if (filter == FieldFilter::Any) return;
  const QString pattern =
      filter == FieldFilter::Digits ? QStringLiteral("[0-9]*") : QStringLiteral("[0-9.]*");
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
}

int selectedItem(const QComboBox* box) {
  const int index = box->currentIndex();
  if (index < 0) return -1;
  if (box->isEditable() && box->currentText() != box->itemText(index)) return -1;
  return index;
}

void selectMatching(QComboBox* box, const QString& text, bool fallbackToFirst) {
  for (int i = 0; i < box->count(); ++i) {
    if (box->itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
      box->setCurrentIndex(i);
      return;
    }
  }
  if (fallbackToFirst && box->count() > 0) {
    box->setCurrentIndex(0);
    return;
  }
  box->setCurrentIndex(-1);
  box->setEditText(QString());
}

void replaceItemTexts(QComboBox* box, const QStringList& texts) {
  const int selected = selectedItem(box);
  const QString freeText = box->currentText();
  for (int i = 0; i < box->count() && i < texts.size(); ++i) box->setItemText(i, texts[i]);
  if (selected >= 0) {
    box->setCurrentIndex(selected);
    box->setEditText(box->itemText(selected));
  } else {
    box->setEditText(freeText);
  }
}

}  // namespace plenar::para
