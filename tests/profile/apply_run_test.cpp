// SPDX-License-Identifier: GPL-3.0-or-later
// The apply state machine without a printer: which link tests and groups it asks for, for a
// table of records, answers and options, and what it leaves in the record.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "TempDir.h"
#include "platform/FileLocks.h"
#include "profile/ApplyRun.h"

using namespace plenar;

namespace {

constexpr const char* kProfile = "[ParaDefault]\nCodePage=CP437\nRptTime=20\n";

LinkSnapshot netLink(const std::string& address) {
  LinkSnapshot l;
  l.kind = LinkKind::Network;
  l.ipAddress = address;
  l.udpPort = 5100;
  return l;
}

struct Answer {
  bool ok = true;
  std::string modelTag = "PLENAR80";
  FailureKind kind = FailureKind::Link;  // of a failure, as the worker raised it
  bool breakRecord = false;              // the record's folder becomes a file just before
};

struct Bench {
  TempDir dir;
  std::string record = dir.file("state/apply/rec.json");

  ApplyOptions options() const {
    ApplyOptions o;
    o.link = netLink("10.0.0.1");
    o.recordPath = record;
    o.stateDir = dir.file("state");
    o.lockWaitSeconds = 0;
    return o;
  }

  // Runs the apply to its end; each action is answered by the next of `answers` (then "ok,
  // PLENAR80"). Returns the actions: "test 10.0.0.2", "send codepage".
  std::vector<std::string> run(const std::string& profileText, const ApplyOptions& options,
                               std::vector<Answer> answers,
                               std::unique_ptr<ApplyRun>* out = nullptr) {
    const Profile profile = parseProfile(profileText, dir.file("p.ini"));
    auto apply =
        std::make_unique<ApplyRun>(profile, buildProfileGroups(profile, {}, std::nullopt), options);
    std::vector<std::string> actions;
    std::size_t next = 0;
    for (auto a = apply->next(); a.kind != ApplyRun::Action::Kind::Done; a = apply->next()) {
      const bool test = a.kind == ApplyRun::Action::Kind::TestLink;
      actions.push_back(test ? "test " + a.link.ipAddress : "send " + a.group);
      const Answer answer = next < answers.size() ? answers[next++] : Answer{};
      ApplyRun::Outcome o;
      o.ok = answer.ok;
      o.message = answer.ok ? "" : "Connecting Failed";
      o.kind = answer.kind;
      if (test && answer.ok) o.modelTag = answer.modelTag;
      if (answer.breakRecord) {
        std::filesystem::rename(dir.file("state/apply"), dir.file("moved-away"));
        dir.write("state/apply", "x");
      }
      apply->report(o);
    }
    if (out) *out = std::move(apply);
    return actions;
  }

  Json readRecord() const {
    std::ifstream in(record);
    return Json::parse(std::string((std::istreambuf_iterator<char>(in)), {}));
  }
  void writeRecord(const Json& j) const { std::ofstream(record, std::ios::trunc) << j.dump(2); }
};

using Actions = std::vector<std::string>;

}  // namespace

