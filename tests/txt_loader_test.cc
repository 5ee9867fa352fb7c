#include "engine/txt_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/platform/service_factory.h"
#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::ErrorOf;
using testing::WriteFile;

// The expected groups below come from the reference matcher of the two patterns
// (a backtracking ECMAScript engine), run on the same texts.
class TxtLoaderTest : public CaseFixture {
 protected:
  std::string HostDir() const { return env.dir() / "host"; }

  /// Loads a definition text; each case as "caption|folder|project|mandatory|code|outputs",
  /// outputs joined by ";", a kept one in angle brackets.
  std::vector<std::string> Load(const std::string& text) {
    WriteFile(HostDir() + "/CALC_TEST_DAT.TXT", text);
    TesterCore::Of(tester).LocateDefinitionFile();
    LoadTxtDefinition(TesterCore::Of(tester));
    std::vector<std::string> rows;
    for (const auto& tc : TesterCore::Of(tester).TestCases()->Cases()) {
      std::string outputs;
      for (const auto& file : *tc->OutputFiles()) {
        if (!outputs.empty()) outputs += ";";
        if (file->Keep()) outputs += '<';
        outputs += file->Name();
        if (file->Keep()) outputs += '>';
        EXPECT_EQ(tc.get(), file->Owner());
      }
      rows.push_back(tc->Caption() + "|" + tc->Folder() + "|" + tc->ProjectFileName() + "|" +
                     (tc->Mandatory() ? "y" : "n") + "|" + tc->FuncNumText() + "|" + outputs);
      EXPECT_EQ(&TesterCore::Of(tester), tc->Owner());
    }
    return rows;
  }
  std::string Standard() const { return TesterCore::Of(tester).StandardFolder(); }
};

using Rows = std::vector<std::string>;

TEST_F(TxtLoaderTest, WorkedExample) {
  Rows rows = Load(
      "TestData;standard results\r\n"
      "// beams and columns\r\n"
      "Beam,Beam01,beam.prj,y,12,beam.out,<beam.dat>;\r\n"
      "Column,Col01,col.prj,n,3,col1.out,\r\n"
      "    col2.out;\r\n");
  EXPECT_EQ(HostDir() + "/TestData", Standard());
  EXPECT_EQ(HostDir() + "/TestData_make", TesterCore::Of(tester).WorkFolder());
  EXPECT_EQ(
      (Rows{"Beam|Beam01|beam.prj|y|12|beam.out;<beam.dat>", "Column|Col01|col.prj|n|3|col1.out;col2.out"}),
      rows);
  auto beam = TesterCore::Of(tester).TestCases()->At(1);
  EXPECT_EQ(12, beam->FuncNum());
  EXPECT_EQ(HostDir() + "/TestData_make/Beam01/beam.prj", beam->ProjectFile());
  // Loading again starts from an empty collection.
  EXPECT_EQ(2u, Load("TestData;x\r\nA,F,p.prj,n,1,a.out;\r\nB,G,p.prj,n,1,b.out;\r\n").size());
}

TEST_F(TxtLoaderTest, StandardDirectoryLine) {
  EXPECT_EQ(Rows{}, Load(""));
  EXPECT_EQ("", Standard());

  // No directory line: the first record is taken for one, and yields no case itself.
  EXPECT_EQ(Rows{"Column|Col01|col.prj|n|3|col.out"},
            Load("Beam,Beam01,beam.prj,y,12,beam.out;\r\nColumn,Col01,col.prj,n,3,col.out;\r\n"));
  EXPECT_EQ(HostDir() + "/Beam,Beam01,beam.prj,y,12,beam.out", Standard());
  // After a comment line the same record is the directory and a case as well.
  EXPECT_EQ(Rows{"Beam|Beam01|beam.prj|y|12|beam.out"},
            Load("// cases\r\nBeam,Beam01,beam.prj,y,12,beam.out;\r\n"));
  EXPECT_EQ(HostDir() + "/Beam,Beam01,beam.prj,y,12,beam.out", Standard());

  // Nothing after ";" fits with CR LF line ends, and with LF ones as well.
  EXPECT_EQ(Rows{"Beam|Beam01|beam.prj|y|12|beam.out"},
            Load("TestData;\nOther;std\nBeam,Beam01,beam.prj,y,12,beam.out;\n"));
  EXPECT_EQ(HostDir() + "/TestData", Standard());
  EXPECT_EQ(Rows{"Beam|Beam01|beam.prj|y|12|beam.out"},
            Load("TestData;\r\nOther;std\r\nBeam,Beam01,beam.prj,y,12,beam.out;\r\n"));
  EXPECT_EQ(HostDir() + "/TestData", Standard());
  // A line with nothing after ";" at the very end still has no line end to close it.
  EXPECT_EQ(Rows{}, Load("TestData;"));
  EXPECT_EQ("", Standard());

  // A comment holding ";" is passed over; names may be Chinese.
  EXPECT_EQ(Rows{"梁|Beam01|beam.prj|y|12|结果.out"},
            Load("// a;b\r\n梁数据;说明\r\n梁,Beam01,beam.prj,y,12,结果.out;\r\nx,y;\r\n"));
  EXPECT_EQ(HostDir() + "/梁数据", Standard());
  // A lone CR starts a line for "^" as well.
  EXPECT_EQ(Rows{"A|F1|p.prj|n|1|a.out"}, Load("//c\rD;x\r\nA,F1,p.prj,n,1,a.out;\r\n"));
  EXPECT_EQ(HostDir() + "/D", Standard());
}

