// Parsing a maximal update.ini: 16 types, 256 files, every value at its
// longest.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "settings/settings.h"
#include "settings/settings_file.h"

static std::string MaximalSettings() {
  std::string ini;
  const char* keys[] = {"TITLE", "TITLE_OLD", "PATH",  "DEFDIR", "MD",      "EXE",
                        "LNK",   "REG_P",     "REG_S", "REG_T",  "SAVEDIR", "SAVEFILE"};
  for (const char* key : keys)
    ini += "#" + std::string(key) + " \"" + std::string(500, 'v') + "\"\n";
  ini += "#INSTALL_LST\n";
  for (int t = 0; t < 16; ++t) ini += "[TYPE" + std::to_string(t) + std::string(50, 't') + "]\n";
  ini += "#INSTALL_S\n[TYPE0\n#FILE\n";
  for (int f = 0; f < 256; ++f) {
    if (f % 16 == 0) ini += "[TYPE" + std::to_string(f / 16) + "]\n";
    ini += "data\\folder\\file" + std::to_string(f) + std::string(8, 'x') + ".dat\r\n";
  }
  return ini + "##\n";
}

static void BM_ParseMaximalSettings(benchmark::State& state) {
  char dir[] = "/tmp/updater-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) abort();
  std::string ini = MaximalSettings();
  std::ofstream("update.ini", std::ios::binary) << ini;
  for (auto _ : state) {
    ResetSettings();
    OpenSettingsFile(ini.data(), ini.size());
    ParseSettingsFile();
    CloseSettingsFile();
    benchmark::DoNotOptimize(settings.file_count);
  }
  if (settings.file_count != 256 || settings.install_lst_count != 16) {
    state.SkipWithError("the maximal file did not parse in full");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ini.size()));
  unlink("update.ini");
  rmdir(dir);
}
BENCHMARK(BM_ParseMaximalSettings)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(false);

BENCHMARK_MAIN();
