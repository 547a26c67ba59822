// SPDX-License-Identifier: GPL-3.0-or-later
// A profile as plenar apply reads it: any bytes give groups ready to send or a ProfileError,
// never a crash. A profile that builds, saved as the parameter window saves one (its values
// under [ParaDefault], the files under [Files]) and read again, gives the same groups with the
// same hashes.
//
// [Files] entries name files in a scratch folder of this run (a logo, a program, a font);
// entries outside it are dropped before the groups are built, so that no input reads the
// machine's own files.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "ProfileText.h"
#include "ScratchFolder.h"
#include "platform/IniFile.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"

namespace {

namespace fs = std::filesystem;
using namespace plenar;

// A 2 x 2 black and white BMP, 1 bit per pixel.
std::string tinyBmp() {
  std::string b = "BM";
  auto le32 = [&b](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto le16 = [&b](std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
  };
  le32(70);  // file size
  le32(0);
  le32(62);  // pixel data
  le32(40);
  le32(2);
  le32(2);
  le16(1);
  le16(1);
  for (int i = 0; i < 6; ++i) le32(0);
  le32(0x000000);  // palette: black, white
  le32(0xFFFFFF);
  le32(0x40000000);
  le32(0x80000000);
  return b;
}

struct Scratch {
  std::string folder;
  std::string profilePath;
  ProfileVocabulary vocabulary;

  Scratch() {
    std::string name = fuzz::scratchFolder() + "/plenar-fuzz-profile-XXXXXX";
    if (!::mkdtemp(name.data())) std::abort();
    folder = name;
    profilePath = folder + "/p.ini";
    std::ofstream(folder + "/logo.bmp", std::ios::binary) << tinyBmp();
    std::ofstream(folder + "/program.bin", std::ios::binary) << std::string(600, 'p');
    std::ofstream(folder + "/font.bin", std::ios::binary) << std::string(300, 'f');
    // The language files next to the program (the build puts them there) and the built-in
    // Chinese texts.
    std::error_code ec;
    const fs::path exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (const char* lang : {"Chinese.lng", "English.lng"}) {
      vocabulary.languages.push_back(IniFile((exeDir / lang).string()).load());
    }
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

bool inScratch(const ProfileValue& v) {
  return v.value.rfind(scratch().folder + "/", 0) == 0;
}

void keepScratchFiles(Profile& p) {
  ProfileFiles& f = p.files;
  if (f.firmware && !inScratch(*f.firmware)) f.firmware.reset();
  if (f.font && !inScratch(*f.font)) f.font.reset();
  std::erase_if(f.logos, [](const ProfileValue& v) { return !inScratch(v); });
}

// What the window would store for the profile: every value under [ParaDefault], the files with
// their paths under [Files].
std::string saved(const Profile& p) {
  // GBK, saying so on its first line as the window does.
  IniDocument doc = IniDocument::parse("; encoding: GBK\r\n");
  for (const ProfileValue& v : p.settings) doc.writeString("ParaDefault", v.key, v.value);
  const ProfileFiles& f = p.files;
  for (const auto* v : {&f.firmware, &f.firmwareWait, &f.font, &f.fontAddress, &f.logoRaw}) {
    if (*v) doc.writeString("Files", (*v)->key, (*v)->value);
  }
  for (const ProfileValue& v : f.logos) doc.writeString("Files", v.key, v.value);
  return doc.bytes();
}

// A value INI cannot carry as it is: the reader trims blanks and takes off one pair of quotes.
bool storable(const std::string& value) {
  if (value.empty()) return true;
  const std::string_view blanks = " \t\r\v\f";
  if (blanks.find(value.front()) != std::string_view::npos) return false;
  if (blanks.find(value.back()) != std::string_view::npos) return false;
  return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
           value.back() == value.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Scratch& s = scratch();
  ProfileGroups groups;
  Profile profile;
  try {
    profile = parseProfile(bytes, s.profilePath);
    keepScratchFiles(profile);
    groups = buildProfileGroups(profile, s.vocabulary, std::nullopt);
  } catch (const ProfileError&) {
    return 0;
  }
  std::vector<const ProfileValue*> all;
  for (const ProfileValue& v : profile.settings) all.push_back(&v);
  for (const ProfileValue& v : profile.files.logos) all.push_back(&v);
  const ProfileFiles& f = profile.files;
  for (const auto* v : {&f.firmware, &f.firmwareWait, &f.font, &f.fontAddress, &f.logoRaw}) {
    if (*v) all.push_back(&**v);
  }
  for (const ProfileValue* v : all) {
    if (!storable(v->value)) return 0;
  }

  // GBK text whose bytes happen to be UTF-8 as well ("茅" is C3 A9, "é" in UTF-8) is read as
  // GBK all the same: the saved file says what it is.
  const std::string savedBytes = saved(profile);

  Profile again;
  ProfileGroups rebuilt;
  try {
    again = parseProfile(savedBytes, s.profilePath);
    rebuilt = buildProfileGroups(again, s.vocabulary, std::nullopt);
  } catch (const ProfileError&) {
    std::abort();  // the window's own save of a profile plenar took is refused
  }
  if (rebuilt.groups.size() != groups.groups.size()) std::abort();
  for (std::size_t i = 0; i < groups.groups.size(); ++i) {
    const ProfileGroup& a = groups.groups[i];
    const ProfileGroup& b = rebuilt.groups[i];
    if (a.name != b.name || a.sha256 != b.sha256 || a.secret != b.secret || a.values != b.values) {
      std::abort();
    }
  }
  return 0;
}
