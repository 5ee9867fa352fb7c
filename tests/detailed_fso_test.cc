#include "foundation/detailed_fso.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "foundation/errors.h"
#include "tests/test_support.h"
#include "tests/unprivileged.h"

namespace corvala4 {
namespace {

using testing::TempDir;
using testing::WriteFile;

/// The Error a call raises; fails the test when it raises nothing.
Error Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, "", "");
}

/// What the service itself says for the same call: the E part of the facade's text.
std::string ServiceText(const std::function<void(FileSystemService&)>& call) {
  auto service = NewPosixFileSystem();
  return Caught([&] { call(*service); }).Description();
}

class DetailedFSOTest : public ::testing::Test {
 protected:
  DetailedFSO fso{NewPosixFileSystem()};
  TempDir dir;
};

TEST_F(DetailedFSOTest, MissingFileKeepsNumberAndNamesOperationAndPath) {
  std::string path = dir / "none.txt";
  Error e = Caught([&] { fso.GetFile(path); });
  EXPECT_EQ(err::FileNotFound, e.Number());
  EXPECT_EQ(kFileSystemSource, e.Source());
  std::string inner = ServiceText([&](FileSystemService& s) { s.GetFile(path); });
  EXPECT_EQ("获取'" + path + "'的文件对象失败!<+>" + inner + "\r\n操作:获取文件对象\r\n文件名:" + path,
            e.Description());
  EXPECT_EQ("获取'" + path + "'的文件对象失败!", ErrSummaryText(e));

  // The flags are written as the words True and False, on the last line.
  Error copy = Caught([&] { fso.CopyFile(path, dir / "b.txt", true); });
  EXPECT_EQ(err::FileNotFound, copy.Number());
  inner = ServiceText([&](FileSystemService& s) { s.CopyFile(path, dir / "b.txt", true); });
  EXPECT_EQ("复制文件'" + path + "'到'" + dir / "b.txt" + "'失败!<+>" + inner +
                "\r\n操作:复制文件\r\n源路径:" + path + "\r\n目标路径:" + dir / "b.txt" + "\r\n强制覆盖:True",
            copy.Description());
  Error del = Caught([&] { fso.DeleteFile(path, false); });
  EXPECT_EQ(err::FileNotFound, del.Number());
  inner = ServiceText([&](FileSystemService& s) { s.DeleteFile(path, false); });
  EXPECT_EQ(
      "删除文件'" + path + "'失败!<+>" + inner + "\r\n操作:删除文件\r\n文件名:" + path + "\r\n强制删除:False",
      del.Description());
}

TEST_F(DetailedFSOTest, MissingFolderKeepsNumberAndNamesEveryParameter) {
  std::string src = dir / "nosuch";
  std::string dst = dir / "copy";
  Error e = Caught([&] { fso.CopyFolder(src, dst, true); });
  EXPECT_EQ(err::PathNotFound, e.Number());
  EXPECT_EQ(kFileSystemSource, e.Source());
  std::string inner = ServiceText([&](FileSystemService& s) { s.CopyFolder(src, dst, true); });
  EXPECT_EQ("复制文件夹'" + src + "'到'" + dst + "'失败!<+>" + inner +
                "\r\n操作:复制文件夹\r\n源路径:" + src + "\r\n目标路径:" + dst + "\r\n覆盖文件:True",
            e.Description());

  Error del = Caught([&] { fso.DeleteFolder(src, true); });
  EXPECT_EQ(err::PathNotFound, del.Number());
  EXPECT_EQ("删除文件夹'" + src + "'失败!", ErrSummaryText(del));
  EXPECT_TRUE(del.Description().ends_with("\r\n操作:删除文件夹\r\n文件夹:" + src + "\r\n强制删除:True"));

  // Writing into a missing folder: the mode and format texts of the table.
  std::string path = dir / "nosuch/out.txt";
  Error open = Caught([&] { fso.OpenTextFile(path, ForWriting, true, TristateFalse); });
  EXPECT_EQ(err::PathNotFound, open.Number());
  inner = ServiceText([&](FileSystemService& s) { s.OpenTextFile(path, ForWriting, true, TristateFalse); });
  EXPECT_EQ("打开'" + path + "'文件失败!<+>" + inner + "\r\n操作:打开文本文件\r\n文件名:" + path +
                "\r\n读写模式:输出\r\n是否创建:True\r\n使用格式:Ascii",
            open.Description());
  auto lines = [&](int mode, int format) {
    std::string text = Caught([&] { fso.OpenTextFile(path, mode, false, format); }).Description();
    return text.substr(text.find("\r\n读写模式:"));
  };
  EXPECT_EQ("\r\n读写模式:追加\r\n是否创建:False\r\n使用格式:Unicode", lines(ForAppending, TristateTrue));
  EXPECT_EQ("\r\n读写模式:读取\r\n是否创建:False\r\n使用格式:系统默认",
            lines(ForReading, TristateUseDefault));
  // Values outside the lists leave the text after the label empty.
  EXPECT_EQ("\r\n读写模式:\r\n是否创建:False\r\n使用格式:", lines(3, 5));
  EXPECT_EQ(err::InvalidProcedureCall, Caught([&] { fso.OpenTextFile(path, 3, false, 0); }).Number());
}

