// `corvala4 run` as a real process on real hosts: the sample host, and shell-script
// hosts whose cases calculate, fail, crash, hang or write a wrong output.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(RunCommand, DrivesTheSampleHostThroughItsCalculationCommandLine) {
  if (SampleHostPath().empty()) GTEST_SKIP() << "the sample host is not built";
  TempDir dir;
  std::filesystem::copy(SampleDataPath(), dir / "host", std::filesystem::copy_options::recursive);
  std::filesystem::copy_file(SampleHostPath(), dir / "host/beamcalc");
  std::string host = dir / "host/beamcalc";

  ProgramRun run = RunProgram(
      {"run", host, "--exec", "{host} {project} {func}", "-j", "2", "--junit", dir / "report.xml"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[6/6]测试结束"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("this build is correct"), std::string::npos) << run.out;
  EXPECT_EQ(Lines(ReadFile(dir / "host/beamcalc_Test_Ver.txt")), 1);
  EXPECT_TRUE(Exists(dir / "host/TestData/Beam01/beamcalc_beam01_1_Passed.txt"));
  EXPECT_FALSE(Exists(dir / "host/TestData/Beam05/beamcalc_beam05_1_Passed.txt"));

  XmlDocument report(dir / "report.xml");
  ASSERT_TRUE(report.Ok());
  EXPECT_EQ(report.Value("/testsuites/testsuite/@tests"), "6");
  EXPECT_EQ(report.Value("/testsuites/testsuite/@failures"), "1");
  EXPECT_EQ(report.Value("//testcase[failure]/@name"), "组合荷载简支梁");
  EXPECT_EQ(report.Value("//testcase[1]/@classname"), "BEAMCALC_TEST_DAT.XML");

  // The status command now finds this build recorded.
  EXPECT_EQ(RunProgram({"status", host}, dir).status, 0);
}

TEST(RunCommand, EachKindOfFailureStaysWithItsCase) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddEveryKindOfEnd();

  ProgramRun run = RunProgram({"run", h.host, "-j", "2", "--timeout", "1", "--junit", dir / "r.xml"}, dir);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(h.Markers(), "A=1 B=0 C=0 D=0 E=0 F=1 ");
  EXPECT_EQ(h.Record(), "");
  EXPECT_FALSE(Alive(h.Work("D") + "/child.pid"));

  std::vector<std::string> outcomes = JUnitOutcomes(dir / "r.xml");
  ASSERT_EQ(outcomes.size(), 6u);
  EXPECT_EQ(outcomes[0], "A:passed:");
  EXPECT_EQ(outcomes[1], "B:error:exit status 1");
  EXPECT_EQ(outcomes[2], "C:error:killed by signal 9 (SIGKILL)");
  EXPECT_EQ(outcomes[3].rfind("D:error:time-out after 1 s", 0), 0u) << outcomes[3];
  EXPECT_EQ(outcomes[4], "E:failure:r.out: 长度不同, 第1行");
  EXPECT_EQ(outcomes[5], "F:passed:");
  EXPECT_NE(run.out.find("    exit status 1"), std::string::npos) << run.out;
}

TEST(RunCommand, SideBySideGivesTheOutcomeOfOneAfterAnother) {
  TempDir one, two;
  for (const TempDir* dir : {&one, &two}) {
    ScriptHost h(*dir);
    for (int i = 0; i < 3; ++i) {
      std::string n = std::to_string(i);
      h.AddCase("ok" + n, "sleep 0.1\necho result > r.out\n");
      h.AddCase("wrong" + n, ScriptHost::kWrong, false);
      h.AddCase("fails" + n, "exit 2\n", false);
    }
    h.AddCase("missing", ScriptHost::kOk, false);
    h.Write();
    std::filesystem::remove_all(h.Standard("missing"));
  }
  ProgramRun seq = RunProgram({"run", ScriptHost(one).host, "-j", "1", "--junit", one / "r.xml"}, one);
  ProgramRun par = RunProgram({"run", ScriptHost(two).host, "-j", "2", "--junit", two / "r.xml"}, two);
  EXPECT_EQ(seq.status, 0) << seq.out << seq.err;
  EXPECT_EQ(par.status, 0) << par.out << par.err;

  ScriptHost h1(one), h2(two);
  EXPECT_EQ(ReadFile(one / "host/TestData/ok0/calc_p_1_Passed.txt"), "This Case Passed!");
  for (const char* c : {"ok0", "ok1", "ok2", "wrong0", "wrong1", "fails2"})
    EXPECT_EQ(h1.Marker(c), h2.Marker(c)) << c;
  EXPECT_EQ(Lines(h1.Record()), 1);
  EXPECT_EQ(Lines(h2.Record()), 1);
  EXPECT_EQ(JUnitOutcomes(one / "r.xml"), JUnitOutcomes(two / "r.xml"));
  EXPECT_EQ(JUnitOutcomes(one / "r.xml").back(),
            "missing:skipped:算例文件夹'DIR/host/TestData/missing'不存在! "
            "请检查此文件夹与'DIR/host/CALC_TEST_DAT.TXT'中的算例文件夹是否对应.");

  // The progress lines of a case stay together: its start line, then its end line.
  std::regex start_line(R"(^\[(\d+)/10\]开始测试算例'.*' \.\.\.$)");
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = par.out.find('\n', pos)) != std::string::npos; pos = end + 1)
    lines.push_back(par.out.substr(pos, end - pos));
  int starts = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    std::smatch m;
    if (!std::regex_match(lines[i], m, start_line) || lines[i].find("missing") != std::string::npos) continue;
    ++starts;
    EXPECT_EQ(lines[i + 1].rfind("[" + m[1].str() + "/10]测试<", 0), 0u) << par.out;
  }
  EXPECT_EQ(starts, 9);
}