TEST_F(TxtLoaderTest, BackslashesBecomeSlashesBeforeTheDirectoryRule) {
  EXPECT_EQ(Rows{"A|Sub/F1|in/p.prj|n|1|out/a.out;<keep/b.dat>"},
            Load("\\data\\TestData;x\r\nA,Sub\\F1,in\\p.prj,n,1,out\\a.out, <keep\\b.dat> ;\r\n"));
  EXPECT_EQ("/data/TestData", Standard());  // absolute: taken as written
  // Written with "/", the directory line is a comment, and the first record stands in for it.
  EXPECT_EQ((Rows{"A|F1|p.prj|n|1|a.out", "B|F2|p.prj|n|2|b.out"}),
            Load("/data/TestData;x\nA,F1,p.prj,n,1,a.out;\nB,F2,p.prj,n,2,b.out;\n"));
  EXPECT_EQ(HostDir() + "/A,F1,p.prj,n,1,a.out", Standard());
  // Relative, joined to the host folder; a case folder leaving the data is still listed.
  EXPECT_EQ(Rows{"A|..|p.prj|n|1|a.out"}, Load("..\\Shared;x\r\nA,..,p.prj,n,1,a.out;\r\n"));
  EXPECT_EQ(HostDir() + "/../Shared", Standard());
  EXPECT_EQ(1, TesterCore::Of(tester).TestCases()->Count());
}

TEST_F(TxtLoaderTest, FieldRules) {
  // Only y or Y, alone, makes a case mandatory.
  EXPECT_EQ(
      (Rows{"A|F1|p.prj|y|1|a.out", "B|F2|p.prj|n|2|b.out", "C|F3|p.prj|n|3|c.out", "E|F4|p.prj|n|4|e.out"}),
      Load("D;x\r\nA,F1,p.prj,Y,1,a.out;\r\nB,F2,p.prj,y ,2,b.out;\r\nC,F3,p.prj,yes,3,c.out;\r\n"
           "E,F4,p.prj,n,4,e.out;\r\n"));
  // Fields keep the spaces before their commas; only output names are trimmed.
  EXPECT_EQ(Rows{"A |F1 |p.prj |n|12 |a.out"}, Load("D;x\r\nA , F1 , p.prj , y , 12 , a.out ;\r\n"));
  EXPECT_EQ(12, TesterCore::Of(tester).TestCases()->At(1)->FuncNum());
  // Carriage returns stay in fields 1 to 4; CR LF pairs and tabs leave the output names.
  EXPECT_EQ(Rows{"A\t\r|F1 \r|p.prj|n|12|a.out;b.out"},
            Load("D;x\r\nA\t\r\n,\tF1 \r\n,p.prj,y\r\n,12,\ta.out\t,\r\n\tb.out\r\n;tail text\r\n"));
  // A CR before a field cannot be skipped: no record.
  EXPECT_EQ(Rows{}, Load("D;x\r\nA\r\n,\tF1\t\r\n,p.prj,\r\n y,12,\ta.out\t,\r\n\tb.out\r\n;tail text\r\n"));
  // A "/" anywhere in a record keeps it from loading.
  EXPECT_EQ(Rows{"B|F2|p.prj|n|2|b.out"},
            Load("D;x\r\nA,F1,sub/p.prj,n,1,a.out;\r\nB,F2,p.prj,n,2,b.out;\r\n"));
}

