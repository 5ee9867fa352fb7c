#include "foundation/platform/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "foundation/errors.h"
#include "tests/test_support.h"
#include "tests/unprivileged.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

/// The number of the Error raised, 0 when the call succeeds.
int ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    EXPECT_EQ(kFileSystemSource, e.Source());
    return e.Number();
  }
  return 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  return n < 0 ? "" : std::string(buffer, static_cast<size_t>(n));
}

class FileSystemTest : public ::testing::Test {
 protected:
  std::shared_ptr<FileSystemService> fs = NewPosixFileSystem();
  TempDir dir;
};

TEST_F(FileSystemTest, AbsolutePathsCollapseTextuallyAgainstTheCurrentFolder) {
  std::string saved = fs->GetAbsolutePathName(".");
  std::string real = fs->GetAbsolutePathName(dir.path());
  ASSERT_EQ(0, chdir(real.c_str()));
  fs->CreateFolder("sub");
  ASSERT_EQ(0, symlink("/usr/share", "link"));
  EXPECT_EQ(real, fs->GetAbsolutePathName(""));
  EXPECT_EQ(real + "/sub", fs->GetAbsolutePathName("sub/"));
  EXPECT_EQ(real + "/x", fs->GetAbsolutePathName("./sub//../x"));
  EXPECT_EQ(real, fs->GetAbsolutePathName("link/.."));  // the link is not followed
  EXPECT_EQ("/", fs->GetAbsolutePathName("/../../.."));
  EXPECT_EQ("/a/b", fs->GetAbsolutePathName("//a///b//"));
  EXPECT_EQ("", fs->GetDriveName("/a/b"));
  ASSERT_EQ(0, chdir(saved.c_str()));
}

TEST_F(FileSystemTest, FoldersAndFilesAsObjects) {
  WriteFile(dir / "f.txt", "x");
  EXPECT_TRUE(fs->FileExists(dir / "f.txt"));
  EXPECT_FALSE(fs->FolderExists(dir / "f.txt"));
  EXPECT_FALSE(fs->FileExists(dir.path()));
  EXPECT_FALSE(fs->FileExists(dir / "missing"));
  EXPECT_FALSE(fs->FileExists(dir / "f.txt/below"));

  FolderObject made = fs->CreateFolder(dir / "top");
  EXPECT_EQ(fs->GetAbsolutePathName(dir / "top"), made.Path);
  EXPECT_EQ(err::FileAlreadyExists, ErrorOf([&] { fs->CreateFolder(dir / "top"); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->CreateFolder(dir / "no/parent"); }));

  WriteFile(dir / "top/b.txt", "12345");
  WriteFile(dir / "top/a.txt", "1");
  fs->CreateFolder(dir / "top/z");
  fs->CreateFolder(dir / "top/m");
  ASSERT_EQ(0, symlink((dir / "top/z").c_str(), (dir / "top/link").c_str()));
  FolderObject top = fs->GetFolder(dir / "top");
  std::vector<FolderObject> subs = top.SubFolders();
  ASSERT_EQ(2u, subs.size());
  EXPECT_EQ(top.Path + "/m", subs[0].Path);
  EXPECT_EQ(top.Path + "/z", subs[1].Path);
  std::vector<FileObject> files = top.Files();
  ASSERT_EQ(3u, files.size());  // a link is listed as a file, never followed
  EXPECT_EQ("a.txt", files[0].Name);
  EXPECT_EQ("b.txt", files[1].Name);
  EXPECT_EQ(5, files[1].Size);
  EXPECT_EQ("link", files[2].Name);
  WriteFile(dir / "top/c.txt", "");
  EXPECT_EQ(4u, top.Files().size());  // read again at each call

  FileObject file = fs->GetFile(dir / "top/b.txt");
  EXPECT_EQ(5, file.Size);
  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->GetFile(dir / "top/none"); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->GetFile(dir / "none/b.txt"); }));
  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->GetFile(dir / "top/z"); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->GetFolder(dir / "none"); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->GetFolder(dir / "top/a.txt"); }));
}