TEST(RunCommand, FreshRemovesEachWorkingFolderAndNothingALinkLeadsTo) {
  TempDir dir;
  ScriptHost h(dir);
  // A leftover of an earlier run changes this calculation.
  h.AddCase("A", "test ! -e restart.dat || exit 5\necho result > r.out\n");
  h.AddCase("B", ScriptHost::kOk);
  h.Write();
  ASSERT_EQ(RunProgram({"run", h.host}, dir).status, 0);
  WriteFile(h.Work("A") + "/restart.dat", "old");
  WriteFile(dir / "outside/keep.txt", "keep");
  std::filesystem::create_symlink(dir / "outside", h.Work("A") + "/folder-link");
  std::filesystem::create_symlink(dir / "outside/keep.txt", h.Work("A") + "/file-link");
  // A working folder that is itself a link out of the test data.
  std::filesystem::remove_all(h.Work("B"));
  WriteFile(dir / "elsewhere/mine.txt", "mine");
  std::filesystem::create_symlink(dir / "elsewhere", h.Work("B"));
  EXPECT_EQ(RunProgram({"run", h.host, "--cases", "A"}, dir).status, 1);

  ProgramRun run = RunProgram({"run", h.host, "--fresh"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_FALSE(Exists(h.Work("A") + "/restart.dat"));
  EXPECT_FALSE(std::filesystem::is_symlink(h.Work("A") + "/folder-link"));
  EXPECT_FALSE(std::filesystem::is_symlink(h.Work("B")));
  EXPECT_EQ(ReadFile(dir / "outside/keep.txt"), "keep");
  EXPECT_EQ(ReadFile(dir / "elsewhere/mine.txt"), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "elsewhere"), {}), 1);
  EXPECT_EQ(ReadFile(h.Work("B") + "/r.out"), "result\n");
}

