#include "frame.h"

#include "output.h"

#include <cstdlib>
#include <getopt.h>
#include <new>
#include <unistd.h>

namespace haldor {

namespace {

const char* const kVersion = "1.0.0";
const char* const kDate = "2017.2.28.";

std::vector<std::string> shared_entry(char letter, bool quorel_d) {
  switch (letter) {
    case 'd':
      if (quorel_d)
        return {" -d : To specify input file delimiters (mixed types allowed). ",
                "      Example : \",\", \"|\", \"\\t\", \" \", \" ,.\\t\"",
                "      With -r option white space characters (\" \\t\") are set as default."};
      return {" -d : To specify input file delimiters (mixed types allowed).",
              "      Example : \",\", \"|\", \"\\t\", \" \", \" ,.\\t\".",
              "      With -r option white space characters (\" \\t\") are set as default."};
    case 'D':
      return {" -D : To specify output file delimiter. Space is set as default."};
    case 'f':
      return {" -f : To specify position of animal_col_position, col_length, sire_col_position, col_length, "
              "dam_col_position, col_length.",
              "      Example : <1,5,6,5,11,5> ",
              "        Here,",
              "          1,5  animal_id starts at column 1 and it is 5 character long.",
              "          6,5  sire_id starts at column 6 and it is 5 character long.",
              "          11,5  dam_id starts at column 11 and it is 5 character long.",
              "      Note: -f and -d cannot be used together."};
    case 'h':
      return {" -h : To show hash information."};
    case 'm':
      return {" -m : To specify the missing values or characters.",
              "      Example : \"0\", \"-999\"",
              "      With -f option white space is set as default.",
              "      Without -f option \"0\" is set as default."};
    case 'n':
      return {" -n : To treat ID as numeric (leading zero is ignored)."};
    case 'r':
      return {" -r : To convert repeated delimiters into one character delimiter."};
    default:
      return {};
  }
}

// The GNU long options every program answers before anything else: "--help"
// or "--version" standing as an option of its own (not as the value of an
// option that takes one, not after "--", and with POSIXLY_CORRECT not after
// the first file name). Returns the one found first, or nullptr.
const char* gnu_request(int argc, char** argv, const std::string& optstring) {
  const bool posix = std::getenv("POSIXLY_CORRECT") != nullptr || (!optstring.empty() && optstring[0] == '+');
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "--version") return argv[i];
    if (arg == "--") return nullptr;
    if (arg.size() < 2 || arg[0] != '-') {
      if (posix) return nullptr;
      continue;
    }
    // A cluster of short options: a letter that takes a value takes the rest
    // of the cluster, or the next argument when it ends the cluster.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const std::size_t at = optstring.find(arg[k]);
      if (arg[k] == ':' || at == std::string::npos || at + 1 >= optstring.size() || optstring[at + 1] != ':')
        continue;
      if (k + 1 == arg.size()) ++i;
      break;
    }
  }
  return nullptr;
}

}  // namespace

void version(const ModuleInfo& info, std::FILE* out) {
  std::fprintf(out, "%s Version %s\n%s\n  %s\n\n", info.name.c_str(), kVersion, info.banner_line2.c_str(), kDate);
}

void print_version(const ModuleInfo& info, std::FILE* file) {
  if (file) version(info, file);
}

void help(const ModuleInfo& info, std::FILE* out) {
  std::fprintf(out, "%s\n%s %s\n\n", info.help_header.c_str(), info.name.c_str(), info.usage_args.c_str());
  for (char letter : info.help_order) {
    const std::vector<std::string>* lines = nullptr;
    for (const HelpEntry& e : info.own_help)
      if (e.letter == letter) lines = &e.lines;
    std::vector<std::string> shared;
    if (!lines) {
      shared = shared_entry(letter, info.quorel_d_entry);
      lines = &shared;
    }
    for (const std::string& line : *lines) std::fprintf(out, "%s\n", line.c_str());
  }
  for (const std::string& line : info.help_tail) std::fprintf(out, "%s\n", line.c_str());
  std::fputs("\n", out);
}

