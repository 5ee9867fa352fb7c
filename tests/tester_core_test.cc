#include "engine/tester_core.h"

#include <gtest/gtest.h>

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "model/test_cases.h"
#include "settings/global_setting.h"
#include "settings/registry.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::WriteFile;

class TesterCoreTest : public ::testing::Test {
 protected:
  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
};

TEST_F(TesterCoreTest, LocatesTheDefinitionFileBesideTheHost) {
  Tester tester;
  tester.SetHostEXE(env.dir() / "host/calc.exe");
  TesterCore& core = TesterCore::Of(tester);
  core.OpenContext();
  EXPECT_EQ(env.dir() / "host", core.HostFolder());
  // Neither form: the TXT path; only the base name is upper-cased.
  EXPECT_EQ(env.dir() / "host/CALC_TEST_DAT.TXT", core.DefinitionFile());
  EXPECT_FALSE(core.IsXmlDefinition());
  WriteFile(env.dir() / "host/CALC_TEST_DAT.TXT", "x");
  core.LocateDefinitionFile();
  EXPECT_EQ(env.dir() / "host/CALC_TEST_DAT.TXT", core.DefinitionFile());
  WriteFile(env.dir() / "host/CALC_TEST_DAT.XML", "x");
  core.LocateDefinitionFile();
  EXPECT_EQ(env.dir() / "host/CALC_TEST_DAT.XML", core.DefinitionFile());
  EXPECT_TRUE(core.IsXmlDefinition());
  core.CloseContext();
}

// Every letter of the host's name is upper-cased, not only the ASCII ones; the folder never is.
TEST_F(TesterCoreTest, UpperCasesEveryLetterOfTheHostName) {
  const std::pair<std::string, std::string> names[] = {
      {"calcé", "CALCÉ"},
      {"ｃａｌｃ１", "ＣＡＬＣ１"},
      {"straße-ǆ-ω", "STRAßE-Ǆ-Ω"},  // simple mapping: ß has no single upper-case letter
      {"梁calc", "梁CALC"},
      {"bad\xff\xc3(", "BAD\xff\xc3("},  // bytes that are not UTF-8 stay
  };
  for (const auto& [name, upper] : names) {
    Tester tester;
    tester.SetHostEXE(env.dir() / ("é/" + name + ".bin"));
    TesterCore& core = TesterCore::Of(tester);
    WriteFile(env.dir() / ("é/" + upper + "_TEST_DAT.TXT"), "x");
    core.OpenContext();
    EXPECT_EQ(env.dir() / ("é/" + upper + "_TEST_DAT.TXT"), core.DefinitionFile()) << name;
    EXPECT_TRUE(Exists(core.DefinitionFile())) << name;
    core.CloseContext();
  }
}

TEST_F(TesterCoreTest, WorkFolderIsCreatedWhenRead) {
  Tester tester;
  tester.SetHostEXE(env.dir() / "calc");
  TesterCore& core = TesterCore::Of(tester);
  core.OpenContext();
  core.SetStandardFolder(env.dir() / "TestData");
  EXPECT_FALSE(Exists(env.dir() / "TestData_make"));
  EXPECT_EQ(env.dir() / "TestData_make", core.WorkFolder());
  EXPECT_TRUE(Exists(env.dir() / "TestData_make"));
  EXPECT_EQ(env.dir() / "TestData_make", core.WorkFolder());
  core.CloseContext();
}

TEST_F(TesterCoreTest, ShowMessageBoxesOrLogs) {
  Tester tester;
  TesterCore& core = TesterCore::Of(tester);
  core.SetShowUI(true);
  ui->answers = {kOk};
  EXPECT_EQ(kOk, core.ShowMessage("question", 33));
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ("Veltrana", ui->boxes[0].title);
  core.ShowMessage("titled", 64, "提示");
  EXPECT_EQ("提示", ui->boxes[1].title);

  core.SetShowUI(false);
  ui->answers = {kOk, kOk, kOk};
  EXPECT_EQ(0, core.ShowMessage("exclaimed", 48));
  EXPECT_EQ(0, core.ShowMessage("asked", 33));
  EXPECT_EQ(0, core.ShowMessage("told", 64));
  EXPECT_EQ(2u, ui->boxes.size());
  std::string log = env.ReadLog();
  EXPECT_NE(std::string::npos, log.find("Error: exclaimed"));
  EXPECT_NE(std::string::npos, log.find("Warning: asked"));
  EXPECT_NE(std::string::npos, log.find("Information: told"));
}

TEST_F(TesterCoreTest, StatusWindowSwitchIsAPerUserSetting) {
  Tester tester;
  TesterCore& core = TesterCore::Of(tester);
  EXPECT_FALSE(core.StatWindowEnabled());
  core.SetStatWindowEnabled(true);
  EXPECT_TRUE(core.StatWindowEnabled());
  Tester other;
  EXPECT_TRUE(TesterCore::Of(other).StatWindowEnabled());
  core.SetStatWindowEnabled(false);
  EXPECT_FALSE(TesterCore::Of(other).StatWindowEnabled());
}