TEST_F(FileSystemTest, DeleteFileWithWildcardsAndReadOnlyFiles) {
  WriteFile(dir / "a.txt", "");
  WriteFile(dir / "b.txt", "");
  WriteFile(dir / "c.dat", "");
  WriteFile(dir / "[x].txt", "");
  fs->CreateFolder(dir / "d.txt");
  fs->DeleteFile(dir / "?.txt", false);
  EXPECT_FALSE(Exists(dir / "a.txt"));
  EXPECT_TRUE(Exists(dir / "c.dat"));
  EXPECT_TRUE(Exists(dir / "[x].txt"));
  EXPECT_TRUE(fs->FolderExists(dir / "d.txt"));  // folders are not files
  fs->DeleteFile(dir / "[x]*", false);           // "[" is no wildcard
  EXPECT_FALSE(Exists(dir / "[x].txt"));

  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->DeleteFile(dir / "*.none", true); }));
  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->DeleteFile(dir / "d.txt", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->DeleteFile(dir / "nofolder/a.txt", true); }));

  // Without Force a read-only match refuses the whole deletion, before anything goes.
  WriteFile(dir / "r1.log", "");
  WriteFile(dir / "r2.log", "");
  chmod((dir / "r2.log").c_str(), 0444);
  EXPECT_EQ(err::PermissionDenied, ErrorOf([&] { fs->DeleteFile(dir / "r*.log", false); }));
  EXPECT_TRUE(Exists(dir / "r1.log"));
  EXPECT_TRUE(Exists(dir / "r2.log"));
  fs->DeleteFile(dir / "r*.log", true);
  EXPECT_FALSE(Exists(dir / "r1.log"));

  // A link goes as a link; its target stays.
  WriteFile(dir / "target.txt", "keep");
  ASSERT_EQ(0, symlink((dir / "target.txt").c_str(), (dir / "link.txt").c_str()));
  fs->DeleteFile(dir / "link.txt", false);
  EXPECT_FALSE(IsLink(dir / "link.txt"));
  EXPECT_EQ("keep", ReadFile(dir / "target.txt"));
}

TEST_F(FileSystemTest, DeleteFolderRemovesTheTreeButNeverLeavesIt) {
  WriteFile(dir / "outside/precious.txt", "keep");
  WriteFile(dir / "tree/a.txt", "a");
  WriteFile(dir / "tree/ro/b.txt", "b");
  WriteFile(dir / "tree/deep/er/c.txt", "c");
  chmod((dir / "tree/a.txt").c_str(), 0444);
  chmod((dir / "tree/ro/b.txt").c_str(), 0444);
  chmod((dir / "tree/ro").c_str(), 0555);
  ASSERT_EQ(0, symlink((dir / "outside").c_str(), (dir / "tree/to_folder").c_str()));
  ASSERT_EQ(0, symlink((dir / "outside/precious.txt").c_str(), (dir / "tree/deep/to_file").c_str()));

  EXPECT_EQ(err::PermissionDenied, ErrorOf([&] { fs->DeleteFolder(dir / "tree", false); }));
  EXPECT_EQ("c", ReadFile(dir / "tree/deep/er/c.txt"));  // refused before anything went

  fs->DeleteFolder(dir / "tree/", true);
  EXPECT_FALSE(Exists(dir / "tree"));
  EXPECT_EQ("keep", ReadFile(dir / "outside/precious.txt"));

  // A link to a folder is removed as a link.
  ASSERT_EQ(0, symlink((dir / "outside").c_str(), (dir / "alias").c_str()));
  fs->DeleteFolder(dir / "alias", true);
  EXPECT_FALSE(IsLink(dir / "alias"));
  EXPECT_EQ("keep", ReadFile(dir / "outside/precious.txt"));

  fs->CreateFolder(dir / "w1");
  fs->CreateFolder(dir / "w2");
  WriteFile(dir / "w3", "");
  fs->DeleteFolder(dir / "w*", true);
  EXPECT_FALSE(Exists(dir / "w1"));
  EXPECT_FALSE(Exists(dir / "w2"));
  EXPECT_TRUE(Exists(dir / "w3"));  // files are not folders

  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->DeleteFolder(dir / "w*", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->DeleteFolder(dir / "missing", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->DeleteFolder(dir / "w3", true); }));
  EXPECT_EQ(err::InvalidProcedureCall, ErrorOf([&] { fs->DeleteFolder("/", true); }));
  EXPECT_EQ(err::InvalidProcedureCall, ErrorOf([&] { fs->DeleteFolder(dir / "outside/..", true); }));
  EXPECT_TRUE(Exists(dir / "outside/precious.txt"));
}