TEST(ApplyRun, EachRecordAndAnswerLeadsToItsActions) {
  struct Case {
    const char* name;
    std::function<void(const Bench&, Json&)> record;  // null: no record at all
    std::function<void(ApplyOptions&)> options;
    std::vector<Answer> answers;
    Actions expected;
    std::string errorKind;
    bool stale = false;
    std::string modelTag = {};
    std::vector<ApplyRun::NoteKind> notes = {};
  };
  using N = ApplyRun::NoteKind;
  const auto keep = [](const Bench&, Json&) {};
  const auto none = [](ApplyOptions&) {};
  const auto verify = [](ApplyOptions& o) { o.verify = true; };
  const auto moved = [](const Bench&, Json& r) {
    r["link_after"] = linkToJson(netLink("10.0.0.2"));
  };
  const Actions all = {"test 10.0.0.1", "send codepage", "send retract-time"};
  const std::vector<Case> cases = {
      {"no record", nullptr, none, {}, all, "", false, "PLENAR80"},
      {"a record that matches: nothing at all, no model tag", keep, none, {}, {}, ""},
      {"--verify asks the printer", keep, verify, {}, {"test 10.0.0.1"}, "", false, "PLENAR80"},
      {"--verify finds another model: everything goes",
       keep,
       verify,
       {{true, "OTHER58"}},
       all,
       "",
       false,
       "OTHER58",
       {N::AnotherModel}},
      {"--verify and no answer: a failure, not unchanged",
       keep,
       verify,
       {{false}},
       {"test 10.0.0.1"},
       "link"},
      {"one group differs",
       [](const Bench&, Json& r) { r["groups"]["retract-time"]["sha256"] = std::string(64, '0'); },
       none,
       {},
       {"test 10.0.0.1", "send retract-time"},
       "",
       false,
       "PLENAR80"},
      {"a record of another link",
       [](const Bench&, Json& r) { r["link"] = linkToJson(netLink("10.9.9.9")); },
       none,
       {},
       all,
       "",
       false,
       "PLENAR80",
       {N::RecordOfAnotherLink}},
      {"another model answers where one group differs: everything goes",
       [](const Bench&, Json& r) { r["groups"]["codepage"]["sha256"] = std::string(64, '0'); },
       none,
       {{true, "OTHER58"}},
       all,
       "",
       false,
       "OTHER58",
       {N::AnotherModel}},
      {"an unreadable record counts as none",
       [](const Bench&, Json& r) { r = "not a record"; },
       none,
       {},
       all,
       "",
       false,
       "PLENAR80",
       {N::RecordUnreadable}},
      {"the kind of a failed link test is the worker's",
       nullptr,
       none,
       {{false, "", FailureKind::Permission}},
       {"test 10.0.0.1"},
       "permission"},
      {"the record cannot be written after the printer took a group",
       nullptr,
       none,
       {{true}, {true, "", FailureKind::Link, true}},
       {"test 10.0.0.1", "send codepage"},
       "file",
       false,
       "PLENAR80"},
      {"moved and found where it was moved",
       moved,
       none,
       {},
       {"test 10.0.0.2"},
       "",
       false,
       "PLENAR80",
       {N::AnsweredWhereLeft}},
      {"moved, yet it answers only where it was: stale",
       moved,
       none,
       {{false}, {true}},
       {"test 10.0.0.2", "test 10.0.0.1", "send codepage", "send retract-time"},
       "",
       true,
       "PLENAR80",
       {N::NoAnswerOnRecordedLink, N::RecordStale}},
      // The printer answered the link test: a group it then leaves unanswered is its failure.
      {"a group fails: the rest is not sent",
       nullptr,
       none,
       {{true}, {true}, {false}},
       all,
       "printer",
       false,
       "PLENAR80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    if (c.record) {
      ASSERT_EQ(bench.run(kProfile, bench.options(), {}), all);
      Json r = bench.readRecord();
      c.record(bench, r);
      bench.writeRecord(r);
    }
    ApplyOptions o = bench.options();
    c.options(o);
    std::unique_ptr<ApplyRun> run;
    EXPECT_EQ(bench.run(kProfile, o, c.answers, &run), c.expected);
    EXPECT_EQ(run->error() ? failureKindName(run->error()->kind) : "", c.errorKind);
    EXPECT_EQ(run->recordStale(), c.stale);
    EXPECT_EQ(run->modelTag(), c.modelTag);
    std::vector<ApplyRun::NoteKind> notes;
    for (const auto& n : run->noteFacts()) notes.push_back(n.kind);
    EXPECT_EQ(notes, c.notes);
  }
}

TEST(ApplyRun, AGroupThatMovesTheLinkIsFollowedByATestOnTheNewOne) {
  for (const bool answers : {true, false}) {
    SCOPED_TRACE(answers ? "answers" : "silent");
    Bench bench;
    std::unique_ptr<ApplyRun> run;
    const Actions actions = bench.run("[ParaDefault]\nNetIPAddress=10.0.0.7\n", bench.options(),
                                      {{true}, {true}, {answers}}, &run);
    EXPECT_EQ(actions, (Actions{"test 10.0.0.1", "send net-ip", "test 10.0.0.7"}));
    EXPECT_EQ(run->linkAfterAnswered(), answers);
    EXPECT_EQ(run->error() ? run->error()->code : "", answers ? "" : "new-link-silent");
    // The printer took the address either way: the record says where it is now.
    EXPECT_EQ(bench.readRecord()["link_after"]["address"], "10.0.0.7");
  }
}

