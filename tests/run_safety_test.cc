// `corvala4 run` where things go wrong around it: a runner killed with its calculations
// running, a report left by an earlier run, report paths that cannot be written, limits
// that make no sense, more calculations than descriptors, bytes that are no characters.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "foundation/platform/code_page.h"
#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

bool IsValidUtf8(const std::string& text) { return ScalarValuesOnly(text) == text; }

TEST(RunSafety, AKilledRunnerLeavesNoCalculationAndNoStaleReport) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("quick", ScriptHost::kOk);
  h.Write();
  std::string report = dir / "r.xml", html = dir / "r.html";
  ASSERT_EQ(RunProgram({"run", h.host, "--junit", report, "--html", html}, dir).status, 0);
  ASSERT_TRUE(Exists(report));

  h.AddCase("hangs", "echo $$ > host.pid\nsleep 300 & echo $! > child.pid\nwait\n");
  h.Write();
  ProgramRun run =
      RunProgram({"run", h.host, "--junit", report, "--html", html, "-j", "2"}, dir, [&](int pid) {
        for (int i = 0; i < 500 && ReadFile(h.Work("hangs") + "/child.pid").empty(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, SIGKILL);
      });
  EXPECT_EQ(run.signal, SIGKILL);
  // Alive() waits up to 2 s for each to go.
  EXPECT_FALSE(Alive(h.Work("hangs") + "/child.pid"));
  EXPECT_FALSE(Alive(h.Work("hangs") + "/host.pid"));
  // The passing report of the run before does not stand for this one.
  EXPECT_FALSE(Exists(report));
  EXPECT_FALSE(Exists(html));
  // Nor does it for a run that cannot even begin.
  WriteFile(report, "<stale/>");
  WriteFile(html, "<stale/>");
  EXPECT_EQ(RunProgram({"run", dir / "no-such-host", "--junit", report, "--html", html}, dir).status, 2);
  EXPECT_FALSE(Exists(report));
  EXPECT_FALSE(Exists(html));
}

TEST(RunSafety, ReportPathsAndLimitsAreCheckedBeforeAnyCaseRuns) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("quick", ScriptHost::kOk);
  h.Write();
  std::filesystem::create_directory(dir / "folder");
  // Writable and searchable as a folder would be, yet no report can be removed or written below it.
  WriteFile(dir / "tool", "#!/bin/sh\n");
  std::filesystem::permissions(dir / "tool", std::filesystem::perms::owner_all);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--junit", dir / "folder"},
                                              {"--html", dir / "folder"},
                                              {"--junit", dir / "nowhere/r.xml"},
                                              {"--html", dir / "tool/r.html"},
                                              {"--timeout", "9.3e9"},
                                              {"--timeout", "1e300"},
                                              {"--timeout", "inf"},
                                              {"--timeout", "nan"},
                                              {"--timeout", "0"}}) {
    std::vector<std::string> args{"run", h.host};
    args.insert(args.end(), bad.begin(), bad.end());
    ProgramRun run = RunProgram(args, dir);
    EXPECT_EQ(run.status, 2) << bad[0] << " " << bad[1] << ": " << run.out << run.err;
    EXPECT_FALSE(std::filesystem::exists(h.Work("quick"))) << bad[1];
    EXPECT_EQ(h.Record(), "");
  }
  EXPECT_NE(RunProgram({"run", h.host, "--timeout", "1e12"}, dir).err.find("at most 2592000 (30 days)"),
            std::string::npos);
  // The longest limit is still one, and a calculation that ends well within it passes.
  EXPECT_EQ(RunProgram({"run", h.host, "--timeout", "2592000"}, dir).status, 0);
}

