#include "results/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "results/line_compare.h"
#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::ErrorOf;
using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

class OutputFileTest : public CaseFixture {
 protected:
  /// The state of one output "r.txt" of case C1 after writing both sides (nullptr: no file).
  OutputFileState StateOf(const char* standard, const char* output) {
    auto tc = MakeCase("C1", {"r.txt"});
    unlink(Std("C1/r.txt").c_str());
    unlink(Work("C1/r.txt").c_str());
    if (standard) WriteFile(Std("C1/r.txt"), standard);
    if (output) WriteFile(Work("C1/r.txt"), output);
    auto file = tc->OutputFiles()->Item(1);
    file->Compare();
    return file->State();
  }
};

TEST_F(OutputFileTest, SixStatesAndTheirTexts) {
  auto tc = MakeCase("C1", {"r.txt"});
  auto file = tc->OutputFiles()->Item(1);
  EXPECT_FALSE(file->IsSame());
  EXPECT_EQ("未知", file->StatusText());

  EXPECT_EQ(StandardMissing, StateOf(nullptr, nullptr));  // both missing: the standard counts first
  EXPECT_EQ(StandardMissing, StateOf(nullptr, "a\r\n"));
  EXPECT_EQ(OutputMissing, StateOf("a\r\n", nullptr));
  EXPECT_EQ(LengthDiffers, StateOf("a\r\n", "ab\r\n"));
  EXPECT_EQ(ContentDiffers, StateOf("a\r\n", "b\r\n"));
  EXPECT_EQ(Same, StateOf("a\r\n", "a\r\n"));
  EXPECT_EQ(Same, StateOf("", ""));
  EXPECT_EQ(ContentDiffers, StateOf("Result\r\n", "result\r\n"));
  // A different terminator, or a missing final one, changes the size.
  EXPECT_EQ(LengthDiffers, StateOf("a\r\nb\r\n", "a\nb\n"));
  EXPECT_EQ(LengthDiffers, StateOf("a\r\nb\r\n", "a\r\nb"));

  const char* texts[] = {"未知", "未找到输出文件", "未找到标准文件", "长度不同", "内容不同", "相同"};
  for (int s = 0; s <= 5; ++s) EXPECT_EQ(texts[s], OutputFileStateText(static_cast<OutputFileState>(s)));
}

TEST_F(OutputFileTest, DateLinesMatchAnyLineAtTheSamePosition) {
  EXPECT_EQ(Same, StateOf("计算日期 2006年5月12日\r\nx=1\r\n", "计算日期 2007年6月13日\r\nx=1\r\n"));
  // The tolerance never rescues a size difference.
  EXPECT_EQ(LengthDiffers, StateOf("2006年5月12日\r\nx=1\r\n", "2006年12月12日\r\nx=1\r\n"));
  // Either side may hold the date; the other line may be anything of the right size, even empty.
  EXPECT_EQ(Same, StateOf("2006年5月12日\r\nx=1\r\n", "abcdefghijklmnop\r\nx=1\r\n"));
  EXPECT_EQ(Same, StateOf("abcdefghijklmnop\r\nx=1\r\n", "2006年5月12日\r\nx=1\r\n"));
  EXPECT_EQ(Same, StateOf("\r\n\r\n2006年5月12日\r\n", "2006年5月12日\r\n\r\n\r\n"));
  // The three characters must come in order.
  EXPECT_EQ(ContentDiffers, StateOf("日5月2006年\r\n", "日5月2007年\r\n"));
  // Equal sizes, every pair matching, but one file has a line more.
  EXPECT_EQ(ContentDiffers, StateOf("2006年5月1日\r\nA", "2006年5月1日AAA"));
}

TEST_F(OutputFileTest, LoneLineFeedsEndLines) {
  // Unix output: with only CR LF and CR ending lines, the whole file would be one date line
  // and compare as the same; each line is compared on its own.
  EXPECT_EQ(ContentDiffers, StateOf("2006年5月12日\nx=1\n", "2006年5月12日\nx=2\n"));
  EXPECT_EQ(Same, StateOf("2006年5月12日\nx=1\n", "2006年5月13日\nx=1\n"));
  // A lone CR ends a line too, and CR LF is one end, not two.
  EXPECT_EQ(ContentDiffers, StateOf("2006年5月12日\rx=1\r", "2006年5月12日\rx=2\r"));
  EXPECT_EQ(ContentDiffers, StateOf("a\r\nb\n", "a\n\nbb"));
}

