#include "cli/command_template.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

namespace corvala4::cli {
namespace {

const CaseValues kCase{"/opt/calc", "/w/Beam 01/beam.prj", "12", "/w/Beam 01", "梁 'A'"};

std::vector<std::string> Expand(const std::string& text) { return CommandTemplate(text).Expand(kCase); }

TEST(CommandTemplate, WordsAreSplitAsAShellSplitsThemAndFilledWhole) {
  EXPECT_EQ(Expand(CommandTemplate::kDefault),
            (std::vector<std::string>{"/opt/calc", "/w/Beam 01/beam.prj", "12"}));
  EXPECT_EQ(
      Expand("sh -c 'exec \"$0\" \"$1\"' {host} --case={caption} x{{y}}"),
      (std::vector<std::string>{"sh", "-c", "exec \"$0\" \"$1\"", "/opt/calc", "--case=梁 'A'", "x{y}"}));
  EXPECT_EQ(Expand("a\\ b \"c \\\"d\\\"\" '' {folder}"),
            (std::vector<std::string>{"a b", "c \"d\"", "", "/w/Beam 01"}));
  // A relative program with a slash is found from where corvala4 was started, not the working folder.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(Expand("tools/calc {func}").front(), std::string(cwd) + "/tools/calc");
  EXPECT_EQ(Expand("calc {func}").front(), "calc");
}

TEST(CommandTemplate, MistakesAreRefusedWithTheirReason) {
  auto why = [](const std::string& text) {
    try {
      CommandTemplate t(text);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(why("   "), "the command is empty");
  EXPECT_EQ(why("calc 'open"), "a single quote is not closed");
  EXPECT_EQ(why("calc \"open"), "a double quote is not closed");
  EXPECT_EQ(why("calc \\"), "the command ends with a backslash");
  EXPECT_NE(why("calc {project"), "accepted");
  EXPECT_NE(why("calc project}"), "accepted");
  EXPECT_EQ(why("calc {Project}"),
            "unknown placeholder {Project}; known are {host} {project} {func} {folder} {caption} {stem} "
            "{project_stem}");
}

}  // namespace
}  // namespace corvala4::cli
