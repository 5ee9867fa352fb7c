// The calculation of the runner's benchmarks: burns a quarter of a second of CPU (or the
// seconds given), then writes its result r.out (the project file's text) beside the project.
//   burn_calc PROJECT FUNC [SECONDS]
#include <time.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  double seconds = argc == 4 ? std::atof(argv[3]) : 0.25;
  volatile double x = 0;
  while (CpuSeconds() < seconds)
    for (int i = 0; i < 10000; ++i) x = x + i * 0.5;
  std::string project = argv[1];
  std::ifstream in(project, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::ofstream(project.substr(0, project.rfind('/') + 1) + "r.out", std::ios::binary) << text.str();
  return 0;
}