TEST(ApplyRun, TheRecordHoldsOnlyAcknowledgedGroups) {
  Bench bench;
  // The second group fails: the record holds the first and not the second.
  bench.run(kProfile, bench.options(), {{true}, {true}, {false}});
  Json r = bench.readRecord();
  EXPECT_TRUE(r["groups"].contains("codepage"));
  EXPECT_FALSE(r["groups"].contains("retract-time"));

  // A changed value: its old entry leaves the record before the group goes out, so a run that
  // stops there (the printer took it or not) leaves no claim about it.
  bench.run(kProfile, bench.options(), {});
  const std::string changed = "[ParaDefault]\nCodePage=CP850\nRptTime=20\n";
  const Profile profile = parseProfile(changed, bench.dir.file("p.ini"));
  ApplyRun run(profile, buildProfileGroups(profile, {}, std::nullopt), bench.options());
  ASSERT_EQ(run.next().kind, ApplyRun::Action::Kind::TestLink);
  ApplyRun::Outcome ok;
  ok.ok = true;
  ok.modelTag = "PLENAR80";
  run.report(ok);
  const ApplyRun::Action send = run.next();
  ASSERT_EQ(send.group, "codepage");
  EXPECT_FALSE(bench.readRecord()["groups"].contains("codepage"));
  EXPECT_TRUE(bench.readRecord()["groups"].contains("retract-time"));
}

TEST(ApplyRun, LocksAndUnusableRecordsStopItBeforeAnything) {
  Bench bench;
  ASSERT_EQ(bench.run(kProfile, bench.options(), {}).size(), 3u);
  {
    const LockAttempt held = FileLock::acquire(bench.record, 0);
    ASSERT_TRUE(held.lock);
    std::unique_ptr<ApplyRun> run;
    EXPECT_TRUE(bench.run(kProfile, bench.options(), {}, &run).empty());
    EXPECT_EQ(run->error()->kind, FailureKind::Busy);
  }
  ApplyOptions unwritable = bench.options();
  bench.dir.write("plain-file", "x");
  unwritable.recordPath = bench.dir.file("plain-file/rec.json");
  std::unique_ptr<ApplyRun> run;
  EXPECT_TRUE(bench.run(kProfile, unwritable, {}, &run).empty());
  EXPECT_EQ(run->error()->kind, FailureKind::File);

  // Never written through a link.
  ApplyOptions linked = bench.options();
  linked.recordPath = bench.dir.file("state/apply/link.json");
  std::filesystem::create_symlink(bench.record, linked.recordPath);
  EXPECT_TRUE(bench.run(kProfile, linked, {}, &run).empty());
  EXPECT_EQ(run->error()->code, "record-unsafe");
}

TEST(ApplyRun, ProgramsAreCheckedAgainstThePrintersModel) {
  struct Case {
    const char* tag;  // in the file; empty: none
    std::string printer;
    bool force;
    bool sent;
  };
  const Case cases[] = {
      {"PLENAR80", "PLENAR80", false, true}, {"OTHER123", "PLENAR80", false, false},
      {"OTHER123", "PLENAR80", true, false}, {"", "PLENAR80", false, false},
      {"", "PLENAR80", true, true},          {"PLENAR80", "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " / " + c.printer + (c.force ? " forced" : ""));
    Bench bench;
    std::string program(0x3100, '\xFF');
    std::string tag(c.tag);
    tag.resize(8, '\0');
    program.replace(0x3000, 8, tag);
    std::ofstream(bench.dir.file("fw.bin"), std::ios::binary) << program;
    ApplyOptions o = bench.options();
    o.forceFirmware = c.force;
    std::unique_ptr<ApplyRun> run;
    const Actions actions = bench.run("[Files]\nFirmware=fw.bin\n", o, {{true, c.printer}}, &run);
    EXPECT_EQ(actions.size() == 2 && actions[1] == "send firmware", c.sent);
    EXPECT_EQ(run->error() ? failureKindName(run->error()->kind) : "", c.sent ? "" : "refused");
  }
}