TEST(RunSafety, MoreCalculationsThanDescriptorsWaitForAFreeSlot) {
  if (Capture("command -v prlimit").status != 0) GTEST_SKIP() << "no prlimit here";
  TempDir dir;
  ScriptHost h(dir);
  for (int i = 0; i < 40; ++i) h.AddCase("c" + std::to_string(i), "sleep 0.1\necho result > r.out\n");
  h.Write();
  ProgramRun run =
      RunProgram({"run", h.host, "-j", "40"}, dir, {}, {}, {"prlimit", "--nofile=100:100", "--"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("-j 40 is more than the open-file limit allows (100 descriptors)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("Too many open files"), std::string::npos) << run.out;
}

TEST(RunSafety, ReportsHoldOnlyCharacters) {
  TempDir dir;
  ScriptHost h(dir);
  // Beyond U+10FFFF, a surrogate, an overlong slash: all become U+FFFD.
  h.AddCase("odd", "printf 'a\\364\\220\\200\\200b\\355\\240\\200c\\300\\257d\\n'\nexit 1\n");
  h.Write();
  std::string report = dir / "r.xml", html = dir / "r.html";
  EXPECT_EQ(
      RunProgram({"run", h.host, "--junit", report, "--html", html}, dir, {}, {"CORVALA4_CODEPAGE=UTF-8"})
          .status,
      1);
  XmlDocument doc(report);
  ASSERT_TRUE(doc.Ok());
  std::string out = doc.Value("//testcase/system-out");
  // Each becomes U+FFFD (the decoder may give one for each of their bytes).
  EXPECT_NE(out.find("a\xEF\xBF\xBD"
                     "b\xEF\xBF\xBD"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("c\xEF\xBF\xBD"), std::string::npos) << out;
  EXPECT_TRUE(IsValidUtf8(ReadFile(report)));
  EXPECT_TRUE(IsValidUtf8(ReadFile(html)));

  // A caption with such bytes lists as valid JSON text.
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT",
            "TestData;standard results\nx\xF4\x90\x80\x80y,odd,p.prj,y,1,r.out;\n");
  ProgramRun list = RunProgram({"list", h.host, "--json"}, dir, {}, {"CORVALA4_CODEPAGE=UTF-8"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(IsValidUtf8(list.out));
  EXPECT_NE(list.out.find("x\xEF\xBF\xBDy"), std::string::npos) << list.out;
}

TEST(RunSafety, MarkerAndVersionRecordAreWrittenOnlyAsFilesOfTheirOwn) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("quick", ScriptHost::kOk);
  h.Write();
  WriteFile(dir / "outside/record", "kept\n");
  std::string marker = h.Standard("quick") + "/calc_p_1_Passed.txt";
  // A dangling link in the marker's place is replaced by the marker, its target never made.
  std::filesystem::create_symlink(dir / "outside/made", marker);
  std::filesystem::create_symlink(dir / "outside/record", h.folder + "/calc_Test_Ver.txt");
  ProgramRun run = RunProgram({"run", h.host}, dir);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("but it could not be recorded"), std::string::npos) << run.out;
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(marker)));
  EXPECT_FALSE(Exists(dir / "outside/made"));
  // The record is a link: refused, and the file it leads to keeps what it held.
  EXPECT_EQ(ReadFile(dir / "outside/record"), "kept\n");
  EXPECT_TRUE(std::filesystem::is_symlink(h.folder + "/calc_Test_Ver.txt"));

  // A link to a file in the marker's place is no pass.
  std::filesystem::remove(marker);
  std::filesystem::create_symlink(h.Standard("quick") + "/p.prj", marker);
  ProgramRun list = RunProgram({"list", h.host}, dir);
  EXPECT_EQ(list.out.find("(通过)"), std::string::npos) << list.out;
}

TEST(ScalarValues, IllFormedSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(ScalarValuesOnly("plain 汉字 \xF0\x9F\x98\x80"), "plain 汉字 \xF0\x9F\x98\x80");
  EXPECT_EQ(ScalarValuesOnly("\xF4\x90\x80\x80"), "\xEF\xBF\xBD");
  EXPECT_EQ(ScalarValuesOnly("\xED\xA0\x80"), "\xEF\xBF\xBD");
  EXPECT_EQ(ScalarValuesOnly("\xC0\xAF"), "\xEF\xBF\xBD");
  EXPECT_EQ(ScalarValuesOnly("a\xE6\xB1"), "a\xEF\xBF\xBD");  // cut short at the end
  EXPECT_EQ(ScalarValuesOnly("\x80x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace corvala4::testing
