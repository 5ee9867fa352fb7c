#include "engine/xml_loader.h"

#include <gtest/gtest.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "engine/tester_core.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/code_page.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/output_file.h"
#include "results/output_files.h"
#include "tests/entity_bomb.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::EntityBomb;

using testing::WriteFile;

class XmlLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tester.SetHostEXE(env.dir() / "calc.exe");
    definition = env.dir() / "CALC_TEST_DAT.XML";
  }
  void TearDown() override {
    if (open) core().CloseContext();
  }
  TesterCore& core() { return TesterCore::Of(tester); }

  /// Writes the document and loads it as the tester's definition file.
  void Load(const std::string& bytes) {
    WriteFile(definition, bytes);
    if (!open) core().OpenContext();
    open = true;
    ASSERT_EQ(definition, core().DefinitionFile());
    LoadXmlDefinition(core());
  }
  int32_t LoadFails(const std::string& bytes) {
    try {
      Load(bytes);
    } catch (const Error& e) {
      last_error = e;
      return e.Number();
    }
    return 0;
  }
  std::shared_ptr<TestCaseImpl> Case(int i) { return core().TestCases()->At(i); }
  std::string Outputs(int i) {
    std::string text;
    for (int k = 1; k <= Case(i)->OutputFiles()->Count(); ++k) {
      auto of = Case(i)->OutputFiles()->Item(k);
      text += "[" + of->Name() + (of->Keep() ? " kept" : "") + "]";
    }
    return text;
  }

  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  Tester tester;
  std::string definition;
  bool open = false;
  Error last_error{0, "", ""};
};

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

TEST_F(XmlLoaderTest, ReadsTheWorkedExample) {
  Load(std::string(kHead) +
       "<自测试配置>\n"
       "  <!-- beams -->\n"
       "  <自测试标准目录>TestData</自测试标准目录>\n"
       "  <自测试算例 名称=\"Beam\" 目录=\"Beam01\" 工程文件=\"beam.prj\" 必测=\"y\" 功能代号=\"12\">\n"
       "    <输出文件 保留=\"n\">beam.out</输出文件>\n"
       "    <输出文件 保留=\"y\"> beam.dat </输出文件>\n"
       "  </自测试算例>\n"
       "  <其他 名称=\"ignored\"/>\n"
       "  <自测试算例 名称=\" 柱 \" 目录=\"Col01\" 工程文件=\"col.prj\" 必测=\"Y\" 功能代号=\"3\"/>\n"
       "</自测试配置>\n");
  EXPECT_EQ(env.dir() / "TestData", core().StandardFolder());
  ASSERT_EQ(2, core().TestCases()->Count());
  EXPECT_EQ("Beam", Case(1)->Caption());
  EXPECT_EQ("Beam01", Case(1)->Folder());
  EXPECT_EQ("beam.prj", Case(1)->ProjectFileName());
  EXPECT_TRUE(Case(1)->Mandatory());
  EXPECT_EQ("12", Case(1)->FuncNumText());
  EXPECT_EQ("[beam.out][beam.dat kept]", Outputs(1));
  EXPECT_EQ(&core(), Case(1)->Owner());
  // Attributes are taken as written; an upper-case Y is not mandatory here.
  EXPECT_EQ(" 柱 ", Case(2)->Caption());
  EXPECT_FALSE(Case(2)->Mandatory());
  EXPECT_EQ("", Outputs(2));
}

TEST_F(XmlLoaderTest, StandardDirectoryRules) {
  Load("<自测试配置><自测试标准目录>" + env.dir() / "abs" +
       "</自测试标准目录>"
       "<自测试标准目录>second</自测试标准目录></自测试配置>");
  EXPECT_EQ(env.dir() / "abs", core().StandardFolder());  // absolute, and the first one
  EXPECT_EQ(0, core().TestCases()->Count());

  // Backslashes are separators in every path field.
  Load(
      "<自测试配置><自测试标准目录>..\\Shared\\Data</自测试标准目录>"
      "<自测试算例 名称=\"a\\b\" 目录=\"sub\\Beam01\" 工程文件=\"in\\beam.prj\" 必测=\"y\" 功能代号=\"1\">"
      "<输出文件 保留=\"n\">out\\beam.out</输出文件></自测试算例></自测试配置>");
  EXPECT_EQ(env.dir() / "../Shared/Data", core().StandardFolder());
  EXPECT_EQ("a\\b", Case(1)->Caption());
  EXPECT_EQ("sub/Beam01", Case(1)->Folder());
  EXPECT_EQ("in/beam.prj", Case(1)->ProjectFileName());
  EXPECT_EQ("[out/beam.out]", Outputs(1));

  Load("<自测试配置><自测试标准目录/></自测试配置>");
  EXPECT_EQ(FSO().BuildPath(core().HostFolder(), ""), core().StandardFolder());
}

