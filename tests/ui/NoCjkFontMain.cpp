// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <string>

// The window's tests on a system without a CJK font: before Qt reads the fonts, fontconfig is
// given a configuration of its own that knows the DejaVu fonts alone (no font at all where they
// are not installed). One QApplication for every test, on the offscreen platform.
int main(int argc, char** argv) {
  std::string folder = (std::filesystem::temp_directory_path() / "plenar-fonts-XXXXXX").string();
  if (!::mkdtemp(folder.data())) return 1;
  const std::string conf = folder + "/fonts.conf";
  std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                      << "<fontconfig>\n  <dir>/usr/share/fonts/truetype/dejavu</dir>\n"
                      << "  <cachedir>" << folder << "/cache</cachedir>\n</fontconfig>\n";
  ::setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int rc = 0;
  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    rc = RUN_ALL_TESTS();
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return rc;
}
