#include "settings/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "foundation/platform/registry_file.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::IsolatedEnvironment;
using testing::ReadFile;
using testing::WriteFile;

const char* const kKey = "SOFTWARE\\Halvern\\Setup\\QNVX";

class RegistryTest : public ::testing::Test {
 protected:
  std::string MachineFile() const { return env.dir() / "registry/HKEY_LOCAL_MACHINE.reg"; }
  std::string Read(const std::string& value, const std::string& key = kKey) {
    return Registry().Value(HKEY_LOCAL_MACHINE, key, value);
  }
  IsolatedEnvironment env;
};

TEST_F(RegistryTest, ReadsOnlyTextThatFitsTheBuffer) {
  std::string fits(1023, 'a'), tooLong(1024, 'b');
  WriteFile(MachineFile(),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n"
            "\"Path\"=\"C:\\\\Program Files\\\\Halvern \\\"QNVX\\\"\"\r\n"
            "\"Typed\"=\"C:\\Halvern\"\r\n"
            "\"Fits\"=\"" + fits + "\"\r\n"
            "\"TooLong\"=\"" + tooLong + "\"\r\n"
            "\"Nul\"=hex(1):61,62,00,63,00\r\n"
            "\"Expand\"=hex(2):25,41,25,00\r\n"
            "\"Multi\"=hex(7):61,00,62,00,00\r\n"
            "\"Bin\"=hex:01,02,\\\r\n  03\r\n"
            "\"Count\"=dword:0000001a\r\n"
            "@=\"default\"\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n"
            "\"Other\"=\"not this root\"\r\n");
  EXPECT_EQ(Read("Path"), "C:\\Program Files\\Halvern \"QNVX\"");
  EXPECT_EQ(Read("PATH", "software\\halvern\\setup\\qnvx"), Read("Path"));
  // A path typed by hand with single backslashes reads as it was meant.
  EXPECT_EQ(Read("Typed"), "C:\\Halvern");
  EXPECT_EQ(Read("Fits"), fits);
  EXPECT_EQ(Read("TooLong"), "");
  EXPECT_EQ(Read("Nul"), "ab");
  EXPECT_EQ(Read("Expand"), "");
  EXPECT_EQ(Read("Multi"), "");
  EXPECT_EQ(Read("Bin"), "");
  EXPECT_EQ(Read("Count"), "26");
  EXPECT_EQ(Read(""), "default");
  EXPECT_EQ(Read("Other"), "");
  EXPECT_EQ(Read("Missing"), "");
  EXPECT_EQ(Read("Path", "SOFTWARE\\Halvern"), "");
  EXPECT_EQ(Registry().Value(0x12345678u, kKey, "Path"), "");

  std::optional<RegistryData> bin = ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Bin");
  ASSERT_TRUE(bin);
  EXPECT_EQ(bin->Type, REG_BINARY);
  EXPECT_EQ(bin->Bytes, std::string("\x01\x02\x03", 3));
}

TEST_F(RegistryTest, MissingUnreadableAndDamagedFiles) {
  EXPECT_EQ(Read("Path"), "");
  // A folder where the file should be cannot be read (works for root too, unlike chmod).
  std::filesystem::create_directories(MachineFile());
  EXPECT_EQ(Read("Path"), "");
  Registry().SetValue(HKEY_LOCAL_MACHINE, kKey, "Path", "x");
  EXPECT_TRUE(std::filesystem::is_directory(MachineFile()));
  std::filesystem::remove(MachineFile());

  WriteFile(MachineFile(),
            "no header\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\n"
            "garbage without equals\n\"Broken\"=\"no end\n\"Bad\"=dword:xyz\n\"Bad2\"=hex:1,,2\n"
            "\xff\xfe invalid bytes\n\"Path\"=\"/opt/halvern\"\n[unterminated\n\"After\"=\"still here\"\n");
  EXPECT_EQ(Read("Path"), "/opt/halvern");
  EXPECT_EQ(Read("Broken"), "");
  EXPECT_EQ(Read("Bad"), "");
  EXPECT_EQ(Read("Bad2"), "");
  EXPECT_EQ(Read("After"), "still here");

  // Whatever the bytes, reading and writing never crash.
  std::mt19937 rng(7);
  const std::string alphabet = "[]\"\\=@:,hexdword()0123456789abf\r\n ;\xff\xe4";
  for (int round = 0; round < 300; ++round) {
    std::string junk;
    for (int i = 0; i < 200; ++i) junk += alphabet[rng() % alphabet.size()];
    RegistryDocument doc("HKEY_LOCAL_MACHINE", junk);
    doc.Find(kKey, "Path");
    doc.Set(kKey, "Path", RegistryData{REG_SZ, std::string("v\0", 2)});
    EXPECT_EQ(RegistryDocument("HKEY_LOCAL_MACHINE", doc.Bytes()).Find(kKey, "Path")->Bytes,
              std::string("v\0", 2));
  }
}

