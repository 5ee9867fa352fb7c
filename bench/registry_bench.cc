// Reading a registry file whose binary value is continued over many hex lines: the
// time must grow with the lines, not with their square.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "foundation/platform/registry_file.h"
#include "settings/registry.h"

namespace corvala4::bench {
namespace {

const char* const kKey = "SOFTWARE\\Halvern\\Setup\\QNVX";

std::string ContinuedValueFile(int lines) {
  std::string file = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern\\Setup\\QNVX]\r\n\"Bin\"=hex:00,\\\r\n";
  for (int i = 0; i < lines; ++i) file += i + 1 < lines ? "  01,\\\r\n" : "  01\r\n";
  return file;
}

void BM_ContinuedHexValue(benchmark::State& state) {
  ScratchDir dir;
  setenv("CORVALA4_REGISTRY_DIR", dir.path().c_str(), 1);
  std::ofstream(dir / "HKEY_LOCAL_MACHINE.reg", std::ios::binary)
      << ContinuedValueFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::optional<RegistryData> value = ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Bin");
    if (!value || value->Bytes.size() != static_cast<size_t>(state.range(0)) + 1) {
      state.SkipWithError("value not read");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ContinuedHexValue)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench
