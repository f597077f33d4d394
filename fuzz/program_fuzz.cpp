// One whole module program run in-process: options, reading, tables, the
// computation and the result files, on a pedigree and options from the fuzzer.
//
// The input is one line of options (words split at spaces), then the
// pedigree file; for the tracer, a line "%%" splits the rest into the
// pedigree and the key file. The run happens in a private temporary folder:
// words holding a '/' are dropped, so every file a run names stays inside it.
//
// What must hold beyond "no crash, leak or sanitizer report": the input files
// are unchanged after the run, and no temporary result file is left behind.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "frame.h"
#include "fuzz_input.h"
#include FUZZ_MODULE_HEADER

namespace fs = std::filesystem;
using namespace haldor;

namespace {

constexpr std::size_t kMaxWords = 16;

void write_file(const char* name, std::string_view content) {
  std::ofstream(name, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                 static_cast<std::streamsize>(content.size()));
}

std::string read_file(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Moves into a fresh folder of our own, once per process.
void enter_work_folder() {
  static bool entered = false;
  if (entered) return;
  std::string pattern = (fs::temp_directory_path() / "haldor-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) fuzz::fail("no temporary folder");
  entered = true;
}

void empty_work_folder() {
  for (const auto& entry : fs::directory_iterator(".")) {
    std::error_code ec;
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(entry.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* console = std::fopen("/dev/null", "w");
  enter_work_folder();
  empty_work_folder();

  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = text.find('\n');
  std::string_view options = text.substr(0, line_end);
  text = line_end == std::string_view::npos ? std::string_view() : text.substr(line_end + 1);

  FUZZ_MODULE_CLASS module;
  const bool has_keys = module.info().file_count == 3;
  std::string_view pedigree = text, keys;
  if (has_keys) {
    const std::size_t split = text.find("\n%%\n");
    if (split != std::string_view::npos) {
      pedigree = text.substr(0, split + 1);
      keys = text.substr(split + 4);
    }
  }

  std::vector<std::string> args{module.info().name};
  while (!options.empty() && args.size() <= kMaxWords) {
    const std::size_t space = options.find(' ');
    std::string word(options.substr(0, space));
    options = space == std::string_view::npos ? std::string_view() : options.substr(space + 1);
    if (word.find('/') == std::string::npos && word.find('\0') == std::string::npos) args.push_back(word);
  }
  // Tavisk follows a loop for G + 50 generations, so with a loop a -g of
  // millions runs for minutes as designed. Its options keep numbers of at
  // most five digits (the -g value may be a word of its own), so a run stays
  // within the fuzzer's time limit.
  if (module.info().name == "Tavisk") {
    for (const std::string& a : args) {
      std::size_t run = 0;
      for (char c : a) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run > 5) return 0;
      }
    }
  }
  args.emplace_back("ped.txt");
  if (has_keys) args.emplace_back("keys.txt");
  args.emplace_back("out.txt");

  write_file("ped.txt", pedigree);
  if (has_keys) write_file("keys.txt", keys);

  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  run_frame(static_cast<int>(args.size()), argv.data(), module, console);

  fuzz::expect(read_file("ped.txt") == pedigree, "the run changed its pedigree file");
  if (has_keys) fuzz::expect(read_file("keys.txt") == keys, "the run changed its key file");
  for (const auto& entry : fs::directory_iterator(".")) {
    // A temporary result is named "<result>.tmp" and six random characters.
    // A name the command line gave, as a word or stuck to its option
    // ("-ex.tmpABCDEF"), is the user's own file.
    const std::string name = entry.path().filename().string();
    const std::size_t at = name.size() >= 10 ? name.size() - 10 : std::string::npos;
    const bool temporary = at != std::string::npos && name.compare(at, 4, ".tmp") == 0;
    const bool named = std::any_of(args.begin(), args.end(), [&](const std::string& a) {
      return a.size() >= name.size() && a.compare(a.size() - name.size(), name.size(), name) == 0;
    });
    fuzz::expect(named || !temporary, "a temporary result file was left behind");
  }
  return 0;
}