TEST_F(OutputFileTest, LinesAreDecodedInTheCodePage) {
  // 2006年5月12日 and 2006年5月13日 in GBK.
  std::string gbk1 =
      "2006\xC4\xEA"
      "5\xD4\xC2"
      "12\xC8\xD5\r\nx=1\r\n";
  std::string gbk2 =
      "2006\xC4\xEA"
      "5\xD4\xC2"
      "13\xC8\xD5\r\nx=1\r\n";
  // The bytes of 年, 月 and 日 across character boundaries: 澳暝氯铡 holds none of them.
  std::string mixed1 = "\xB0\xC4\xEA\xD4\xC2\xC8\xD5\xA1\r\n";
  std::string mixed2 = "\xB0\xC4\xEA\xD4\xC2\xC8\xD5\xA2\r\n";
  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  EXPECT_EQ(Same, StateOf(gbk1.c_str(), gbk2.c_str()));
  EXPECT_EQ(ContentDiffers, StateOf(mixed1.c_str(), mixed2.c_str()));
  setenv("CORVALA4_CODEPAGE", "UTF-8", 1);
  EXPECT_EQ(ContentDiffers, StateOf(gbk1.c_str(), gbk2.c_str()));
  unsetenv("CORVALA4_CODEPAGE");
}

TEST_F(OutputFileTest, AFailedComparisonKeepsThePreviousState) {
  auto tc = MakeCase("C1", {"r.txt"});
  auto file = tc->OutputFiles()->Item(1);
  WriteFile(Std("C1/r.txt"), "");
  WriteFile(Work("C1/r.txt"), "");
  file->Compare();
  ASSERT_EQ(Same, file->State());
  // A pipe would wait for a writer: reading it fails at once and the state stays.
  unlink(Work("C1/r.txt").c_str());
  ASSERT_EQ(0, mkfifo(Work("C1/r.txt").c_str(), 0600));
  EXPECT_EQ(err::DeviceIO, ErrorOf([&] { file->Compare(); }));
  EXPECT_EQ(Same, file->State());
  // A link leading out of the test data (an unreadable file, a device that never ends) is not
  // even read: what it holds vouches for nothing, so it differs.
  for (const char* target : {"/proc/self/mem", "/dev/zero"}) {
    unlink(Work("C1/r.txt").c_str());
    ASSERT_EQ(0, symlink(target, Work("C1/r.txt").c_str()));
    EXPECT_EQ(0, ErrorOf([&] { file->Compare(); })) << target;
    EXPECT_EQ(ContentDiffers, file->State()) << target;
  }
}

TEST_F(OutputFileTest, ItemsFromBothDefinitionForms) {
  auto tc = MakeCase("C1");
  OutputFile kept, plain, empty, xml;
  kept.InitFromText(*tc, "  <beam.dat>  ");
  plain.InitFromText(*tc, " beam.out ");
  empty.InitFromText(*tc, "<>");
  xml.Init(*tc, "  <beam.dat> ", false);
  EXPECT_EQ("beam.dat", kept.Name());
  EXPECT_TRUE(kept.Keep());
  EXPECT_EQ("beam.out", plain.Name());
  EXPECT_FALSE(plain.Keep());
  EXPECT_EQ("", empty.Name());
  EXPECT_TRUE(empty.Keep());
  EXPECT_EQ("<beam.dat>", xml.Name());
  EXPECT_FALSE(xml.Keep());
  EXPECT_EQ(Std("C1/beam.dat"), kept.StandardPath());
  EXPECT_EQ(Work("C1/beam.out"), plain.OutputPath());
  kept.Detach();
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { kept.StandardPath(); }));
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { kept.Status().Refresh(); }));
}

TEST_F(OutputFileTest, CollectionClearDetachesEveryFile) {
  auto tc = MakeCase("C1", {"a.out", "a.out", "b.out"});
  auto files = tc->OutputFiles();
  ASSERT_EQ(3, files->Count());
  EXPECT_EQ("b.out", files->Item(3)->Name());
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { files->Item(0); }));
  EXPECT_EQ(err::SubscriptOutOfRange, ErrorOf([&] { files->Item(4); }));
  auto first = files->Item(1);
  files->Clear();
  EXPECT_EQ(0, files->Count());
  EXPECT_EQ(nullptr, first->Owner());
}

