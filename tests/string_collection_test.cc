#include "foundation/string_collection.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvala4/error.h"
#include "foundation/detailed_fso.h"
#include "foundation/globals.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::ErrorOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

StringCollection Of(std::vector<std::string> items) {
  StringCollection sc;
  for (const std::string& s : items) sc.Add(s);
  return sc;
}

std::vector<std::string> Items(const StringCollection& sc) { return {sc.begin(), sc.end()}; }

/// Gives the list's file operations a facade of their own.
class StringCollectionFileTest : public ::testing::Test {
 protected:
  void SetUp() override { G().gobjFSO = std::make_shared<DetailedFSO>(NewPosixFileSystem()); }
  void TearDown() override { G().gobjFSO.reset(); }
  TempDir dir;
};

TEST(StringCollectionTest, ItemWriteRule) {
  StringCollection sc = Of({"a", "b", "c"});
  sc.SetItem(2, "x");
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "x", "c"}));
  sc = Of({"a", "b", "c"});
  sc.SetItem(3, "x");
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "b", "x"}));
  sc = Of({"a", "b", "c"});
  sc.SetItem(7, "x");
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "b", "c", "x"}));
  for (int i : {0, 5, -3}) {
    StringCollection empty;
    empty.SetItem(i, "x");
    EXPECT_EQ(Items(empty), (std::vector<std::string>{"x"}));
  }
  // Below 1 on a list that has items: the index error, and nothing is lost.
  sc = Of({"a", "b"});
  EXPECT_EQ(ErrorOf([&] { sc.SetItem(0, "x"); }), 9);
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "b"}));
}

TEST(StringCollectionTest, AddKeysPositionsAndErrors) {
  StringCollection sc;
  std::vector<std::string> added;
  sc.OnAdd.push_back([&](const std::string& s) { added.push_back(s); });
  sc.Add("a");
  sc.Add("c", std::string("Key"));
  sc.Add("b", std::nullopt, StringCollection::Index{2});
  sc.Add("d", std::nullopt, std::nullopt, StringCollection::Index{std::string("KEY")});
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(added, (std::vector<std::string>{"a", "c", "b", "d"}));
  EXPECT_EQ(sc.Item(std::string("key")), "c");

  EXPECT_EQ(ErrorOf([&] { sc.Add("e", std::string("kEy")); }), 457);
  EXPECT_EQ(ErrorOf([&] { sc.Item(5); }), 9);
  EXPECT_EQ(ErrorOf([&] { sc.Item(std::string("nope")); }), 9);
  EXPECT_EQ(ErrorOf([&] { sc.Add("e", std::nullopt, StringCollection::Index{9}); }), 9);
  EXPECT_EQ(sc.Count(), 4);

  // The key leaves with its item.
  sc.Remove(std::string("KEY"));
  sc.Remove(1);
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"b", "d"}));
  sc.Add("c2", std::string("key"));
  EXPECT_EQ(sc.Item(std::string("Key")), "c2");
}

TEST(StringCollectionTest, RemoveJoinAddColExtend) {
  StringCollection sc = Of({"b", "a", "b", "b", "c"});
  sc.RemoveEx("b");
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "c"}));
  EXPECT_FALSE(sc.Exists("A"));

  EXPECT_EQ(Of({"a", "b", "c"}).Join(","), "a,b,c");
  EXPECT_EQ(Of({"a"}).Join(","), "a");
  EXPECT_EQ(Of({}).Join(","), "");
  EXPECT_EQ(Of({"a", "b"}).Join(""), "ab");

  int events = 0;
  sc.OnAdd.push_back([&](const std::string&) { ++events; });
  StringCollection other = Of({"x", "y"});
  sc.AddCol(&other);
  sc.AddCol(nullptr);
  EXPECT_EQ(Items(sc), (std::vector<std::string>{"a", "c", "x", "y"}));
  EXPECT_EQ(events, 2);
  // Adding a list to itself doubles it once.
  sc.AddCol(&sc);
  EXPECT_EQ(sc.Count(), 8);

  StringCollection ab = Of({"a", "b"});
  StringCollection files = ab.Extend("%0_%1_%2_Passed.txt", nullptr, {1, 2});
  EXPECT_EQ(Items(files), (std::vector<std::string>{"a_1_2_Passed.txt", "b_1_2_Passed.txt"}));
  StringCollection pq = Of({"p", "q"});
  StringCollection pairs = ab.Extend("%0分%1秒", &pq);
  EXPECT_EQ(Items(pairs), (std::vector<std::string>{"a分p秒", "a分q秒", "b分p秒", "b分q秒"}));
  EXPECT_EQ(ab.Extend("%0%1%2", &pq, {"!"}).Item(4), "bq!");
  EXPECT_EQ(Items(ab), (std::vector<std::string>{"a", "b"}));
}

TEST_F(StringCollectionFileTest, SaveAndLoad) {
  StringCollection sc = Of({"一", "", "b\nc", "d"});
  sc.Save(dir / "list.txt");
  EXPECT_EQ(ReadFile(dir / "list.txt"), "一\r\n\r\nb\nc\r\nd\r\n");
  StringCollection back;
  back.Load(dir / "list.txt");
  EXPECT_EQ(Items(back), Items(sc));

  StringCollection empty;
  empty.Save(dir / "empty.txt");
  EXPECT_EQ(ReadFile(dir / "empty.txt"), "");
  back = StringCollection();
  back.Load(dir / "empty.txt");
  EXPECT_EQ(back.Count(), 0);

  // Line ends: CR, CR LF; a lone LF stays; no empty item for the final terminator; appended.
  WriteFile(dir / "lines.txt", "one\rtwo\r\nthree\nfour\r\n\r\nsix");
  StringCollection loaded = Of({"zero"});
  int events = 0;
  loaded.OnAdd.push_back([&](const std::string&) { ++events; });
  loaded.Load(dir / "lines.txt");
  EXPECT_EQ(Items(loaded), (std::vector<std::string>{"zero", "one", "two", "three\nfour", "", "six"}));
  EXPECT_EQ(events, 5);

  EXPECT_EQ(ErrorOf([&] { loaded.Load(dir / "missing.txt"); }), 53);
  EXPECT_NE(ErrorOf([&] { sc.Save(dir / "no/such/folder/x.txt"); }), 0);
}

TEST_F(StringCollectionFileTest, NextLine) {
  WriteFile(dir / "three.txt", "l1\r\nl2\r\nl3\r\n");
  StringCollection sc;
  sc.Load(dir / "three.txt");
  EXPECT_EQ(sc.NextLine(), "l1");
  EXPECT_EQ(sc.NextLine(), "l2");
  EXPECT_EQ(sc.NextLine(), "l3");
  EXPECT_EQ(ErrorOf([&] { sc.NextLine(); }), 9);
  EXPECT_EQ(sc.LineNum(), 4);
  sc.SetLineNum(1);
  EXPECT_EQ(sc.NextLine(), "l1");
  // Removing everything leaves LineNum alone.
  sc.RemoveAll();
  EXPECT_EQ(sc.LineNum(), 2);
}

}  // namespace
}  // namespace corvala4
