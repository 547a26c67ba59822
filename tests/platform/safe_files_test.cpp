// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "TempDir.h"
#include "platform/IniFile.h"
#include "platform/SafeFiles.h"

using namespace plenar;
namespace fs = std::filesystem;

namespace {

bool isLink(const std::string& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

mode_t kindOf(const std::string& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// Runs `f` on another thread and gives up after two seconds, so that a blocking open shows up
// as a failure instead of a hung test (the blocked thread is left behind until the process ends).
template <typename T>
std::optional<T> within2s(std::function<T()> f) {
  auto promise = std::make_shared<std::promise<T>>();
  auto fut = promise->get_future();
  std::thread([promise, f = std::move(f)] { promise->set_value(f()); }).detach();
  if (fut.wait_for(std::chrono::seconds(2)) != std::future_status::ready) return std::nullopt;
  return fut.get();
}

}  // namespace

TEST(SafeSave, SymlinksAreFollowedAndStayLinks) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  struct Case {
    const char* name;
    std::string link;    // what the save names
    std::string target;  // where the bytes must land
    bool targetExists;
  } cases[] = {
      {"relative link", dir.file("out.bin"), dir.file("real/t.bin"), true},
      {"absolute link", dir.file("abs.bin"), dir.file("real/a.bin"), true},
      {"dangling link", dir.file("dang.bin"), dir.file("real/new.bin"), false},
      {"link to a link", dir.file("chain.bin"), dir.file("real/c.bin"), true},
  };
  dir.write("real/t.bin", "old");
  fs::create_symlink("real/t.bin", dir.file("out.bin"));
  dir.write("real/a.bin", "old");
  fs::create_symlink(dir.file("real/a.bin"), dir.file("abs.bin"));
  fs::create_symlink("real/new.bin", dir.file("dang.bin"));
  dir.write("real/c.bin", "old");
  fs::create_symlink("real/c.bin", dir.file("mid.bin"));
  fs::create_symlink("mid.bin", dir.file("chain.bin"));
  ::chmod(dir.file("real/t.bin").c_str(), 0640);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(replaceFileAtomically(c.link, "new bytes", 0600)) << std::strerror(errno);
    EXPECT_TRUE(isLink(c.link));
    std::ifstream in(c.target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new bytes");
  }
  EXPECT_EQ(fs::status(dir.file("real/t.bin")).permissions() & fs::perms::all, fs::perms(0640));
  // No temporary file is left beside the link or the target.
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir.file("real")))
    entries += e.path().string().find(".bin.") == std::string::npos;
  EXPECT_EQ(entries, 4);
}

TEST(SafeSave, SpecialFilesAreWrittenThroughOrRefusedNeverReplaced) {
  TempDir dir;
  // A link to /dev/null: the device takes the bytes and both stay what they were.
  fs::create_symlink("/dev/null", dir.file("null"));
  EXPECT_TRUE(replaceFileAtomically(dir.file("null"), "abc", 0644));
  EXPECT_TRUE(isLink(dir.file("null")));
  EXPECT_EQ(kindOf("/dev/null"), S_IFCHR);

  // A directory is refused.
  fs::create_directory(dir.file("folder"));
  EXPECT_FALSE(replaceFileAtomically(dir.file("folder"), "abc", 0644));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(kindOf(dir.file("folder")), S_IFDIR);

  // A FIFO without a reader fails at once; with one, the reader gets the bytes.
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  auto lonely = within2s<bool>([&] { return replaceFileAtomically(dir.file("fifo"), "x", 0644); });
  ASSERT_TRUE(lonely.has_value()) << "saving to a FIFO without a reader blocked";
  EXPECT_FALSE(*lonely);
  EXPECT_EQ(kindOf(dir.file("fifo")), S_IFIFO);

  int reader = ::open(dir.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_TRUE(replaceFileAtomically(dir.file("fifo"), "through", 0644));
  char buf[16] = {};
  EXPECT_EQ(::read(reader, buf, sizeof buf), 7);
  EXPECT_EQ(std::string(buf, 7), "through");
  ::close(reader);
  EXPECT_EQ(kindOf(dir.file("fifo")), S_IFIFO);
}

TEST(SafeRead, OnlyRegularFilesUpToTheCapAreRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir.file("zero.bin"));
  fs::create_directory(dir.file("folder"));
  dir.write("small.bin", std::string(100, 'a'));
  dir.write("big.bin", std::string(101, 'a'));
  using Kind = InputFileError::Kind;
  struct Case {
    const char* name;
    std::optional<Kind> refused;
  } cases[] = {
      {"fifo", Kind::NotRegular}, {"zero.bin", Kind::NotRegular}, {"folder", Kind::NotRegular},
      {"missing", Kind::Missing}, {"big.bin", Kind::TooLarge},    {"small.bin", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto outcome = within2s<std::optional<Kind>>([&]() -> std::optional<Kind> {
      try {
        EXPECT_EQ(readInputFile(dir.file(c.name), 100).size(), 100u);
        return std::nullopt;
      } catch (const InputFileError& e) {
        return e.problem();
      }
    });
    ASSERT_TRUE(outcome.has_value()) << "reading blocked";
    EXPECT_EQ(*outcome, c.refused);
  }
}

TEST(SafeRead, SettingsFileThatIsAFifoReadsAsDefaults) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("sysconfig.ini").c_str(), 0600), 0);
  auto value = within2s<int>(
      [&] { return IniFile(dir.file("sysconfig.ini")).readInt("MainDefault", "Language", 7); });
  ASSERT_TRUE(value.has_value()) << "loading a FIFO blocked";
  EXPECT_EQ(*value, 7);
}
