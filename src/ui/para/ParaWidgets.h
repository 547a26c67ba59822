// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <string_view>

#include "requests/FieldLimits.h"
#include "shared/SharedTexts.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace plenar::para {

// Factories for the parameter window's controls. Every control gets its objectName (the
// language files and sysconfig.ini address it by name) and its final parent at creation, so
// creation order is the order a language file and the tab key walk them.

QLabel* label(const char* name, const QString& text, QWidget* parent, QWidget* buddy = nullptr);
QPushButton* button(const char* name, const QString& text, QWidget* parent);
QGroupBox* group(const char* name, const QString& title, QWidget* parent);
QCheckBox* checkBox(const char* name, const QString& text, bool checked, QWidget* parent);
QRadioButton* radio(const char* name, const QString& text, bool checked, QWidget* parent);

// A titled group of radio buttons laid out in `columns` columns (the items have no names of
// their own: the option lists give their texts).
QGroupBox* radioGroup(const char* name, const QString& title, const QStringList& items, int checked,
                      int columns, QWidget* parent);
// The checked item of a radio group, -1 when none is.
int checkedItem(const QGroupBox* group);
// Checks item `index`; an index the group does not have leaves every item unchecked.
void checkItem(QGroupBox* group, int index);
void setItemTexts(QGroupBox* group, const QStringList& texts);
// Unchecks a radio button that is exclusive with its siblings.
void uncheck(QRadioButton* button);

// An editable list: the user picks an item or types free text. `current` -1 leaves no item
// selected (with an empty text).
QComboBox* list(const char* name, const QStringList& items, int current, QWidget* parent);
// `maxChars` 0: no limit of its own (the field limits are requests/FieldLimits.h's).
QLineEdit* edit(const char* name, const QString& text, std::size_t maxChars, QWidget* parent);
QSpinBox* spin(const char* name, int min, int max, int value, QWidget* parent);

// The current language's texts of an option list.
QStringList optionTexts(OptionList list);
// Fixed item texts (rates, code pages, fonts).
template <std::size_t N>
QStringList texts(const std::array<std::string_view, N>& items) {
  QStringList out;
  for (auto item : items)
    out << QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()));
  return out;
}

// The characters an edit accepts (requests/FieldLimits.h, shared with plenar and the profiles);
// anything else typed or pasted is dropped.
void acceptOnly(QLineEdit* edit, FieldFilter filter);

// The item the user picked: -1 when the list shows free text (typed, or set from a stored text
// that matched no item) or nothing.
int selectedItem(const QComboBox* box);
// Selects the first item whose text matches `text` without regard to case; when none does,
// item 0 if `fallbackToFirst`, else no item and an empty text.
void selectMatching(QComboBox* box, const QString& text, bool fallbackToFirst);
// Replaces the item texts one by one, keeping the selection (and the free text when none).
void replaceItemTexts(QComboBox* box, const QStringList& texts);

}  // namespace plenar::para
