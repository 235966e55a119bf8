// Times the version reader on a large PE file (26.7 MB, its version
// resource in its resource section): one GetFileVersionInfoSize,
// GetFileVersionInfo and VerQueryValue, as the startup manager asks for a
// file. Beside it, two whole reads of the file (what a reader that takes the
// whole file twice costs at least) and python3-pefile reading the same
// file's headers and resources, when it is installed.
//
// VersionReadBench [--rounds R]   (default 5)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/shell/FileVersion.h"
#include "platform/shell/PeVersionWriter.h"

namespace {

const char* const kConfig = "[Machine]\nOSMajor=5\nOSMinor=1\nPlatformId=2\n[Drives]\nC=fixed,drives/C\n";
const char* const kFile = "C:\\big.dll";
constexpr std::uint64_t kFileSize = 26'700'000;

bool ReadVersion() {
  win::DWORD handle = 0;
  const win::DWORD size = win::GetFileVersionInfoSize(kFile, &handle);
  std::vector<std::uint8_t> block(size);
  const void* value = nullptr;
  unsigned len = 0;
  return size > 0 && win::GetFileVersionInfo(kFile, handle, size, block.data()) &&
         win::VerQueryValue(block.data(), "\\StringFileInfo\\040904b0\\ProductName", &value, &len);
}

}  // namespace

int main(int argc, char** argv) {
  bench::BenchArgs args;
  args.rounds = 5;
  if (!bench::ParseBenchArgs(argc, argv, "VersionReadBench [--rounds R]", true, 0, args)) return 2;
  bench::TemporaryFolder temporary;
  if (!temporary.Make()) return 1;
  const std::string folder = temporary.Path() + "/machine";
  win::MachineRecipe recipe;
  recipe.configText = kConfig;
  std::string error;
  std::unique_ptr<win::Machine> machine;
  if (!win::CreateMachine(folder, recipe, error) || !(machine = win::Machine::Open(folder, error))) {
    std::fprintf(stderr, "VersionReadBench: %s\n", error.c_str());
    return 1;
  }
  win::SetCurrentMachine(machine.get());

  win::PeVersionSpec spec;
  spec.fileVersion[0] = 5;
  spec.translations = {{0x0409, 0x04B0}};
  spec.strings = {{"CompanyName", "Fern Works"}, {"ProductName", "Fern"}, {"FileVersion", "5.0.0.0"}};
  std::vector<std::uint8_t> bytes = win::PeFileBytes(spec);
  std::mt19937_64 rng(26);
  while (bytes.size() < kFileSize) bytes.push_back(static_cast<std::uint8_t>(rng()));
  const std::string host = win::HostPath(kFile);
  std::ofstream(host, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  if (!ReadVersion()) {
    std::fprintf(stderr, "VersionReadBench: the version resource cannot be read\n");
    return 1;
  }

  const double reader = bench::BestOf(args.rounds, [] { ReadVersion(); });
  const double wholeTwice = bench::BestOf(args.rounds, [] {
    std::vector<std::uint8_t> data;
    win::ReadFileBytes(kFile, data);
    win::ReadFileBytes(kFile, data);
  });
  std::printf("file %.1f MB\n", static_cast<double>(bytes.size()) / 1e6);
  std::printf("version reader        %9.3f ms\n", reader * 1e3);
  std::printf("two whole reads       %9.3f ms  (%.0fx the reader)\n", wholeTwice * 1e3, wholeTwice / reader);

  const std::string script = temporary.Path() + "/pefile.txt";
  const std::string command =
      "/usr/bin/python3 -c 'import pefile, sys, time\n"
      "best = 1e9\n"
      "for i in range(" + std::to_string(args.rounds) + "):\n"
      "  t = time.perf_counter()\n"
      "  pe = pefile.PE(sys.argv[1], fast_load=True)\n"
      "  pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[\"IMAGE_DIRECTORY_ENTRY_RESOURCE\"]])\n"
      "  best = min(best, time.perf_counter() - t)\n"
      "print(best)' '" + host + "' > '" + script + "' 2>/dev/null";
  if (std::system(command.c_str()) == 0) {
    double pefile = 0;
    std::ifstream(script) >> pefile;
    std::printf("python3-pefile        %9.3f ms  (%.1fx the reader)\n", pefile * 1e3, pefile / reader);
  } else {
    std::printf("python3-pefile is not installed\n");
  }
  win::SetCurrentMachine(nullptr);
  return 0;
}