TEST_F(FileSystemTest, CopyFileKeepsModeAndTimeAndReplacesOnlyWhenAsked) {
  std::string big;
  for (int i = 0; i < 300000; ++i) big += static_cast<char>('a' + i % 26) + std::to_string(i);
  WriteFile(dir / "src.bin", big);
  chmod((dir / "src.bin").c_str(), 0750);
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
  utimensat(AT_FDCWD, (dir / "src.bin").c_str(), times, 0);

  fs->CopyFile(dir / "src.bin", dir / "dst.bin", false);
  EXPECT_EQ(big, ReadFile(dir / "dst.bin"));
  EXPECT_EQ(0750u, ModeOf(dir / "dst.bin"));
  EXPECT_EQ(1000000000, fs->GetFile(dir / "dst.bin").DateLastModified);

  WriteFile(dir / "small.txt", "new");
  EXPECT_EQ(err::FileAlreadyExists,
            ErrorOf([&] { fs->CopyFile(dir / "small.txt", dir / "dst.bin", false); }));
  EXPECT_EQ(big, ReadFile(dir / "dst.bin"));
  chmod((dir / "dst.bin").c_str(), 0444);  // a read-only target is replaced too
  fs->CopyFile(dir / "small.txt", dir / "dst.bin", true);
  EXPECT_EQ("new", ReadFile(dir / "dst.bin"));

  fs->CreateFolder(dir / "into");
  fs->CopyFile(dir / "small.txt", dir / "into/", false);
  EXPECT_EQ("new", ReadFile(dir / "into/small.txt"));
  EXPECT_EQ(err::FileAlreadyExists, ErrorOf([&] { fs->CopyFile(dir / "small.txt", dir / "into", true); }));
  EXPECT_EQ(err::PermissionDenied,
            ErrorOf([&] { fs->CopyFile(dir / "small.txt", dir / "small.txt", true); }));
  EXPECT_EQ("new", ReadFile(dir / "small.txt"));

  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->CopyFile(dir / "none", dir / "x", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->CopyFile(dir / "small.txt", dir / "no/x", true); }));
  EXPECT_EQ(err::FileNotFound, ErrorOf([&] { fs->CopyFile(dir / "into", dir / "x", true); }));

  // A link is copied as a link, with its target text unchanged.
  ASSERT_EQ(0, symlink("small.txt", (dir / "rel").c_str()));
  fs->CopyFile(dir / "rel", dir / "into/rel", false);
  EXPECT_TRUE(IsLink(dir / "into/rel"));
  EXPECT_EQ("small.txt", LinkTarget(dir / "into/rel"));
  // Overwriting a link replaces the link, and never writes through it.
  fs->CopyFile(dir / "src.bin", dir / "rel", true);
  EXPECT_FALSE(IsLink(dir / "rel"));
  EXPECT_EQ("new", ReadFile(dir / "small.txt"));
}

