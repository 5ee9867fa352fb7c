#include "foundation/platform/path_text.h"

#include <gtest/gtest.h>

namespace corvala4 {
namespace {

TEST(PathTextTest, PartsAndJoining) {
  EXPECT_EQ("c.txt", FileNameOf("/a/b/c.txt"));
  EXPECT_EQ("b", FileNameOf("/a/b/"));
  EXPECT_EQ("a.b", BaseNameOf("x/a.b.c"));
  EXPECT_EQ("c", ExtensionNameOf("x/a.b.c"));
  EXPECT_EQ("", ExtensionNameOf("x.d/noext"));
  EXPECT_EQ("", BaseNameOf(".profile"));
  EXPECT_EQ("..", BaseNameOf("a/.."));
  EXPECT_EQ("", ExtensionNameOf("a/.."));

  EXPECT_EQ("/a/b", ParentOf("/a/b/c.txt"));
  EXPECT_EQ("/", ParentOf("/a"));
  EXPECT_EQ("", ParentOf("a"));
  EXPECT_EQ("/a", ParentOf("/a/b/"));
  EXPECT_EQ("a", ParentOf("a//b"));

  EXPECT_EQ("a/b", JoinPath("a", "b"));
  EXPECT_EQ("a/b", JoinPath("a/", "/b"));
  EXPECT_EQ("/b", JoinPath("/", "b"));
  EXPECT_EQ("b", JoinPath("", "b"));
  EXPECT_EQ("/abs/x/y", JoinPath("/abs/x", "/y"));  // never drops the left side
}

TEST(PathTextTest, AbsolutePathsCollapseWithoutTheDisk) {
  EXPECT_EQ("/base", AbsolutePathText("", "/base"));
  EXPECT_EQ("/base/x", AbsolutePathText("./sub//../x", "/base"));
  EXPECT_EQ("/abs", AbsolutePathText("/abs/.", "/base"));
  EXPECT_EQ("/", AbsolutePathText("../../..", "/base"));
}

TEST(PathTextTest, OnlyStarAndQuestionMarkAreWildcards) {
  EXPECT_TRUE(HasWildcard("*.out"));
  EXPECT_FALSE(HasWildcard("[a].out"));
  EXPECT_TRUE(MatchesWildcard("r?.*", "r1.out"));
  EXPECT_TRUE(MatchesWildcard("[a].out", "[a].out"));
  EXPECT_FALSE(MatchesWildcard("[a].out", "a.out"));
  EXPECT_TRUE(IsDotOrDotDot(".."));
  EXPECT_FALSE(IsDotOrDotDot("..."));
}

}  // namespace
}  // namespace corvala4