TEST_F(TxtLoaderTest, OutputListsAndLineBreaks) {
  EXPECT_EQ((Rows{"A|F1|p.prj|n|1|a.out;", "B|F2|p.prj|n|2|b.out;;c.out", "C|F3|p.prj|n|3|<>"}),
            Load("D;x\r\nA,F1,p.prj,n,1,a.out,;\r\nB,F2,p.prj,n,2,b.out,,c.out;\r\nC,F3,p.prj,n,3,<>;\r\n"));
  // A line break inside the list is removed, whatever the line ends.
  EXPECT_EQ(Rows{"Column|Col01|col.prj|n|3|col1.out;col2.out"},
            Load("D;x\nColumn,Col01,col.prj,n,3,col1.out,\n    col2.out;\n"));
  // An indented name keeps its indentation; blank lines before it never join it.
  EXPECT_EQ(Rows{"  \tBeam  |Beam01|beam.prj|y|12|beam.out"},
            Load("D;x\r\n\r\n  \tBeam  ,Beam01,beam.prj,y,12,beam.out;\r\n"));
  EXPECT_EQ(Rows{"  \tBeam  |Beam01|beam.prj|y|12|beam.out"},
            Load("D;x\n\n  \tBeam  ,Beam01,beam.prj,y,12,beam.out;\n"));
}

// A file means the same whatever its line ends: LF, CR LF, or both mixed.
TEST_F(TxtLoaderTest, LineFeedsReadAsCarriageReturnLineFeeds) {
  const std::string crlf =
      "TD;standard results\r\n// beams\r\n\r\nBeam,C1,c.prj,y,1,a.out,\r\n    b.out;\r\n"
      "\r\n\r\n  Col , C2,c.prj,n,2,\r\n<k.dat>,\r\n\tc.out;\r\n";
  Rows expected = Load(crlf);
  EXPECT_EQ((Rows{"Beam|C1|c.prj|y|1|a.out;b.out", "  Col |C2|c.prj|n|2|<k.dat>;c.out"}), expected);
  std::string lf, mixed;
  for (size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == '\r') {
      if ((i / 7) % 2) mixed += '\r';
      continue;
    }
    lf += crlf[i];
    mixed += crlf[i];
  }
  EXPECT_EQ(expected, Load(lf));
  EXPECT_EQ(HostDir() + "/TD", Standard());
  EXPECT_EQ(expected, Load(mixed));
  EXPECT_EQ(HostDir() + "/TD", Standard());
}

TEST_F(TxtLoaderTest, ReadsInTheCodePage) {
  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  // 梁数据;说明 / 梁,B1,b.prj,y,1,结果.out; in GBK.
  Rows rows =
      Load("\xC1\xBA\xCA\xFD\xBE\xDD;\xCB\xB5\xC3\xF7\r\n\xC1\xBA,B1,b.prj,y,1,\xBD\xE1\xB9\xFB.out;\r\n");
  unsetenv("CORVALA4_CODEPAGE");
  EXPECT_EQ(Rows{"梁|B1|b.prj|y|1|结果.out"}, rows);
  EXPECT_EQ(HostDir() + "/梁数据", Standard());
}

class NoRegExpFactory : public ServiceFactory {
 public:
  std::shared_ptr<Service> Create(const std::string& progId) override {
    if (progId == "vbscript.regexp") throw Error(err::CannotCreateObject, progId, "no");
    SetServiceFactory(nullptr);
    std::shared_ptr<Service> made = CurrentServiceFactory().Create(progId);
    SetServiceFactory(self.lock());
    return made;
  }
  std::weak_ptr<NoRegExpFactory> self;
};

TEST_F(TxtLoaderTest, FailuresReachTheCaller) {
  EXPECT_NE(0, ErrorOf([&] { LoadTxtDefinition(TesterCore::Of(tester)); }));  // no file
  WriteFile(HostDir() + "/CALC_TEST_DAT.TXT", "D;x\r\nA,F1,p.prj,n,1,a.out;\r\n");
  auto factory = std::make_shared<NoRegExpFactory>();
  factory->self = factory;
  SetServiceFactory(factory);
  ui->answers.push_back(kCancel);
  TesterCore::Of(tester).SetShowUI(true);
  int32_t number = ErrorOf([&] { LoadTxtDefinition(TesterCore::Of(tester)); });
  SetServiceFactory(nullptr);
  EXPECT_EQ(err::ObjectNotSet, number);
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ(0u, ui->boxes[0].prompt.find("无法创建类vbscript.regexp的实例."));
}

}  // namespace
}  // namespace corvala4