TEST_F(XmlLoaderTest, AMissingAttributeFailsAfterTheEarlierCases) {
  std::string good = "<自测试算例 名称=\"A\" 目录=\"A\" 工程文件=\"a.prj\" 必测=\"y\" 功能代号=\"1\"/>";
  EXPECT_EQ(err::InvalidUseOfNull,
            LoadFails("<自测试配置><自测试标准目录>T</自测试标准目录>" + good +
                      "<自测试算例 名称=\"B\" 目录=\"B\" 工程文件=\"b.prj\" 必测=\"y\"/>" + good +
                      "</自测试配置>"));
  EXPECT_EQ(1, core().TestCases()->Count());
  EXPECT_NE(std::string::npos, last_error.Description().find("功能代号"));
  EXPECT_NE(std::string::npos, last_error.Description().find(definition));

  EXPECT_EQ(err::InvalidUseOfNull,
            LoadFails("<自测试配置><自测试标准目录>T</自测试标准目录>" + good + good +
                      "<自测试算例 名称=\"C\" 目录=\"C\" 工程文件=\"c.prj\" 必测=\"n\" 功能代号=\"2\">"
                      "<输出文件>c.out</输出文件></自测试算例></自测试配置>"));
  EXPECT_EQ(2, core().TestCases()->Count());
  EXPECT_NE(std::string::npos, last_error.Description().find("保留"));
}

TEST_F(XmlLoaderTest, DocumentsWithoutTheStandardDirectoryFailWithNoCases) {
  Load(
      "<自测试配置><自测试标准目录>T</自测试标准目录>"
      "<自测试算例 名称=\"A\" 目录=\"A\" 工程文件=\"a.prj\" 必测=\"y\" 功能代号=\"1\"/></自测试配置>");
  ASSERT_EQ(1, core().TestCases()->Count());
  const std::string bad[] = {
      "",
      std::string("\x00\x01\xFF\xFE garbage \x89PNG", 18),
      "<自测试配置><自测试标准目录>T</自测试标准目录><自测试算例 名称=\"A\"",  // truncated
      "<config><dir>T</dir></config>",
      "<自测试配置><自测试算例 名称=\"A\" 目录=\"A\" 工程文件=\"a.prj\" 必测=\"y\" "
      "功能代号=\"1\"/></自测试配置>",
      "TestData;description\r\nA,A,a.prj,y,1,a.out;\r\n",  // the TXT form under the XML name
  };
  for (const std::string& bytes : bad) {
    EXPECT_EQ(err::ObjectNotSet, LoadFails(bytes)) << bytes;
    EXPECT_NE(std::string::npos, last_error.Description().find("自测试标准目录"));
  }
  // Nothing was loaded, so the earlier cases are still there, as the form's failure leaves them.
  EXPECT_EQ(1, core().TestCases()->Count());
  LoadFails("<a>");
  EXPECT_NE(std::string::npos, last_error.Description().find("解析错误"));

  // A pipe in the file's place has no document and must not wait for a writer.
  unlink(definition.c_str());
  ASSERT_EQ(0, mkfifo(definition.c_str(), 0600));
  int32_t number = 0;
  try {
    LoadXmlDefinition(core());
  } catch (const Error& e) {
    number = e.Number();
  }
  EXPECT_EQ(err::ObjectNotSet, number);
  unlink(definition.c_str());
}

