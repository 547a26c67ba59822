// SPDX-License-Identifier: GPL-3.0-or-later
// Every field of the parameter window that holds a number key takes that key's row (KeyValues):
// a spin box its range, an edit its length and, in its hint, its range.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSpinBox>

#include "FrmParaFixture.h"
#include "profile/KeyValues.h"
#include "profile/ParaKeys.h"

namespace plenar {
namespace {

class KeyFields : public uitest::FrmParaFixture {};

TEST_F(KeyFields, SpinBoxesAndNumberEditsTakeTheirKeysRows) {
  openPara();
  int spins = 0, edits = 0;
  for (const ParaKey& k : paraKeys()) {
    const KeyValues* row = keyValuesOf(k.key);
    if (!row || row->max <= row->min || !k.control) continue;
    SCOPED_TRACE(std::string(k.key) + " " + k.control);
    auto* widget = para().findChild<QWidget*>(QString::fromUtf8(k.control));
    ASSERT_NE(widget, nullptr);
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
      ++spins;
      EXPECT_EQ(spin->minimum(), row->min);
      EXPECT_EQ(spin->maximum(), row->max);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      ++edits;
      if (row->maxChars) {
        EXPECT_EQ(edit->maxLength(), static_cast<int>(row->maxChars));
      }
      // The Ethernet port's edit has no hint; the black-mark edits name their range.
      if (row->form == ValueForm::Edit) {
        EXPECT_TRUE(edit->toolTip().contains(QString::number(row->min)) &&
                    edit->toolTip().contains(QString::number(row->max)))
            << edit->toolTip().toStdString();
      }
    } else {
      ADD_FAILURE() << "neither a spin box nor an edit";
    }
  }
  EXPECT_EQ(spins, 3);  // sleep, power-off, retraction
  EXPECT_EQ(edits, 4);  // the Ethernet port, the black-mark distance, width and cutter feed
}

}  // namespace
}  // namespace plenar