// Hex data continued over many lines is read in one pass: read again from the start
// at every line, 100,000 lines would take hours.
TEST_F(RegistryTest, LongContinuedHexValue) {
  const int lines = 100000;
  std::string file = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n\"Bin\"=hex:00,\\\r\n";
  for (int i = 0; i < lines; ++i) file += i + 1 < lines ? "  01,\\\r\n" : "  02\r\n";
  file += "\"After\"=\"still here\"\r\n";
  WriteFile(MachineFile(), file);
  std::optional<RegistryData> bin = ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Bin");
  ASSERT_TRUE(bin);
  ASSERT_EQ(bin->Bytes.size(), static_cast<size_t>(lines) + 1);
  EXPECT_EQ(bin->Bytes.front(), '\x00');
  EXPECT_EQ(bin->Bytes.back(), '\x02');
  EXPECT_EQ(std::count(bin->Bytes.begin(), bin->Bytes.end(), '\x01'), lines - 1);
  EXPECT_EQ(Read("After"), "still here");
}

TEST_F(RegistryTest, WritingKeepsEveryOtherLine) {
  std::string before =
      "REGEDIT4\r\n\r\n; maker's note\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"A\"=\"1\"\r\n"
      "nonsense line\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n"
      "\"Path\"=\"old\"\r\n\"Keep\"=hex:00,\\\r\n  ff\r\n";
  WriteFile(MachineFile(), before);
  Registry reg;
  reg.SetValue(HKEY_LOCAL_MACHINE, kKey, "path", "C:\\new \"dir\"");
  std::string after = ReadFile(MachineFile());
  std::string expected = before;
  expected.replace(expected.find("\"Path\"=\"old\""), 12, "\"path\"=\"C:\\\\new \\\"dir\\\"\"");
  EXPECT_EQ(after, expected);
  EXPECT_EQ(Read("Path"), "C:\\new \"dir\"");

  // A new value joins its key; a new key goes to the end.
  reg.SetValue(HKEY_LOCAL_MACHINE, kKey, "Second", "2");
  reg.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fresh", "", "d");
  after = ReadFile(MachineFile());
  EXPECT_NE(after.find("\"Keep\"=hex:00,\\\r\n  ff\r\n\"Second\"=\"2\"\r\n"), std::string::npos) << after;
  EXPECT_NE(after.find("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fresh]\r\n@=\"d\"\r\n"), std::string::npos);
  EXPECT_NE(after.find("nonsense line\r\n"), std::string::npos);
  EXPECT_EQ(Registry().Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "A"), "1");
  EXPECT_EQ(Read("Second"), "2");

  // Text the quoted form cannot carry is stored as raw bytes and read back the same way.
  reg.SetValue(HKEY_LOCAL_MACHINE, kKey, "Lines", "a\r\nb");
  reg.SetValue(HKEY_LOCAL_MACHINE, kKey, "Nul", std::string("a\0b", 3));
  EXPECT_EQ(Read("Lines"), "a\r\nb");
  EXPECT_EQ(Read("Nul"), "a");
  EXPECT_NE(ReadFile(MachineFile()).find("\"Lines\"=hex(1):61,0d,0a,62,00"), std::string::npos);

  // A new file of another root; a name with a line break cannot be written.
  reg.SetValue(HKEY_CURRENT_USER, "Software\\X", "v", "user");
  reg.SetValue(HKEY_CURRENT_USER, "Software\\X", "bad\nname", "x");
  EXPECT_EQ(ReadFile(env.dir() / "registry/HKEY_CURRENT_USER.reg"),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"v\"=\"user\"\n");
}

TEST_F(RegistryTest, FileIsInTheCodePage) {
  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  // "中文" in GBK.
  WriteFile(MachineFile(), "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n"
                           "\"Path\"=\"D:\\\\\xd6\xd0\xce\xc4\"\r\n");
  EXPECT_EQ(Read("Path"), "D:\\中文");
  Registry().SetValue(HKEY_LOCAL_MACHINE, kKey, "Name", "中文");
  EXPECT_NE(ReadFile(MachineFile()).find("\"Name\"=\"\xd6\xd0\xce\xc4\""), std::string::npos);
  EXPECT_EQ(Read("Name"), "中文");
  // The buffer counts code-page bytes: 512 characters of two bytes no longer fit.
  std::string wide;
  for (int i = 0; i < 512; ++i) wide += "中";
  Registry().SetValue(HKEY_LOCAL_MACHINE, kKey, "Wide", wide);
  EXPECT_EQ(Read("Wide"), "");
  Registry().SetValue(HKEY_LOCAL_MACHINE, kKey, "Wide", wide.substr(3));
  EXPECT_EQ(Read("Wide"), wide.substr(3));
  unsetenv("CORVALA4_CODEPAGE");
}

}  // namespace
}  // namespace corvala4