TEST_F(XmlLoaderTest, ReadsTheEncodingTheDocumentDeclares) {
  std::string body =
      "<自测试配置><自测试标准目录>标准</自测试标准目录>"
      "<自测试算例 名称=\"简支梁\" 目录=\"梁01\" 工程文件=\"梁.prj\" 必测=\"y\" 功能代号=\"1\">"
      "<输出文件 保留=\"y\">结果.out</输出文件></自测试算例></自测试配置>";
  for (const char* encoding : {"GBK", "GB2312", "UTF-16"}) {
    std::string head = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>";
    std::string bytes = ConvertText(head + body, "UTF-8", encoding);
    if (std::string(encoding) == "UTF-16")
      bytes = ConvertText(head + body, "UTF-8", "UTF-16LE").insert(0, "\xFF\xFE");
    Load(bytes);
    EXPECT_EQ(env.dir() / "标准", core().StandardFolder()) << encoding;
    ASSERT_EQ(1, core().TestCases()->Count()) << encoding;
    EXPECT_EQ("简支梁", Case(1)->Caption());
    EXPECT_EQ("梁01", Case(1)->Folder());
    EXPECT_EQ("[结果.out kept]", Outputs(1));
  }
}

TEST_F(XmlLoaderTest, HostileDocumentsStayBounded) {
  // Entities are refused at their declaration, before anything expands: nested ones, a
  // wide one, one that names a file, an unparsed one, a parameter entity.
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\">";
  std::string prev = "a";
  for (char c = 'b'; c <= 'k'; ++c) {
    laughs += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += "&" + prev + ";";
    laughs += "\">";
    prev = std::string(1, c);
  }
  laughs += "]><自测试配置><自测试标准目录>&k;</自测试标准目录></自测试配置>";
  WriteFile(env.dir() / "secret", "SECRET");
  const std::string refused[] = {
      laughs,
      EntityBomb(),
      "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY s SYSTEM \"file://" + env.dir() / "secret" +
          "\">]><自测试配置><自测试标准目录>/d&s;</自测试标准目录></自测试配置>",
      "<!DOCTYPE x [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" NDATA n>]>"
      "<自测试配置><自测试标准目录>T</自测试标准目录></自测试配置>",
      "<!DOCTYPE x [<!ENTITY % p \"\">]><自测试配置><自测试标准目录>T</自测试标准目录></自测试配置>",
  };
  for (const std::string& bytes : refused) {
    EXPECT_EQ(err::ObjectNotSet, LoadFails(bytes)) << bytes.substr(0, 80);
    EXPECT_NE(std::string::npos, last_error.Description().find("定义文件不接受实体声明"));
    EXPECT_NE(std::string::npos, last_error.Description().find(definition));
    EXPECT_EQ(std::string::npos, core().StandardFolder().find("SECRET"));
  }

  // A document type without entities, and the predefined and character references, still load.
  Load("<!DOCTYPE 自测试配置 [<!ELEMENT 自测试配置 ANY>]>"
       "<自测试配置><自测试标准目录>/d&amp;&#x41;</自测试标准目录></自测试配置>");
  EXPECT_EQ("/d&A", core().StandardFolder());

  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<d>";
  EXPECT_EQ(err::ObjectNotSet, LoadFails("<自测试配置>" + deep));
}

/// Everything written to the process's standard error while `fn` runs.
template <typename Fn>
std::string StandardErrorOf(Fn&& fn) {
  std::fflush(stderr);
  FILE* capture = std::tmpfile();
  int saved = dup(2);
  dup2(fileno(capture), 2);
  fn();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  std::rewind(capture);
  for (int c; (c = std::fgetc(capture)) != EOF;) text += static_cast<char>(c);
  std::fclose(capture);
  return text;
}

TEST_F(XmlLoaderTest, TheParserNeverWritesToStandardError) {
  const std::string documents[] = {
      std::string("<?xml version=\"1.0\" encoding=\"GBK\"?><a>\x81</a>"),
      "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a/>",
      "<自测试配置><自测试标准目录>T</自测试标准目录",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xff\xfe</a>",
  };
  for (const std::string& bytes : documents) {
    int32_t number = 0;
    std::string said = StandardErrorOf([&] { number = LoadFails(bytes); });
    EXPECT_EQ("", said) << bytes;
    EXPECT_EQ(err::ObjectNotSet, number) << bytes;
    // What the parser said reaches the loader's own message.
    EXPECT_NE(std::string::npos, last_error.Description().find("解析错误:")) << bytes;
  }
  // The host's own handlers are back after the parse.
  EXPECT_EQ(nullptr, xmlStructuredError);
}

}  // namespace
}  // namespace corvala4