TEST_F(FileSystemTest, CopyFolderCreatesOrMergesAndCopiesLinksAsLinks) {
  WriteFile(dir / "outside/secret.txt", "outside");
  WriteFile(dir / "src/a.txt", "a");
  WriteFile(dir / "src/sub/b.txt", "b");
  fs->CreateFolder(dir / "src/empty");
  WriteFile(dir / "src/ro/c.txt", "c");
  chmod((dir / "src/ro/c.txt").c_str(), 0444);
  chmod((dir / "src/ro").c_str(), 0555);
  ASSERT_EQ(0, symlink((dir / "outside").c_str(), (dir / "src/to_outside").c_str()));
  ASSERT_EQ(0, symlink("a.txt", (dir / "src/to_a").c_str()));

  fs->CopyFolder(dir / "src", dir / "dst", false);
  EXPECT_EQ("a", ReadFile(dir / "dst/a.txt"));
  EXPECT_EQ("b", ReadFile(dir / "dst/sub/b.txt"));
  EXPECT_TRUE(fs->FolderExists(dir / "dst/empty"));
  EXPECT_EQ("c", ReadFile(dir / "dst/ro/c.txt"));
  EXPECT_EQ(0555u, ModeOf(dir / "dst/ro"));
  EXPECT_EQ(0444u, ModeOf(dir / "dst/ro/c.txt"));
  EXPECT_TRUE(IsLink(dir / "dst/to_outside"));
  EXPECT_EQ(dir / "outside", LinkTarget(dir / "dst/to_outside"));
  EXPECT_EQ("a.txt", LinkTarget(dir / "dst/to_a"));

  // Merging: extra files stay, existing ones are replaced only when asked.
  WriteFile(dir / "dst/extra.txt", "extra");
  WriteFile(dir / "dst/a.txt", "old");
  WriteFile(dir / "src/new.txt", "new");
  EXPECT_EQ(err::FileAlreadyExists, ErrorOf([&] { fs->CopyFolder(dir / "src", dir / "dst", false); }));
  EXPECT_FALSE(Exists(dir / "dst/new.txt"));  // refused before anything was copied
  EXPECT_EQ("old", ReadFile(dir / "dst/a.txt"));
  fs->CopyFolder(dir / "src", dir / "dst/", true);
  EXPECT_EQ("a", ReadFile(dir / "dst/a.txt"));
  EXPECT_EQ("new", ReadFile(dir / "dst/new.txt"));
  EXPECT_EQ("extra", ReadFile(dir / "dst/extra.txt"));
  EXPECT_EQ("c", ReadFile(dir / "dst/ro/c.txt"));  // read-only copies do not block a second copy
  EXPECT_EQ("outside", ReadFile(dir / "outside/secret.txt"));

  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->CopyFolder(dir / "none", dir / "x", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->CopyFolder(dir / "src/a.txt", dir / "x", true); }));
  EXPECT_EQ(err::PathNotFound, ErrorOf([&] { fs->CopyFolder(dir / "src", dir / "no/x", true); }));
  EXPECT_EQ(err::FileAlreadyExists, ErrorOf([&] { fs->CopyFolder(dir / "src", dir / "src/a.txt", true); }));
  EXPECT_EQ(err::PermissionDenied, ErrorOf([&] { fs->CopyFolder(dir / "src", dir / "src", true); }));

  // A folder where a file stands (and the reverse) is a conflict, not a replacement.
  fs->CreateFolder(dir / "clash");
  WriteFile(dir / "clash/sub", "file");
  EXPECT_EQ(err::FileAlreadyExists, ErrorOf([&] { fs->CopyFolder(dir / "src", dir / "clash", true); }));
  EXPECT_EQ("file", ReadFile(dir / "clash/sub"));

  // Copying into its own subfolder stops at the copy instead of recursing forever.
  fs->CopyFolder(dir / "src/sub", dir / "src/sub/inner", true);
  EXPECT_EQ("b", ReadFile(dir / "src/sub/inner/b.txt"));
  EXPECT_FALSE(Exists(dir / "src/sub/inner/inner"));
}

TEST_F(FileSystemTest, TextStreamsInTheCodePageAndInUnicode) {
  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  std::string path = dir / "t.txt";
  {
    auto out = fs->OpenTextFile(path, ForWriting, true, TristateFalse);
    out->WriteLine("中文");
    out->Write("x");
    out->Close();
    out->Close();  // a second Close does nothing
  }
  EXPECT_EQ("\xD6\xD0\xCE\xC4\r\nx", ReadFile(path));
  {
    auto out = fs->OpenTextFile(path, ForAppending, false, TristateUseDefault);
    out->WriteLine("y");
  }  // the destructor writes what is pending
  EXPECT_EQ("\xD6\xD0\xCE\xC4\r\nxy\r\n", ReadFile(path));
  {
    auto in = fs->OpenTextFile(path, ForReading, false, TristateFalse);
    EXPECT_FALSE(in->AtEndOfStream());
    EXPECT_EQ("中文\r\nxy\r\n", in->ReadAll());
    EXPECT_TRUE(in->AtEndOfStream());
    EXPECT_EQ("", in->ReadAll());
    EXPECT_EQ(err::BadFileMode, ErrorOf([&] { in->Write("no"); }));
  }
  {
    auto out = fs->OpenTextFile(path, ForWriting, false, TristateFalse);
    EXPECT_EQ(err::BadFileMode, ErrorOf([&] { out->ReadAll(); }));
    out->Write("replaced");
  }
  EXPECT_EQ("replaced", ReadFile(path));
  unsetenv("CORVALA4_CODEPAGE");

  // Unicode: UTF-16LE with a byte-order mark, written once at the start.
  std::string wide = dir / "w.txt";
  fs->OpenTextFile(wide, ForAppending, true, TristateTrue)->Write("中");
  fs->OpenTextFile(wide, ForAppending, true, TristateTrue)->WriteLine("a");
  EXPECT_EQ(std::string("\xFF\xFE\x2D\x4E\x61\x00\x0D\x00\x0A\x00", 10), ReadFile(wide));
  EXPECT_EQ("中a\r\n", fs->OpenTextFile(wide, ForReading, false, TristateTrue)->ReadAll());
  WriteFile(wide, std::string("\xFE\xFF\x4E\x2D", 4));
  EXPECT_EQ("中", fs->OpenTextFile(wide, ForReading, false, TristateTrue)->ReadAll());

  // More than one buffer of many-byte characters arrives whole.
  std::string lots;
  for (int i = 0; i < 50000; ++i) lots += "第" + std::to_string(i) + "行";
  setenv("CORVALA4_CODEPAGE", "UTF-8", 1);
  {
    auto out = fs->OpenTextFile(dir / "big.txt", ForWriting, true, TristateFalse);
    for (size_t i = 0; i < lots.size(); i += 7000) out->Write(lots.substr(i, 7000));
  }
  auto in = fs->OpenTextFile(dir / "big.txt", ForReading, false, TristateFalse);
  EXPECT_FALSE(in->AtEndOfStream());
  EXPECT_TRUE(lots == in->ReadAll());  // no dump of a megabyte on failure
  unsetenv("CORVALA4_CODEPAGE");

  auto empty = fs->OpenTextFile(dir / "created.txt", ForReading, true, TristateFalse);
  EXPECT_TRUE(empty->AtEndOfStream());
  EXPECT_TRUE(Exists(dir / "created.txt"));
}