TEST(RunCommand, CasesSharingAWorkingFolderNeverRunAtOnce) {
  TempDir dir;
  ScriptHost h(dir);
  const char* alone = "test ! -e busy || exit 3\ntouch busy\nsleep 0.3\nrm busy\necho result > r.out\n";
  h.AddCase("S", alone);
  h.AddCase("T", ScriptHost::kOk);
  h.Write();
  // A second case in folder S, with its own project file.
  WriteFile(h.Standard("S") + "/q.prj", alone);
  std::string def = ReadFile(h.folder + "/CALC_TEST_DAT.TXT") + "S2,S,q.prj,y,1,r.out;\n";
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT", def);

  ProgramRun run = RunProgram({"run", h.host, "-j", "3"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(Exists(h.Standard("S") + "/calc_q_1_Passed.txt"));
  EXPECT_TRUE(h.Marker("S"));
}

TEST(RunCommand, InterruptStopsEveryCalculationAndRecordsNothing) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("quick", ScriptHost::kOk);
  h.AddCase("slow1", "touch started\nsleep 300 & echo $! > child.pid\nwait\necho result > r.out\n");
  h.AddCase("slow2", "touch started\nsleep 300\necho result > r.out\n");
  h.AddCase("later", ScriptHost::kOk);
  h.Write();
  // Markers from an earlier run: a stopped case loses its marker, a case never started keeps it.
  for (const char* c : {"slow1", "slow2", "later"}) WriteFile(h.Standard(c) + "/calc_p_1_Passed.txt", "x");

  ProgramRun run = RunProgram({"run", h.host, "-j", "2", "--junit", dir / "r.xml", "--html", dir / "r.html"},
                              dir, [&](int pid) {
    for (int i = 0;
         i < 200 && !(Exists(h.Work("slow1") + "/started") && Exists(h.Work("slow2") + "/started")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGINT);
  });
  EXPECT_EQ(run.signal, SIGINT) << run.out << run.err;
  EXPECT_NE(run.err.find("stopped by SIGINT"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("slow1, slow2"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("not run: later"), std::string::npos) << run.err;
  EXPECT_EQ(h.Markers(), "quick=1 slow1=0 slow2=0 later=1 ");
  EXPECT_EQ(h.Record(), "");
  EXPECT_FALSE(Alive(h.Work("slow1") + "/child.pid"));
  EXPECT_TRUE(Exists(h.Work("slow2") + "/started"));  // working folders stay
  std::vector<std::string> outcomes = JUnitOutcomes(dir / "r.xml");
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[1].rfind("slow1:error:stopped by SIGINT", 0), 0u) << outcomes[1];
  EXPECT_EQ(outcomes[3].rfind("later:skipped:not run", 0), 0u) << outcomes[3];
  // The summary, the JUnit counts and the page count alike: the case never started is not
  // one with an error.
  EXPECT_NE(run.out.find("summary: 4 cases, 1 passed, 0 not passed, 0 failed to calculate, 2 with errors or "
                         "stopped, 1 not run; in "),
            std::string::npos)
      << run.out;
  XmlDocument junit(dir / "r.xml");
  EXPECT_EQ(junit.Value("/testsuites/@errors"), "2");
  EXPECT_EQ(junit.Value("/testsuites/@skipped"), "1");
  XmlDocument html(dir / "r.html", true);
  EXPECT_EQ(html.Values("//table[3]/tr/td[5]/@class"),
            (std::vector<std::string>{"state ok", "state bad", "state bad", "state warn"}));
}

TEST(RunCommand, FailedRunsOnlyTheCasesWithoutAMarker) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", "echo A >> ../../calls\necho result > r.out\n");
  h.AddCase("B", "echo B >> ../../calls\necho wrong > r.out\n");
  h.AddCase("C", "echo C >> ../../calls\necho result > r.out\n", false);
  h.Write();
  EXPECT_EQ(RunProgram({"run", h.host, "-j", "1"}, dir).status, 1);
  EXPECT_EQ(h.Markers(), "A=1 B=0 C=1 ");

  WriteFile(h.Standard("B") + "/p.prj", "echo B >> ../../calls\necho result > r.out\n");
  ProgramRun run = RunProgram({"run", h.host, "--failed", "-j", "1"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(ReadFile(h.folder + "/calls"), "A\nB\nC\nB\n");
  EXPECT_EQ(h.Markers(), "A=1 B=1 C=1 ");
  EXPECT_EQ(Lines(h.Record()), 1);

  // Nothing left to run: the build has passed.
  run = RunProgram({"run", h.host, "--failed"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("no case to run"), std::string::npos);

  // --mandatory and --cases (by caption or folder) choose together.
  EXPECT_EQ(RunProgram({"run", h.host, "--mandatory", "--cases", "A", "C"}, dir).status, 0);
  EXPECT_EQ(ReadFile(h.folder + "/calls"), "A\nB\nC\nB\nA\n");
}

TEST(RunCommand, BadUsageAndUnusableDefinitionsExitWithTwo) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);

  ProgramRun run = RunProgram({"run", h.host}, dir);  // no definition file yet
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("CALC_TEST_DAT.XML' and '" + h.folder + "/CALC_TEST_DAT.TXT'"), std::string::npos)
      << run.err;
  EXPECT_FALSE(Exists(h.folder + "/calc_Test_Ver.txt"));

  WriteFile(h.folder + "/CALC_TEST_DAT.TXT", "// nothing but a comment\n");
  run = RunProgram({"run", h.host}, dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("holds no valid case"), std::string::npos) << run.err;

  WriteFile(h.folder + "/CALC_TEST_DAT.XML",
            "<自测试配置><自测试标准目录>TestData</自测试标准目录><自测试算例 名称=");
  run = RunProgram({"list", h.host}, dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot read the definition file '" + h.folder + "/CALC_TEST_DAT.XML'"),
            std::string::npos)
      << run.err;
  std::filesystem::remove(h.folder + "/CALC_TEST_DAT.XML");
  h.Write();

  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{"run"},
                                             {"run", h.host, "-j", "0"},
                                             {"run", h.host, "--bogus"},
                                             {"run", h.host, "--exec", "{host} {projekt}"},
                                             {"run", h.host, "--cases", "nosuch"},
                                             {"run", dir / "nohost"},
           {"run", h.host, "--junit", dir / "no/such/folder/r.xml"},
                                             {"frobnicate"}}) {
    run = RunProgram(args, dir);
    EXPECT_EQ(run.status, 2) << args.back() << run.err;
    EXPECT_FALSE(run.err.empty()) << args.back();
  }
  EXPECT_NE(RunProgram({"run", h.host, "--exec", "{host} {projekt}"}, dir)
                .err.find("unknown placeholder {projekt}"),
            std::string::npos);
  EXPECT_EQ(h.Record(), "");
  EXPECT_EQ(RunProgram({"run", "--help"}, dir).status, 0);
}

}  // namespace
}  // namespace corvala4::testing
