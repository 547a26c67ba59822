// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qt>

class QWidget;

namespace plenar {

// The look both windows share: system menu and minimise box (no maximise box), and Verdana where
// it is installed, with Chinese captions taking their glyphs from the CJK font.
void applyWindowStyle(QWidget* window, Qt::WindowType kind);

}  // namespace plenar
