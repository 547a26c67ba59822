// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSpinBox>
#include <QString>

#include "profile/KeyValues.h"
#include "ui/para/ParaWidgets.h"

namespace plenar::para {

// A spin box for a number key: its range is the key's row (KeyValues), the one the profile and
// the command line take. `value` is the design value shown before the stored one is read.
inline QSpinBox* keySpin(const char* key, const char* name, int value, QWidget* parent) {
  const KeyValues& row = *keyValuesOf(key);
  return spin(name, static_cast<int>(row.min), static_cast<int>(row.max), value, parent);
}

// The hint of an edit that holds a number of the key's row: "值在400~4000".
inline QString rangeHint(const char* key, QChar separator = QChar(u'~')) {
  const KeyValues& row = *keyValuesOf(key);
  return QStringLiteral("值在%1%2%3").arg(row.min).arg(separator).arg(row.max);
}

}  // namespace plenar::para