TEST_F(OutputFileTest, DeleteOutputStaysInsideTheWorkingDirectory) {
  WriteFile(env.dir() / "outside.txt", "keep");
  WriteFile(env.dir() / "elsewhere/victim.out", "keep");
  WriteFile(Work("Other/x.out"), "x");
  WriteFile(Work("C1/a.out"), "a");
  ASSERT_EQ(0, symlink((env.dir() / "elsewhere").c_str(), Work("C1/link").c_str()));
  auto tc = MakeCase("C1", {"a.out", "missing.out", "../Other/x.out", "../../outside.txt", "/outside.txt",
                            "link/victim.out"});
  auto files = tc->OutputFiles();
  files->Item(1)->DeleteOutput();
  EXPECT_FALSE(Exists(Work("C1/a.out")));
  files->Item(2)->DeleteOutput();  // nothing to delete, nothing said
  files->Item(3)->DeleteOutput();  // another folder, but still the working directory
  EXPECT_FALSE(Exists(Work("Other/x.out")));
  for (int i = 4; i <= 6; ++i) {
    Error e = testing::CaughtError([&] { files->Item(i)->DeleteOutput(); });
    EXPECT_EQ(UnsafePathError, e.Number()) << i;
    EXPECT_NE(std::string::npos, e.Description().find(files->Item(i)->OutputPath())) << e.Description();
    EXPECT_NE(std::string::npos, e.Description().find(core().DefinitionFile())) << e.Description();
  }
  EXPECT_EQ("keep", ReadFile(env.dir() / "outside.txt"));
  EXPECT_EQ("keep", ReadFile(env.dir() / "elsewhere/victim.out"));
}

// Lines of a text as the comparison cuts them: at CR LF, a lone CR or a lone LF.
std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += s[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool ExpectedSame(const std::string& a, const std::string& b) {
  std::vector<std::string> la = SplitLines(a), lb = SplitLines(b);
  for (size_t i = 0; i < std::min(la.size(), lb.size()); ++i)
    if (!LinesMatch(la[i], lb[i])) return false;
  return la.size() == lb.size();
}

TEST(SameLines, AgreesWithLineByLineComparisonAtEveryBlockSize) {
  // Block sizes down to one byte put every boundary (inside CR LF, inside a character,
  // inside a long line) at every place; random pairs differ in a few pieces.
  testing::TempDir dir;
  std::mt19937 random(7);
  const char* pieces[] = {"a", "b", "\r", "\n", "\r\n", "年", "月", "日", "xyz"};
  auto text = [&](size_t n) {
    std::vector<int> t;
    for (size_t i = 0; i < n; ++i) t.push_back(static_cast<int>(random() % 9));
    return t;
  };
  auto join = [&](const std::vector<int>& t) {
    std::string s;
    for (int p : t) s += pieces[p];
    return s;
  };
  int checked = 0, same = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<int> a = text(random() % 40);
    std::vector<int> b = a;
    for (int k = static_cast<int>(random() % 3); k > 0 && !b.empty(); --k) {
      size_t at = random() % b.size();
      switch (random() % 3) {
        case 0:
          b[at] = static_cast<int>(random() % 9);
          break;
        case 1:
          b.erase(b.begin() + static_cast<long>(at));
          break;
        default:
          b.insert(b.begin() + static_cast<long>(at), static_cast<int>(random() % 9));
          break;
      }
    }
    std::string sa = join(a), sb = join(b);
    WriteFile(dir / "a", sa);
    WriteFile(dir / "b", sb);
    bool expected = ExpectedSame(sa, sb);
    same += expected;
    for (size_t block : {1, 2, 3, 4, 5, 7, 16, 4096}) {
      ASSERT_EQ(expected, SameLines(dir / "a", dir / "b", block))
          << "block " << block << "\n[" << sa << "]\n[" << sb << "]";
      ++checked;
    }
  }
  EXPECT_GT(same, 40);  // both outcomes well represented
  EXPECT_LT(same, 360);
  EXPECT_EQ(3200, checked);
}

TEST(SameLines, LongLinesAndMissingFiles) {
  testing::TempDir dir;
  std::string line(300000, 'x');
  WriteFile(dir / "a", line + "2006年5月12日" + line + "\n" + line);
  WriteFile(dir / "b", line + "2006年5月13日" + line + "\n" + line);
  EXPECT_TRUE(SameLines(dir / "a", dir / "b", 4096));
  WriteFile(dir / "b", line + "2006年5月12日" + line + "\n" + line.substr(1) + "y");
  EXPECT_FALSE(SameLines(dir / "a", dir / "b", 4096));
  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { SameLines(dir / "a", dir / "missing"); }));
}

}  // namespace
}  // namespace corvala4
