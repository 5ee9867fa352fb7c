// A host outside the tree, built against the installed package: it creates a
// Tester, names itself, subscribes to the events and reads the empty collections.
#include <corvala4/corvala4.h>

#include <cstdio>
#include <unistd.h>

namespace {

class Events : public corvala4::TesterEvents {
 public:
  void DoTest(corvala4::TestCase& tc) override { std::printf("calculating %s\n", tc.Caption().c_str()); }
};

std::string SelfPath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "install_check";
}

}  // namespace

int main() {
  corvala4::Tester tester;
  tester.SetHostEXE(SelfPath());
  Events events;
  tester.Subscribe(events);
  std::printf("Corvala4 %s\n", corvala4::kVersionText);
  std::printf("HostEXE: %s\n", tester.HostEXE().c_str());
  std::printf("TestCases()->Count(): %d\n", tester.TestCases()->Count());
  std::printf("SelectedCases(): %s\n", tester.SelectedCases() ? "a collection" : "none");
  tester.Unsubscribe(events);
  return tester.TestCases()->Count() == 0 && !tester.SelectedCases() ? 0 : 1;
}