TEST_F(FileSystemTest, TextStreamFailures) {
  auto open = [&](const std::string& path, int mode, bool create, int format) {
    return ErrorOf([&] { fs->OpenTextFile(path, mode, create, format); });
  };
  EXPECT_EQ(err::FileNotFound, open(dir / "none", ForReading, false, 0));
  EXPECT_EQ(err::FileNotFound, open(dir / "none", ForWriting, false, 0));
  EXPECT_FALSE(Exists(dir / "none"));
  EXPECT_EQ(err::PathNotFound, open(dir / "no/none", ForWriting, true, 0));
  EXPECT_EQ(err::InvalidProcedureCall, open(dir / "x", 3, true, 0));
  EXPECT_EQ(err::InvalidProcedureCall, open(dir / "x", ForWriting, true, 7));
  EXPECT_FALSE(Exists(dir / "x"));
  EXPECT_EQ(err::PermissionDenied, open(dir.path(), ForReading, false, 0));

  // A pipe or a device in a file's place fails at once instead of hanging.
  ASSERT_EQ(0, mkfifo((dir / "pipe").c_str(), 0644));
  EXPECT_EQ(err::DeviceIO, open(dir / "pipe", ForReading, false, 0));
  EXPECT_EQ(err::DeviceIO, open("/dev/zero", ForReading, false, 0));
  EXPECT_NE(0, ErrorOf([&] { fs->CopyFile(dir / "pipe", dir / "copy", true); }));
  EXPECT_FALSE(Exists(dir / "copy"));

  // A full disk is reported when the text reaches the file, not lost.
  if (access("/dev/full", W_OK) == 0) {
    auto out = fs->OpenTextFile("/dev/full", ForWriting, false, TristateFalse);
    out->Write("nowhere to go");
    EXPECT_EQ(err::DiskFull, ErrorOf([&] { out->Close(); }));
  }
}

TEST_F(FileSystemTest, PermissionDeniedIsError70) {
  // The child may run as nobody: the folders must be reachable for it.
  chmod(dir.path().c_str(), 0755);
  WriteFile(dir / "locked/f.txt", "f");
  WriteFile(dir / "src.txt", "s");
  chmod((dir / "locked/f.txt").c_str(), 0444);
  chmod((dir / "locked").c_str(), 0555);
  auto in_child = [](const std::function<void(FileSystemService&)>& body) {
    testing::ChildOutcome outcome = testing::RunUnprivileged([&] { body(*NewPosixFileSystem()); });
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(kFileSystemSource, outcome.source);
    return outcome.number;
  };
  std::string locked = dir / "locked";
  EXPECT_EQ(err::PermissionDenied, in_child([&](FileSystemService& s) { s.CreateFolder(locked + "/new"); }));
  EXPECT_EQ(err::PermissionDenied,
            in_child([&](FileSystemService& s) { s.DeleteFile(locked + "/f.txt", true); }));
  EXPECT_EQ(err::PermissionDenied, in_child([&](FileSystemService& s) { s.DeleteFolder(locked, true); }));
  EXPECT_EQ(err::PermissionDenied,
            in_child([&](FileSystemService& s) { s.OpenTextFile(locked + "/f.txt", ForWriting, false, 0); }));
  EXPECT_EQ(err::PermissionDenied,
            in_child([&](FileSystemService& s) { s.CopyFile(dir / "src.txt", locked + "/g.txt", true); }));
  EXPECT_EQ("f", ReadFile(dir / "locked/f.txt"));
  EXPECT_FALSE(Exists(dir / "locked/g.txt"));
}

}  // namespace
}  // namespace corvala4
