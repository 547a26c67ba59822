// SPDX-License-Identifier: GPL-3.0-or-later
// The batch bench without a printer: name patterns and field limits, the counter file across
// runs that end part-way, report lines, and the loop's actions for a table of printers.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "profile/BatchRun.h"

using namespace plenar;

namespace {

TEST(BatchNames, PatternsFormatOrAreRefused) {
  struct Case {
    const char* pattern;
    long long number;
    const char* expected;  // null: refused
  };
  const std::vector<Case> cases = {
      {"Till {n}", 7, "Till 7"},
      {"Till {n:4}", 7, "Till 0007"},
      {"Till {n:2}", 12345, "Till 12345"},  // a width is a minimum, never a cut
      {"{{n}} {n}", 3, "{n} 3"},
      {"no number", 3, "no number"},
      {"收银{n}", 5, "收银5"},
      {"Till {N}", 1, nullptr},
      {"Till {n", 1, nullptr},
      {"Till }", 1, nullptr},
      {"Till {n:0}", 1, nullptr},
      {"Till {n:21}", 1, nullptr},
      {"Till {n:x}", 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    if (!c.expected) {
      EXPECT_THROW(NamePattern::parse(c.pattern), BatchError);
      continue;
    }
    EXPECT_EQ(NamePattern::parse(c.pattern).format(c.number), c.expected);
  }
}

TEST(BatchNames, DeviceFieldsHoldTwentyGbkBytesAndNeverCut) {
  struct Case {
    std::string name, serial;
    bool fits;
  };
  const std::vector<Case> cases = {
      {std::string(20, 'A'), "1", true},
      {std::string(21, 'A'), "1", false},
      {"一二三四五六七八九十", "1", true},    // 10 characters, 20 bytes
      {"一二三四五六七八九十A", "1", false},  // 21 bytes
      {"Till \xF0\x9F\x98\x80", "1", false},  // no GBK for it
      {"", "1", false},
      {"Till", std::string(20, '9'), true},
      {"Till", std::string(21, '9'), false},
      {"Till", "12a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " / " + c.serial);
    EXPECT_EQ(!deviceFieldsRefusal(c.name, c.serial).has_value(), c.fits);
  }
}

TEST(BatchNames, NumberingKeepsLeadingZerosAndRefusesOverflow) {
  EXPECT_EQ(serialText(parseNumbering("0100", 1).first, parseNumbering("0100", 1).width), "0100");
  EXPECT_EQ(serialText(101, parseNumbering("0100", 1).width), "0101");
  EXPECT_EQ(serialText(101, parseNumbering("100", 1).width), "101");
  EXPECT_THROW(parseNumbering("12a", 1), BatchError);
  EXPECT_THROW(parseNumbering("1", 0), BatchError);
  EXPECT_THROW(parseNumbering("-1", 1), BatchError);
  EXPECT_EQ(stepped(5, -2, 2), 1);
  EXPECT_EQ(stepped(5, -2, 3), std::nullopt);
  EXPECT_EQ(stepped(999999999999999998LL, 1, 2), std::nullopt);
}

std::vector<std::string> outcomes(const BatchCounter& c) {
  std::vector<std::string> out;
  for (const auto& e : c.entries()) out.push_back(e.serial + ":" + batchOutcomeName(e.outcome));
  return out;
}

// A first number given to a counter that exists is taken only where the counter started or goes
// on; any other would be ignored without a word.
TEST(BatchCounter, AGivenFirstNumberThatTheCounterWouldIgnoreIsRefused) {
  TempDir dir;
  const std::string path = dir.file("b.json");
  {
    auto c = BatchCounter::open(path, parseNumbering("1000", 5), {}, true);
    c.complete(c.reserve(false, NamePattern::parse("T{n}"))->serial, BatchCounter::Outcome::Done);
  }
  struct Case {
    const char* from;
    bool given;
    const char* refusal;  // empty: opened
  } const cases[] = {
      {"1000", true, ""},  // a restart with the same options
      {"1005", true, ""},  // where it goes on
      {"7000", true, "counts from 1000 (next 1005): --serial-from 7000 would be ignored"},
      {"01000", true, "--serial-from 01000 would be ignored"},  // another width: other serials
      {"7000", false, ""},  // not given: the counter's own numbers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + (c.given ? " given" : ""));
    try {
      auto counter = BatchCounter::open(path, parseNumbering(c.from, 5), {}, c.given);
      EXPECT_STREQ(c.refusal, "");
      EXPECT_EQ(counter.peekNext(), 1005);
    } catch (const BatchError& e) {
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
      EXPECT_NE(std::string(c.refusal), "") << e.what();
      EXPECT_EQ(e.code(), "batch-serial-from-differs");
      EXPECT_EQ(e.field(), "--serial-from");
    }
  }
}

TEST(BatchCounter, ReservedNumbersSurviveEveryEndAndAreNeverHandedOutAgain) {
  TempDir dir;
  const std::string path = dir.file("state/batch.json");
  const NamePattern name = NamePattern::parse("T{n}");
  {
    auto c = BatchCounter::open(path, parseNumbering("1000", 5));
    EXPECT_THROW(BatchCounter::open(path, parseNumbering("1", 1)), BatchError);  // locked
    EXPECT_EQ(c.reserve(false, name)->serial, "1000");
    c.complete("1000", BatchCounter::Outcome::Done);
    EXPECT_EQ(c.reserve(false, name)->serial, "1005");
    c.complete("1005", BatchCounter::Outcome::Failed, BatchCounter::Device::NotSent);
    EXPECT_EQ(c.reserve(false, name)->serial, "1010");  // never completed: a kill
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  // Reopened with another start: the file's own counter goes on.
  auto c = BatchCounter::open(path, parseNumbering("1", 1));
  ASSERT_EQ(c.foundInterrupted().size(), 1u);
  EXPECT_EQ(c.foundInterrupted()[0].serial, "1010");
  EXPECT_EQ(c.reserve(false, name)->serial, "1015");
  c.complete("1015", BatchCounter::Outcome::Failed, BatchCounter::Device::NotSent);
  // Reuse: failed numbers, lowest first, never the interrupted one, then new ones.
  EXPECT_EQ(c.reserve(true, name)->serial, "1005");
  c.complete("1005", BatchCounter::Outcome::Done);
  EXPECT_EQ(c.reserve(true, name)->serial, "1015");
  c.complete("1015", BatchCounter::Outcome::Done);
  EXPECT_EQ(c.reserve(true, name)->serial, "1020");
  EXPECT_EQ(outcomes(c), (std::vector<std::string>{"1000:done", "1005:done", "1010:interrupted",
                                                   "1015:done", "1020:reserved"}));
  // A failed number handed out again takes this run's name; the file the program writes,
  // used-up counter included, opens again.
  c.complete("1020", BatchCounter::Outcome::Failed, BatchCounter::Device::NotSent);
  EXPECT_EQ(c.nextToHandOut(true), 1020);
  EXPECT_EQ(c.reserve(true, NamePattern::parse("U{n}"))->name, "U1020");
}

TEST(BatchCounter, AUsedUpCounterOpensAgainUsedUp) {
  TempDir dir;
  const std::string path = dir.file("b.json");
  {
    auto c = BatchCounter::open(path, parseNumbering("0001", -1));
    EXPECT_EQ(c.reserve(false, NamePattern::parse("T{n}"))->serial, "0001");
    EXPECT_EQ(c.reserve(false, NamePattern::parse("T{n}"))->serial, "0000");
    EXPECT_EQ(c.reserve(false, NamePattern::parse("T{n}")), std::nullopt);
  }
  auto c = BatchCounter::open(path, parseNumbering("1", 1));
  EXPECT_EQ(c.nextToHandOut(false), std::nullopt);
  EXPECT_EQ(c.foundInterrupted().size(), 2u);
}

TEST(BatchCounter, ReuseHandsOutOnlyAFailedNumberNoPrinterTook) {
  using D = BatchCounter::Device;
  TempDir dir;
  const std::string path = dir.file("b.json");
  const std::string records = dir.file("b.records");
  const NamePattern name = NamePattern::parse("T{n}");
  {
    auto c = BatchCounter::open(path, parseNumbering("10", 1), records);
    for (D device : {D::Acknowledged, D::Sent, D::Unknown, D::NotSent, D::NotSent}) {
      const auto e = c.reserve(false, name, "net 10.0.0.1:5100");
      c.complete(e->serial, BatchCounter::Outcome::Failed, device);
    }
  }
  // 13 never went out, but a printer took groups under it: its record stays its own.
  std::filesystem::create_directory(records);
  dir.write("b.records/serial-13.json", "{}");
  auto c = BatchCounter::open(path, parseNumbering("1", 1), records);
  EXPECT_EQ(c.entries()[0].link, "net 10.0.0.1:5100");
  EXPECT_EQ(c.entries()[0].device, D::Acknowledged);
  std::vector<std::string> handed;
  for (int i = 0; i < 3; ++i) {
    const auto e = c.reserve(true, name);
    handed.push_back(e->serial);
    c.complete(e->serial, BatchCounter::Outcome::Done, D::Acknowledged);
  }
  EXPECT_EQ(handed, (std::vector<std::string>{"14", "15", "16"}));
}

TEST(BatchCounter, NeverStartsAtANumberItsRecordFolderHolds) {
  struct Case {
    const char* name;
    const char* from;
    long long step;
    std::vector<std::string> files;  // in the record folder
    const char* refusal;             // expected in the message; null: opens
  };
  const std::vector<Case> cases = {
      {"a record of the first number", "300", 1, {"serial-300.json"}, "--serial-from 301"},
      {"only the lock of a started apply", "300", 3, {"serial-303.json.lock"}, "--serial-from 306"},
      {"counting down", "300", -1, {"serial-100.json", "serial-7.json"}, "--serial-from 6"},
      {"leading zeros", "0300", 1, {"serial-0302.json"}, "--serial-from 0303"},
      {"records behind the first number", "300", 1, {"serial-299.json", "serial-3.json"}, nullptr},
      {"other files", "300", 1, {"serial-300.json.tmp", "serial-x.json", "notes.json"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::filesystem::create_directory(dir.file("r"));
    for (const auto& f : c.files) dir.write("r/" + f, "{}");
    if (!c.refusal) {
      EXPECT_NO_THROW(
          BatchCounter::open(dir.file("b.json"), parseNumbering(c.from, c.step), dir.file("r")));
      continue;
    }
    try {
      BatchCounter::open(dir.file("b.json"), parseNumbering(c.from, c.step), dir.file("r"));
      ADD_FAILURE() << "opened";
    } catch (const BatchError& e) {
      EXPECT_EQ(e.code(), "batch-records-ahead");
      EXPECT_EQ(e.kind(), FailureKind::Refused);
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.json")));  // nothing written
  }
  // An existing counter behind its records (an older copy put back) is refused as well.
  TempDir dir;
  { BatchCounter::open(dir.file("b.json"), parseNumbering("300", 1), dir.file("r")); }
  std::filesystem::create_directory(dir.file("r"));
  dir.write("r/serial-300.json", "{}");
  EXPECT_THROW(BatchCounter::open(dir.file("b.json"), parseNumbering("1", 1), dir.file("r")),
               BatchError);
}

TEST(BatchCounter, RefusesFilesItCannotTrust) {
  struct Case {
    const char* name;
    std::function<void(const TempDir&, const std::string&)> prepare;
  };
  std::vector<Case> cases = {
      {"a symlink",
       [](const TempDir& d, const std::string& p) {
         d.write("elsewhere.json", "{}");
         std::filesystem::create_symlink(d.file("elsewhere.json"), p);
       }},
      {"not JSON", [](const TempDir& d, const std::string&) { d.write("b.json", "{oops"); }},
      {"an unknown outcome",
       [](const TempDir& d, const std::string&) {
         d.write("b.json", R"({"schema":1,"next":3,"step":1,"width":0,"issued":[{"serial":"2",)"
                           R"("number":2,"outcome":"lost"}]})");
       }},
      {"a folder",
       [](const TempDir&, const std::string& p) { std::filesystem::create_directory(p); }},
  };
  // Forged counters: each would hand a printer a serial number it cannot store, or name a
  // record file outside its folder.
  const auto state = [](std::string next, std::string step, std::string width, std::string issued) {
    return [=](const TempDir& d, const std::string&) {
      d.write("b.json", R"({"schema":1,"next":)" + next + R"(,"step":)" + step + R"(,"width":)" +
                            width + R"(,"issued":[)" + issued + "]}");
    };
  };
  const std::string failed = R"(,"outcome":"failed"})";
  cases.push_back({"a width of thousands of digits", state("3", "1", "100000", "")});
  cases.push_back({"a negative width (spaces after)", state("3", "1", "-6", "")});
  cases.push_back({"step 0", state("3", "0", "0", "")});
  cases.push_back({"a step past 10^9", state("3", "2000000000", "0", "")});
  cases.push_back({"next below 0", state("-5", "1", "0", "")});
  cases.push_back({"next past 18 digits", state("1000000000000000000", "1", "0", "")});
  cases.push_back(
      {"a serial that is a path", state("3", "1", "0", R"({"serial":"../x","number":2)" + failed)});
  cases.push_back(
      {"a serial of another number", state("3", "1", "0", R"({"serial":"7","number":2)" + failed)});
  cases.push_back({"a schema past every number", [](const TempDir& d, const std::string&) {
                     d.write("b.json",
                             R"({"schema":1.8e39,"next":3,"step":1,"width":0,"issued":[]})");
                   }});
  cases.push_back({"a width cut to 4 by a 32-bit read", state("3", "1", "4294967300", "")});
  cases.push_back({"a fraction", state("3.5", "1", "0", "")});
  cases.push_back({"a step past 64 bits", state("3", "18446744073709551615", "0", "")});
  cases.push_back(
      {"a number below 0", state("3", "1", "0", R"({"serial":"-2","number":-2)" + failed)});
  cases.push_back({"an unknown device group state",
                   state("3", "1", "0", R"({"serial":"2","number":2,"device":"maybe")" + failed)});
  // Counting down, a number listed below next: the counter would hand it out again (the bench
  // suite forges the other contradictions).
  cases.push_back(
      {"a number not passed yet", state("5", "-1", "0", R"({"serial":"4","number":4)" + failed)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("b.json");
    c.prepare(dir, path);
    EXPECT_THROW(BatchCounter::open(path, parseNumbering("1", 1)), BatchError);
  }
}

TEST(BatchReport, CsvQuotesAndJsonLinesCarryEveryField) {
  BatchLine l{.time = "2026-12-08T08:00:00Z",
              .link = "net 10.0.0.1:5100",
              .modelTag = "PLENAR80",
              .name = "Till, \"A\"",
              .serial = "7",
              .groupsDone = 3,
              .outcome = BatchOutcome::Failed,
              .error = "Download Data Failed\nagain",
              .step = "codepage"};
  EXPECT_EQ(batchLineCsv(l),
            "2026-12-08T08:00:00Z,net 10.0.0.1:5100,PLENAR80,\"Till, \"\"A\"\"\",7,3,failed,"
            "\"Download Data Failed\nagain\",codepage\r\n");
  const Json j = Json::parse(batchLineJson(l));
  EXPECT_EQ(j["name"], "Till, \"A\"");
  EXPECT_EQ(j["groups_done"], 3);
  EXPECT_EQ(j["step"], "codepage");

  TempDir dir;
  for (int run = 0; run < 2; ++run) BatchReportFile(dir.file("r.csv")).append(l);
  const std::string text = dir.read("r.csv");
  EXPECT_EQ(text.rfind(batchCsvHeader(), 0), 0u);
  EXPECT_EQ(text.find(batchCsvHeader(), 1), std::string::npos);  // the header once
  std::filesystem::create_symlink(dir.file("r.csv"), dir.file("link.csv"));
  EXPECT_THROW(BatchReportFile(dir.file("link.csv")), BatchError);
}

// A front end for the loop: each printer of `printers` arrives in turn on 10.0.0.1; each answer
// is taken in order ("ok" unless a failure is listed for that action).
struct Printer {
  int failAt = -1;         // the action (0: the link test) that fails; -1: none
  bool interrupt = false;  // stop() instead of answering action `failAt`
};

struct Loop {
  TempDir dir;
  std::string profileText = "[ParaDefault]\nCodePage=CP437\nRptTime=20\n";

  BatchOptions options() const {
    BatchOptions o;
    o.link.kind = LinkKind::Network;
    o.link.ipAddress = "10.0.0.1";
    o.link.udpPort = 5100;
    o.statePath = dir.file("state/batch.json");
    o.reportPath = dir.file("report.jsonl");
    o.recordDir = dir.file("state/records");
    o.stateDir = dir.file("state");
    o.name = NamePattern::parse("Till {n}");
    o.numbering = parseNumbering("100", 2);
    o.lockWaitSeconds = 0;
    return o;
  }

  // The actions each printer was asked for, one string per printer.
  std::vector<std::string> run(std::vector<Printer> printers, const BatchOptions& o,
                               std::unique_ptr<BatchRun>* out = nullptr) {
    const Profile profile = parseProfile(profileText, dir.file("p.ini"));
    auto run =
        std::make_unique<BatchRun>(profile, buildProfileGroups(profile, {}, std::nullopt), o);
    std::vector<std::string> seen;
    std::size_t printer = 0;
    int action = 0;
    for (auto a = run->next(); a.kind != RunAction::Kind::Done; a = run->next()) {
      using K = RunAction::Kind;
      if (a.kind == K::AwaitArrival) {
        if (printer >= printers.size()) {
          run->stop("no more printers");
          continue;
        }
        seen.emplace_back();
        action = 0;
        run->arrived(o.link);
        continue;
      }
      if (a.kind == K::AwaitDeparture) {
        ++printer;
        run->departed();
        continue;
      }
      const Printer& p = printers[printer];
      seen.back() += (seen.back().empty() ? "" : " ") +
                     (a.kind == K::TestLink ? std::string("test") : a.group);
      if (p.interrupt && action == p.failAt) {
        run->stop("stopped by SIGTERM");
        ++printer;
        continue;
      }
      RunOutcome r;
      r.ok = action++ != p.failAt;
      r.message = r.ok ? "" : "Download Data Failed";
      r.modelTag = "PLENAR80";
      run->report(r);
    }
    if (out) *out = std::move(run);
    return seen;
  }

  std::vector<Json> report() const {
    std::vector<Json> lines;
    std::ifstream in(dir.file("report.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
  }
};

TEST(BatchRun, EachPrinterIsNewAndGetsItsOwnNumber) {
  struct Case {
    const char* name;
    std::vector<Printer> printers;
    std::optional<long long> count;
    std::vector<std::string> actions;
    std::vector<std::string> lines;  // serial outcome step
  };
  const std::string all = "test codepage retract-time device";
  const std::vector<Case> cases = {
      {"three printers on one link: every group each time",
       {{}, {}, {}},
       {},
       {all, all, all},
       {"100 done ", "102 done ", "104 done "}},
      {"--count stops", {{}, {}, {}}, 2, {all, all}, {"100 done ", "102 done "}},
      {"no answer: failed at the link test, the next goes on",
       {{0}, {}},
       {},
       {"test", all},
       {"100 failed link test", "102 done "}},
      {"pulled part-way: failed with its step",
       {{2}, {}},
       {},
       {"test codepage retract-time", all},
       {"100 failed retract-time", "102 done "}},
      {"stopped during a printer: interrupted, the bench ends",
       {{}, {1, true}, {}},
       {},
       {all, "test codepage"},
       {"100 done ", "102 interrupted codepage"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loop loop;
    BatchOptions o = loop.options();
    o.count = c.count;
    std::unique_ptr<BatchRun> run;
    EXPECT_EQ(loop.run(c.printers, o, &run), c.actions);
    std::vector<std::string> lines;
    for (const Json& l : loop.report()) {
      lines.push_back(l["serial"].get<std::string>() + " " + l["outcome"].get<std::string>() + " " +
                      l["step"].get<std::string>());
      EXPECT_EQ(l["name"], "Till " + l["serial"].get<std::string>());
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_FALSE(run->error());
    // The next run never hands out a number this one used.
    run.reset();
    auto counter = BatchCounter::open(o.statePath, o.numbering);
    EXPECT_EQ(counter.next(), 100 + 2 * static_cast<long long>(c.lines.size()));
  }
}

TEST(BatchRun, ReuseFailedGivesANumberAgainOnlyWhenItsDeviceGroupNeverWentOut) {
  Loop loop;
  BatchOptions o = loop.options();
  o.reuseFailed = true;
  // Actions: 0 the link test, 1 codepage, 2 retract-time, 3 device.
  loop.run({{1}, {}, {3}, {}, {2}}, o);
  std::vector<std::string> lines;
  for (const Json& l : loop.report()) {
    lines.push_back(l["serial"].get<std::string>() + " " + l["outcome"].get<std::string>() + " " +
                    l["device_group"].get<std::string>());
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"100 failed not-sent", "100 done acknowledged",
                                             "102 failed sent", "104 done acknowledged",
                                             "106 failed not-sent"}));
  EXPECT_NE(loop.report()[2]["error"].get<std::string>().find("may hold serial number 102"),
            std::string::npos);
}

TEST(BatchRun, RefusesAtStartWhatWouldNotFit) {
  struct Case {
    const char* name;
    const char* pattern;
    const char* from;
    std::optional<long long> count;
  };
  const std::vector<Case> cases = {
      {"the first name is too long", "A very long till name {n}", "1", {}},
      {"the last name of the count is too long", "Till-ABCDEFGHIJKLMN{n}", "1", 10},
      {"the count runs past the numbers", "T{n}", "999999999999999990", 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loop loop;
    BatchOptions o = loop.options();
    o.name = NamePattern::parse(c.pattern);
    o.numbering = parseNumbering(c.from, 1);
    o.count = c.count;
    EXPECT_THROW(loop.run({{}}, o), BatchError);
  }
}

TEST(BatchRun, AnEarlierRunsReservationIsReportedAndSkipped) {
  Loop loop;
  const BatchOptions o = loop.options();
  {
    auto c = BatchCounter::open(o.statePath, o.numbering);
    c.reserve(false, o.name);  // and then the program was killed
  }
  EXPECT_EQ(loop.run({{}}, o).size(), 1u);
  const auto lines = loop.report();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["serial"], "100");
  EXPECT_EQ(lines[0]["outcome"], "interrupted");
  EXPECT_EQ(lines[1]["serial"], "102");
  EXPECT_EQ(lines[1]["outcome"], "done");
}

}  // namespace
