// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

class QWidget;

namespace plenar {

class IniDocument;

// Language files address a window by its objectName (the section, e.g. "FrmMain") and its
// controls by theirs: "<name>.Caption" replaces the text a control shows as its own (button,
// label, group box title, line edit or editable combo box text, spin box value, tab title of a
// tab page), "<name>.Hint" its tool tip, "Caption" the window title. A text or tool tip that is
// empty is never filled, and a key the file lacks keeps the current text.
// Threads: GUI thread only.
void applyWindowLanguage(QWidget* window, const IniDocument& doc);

// Applies the language file of `index` ("English.lng" for 1, "Chinese.lng" otherwise) in
// `programDir` to every top-level window whose objectName starts with "Frm" (shown or not), then
// to the option-name lists and the keyed shared texts. A missing file changes nothing.
void applyLanguage(const std::string& programDir, int index);
void applyLanguage(const IniDocument& doc);

}  // namespace plenar
