#include "cli/output_lookup.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "results/report_text.h"

namespace corvala4::cli {

namespace {

bool There(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void ReadFolder(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/') + 1);
  if (DIR* d = opendir(folder.empty() ? "." : folder.c_str())) {
    while (readdir(d)) {
    }
    closedir(d);
  }
}

std::string Seconds(double s) { return SecondsText(s, 1) + " s"; }

}  // namespace

std::string AwaitFiles(const std::vector<std::pair<std::string, std::string>>& files, double seconds) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::pair<std::string, std::string>> missing;
  for (const auto& f : files)
    if (!There(f.second)) missing.push_back(f);
  if (missing.empty()) return {};

  Clock::time_point start = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  std::string late;
  double pause = 0.05;
  while (!missing.empty() && elapsed() < seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(pause, seconds - elapsed())));
    pause = std::min(pause * 2, 0.5);
    std::set<std::string> read;
    std::erase_if(missing, [&](const auto& f) {
      if (read.insert(f.second.substr(0, f.second.rfind('/'))).second) ReadFolder(f.second);
      if (!There(f.second)) return false;
      late += (late.empty() ? "" : ", ") + f.first + " after " + Seconds(elapsed());
      return true;
    });
  }
  std::string text;
  if (!late.empty()) text = "seen only when looked for again: " + late;
  if (!missing.empty()) {
    std::string names;
    for (const auto& f : missing) names += (names.empty() ? "" : ", ") + f.first;
    text += (text.empty() ? "" : "; ") + std::string("not there after looking for ") + Seconds(seconds) +
            ": " + names;
  }
  return text + " (a shared file system can show a node's new files late)";
}

}  // namespace corvala4::cli
