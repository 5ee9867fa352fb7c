// Dispatch identifiers of the public interfaces, kept for hosts that map them.
#pragma once

#include <cstdint>

namespace corvala4::dispid {

inline constexpr const char* kTesterProgId = "Corvala4.Tester";

// _Tester
inline constexpr int32_t Tester_HostEXE = 0x6803000A;
inline constexpr int32_t Tester_TestCases = 0x68030009;
inline constexpr int32_t Tester_SelectedCases = 0x68030008;
inline constexpr int32_t Tester_ActiveCase = 0x68030005;
inline constexpr int32_t Tester_PromptTest = 0x6003000F;
inline constexpr int32_t Tester_Launch = 0x60030015;
inline constexpr int32_t Tester_LaunchNoUI = 0x60030016;

// __Tester (events)
inline constexpr int32_t Event_CheckCancel = 1;
inline constexpr int32_t Event_BeforeAllTest = 2;
inline constexpr int32_t Event_BeforeOneTest = 3;
inline constexpr int32_t Event_DoTest = 4;
inline constexpr int32_t Event_AfterOneTest = 5;
inline constexpr int32_t Event_AfterAllTest = 6;

// _TestCase
inline constexpr int32_t TestCase_Success = 0x40030000;
inline constexpr int32_t TestCase_Caption = 0x6803000D;
inline constexpr int32_t TestCase_ProjectFile = 0x6803000B;
inline constexpr int32_t TestCase_ProjectFileName = 0x6803000A;
inline constexpr int32_t TestCase_FuncNum = 0x68030009;
inline constexpr int32_t TestCase_TestCaseFolder = 0x68030000;
inline constexpr int32_t TestCase_RemoveTestFolder = 0x6003000E;

// _TestCases
inline constexpr int32_t TestCases_Count = 0x68030004;
inline constexpr int32_t TestCases_Item = 0x68030003;
inline constexpr int32_t TestCases_NewEnum = -4;

}  // namespace corvala4::dispid