TEST_F(DetailedFSOTest, ExistingTargetKeepsNumber58) {
  fso.CreateFolder(dir / "d");
  std::string path = dir / "d";
  Error e = Caught([&] { fso.CreateFolder(path); });
  EXPECT_EQ(err::FileAlreadyExists, e.Number());
  std::string inner = ServiceText([&](FileSystemService& s) { s.CreateFolder(path); });
  EXPECT_EQ("创建'" + path + "'文件夹失败!<+>" + inner + "\r\n操作:创建目录\r\n路径:" + path,
            e.Description());

  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / "b.txt", "b");
  Error copy = Caught([&] { fso.CopyFile(dir / "a.txt", dir / "b.txt", false); });
  EXPECT_EQ(err::FileAlreadyExists, copy.Number());
  EXPECT_TRUE(copy.Description().ends_with("\r\n强制覆盖:False"));
}

TEST_F(DetailedFSOTest, PermissionDeniedKeepsNumber70) {
  chmod(dir.path().c_str(), 0755);  // reachable by the unprivileged child
  WriteFile(dir / "locked/f.txt", "f");
  chmod((dir / "locked").c_str(), 0555);
  std::string path = dir / "locked/f.txt";
  testing::ChildOutcome outcome =
      testing::RunUnprivileged([&] { DetailedFSO(NewPosixFileSystem()).DeleteFile(path, true); });
  ASSERT_TRUE(outcome.ran);
  EXPECT_EQ(err::PermissionDenied, outcome.number);
  EXPECT_EQ(kFileSystemSource, outcome.source);
  EXPECT_TRUE(outcome.description.starts_with("删除文件'" + path + "'失败!<+>"));
  EXPECT_TRUE(outcome.description.ends_with("\r\n操作:删除文件\r\n文件名:" + path + "\r\n强制删除:True"));

  // Read-only files go when Force is true, and stop a deletion when it is false.
  WriteFile(dir / "ro.txt", "r");
  chmod((dir / "ro.txt").c_str(), 0444);
  EXPECT_EQ(err::PermissionDenied, Caught([&] { fso.DeleteFile(dir / "ro.txt", false); }).Number());
  fso.DeleteFile(dir / "ro.txt", true);
  EXPECT_FALSE(fso.FileExists(dir / "ro.txt"));
}

TEST_F(DetailedFSOTest, ResultsAndPathsPassThroughUnchanged) {
  EXPECT_EQ("a/b", fso.BuildPath("a/", "/b"));
  EXPECT_TRUE(fso.FolderExists(dir.path()));
  WriteFile(dir / "f.txt", "123");
  EXPECT_EQ(3, fso.GetFile(dir / "f.txt").Size);
  fso.OpenTextFile(dir / "f.txt", ForAppending, false, TristateFalse)->WriteLine("4");
  EXPECT_EQ("1234\r\n", fso.OpenTextFile(dir / "f.txt", ForReading, false, TristateFalse)->ReadAll());

  // Paths go into the texts exactly as given, placeholders and all.
  std::string odd = dir / "%0 %1";
  Error e = Caught([&] { fso.GetFolder(odd); });
  EXPECT_EQ(err::PathNotFound, e.Number());
  EXPECT_TRUE(e.Description().starts_with("获取'" + odd + "'的文件夹对象失败!<+>"));
  EXPECT_TRUE(e.Description().ends_with("\r\n操作:获取文件夹对象\r\n文件夹:" + odd));
}

