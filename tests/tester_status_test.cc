#include "results/tester_status.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "engine/tester_core.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

std::time_t Local(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

void SetTime(const std::string& path, std::time_t t) {
  struct timeval times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(0, utimes(path.c_str(), times));
}

class TesterStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = env.dir() / "bin/Calc.exe";
    WriteFile(host, std::string(123456, 'x'));
    SetTime(host, Local(2006, 5, 12, 14, 32, 5));
    tester.SetHostEXE(host);
    TesterCore::Of(tester).OpenContext();
  }
  void TearDown() override { TesterCore::Of(tester).CloseContext(); }
  TesterStatus& status() { return TesterCore::Of(tester).VersionRecord(); }

  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  Tester tester;
  std::string host;
};

TEST(PackTest, PacksDayHighAndYearLow) {
  std::time_t t = Local(2006, 5, 12, 14, 32, 5);
  EXPECT_EQ(25242, TesterStatus::PackDate(t));
  EXPECT_EQ(5134, TesterStatus::PackTime(t));
  EXPECT_EQ("2006年5月12日", TesterStatus::LongDate(t));
  EXPECT_EQ("14:32:05", TesterStatus::LongTime(t));
  // Seconds are halved with halves to the even neighbour.
  const int expected[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 2}, {6, 3}, {7, 4}, {8, 4}, {9, 4},
                             {58, 29}, {59, 30}};
  for (const auto& [second, h2] : expected)
    EXPECT_EQ(h2 * 2048 | 32 * 32 | 14, TesterStatus::PackTime(Local(2006, 5, 12, 14, 32, second))) << second;
  EXPECT_EQ(1 * 2048 | 1 * 128 | 0, TesterStatus::PackDate(Local(1980, 1, 1, 0, 0, 0)));
  // Before 1980 the negative year term makes the whole value negative.
  EXPECT_LT(TesterStatus::PackDate(Local(1975, 6, 1, 12, 0, 0)), 0);
}

TEST_F(TesterStatusTest, AppendsOneLinePerPassAndRecognisesTheBuild) {
  EXPECT_EQ(env.dir() / "bin/Calc_Test_Ver.txt", status().RecordPath());
  EXPECT_FALSE(status().VersionPassed());
  EXPECT_FALSE(Exists(status().RecordPath()));

  status().RecordVersionPassed();
  std::string line = "123456,25242,5134,[" + host + "(2006年5月12日,14:32:05)]\r\n";
  EXPECT_EQ(line, ReadFile(status().RecordPath()));
  EXPECT_TRUE(status().VersionPassed());
  status().RecordVersionPassed();
  EXPECT_EQ(line + line, ReadFile(status().RecordPath()));

  // 3, 4 and 5 seconds are the same build; 6 is another one, as is any other size.
  SetTime(host, Local(2006, 5, 12, 14, 32, 3));
  EXPECT_TRUE(status().VersionPassed());
  SetTime(host, Local(2006, 5, 12, 14, 32, 6));
  EXPECT_FALSE(status().VersionPassed());
  SetTime(host, Local(2006, 5, 12, 14, 32, 5));
  WriteFile(host, std::string(123457, 'x'));
  SetTime(host, Local(2006, 5, 12, 14, 32, 5));
  EXPECT_FALSE(status().VersionPassed());
}

TEST_F(TesterStatusTest, AHostPathWithPlaceholdersIsRecordedAsItIs) {
  TesterCore::Of(tester).CloseContext();
  host = env.dir() / "bin %0 %1/Calc.exe";
  WriteFile(host, std::string(10, 'x'));
  SetTime(host, Local(2006, 5, 12, 14, 32, 5));
  tester.SetHostEXE(host);
  TesterCore::Of(tester).OpenContext();
  status().RecordVersionPassed();
  EXPECT_EQ("10,25242,5134,[" + host + "(2006年5月12日,14:32:05)]\r\n", ReadFile(status().RecordPath()));
  EXPECT_TRUE(status().VersionPassed());
}

TEST_F(TesterStatusTest, ReadsOnlyTheThreeNumbersOfMatchingLines) {
  std::string record = status().RecordPath();
  WriteFile(record, "hand-written note\r\n\r\n0123456,25242,5134,[x(a,b)]\r\n");
  EXPECT_FALSE(status().VersionPassed());  // a leading zero is another text
  WriteFile(record, "-5,25242,5134,[x(a,b)]\r\n123456,25242,5134,[no brackets\r\n");
  EXPECT_FALSE(status().VersionPassed());
  // Text before the numbers and another date format do not matter.
  WriteFile(record, "note: 123456,25242,5134,[" + host + "(May 12,2 pm)]\r\n");
  EXPECT_TRUE(status().VersionPassed());
}

TEST_F(TesterStatusTest, ConcurrentAppendsNeverMixLines) {
  constexpr int kProcesses = 4, kLines = 100;
  pid_t children[kProcesses];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        for (int i = 0; i < kLines; ++i) status().RecordVersionPassed();
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int rc = 0;
    waitpid(child, &rc, 0);
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
  }
  std::string line = "123456,25242,5134,[" + host + "(2006年5月12日,14:32:05)]\r\n";
  std::string content = ReadFile(status().RecordPath());
  ASSERT_EQ(line.size() * kProcesses * kLines, content.size());
  for (size_t pos = 0; pos < content.size(); pos += line.size())
    ASSERT_EQ(line, content.substr(pos, line.size())) << "at " << pos;
}

TEST_F(TesterStatusTest, TheRecordIsWrittenInTheCodePage) {
  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  std::string chinese = env.dir() / "计算/calc";
  WriteFile(chinese, "x");
  SetTime(chinese, Local(2006, 5, 12, 14, 32, 5));
  tester.SetHostEXE(chinese);
  status().RecordVersionPassed();
  std::string bytes = ReadFile(env.dir() / "计算/calc_Test_Ver.txt");
  unsetenv("CORVALA4_CODEPAGE");
  // 计算 in GBK, and the date in GBK too.
  EXPECT_NE(std::string::npos, bytes.find("\xBC\xC6\xCB\xE3/calc("));
  EXPECT_NE(std::string::npos, bytes.find("2006\xC4\xEA" "5\xD4\xC2" "12\xC8\xD5"));
  EXPECT_EQ(std::string::npos, bytes.find("计算"));
}

}  // namespace
}  // namespace corvala4