void print_write_error(std::FILE* console, const std::string& file) {
  std::fprintf(console, "Error: Failed to write \"%s\" file! Nothing was written.\n", file.c_str());
}

int run_frame(int argc, char** argv, Module& module, std::FILE* console) {
  const ModuleInfo& info = module.info();
  Run run;
  run.console = console;
  Settings& s = run.settings;

  if (const char* request = gnu_request(argc, argv, info.optstring)) {
    if (std::string(request) == "--version") {
      std::fprintf(console, "%s Version %s\n", info.name.c_str(), kVersion);
    } else {
      version(info, console);
      help(info, console);
    }
    return 0;
  }

  version(info, console);

  opterr = 0;
  optind = 0;  // a full restart of the parser, also when called again (tests)
  for (;;) {
    int c = getopt(argc, argv, info.optstring.c_str());
    if (c == -1) break;
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 'd':
        s.delimiters = value;
        compile_escape_char(s.delimiters);
        s.d_given = true;
        break;
      case 'D':
        s.out_delimiter = value;
        compile_escape_char(s.out_delimiter);
        s.D_given = true;
        break;
      case 'f':
        s.columns_text = value;
        s.column_pairs = parse_fixed_column(s.columns, value);
        s.f_given = true;
        break;
      case 'm':
        s.marker = value;
        s.m_given = true;
        break;
      case 'h': s.hash_report = true; break;
      case 'n': s.numeric = true; break;
      case 'r': s.merge = true; break;
      case '?':
      case ':':
        help(info, console);
        std::fprintf(console, info.unknown_option.c_str(), optopt);
        break;
      default:
        module.option(c, value);
        break;
    }
  }
  for (int i = optind; i < argc; ++i) s.files.emplace_back(argv[i]);

  // Defaults.
  if (!s.d_given && !s.f_given) {
    s.delimiters = std::string(" \t");
    s.merge = true;
  }
  if (info.optstring.find('D') != std::string::npos && !s.D_given) s.out_delimiter = std::string(1, ' ');
  if (!s.m_given) s.marker = s.f_given ? std::string() : std::string(1, '0');
  module.apply_defaults(s);

  // Checks.
  if (static_cast<int>(s.files.size()) != info.file_count) {
    help(info, console);
    std::fprintf(console, "%s\n", info.wrong_count.c_str());
    return 0;
  }
  if (s.d_given && s.f_given) {
    help(info, console);
    std::fputs("Error: The -d and -f options used together.\n", console);
    return 0;
  }
  if (s.f_given) {
    bool usable = s.column_pairs == 3;
    // A column at position 0 or of length 0 names no character of the line.
    for (int i = 0; usable && i < 3; ++i) usable = s.columns[i].start > 0 && s.columns[i].length > 0;
    if (!usable) {
      help(info, console);
      std::fprintf(console, "Error: Incorrect use of -f option... '%s', parsed rows : %d\n", s.columns_text.c_str(),
                   s.column_pairs);
      return 0;
    }
  }

  // No output may overwrite an input.
  for (const std::string& out : module.outputs(s)) {
    for (std::size_t i = 0; i + 1 < s.files.size(); ++i) {
      if (same_file(out, s.files[i])) {
        std::fprintf(console, "Error: Output file \"%s\" is the input file \"%s\". Nothing was written.\n",
                     out.c_str(), s.files[i].c_str());
        return kFailure;
      }
    }
  }

  int status = module.before_read(run);
  if (status != Module::kGoOn) return status;

  const FieldRules rules{s.marker, s.numeric};
  long records = s.f_given ? read_ped_fwf(run.ped, s.input(), s.columns, 3, rules, info.reader, console)
                           : read_ped_dsf(run.ped, s.input(), s.delimiters, s.merge, rules, info.reader, console);
  if (records == 0) return kFailure;

  try {
    status = module.work(run);
  } catch (const std::bad_alloc&) {
    // Whatever the module was writing is dropped with its temporary file.
    std::fputs("\nError: Out of memory! The pedigree is too large for this machine.\n", console);
    status = kFailure;
  }
  run.HASHTBL.clear_hashtable();
  close_ped(run.ped);
  return status;
}

}  // namespace haldor
