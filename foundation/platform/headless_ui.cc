#include "foundation/platform/headless_ui.h"

#include <cstdio>

#include "foundation/platform/log.h"

namespace corvala4 {

namespace {

void Say(LogEventType type, const std::string& text) {
  WriteLog(type, text);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

int HeadlessUserInterface::MsgBox(const std::string& prompt, int style, const std::string& title,
                                  const std::string&, int) {
  Say(LogTypeOfStyle(style), title.empty() ? prompt : title + ": " + prompt);
  return 0;
}

void HeadlessUserInterface::ShowErrorDialog(const std::string& summary, const std::string& details) {
  Say(LogEventType::Error, summary + "\r\n" + details);
}

void HeadlessUserInterface::ShowTestWindow(Tester&) {
  Say(LogEventType::Warning, "测试窗口需要图形显示(DISPLAY),未能显示.");
}

void HeadlessUserInterface::ShowCompareWindow(TestCase&) {
  Say(LogEventType::Warning, "比较窗口需要图形显示(DISPLAY),未能显示.");
}

void HeadlessUserInterface::ShowUnitRunner(Tester&) {
  Say(LogEventType::Warning, "单元测试窗口需要图形显示(DISPLAY),未能显示.");
}

}  // namespace corvala4
