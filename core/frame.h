// The command-line frame every module program shares.
//
// A module program is its Module description plus its work; `run_frame`
// does the rest in a fixed order: banner, option parsing (GNU getopt
// conventions: options and file names may be mixed, POSIXLY_CORRECT is
// honoured, the parser's own messages are off), the shared defaults, the
// usage checks, the refusal to write over an input file, reading the
// pedigree, then the module's work. Everything is printed on the console
// stream given (standard output in the programs); nothing goes to standard
// error.
//
// "--help" (banner and help text) and "--version" (the banner's first line)
// are answered before anything else and end the run with status 0; any other
// long option is read as short options, as getopt does.
//
// Exit statuses: 0 for a successful run and for a usage error; kFailure (-1)
// when the pedigree can't be read or is empty, or a result can't be written.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "get_token.h"
#include "hash.h"
#include "pedigree.h"

namespace haldor {

constexpr int kFailure = -1;

// Everything the command line sets.
struct Settings {
  std::string delimiters;  // escapes compiled
  bool d_given = false;
  bool merge = false;
  std::string columns_text;  // -f as typed
  ColumnTable columns;
  int column_pairs = 0;
  bool f_given = false;
  std::string marker;
  bool m_given = false;
  bool numeric = false;
  bool hash_report = false;
  std::string out_delimiter;  // escapes compiled
  bool D_given = false;
  std::vector<std::string> files;  // positional arguments

  bool fixed_width() const { return f_given; }
  const std::string& input() const { return files.front(); }
  const std::string& output() const { return files.back(); }
};

// Help text of one option: its letter and its lines as printed.
struct HelpEntry {
  char letter;
  std::vector<std::string> lines;
};

// The texts and options that make one module program.
struct ModuleInfo {
  std::string name;
  std::string banner_line2;
  std::string help_header;
  std::string usage_args;
  std::string optstring;
  std::string help_order;            // option letters in the order printed
  std::vector<HelpEntry> own_help;   // entries that differ from the shared ones
  std::vector<std::string> help_tail;  // lines printed after the entries
  bool quorel_d_entry = false;       // the -d entry's variant
  std::string unknown_option;        // printf format with %c, line end included
  std::string wrong_count;           // without line end
  int file_count = 2;
  ReaderTexts reader;
};

// One run's data: the settings, the records `PED` and the table `HASHTBL`.
struct Run {
  Settings settings;
  Pedigree ped;
  HashTable HASHTBL{ped.pool};
  std::FILE* console = stdout;
};

class Module {
 public:
  static constexpr int kGoOn = 1;

  virtual ~Module() = default;
  virtual const ModuleInfo& info() const = 0;
  // A letter of the option string that the frame doesn't handle itself.
  virtual void option(int /*letter*/, const std::string& /*value*/) {}
  // After the shared defaults: the module's own defaults.
  virtual void apply_defaults(Settings& /*settings*/) {}
  // After the checks, before reading: module messages and checks. Returns
  // kGoOn, or the exit status to end the run with.
  virtual int before_read(Run& /*run*/) { return kGoOn; }
  // Files the run will write; none may be one of the inputs.
  virtual std::vector<std::string> outputs(const Settings& s) const { return {s.output()}; }
  // The module's work after a successful read. Returns the exit status.
  virtual int work(Run& run) = 0;
};

void version(const ModuleInfo& info, std::FILE* out);
void print_version(const ModuleInfo& info, std::FILE* file);
void help(const ModuleInfo& info, std::FILE* out);

// Runs a module program. Returns its exit status.
int run_frame(int argc, char** argv, Module& module, std::FILE* console = stdout);

// The shared message for a result file that could not be written whole.
void print_write_error(std::FILE* console, const std::string& file);

}  // namespace haldor
