// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FontCoverage.h"

#include <QFont>
#include <QFontDatabase>
#include <QRawFont>
#include <QSet>
#include <QStringList>

#include "platform/IniFile.h"

namespace plenar {

namespace {

// Fonts that claim the writing system come first: one of them usually draws every character,
// and the rest are asked only for what is still missing.
QStringList candidateFamilies(const QList<char32_t>& missing) {
  QStringList families;
  bool han = false;
  for (char32_t c : missing) han = han || QChar::script(c) == QChar::Script_Han;
  if (han) families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  for (const QString& family : QFontDatabase::families()) {
    if (!families.contains(family)) families.append(family);
  }
  return families;
}

}  // namespace

QString charactersWithoutFont(const QString& text) {
  QList<char32_t> missing;
  QSet<char32_t> seen;
  for (char32_t c : text.toUcs4()) {
    if (c < 0x80 || QChar::isSpace(c) || seen.contains(c)) continue;
    seen.insert(c);
    missing.append(c);
  }
  if (missing.isEmpty()) return {};
  for (const QString& family : candidateFamilies(missing)) {
    QFont font(family);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) continue;
    missing.removeIf([&raw](char32_t c) { return raw.supportsCharacter(c); });
    if (missing.isEmpty()) return {};
  }
  return QString::fromUcs4(missing.constData(), missing.size());
}

QString languageFileCharacters(const std::string& path) {
  QString all;
  QSet<char32_t> seen;
  for (const IniDocument::Entry& entry : IniFile(path).load().entries()) {
    for (char32_t c : QString::fromStdString(entry.value).toUcs4()) {
      if (seen.contains(c)) continue;
      seen.insert(c);
      all.append(QString::fromUcs4(&c, 1));
    }
  }
  return all;
}

}  // namespace plenar
