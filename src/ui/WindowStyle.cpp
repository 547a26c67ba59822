// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowStyle.h"

#include <QFont>
#include <QWidget>

namespace plenar {

void applyWindowStyle(QWidget* window, Qt::WindowType kind) {
  window->setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint);
  QFont f = window->font();
  f.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"),
                 QStringLiteral("WenQuanYi Micro Hei")});
  window->setFont(f);
}

}  // namespace plenar
