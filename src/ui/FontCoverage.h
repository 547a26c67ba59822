// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

namespace plenar {

// The characters of `text` (each once, in order) that no installed font can draw: Qt would paint
// them as empty boxes. ASCII is taken as drawable. Needs the application object (the font
// database).
QString charactersWithoutFont(const QString& text);

// Every character the values of a language file show, each once; empty when the file cannot be
// read.
QString languageFileCharacters(const std::string& path);

}  // namespace plenar
