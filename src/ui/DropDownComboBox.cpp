// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DropDownComboBox.h"

namespace plenar {

void DropDownComboBox::showPopup() {
  emit aboutToDropDown();
  QComboBox::showPopup();
}

}  // namespace plenar
