#include "ui/DropDownComboBox.h"

namespace plenar {

void DropDownComboBox::showPopup() {
  emit aboutToDropDown();
  QComboBox::showPopup();
}

}  // namespace plenar
