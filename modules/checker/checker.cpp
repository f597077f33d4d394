#include "checker.h"

#include <charconv>
#include <new>
#include <string_view>

#include "loops.h"
#include "output.h"
#include "progress.h"

namespace haldor::checker {

namespace {

const char* const kDashes57 = "---------------------------------------------------------";
const char* const kDashes46 = "----------------------------------------------";

struct Summary {
  long total = 0, with_data = 0, without_data = 0;
  long animal_sire = 0, animal_dam = 0, sire_dam = 0, all_three = 0;
  long repeated = 0, animal_errors = 0, parent_errors = 0;
};

void print_summary(std::FILE* out, const Summary& s) {
  std::fprintf(out, "\nPedigree file information\n%s\n", kDashes57);
  std::fprintf(out, "Total lines ..................................... %ld\n", s.total);
  std::fprintf(out, "  With data ..................................... %ld\n", s.with_data);
  std::fprintf(out, "  Without data .................................. %ld\n", s.without_data);
  std::fprintf(out, "Pedigree error\n");
  std::fprintf(out, "  Animal = Sire ................................. %ld\n", s.animal_sire);
  std::fprintf(out, "  Animal = Dam .................................. %ld\n", s.animal_dam);
  std::fprintf(out, "  Sire = Dam .................................... %ld\n", s.sire_dam);
  std::fprintf(out, "  Animal = Sire = Dam ........................... %ld\n", s.all_three);
  std::fprintf(out, "  Repeated animal records ....................... %ld\n", s.repeated);
  std::fprintf(out, "  Animal errors (listed as both sire and dam) ... %ld\n", s.animal_errors);
  std::fprintf(out, "  Parent errors (listed as both sire and dam) ... %ld\n", s.parent_errors);
  std::fprintf(out, "%s\n", kDashes57);
  const long total = s.animal_sire + s.animal_dam + s.sire_dam + s.all_three + s.repeated + s.animal_errors +
                     s.parent_errors;
  std::fprintf(out, "Total errors found .............................. %ld\n", total);
}

// One message line of the report: "Line L : <before><id><after>". The
// identifier is written as the bytes it has, a NUL byte included.
void put_message(std::FILE* out, long line, const char* before, std::string_view id, const char* after) {
  std::fprintf(out, "Line %-8ld : %s", line, before);
  std::fwrite(id.data(), 1, id.size(), out);
  std::fputs(after, out);
}

// Writes the messages of one record and counts its errors.
void check_record(Run& run, const PedRecord& r, long line, std::FILE* out, Summary& s) {
  if (r.animal == kNoSymbol) {
    std::fprintf(out, "Line %-8ld : This line is blank.\n", line);
    ++s.without_data;
    return;
  }
  const std::string_view animal = run.ped.name(r.animal);
  const HashEntry* a = run.HASHTBL.find_key(r.animal);
  if (r.work != 0) {
    std::fprintf(out, "Line %-8ld : Repeated appearance of animal at line %ld (", line,
                 static_cast<long>(a->address));
    std::fwrite(animal.data(), 1, animal.size(), out);
    std::fputs("). \n", out);
    ++s.repeated;
  }
  if (a->usage == (kAnimal | kSire | kDam)) {
    put_message(out, line, "Same animal (", animal, ") listed as sire and dam.\n");
    ++s.animal_errors;
  }
  // A parent used both as sire and as dam without a line of its own is a
  // parent error on every line that names it. Returns whether the parent is
  // the animal itself.
  auto check_parent = [&](SymbolId parent, long& same_as_animal) {
    if (parent == kNoSymbol) return false;
    if (run.HASHTBL.find_key(parent)->usage == (kSire | kDam)) {
      put_message(out, line, "Same animal (", run.ped.name(parent), ") listed as sire and dam.\n");
      ++s.parent_errors;
    }
    if (parent != r.animal) return false;
    ++same_as_animal;
    return true;
  };
  bool a_s = check_parent(r.sire, s.animal_sire);
  bool a_d = check_parent(r.dam, s.animal_dam);
  bool s_d = false, a_s_d = false;
  if (r.sire != kNoSymbol && r.sire == r.dam) {
    s_d = true;
    if (a_s) {
      --s.animal_sire;
      --s.animal_dam;
      a_s = a_d = false;
      a_s_d = true;
      ++s.all_three;
    } else {
      ++s.sire_dam;
    }
  }
  if (a_s) put_message(out, line, "Animal = Sire (", animal, ")\n");
  if (a_d) put_message(out, line, "Animal = Dam (", animal, ")\n");
  if (s_d) put_message(out, line, "Sire = Dam (", run.ped.name(r.sire), ")\n");
  if (a_s_d) put_message(out, line, "Animal = Sire = Dam (", animal, ")\n");
  ++s.with_data;
}

// The record loops touch the entries of three identifiers a record, mostly
// at random: fetching a few records ahead hides that latency. Always inlined:
// GCC takes a function that only prefetches for one without effects and drops
// the calls to it.
[[gnu::always_inline]] inline void prefetch_ahead(const Run& run, long i, long count) {
  constexpr long kAhead = 16;
  if (i + kAhead >= count) return;
  const PedRecord& r = run.ped.PED[static_cast<std::size_t>(i + kAhead)];
  run.HASHTBL.prefetch(r.animal);
  run.HASHTBL.prefetch(r.sire);
  run.HASHTBL.prefetch(r.dam);
}

}  // namespace

long mk_hashtable(Run& run, long count) {
  long distinct = 0;
  auto add = [&](SymbolId id, std::uint8_t usage, std::int32_t address) {
    HashEntry* e = run.HASHTBL.add_key(id, usage, address);
    if (!e) return false;
    if (e->count == 1) ++distinct;
    return true;
  };
  try {
    run.HASHTBL.reserve_for_pool();
  } catch (const std::bad_alloc&) {
    return -1;
  }
  Progress progress("hashing", static_cast<std::uint64_t>(count));
  for (long i = 0; i < count; ++i) {
    progress.update(static_cast<std::uint64_t>(i));
    prefetch_ahead(run, i, count);
    PedRecord& r = run.ped.PED[static_cast<std::size_t>(i)];
    if (r.animal != kNoSymbol) {
      const HashEntry* e = run.HASHTBL.find_key(r.animal);
      if (e && (e->usage & kAnimal)) ++r.work;
      if (!add(r.animal, kAnimal, static_cast<std::int32_t>(i + 1))) return -1;
    }
    if (r.sire != kNoSymbol && !add(r.sire, kSire, 0)) return -1;
    if (r.dam != kNoSymbol && !add(r.dam, kDam, 0)) return -1;
  }
  progress.finish();
  std::fprintf(run.console, "Total animals found : %ld\n", distinct);
  return distinct;
}

int be_stacked(Run& run, std::FILE* report) {
  if (!report) return -1;
  std::fprintf(report, "\nNumber of parents to be stacked\n%s\n", kDashes46);
  long n = 0;
  run.HASHTBL.walk([&](SymbolId id, const HashEntry& e) {
    if (e.usage == kSire || e.usage == kDam) {
      std::string_view key = run.ped.name(id);
      std::fwrite(key.data(), 1, key.size(), report);
      std::fputc('\n', report);
      ++n;
    }
  });
  if (n > 0) std::fprintf(report, "%s\n", kDashes46);
  std::fprintf(report, "Number of animals to be stacked : %ld\n", n);
  std::fprintf(run.console, "Number of animals to be stacked : %ld\n", n);
  return 0;
}

long report_loops(Run& run, std::FILE* report, long count) {
  if (!report) return -1;
  std::fprintf(report, "\nPedigree loops\n%s\n", kDashes46);
  // A chain of a loop through a million animals is one line of megabytes:
  // it is put together in a buffer written out in large pieces.
  std::string text;
  auto flush = [&](std::size_t above) {
    if (text.size() <= above) return;
    std::fwrite(text.data(), 1, text.size(), report);
    text.clear();
  };
  auto put_number = [&](long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
  };
  long number = 0;
  const long loops = find_loops(resolve_parents(run, count), [&](const Loop& loop) {
    text += "Loop ";
    put_number(++number);
    text += " : ";
    put_number(static_cast<long>(loop.size));
    text += " animals\n  ";
    for (std::uint32_t record : loop.chain) {
      text += run.ped.name(run.ped.PED[record].animal);  // whole, NUL bytes included
      text += " -> ";
      flush(1 << 16);
    }
    text += run.ped.name(run.ped.PED[loop.first].animal);
    text += "\n  at lines ";
    for (std::size_t k = 0; k < loop.chain.size(); ++k) {
      if (k) text += ", ";
      put_number(static_cast<long>(loop.chain[k]) + 1);
      flush(1 << 16);
    }
    text += '\n';
    flush(1 << 16);
  });
  flush(0);
  std::fprintf(report, "Number of pedigree loops : %ld\n", loops);
  std::fprintf(run.console, "Number of pedigree loops : %ld\n", loops);
  return loops;
}

int check_error(Run& run, const std::string& filename, long count, bool stack_list, bool loop_list) {
  ResultFile report;
  if (!report.open(filename)) {
    std::fprintf(run.console, "Output file open error : %s\n", filename.c_str());
    return -1;
  }
  std::FILE* out = report.get();
  Quorel quorel;
  print_version(quorel.info(), out);

  Summary s;
  s.total = count;
  Progress progress("checking", static_cast<std::uint64_t>(count));
  for (long i = 0; i < count; ++i) {
    progress.update(static_cast<std::uint64_t>(i));
    prefetch_ahead(run, i, count);
    check_record(run, run.ped.PED[static_cast<std::size_t>(i)], i + 1, out, s);
  }
  progress.finish();
  print_summary(out, s);
  print_summary(run.console, s);
  if (stack_list) be_stacked(run, out);
  if (loop_list) report_loops(run, out, count);
  if (!report.commit()) {
    print_write_error(run.console, filename);
    return -2;
  }
  return 0;
}

const ModuleInfo& Quorel::info() const {
  static const ModuleInfo kInfo = [] {
    ModuleInfo m;
    m.name = "Quorel";
    m.banner_line2 = "  A Program Module of HALDOR Pedigree Toolkit, OVRI, TOLMA.";
    m.help_header = "\nUsage :\n";
    m.usage_args = "[option]... <Pedigree_input_filename> <Pedigree_output_filename>";
    m.optstring = "d:rf:m:hsnl";
    m.help_order = "dfhlmnrs";
    m.own_help = {{'l', {" -l : To report pedigree loops (animals that are their own ancestors)."}},
                  {'s', {" -s : To print parents that are to be stacked."}}};
    m.quorel_d_entry = true;
    m.unknown_option = "Error : Use of unknown option %c\n";
    m.wrong_count = "Error: No entry for input and output files.";
    m.file_count = 2;
    m.reader = {"Reading pedigree information...",
                "Error: Out of Memory while storing pedigree!\n       i.e. pedigree is too large.",
                "Error: Out of Memory while storing pedigree!\n       i.e. pedigree is too large.", true};
    return m;
  }();
  return kInfo;
}

void Quorel::option(int letter, const std::string& /*value*/) {
  if (letter == 's') stack_list_ = true;
  if (letter == 'l') loop_list_ = true;
}

int Quorel::work(Run& run) {
  const long count = run.ped.MAXANIMAL();
  if (mk_hashtable(run, count) < 0) {
    std::fputs("Error: Out of Memory while building the identifier table!\n", run.console);
    return kFailure;
  }
  if (run.settings.hash_report) run.HASHTBL.get_hash_statistics(run.console);
  int status = check_error(run, run.settings.output(), count, stack_list_, loop_list_);
  // A report that could not be created ends the run normally; one that could
  // not be written whole is a failed run.
  return status == -2 ? kFailure : 0;
}

}  // namespace haldor::checker