class Recorder : public TesterEvents {
 public:
  explicit Recorder(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  void CheckCancel(bool& Cancel) override {
    log_->push_back(name_ + ".CheckCancel");
    if (cancel) Cancel = true;
  }
  void DoTest(TestCase&) override {
    log_->push_back(name_ + ".DoTest");
    if (on_do_test) on_do_test();
  }
  bool cancel = false;
  std::function<void()> on_do_test;

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

TEST_F(TesterCoreTest, EventsReachSubscribersInOrderAndCancelRaises) {
  Tester tester;
  std::vector<std::string> log;
  Recorder a("a", &log), b("b", &log);
  tester.Subscribe(a);
  tester.Subscribe(b);
  TesterCore& core = TesterCore::Of(tester);
  EXPECT_NO_THROW(core.RaiseCheckCancel());
  EXPECT_EQ((std::vector<std::string>{"a.CheckCancel", "b.CheckCancel"}), log);

  b.cancel = true;
  try {
    core.RaiseCheckCancel();
    FAIL() << "no cancel";
  } catch (const Error& e) {
    EXPECT_EQ(CancelError, e.Number());
    EXPECT_EQ("", e.Description());
  }
  tester.Unsubscribe(b);
  EXPECT_NO_THROW(core.RaiseCheckCancel());
}

TEST_F(TesterCoreTest, SubscribingInsideAHandlerIsSafe) {
  Tester tester;
  std::vector<std::string> log;
  auto a = std::make_unique<Recorder>("a", &log);
  auto b = std::make_unique<Recorder>("b", &log);
  Recorder c("c", &log);
  tester.Subscribe(*a);
  tester.Subscribe(*b);
  // a removes b (and destroys it) and adds c while the event runs.
  a->on_do_test = [&] {
    tester.Unsubscribe(*b);
    b.reset();
    tester.Subscribe(c);
    tester.Unsubscribe(*a);
  };
  TestCaseImpl tc;
  TesterCore::Of(tester).RaiseDoTest(tc);
  EXPECT_EQ((std::vector<std::string>{"a.DoTest"}), log);
  log.clear();
  TesterCore::Of(tester).RaiseDoTest(tc);
  EXPECT_EQ((std::vector<std::string>{"c.DoTest"}), log);
}

TEST_F(TesterCoreTest, SharedObjectsAreMadeAfreshForEachContext) {
  Tester tester;
  tester.SetHostEXE(env.dir() / "calc");
  TesterCore::Of(tester).OpenContext();
  EXPECT_EQ(&TesterCore::Of(tester), G().CurrentTester);
  auto fso = G().gobjFSO;
  EXPECT_EQ(3u, G().gcolGlobalObjects.size());
  TesterCore::Of(tester).CloseContext();
  EXPECT_TRUE(G().gcolGlobalObjects.empty());
  EXPECT_EQ(nullptr, G().CurrentTester);
  TesterCore::Of(tester).OpenContext();
  EXPECT_NE(fso, G().gobjFSO);
  TesterCore::Of(tester).CloseContext();
  EXPECT_TRUE(G().gcolGlobalObjects.empty());
}

TEST_F(TesterCoreTest, ObjectsOutlivingTheirContextNeverCrash) {
  std::shared_ptr<TestCase> kept;
  {
    Tester tester;
    tester.SetHostEXE(env.dir() / "calc");
    TesterCore::Of(tester).OpenContext();
    TesterCore::Of(tester).SetStandardFolder(env.dir() / "TestData");
    auto tc = std::make_shared<TestCaseImpl>();
    tc->SetCaption("A");
    tc->SetFolder("A");
    tc->Attach(TesterCore::Of(tester));
    TesterCore::Of(tester).TestCases()->Add(tc);
    kept = tester.TestCases()->Item(1);
    EXPECT_EQ(env.dir() / "TestData_make/A", kept->TestCaseFolder());
    // The tester goes while its context is still open, as after a failed entry operation.
  }
  EXPECT_EQ(nullptr, G().CurrentTester);
  EXPECT_EQ("A", kept->Caption());
  try {
    kept->TestCaseFolder();
    FAIL() << "a path without a context";
  } catch (const Error& e) {
    EXPECT_EQ(err::ObjectNotSet, e.Number());
  }
  EXPECT_EQ(nullptr, static_cast<TestCaseImpl&>(*kept).Owner());
}

TEST_F(TesterCoreTest, CollectionsAnswerOutsideARun) {
  Tester tester;
  EXPECT_EQ(0, tester.TestCases()->Count());
  EXPECT_EQ(nullptr, tester.SelectedCases());
  EXPECT_EQ(nullptr, tester.ActiveCase());
  int n = 0;
  for (auto& tc : *tester.TestCases()) n += tc ? 1 : 0;
  EXPECT_EQ(0, n);
  EXPECT_THROW(tester.TestCases()->Item(1), Error);
  EXPECT_THROW(tester.TestCases()->Item("A"), Error);
  EXPECT_THROW(CreateTester("Corvala4.Other"), Error);
  EXPECT_NE(nullptr, CreateTester("Corvala4.Tester"));
}

class ThrowingHost : public TesterEvents {
 public:
  void DoTest(TestCase&) override { throw std::runtime_error("host failure"); }
};

TEST_F(TesterCoreTest, EntryOperationsGuardAgainstReentry) {
  Tester first, second;
  first.SetHostEXE(env.dir() / "calc");
  second.SetHostEXE(env.dir() / "calc");
  G().TestRunning = true;
  second.Launch();
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ("测试已经在执行了!", ui->boxes[0].prompt);
  EXPECT_EQ(16, ui->boxes[0].style);
  second.LaunchNoUI();
  EXPECT_EQ(1u, ui->boxes.size());
  EXPECT_NE(std::string::npos, env.ReadLog().find("Error: 测试已经在执行了!"));
  G().TestRunning = false;
  WriteFile(env.dir() / "calc", "host");
  first.LaunchNoUI();
  EXPECT_FALSE(G().TestRunning);
  EXPECT_EQ(nullptr, G().CurrentTester);
}

}  // namespace
}  // namespace corvala4
