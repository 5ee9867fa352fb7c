#include "cli/output_lookup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/test_support.h"

namespace corvala4::cli {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(AwaitFiles, LooksAgainForAnOutputThatIsNotThereYet) {
  TempDir dir;
  WriteFile(dir / "a.out", "a");
  // Every file there at once: nothing to say, no waiting.
  EXPECT_EQ(AwaitFiles({{"a.out", dir / "a.out"}}, 5), "");

  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WriteFile(dir / "sub/b.out", "b");
  });
  std::string said =
      AwaitFiles({{"a.out", dir / "a.out"}, {"sub/b.out", dir / "sub/b.out"}, {"c.out", dir / "c.out"}}, 0.6);
  late.join();
  EXPECT_EQ(said.rfind("seen only when looked for again: sub/b.out after 0.", 0), 0u) << said;
  EXPECT_NE(
      said.find("; not there after looking for 0.6 s: c.out (a shared file system can show a node's new "
                "files late)"),
      std::string::npos)
      << said;
}

}  // namespace
}  // namespace corvala4::cli
