// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/para/ParaTab.h"

namespace plenar {

// Tab "黑标": black-mark mode on and off, search distance, mark width, feed before the cut,
// finding the mark (and cutting), and the black-mark test page.
class TabBlackMark : public ParaTab {
 public:
  explicit TabBlackMark(ParaHost& host, QWidget* parent = nullptr);
};

}  // namespace plenar