TEST(DetailedFSOWithoutService, EveryOperationFailsWith91UnderItsOwnSummary) {
  DetailedFSO fso(nullptr);
  EXPECT_FALSE(fso.HasService());
  const std::string p = "P";
  const std::string q = "Q";
  struct Case {
    std::function<void()> call;
    std::string summary;
  };
  const Case cases[] = {
      {[&] { fso.FileExists(p); }, "检查文件'P'的存在状态失败!"},
      {[&] { fso.GetFileName(p); }, "获取'P'的文件名失败!"},
      {[&] { fso.CopyFolder(p, q, true); }, "复制文件夹'P'到'Q'失败!"},
      {[&] { fso.GetFile(p); }, "获取'P'的文件对象失败!"},
      {[&] { fso.GetFolder(p); }, "获取'P'的文件夹对象失败!"},
      {[&] { fso.DeleteFolder(p, true); }, "删除文件夹'P'失败!"},
      {[&] { fso.OpenTextFile(p, 1, false, 0); }, "打开'P'文件失败!"},
      {[&] { fso.DeleteFile(p, true); }, "删除文件'P'失败!"},
      {[&] { fso.BuildPath(p, q); }, "路径'P'与'Q'合并失败!"},
      {[&] { fso.GetParentFolderName(p); }, "获取'P'的父目录失败!"},
      {[&] { fso.FolderExists(p); }, "检查文件夹'P'的存在状态失败!"},
      {[&] { fso.GetBaseName(p); }, "获取文件'P'的主文件名失败!"},
      {[&] { fso.GetDriveName(p); }, "获取'P'的驱动器名失败!"},
      {[&] { fso.CreateFolder(p); }, "创建'P'文件夹失败!"},
      {[&] { fso.GetAbsolutePathName(p); }, "取得'P'的绝对路径失败!"},
      {[&] { fso.CopyFile(p, q, false); }, "复制文件'P'到'Q'失败!"},
      {[&] { fso.GetExtensionName(p); }, "获取'P'的扩展名失败!"},
  };
  for (const Case& c : cases) {
    Error e = Caught(c.call);
    EXPECT_EQ(err::ObjectNotSet, e.Number()) << c.summary;
    EXPECT_EQ(kModuleSource, e.Source()) << c.summary;
    EXPECT_EQ(c.summary, ErrSummaryText(e));
    EXPECT_TRUE(e.Description().starts_with(c.summary + "<+>对象变量或 With 块变量未设置\r\n操作:"))
        << c.summary;
  }
  EXPECT_EQ("获取'P'的驱动器名失败!<+>对象变量或 With 块变量未设置\r\n操作:得到驱动器名称\r\n路径:P",
            Caught([&] { fso.GetDriveName(p); }).Description());
}

TEST(DetailedFSOWithoutService, DefaultConstructionAsksTheFactory) {
  EXPECT_TRUE(DetailedFSO().HasService());

  class Refusing : public ServiceFactory {
   public:
    std::shared_ptr<Service> Create(const std::string& progId) override {
      throw Error(err::CannotCreateObject, progId, "no");
    }
  };
  testing::ScopedScriptedUI ui;
  ui->answers.push_back(2);  // Cancel
  SetServiceFactory(std::make_shared<Refusing>());
  DetailedFSO without;
  SetServiceFactory(nullptr);
  EXPECT_FALSE(without.HasService());
  EXPECT_EQ(err::ObjectNotSet, Caught([&] { without.FolderExists("/"); }).Number());
}

}  // namespace
}  // namespace corvala4
