// SPDX-License-Identifier: GPL-3.0-or-later
// plenar-man-pages OUTDIR LANGDIR SECTIONS VERSION: writes plenar.1 and plenar-profile.5 from the
// command and key tables the program uses (a build step; not installed).

#include <cstdio>
#include <fstream>

#include "Pages.h"
#include "Roff.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: plenar-man-pages OUTDIR LANGDIR SECTIONS VERSION\n");
    return 64;
  }
  const std::string out = argv[1], lang = argv[2], sections = argv[3], version = argv[4];
  const plenar::IniDocument english = plenar::IniFile(lang + "/English.lng").load();
  const std::pair<std::string, std::string> pages[] = {
      {out + "/plenar.1", plenar::man::plenarPage(version, plenar::man::readSections(sections))},
      {out + "/plenar-profile.5", plenar::man::profilePage(version, english)},
  };
  for (const auto& [path, text] : pages) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << plenar::man::withFallbacks(text);
    if (!file.flush()) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
