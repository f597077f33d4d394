#include "inbreeding.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "output.h"
#include "progress.h"
#include "threads.h"

namespace haldor::inbreeding {

namespace {

const char* const kMemoryError = "Error occurred while memory allocation!\n";

// The result lines are formatted and written this many records at a time.
constexpr std::size_t kWriteSpan = 1 << 16;

}  // namespace

void CodedPedigree::resize(std::size_t n) {
  sire.assign(n + 1, 0);
  dam.assign(n + 1, 0);
  live.assign(n + 1, 1);
  live[0] = 0;
}

CompletenessText::CompletenessText(const Completeness& pci, std::string_view delim)
    : pci_(pci), delim_(delim), slots_(kSlots) {}

std::uint64_t CompletenessText::pattern(Code p) const {
  if (!p) return 0;
  std::uint32_t counts;
  std::memcpy(&counts, &pci_.known[4 * static_cast<std::size_t>(p)], sizeof counts);
  return counts | 0x80000000u;
}

std::string_view CompletenessText::get(Code sire, Code dam) {
  const std::uint64_t key = pattern(sire) | pattern(dam) << 32;
  Slot& slot = slots_[(key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits)];
  if (!slot.used || slot.key != key) {
    float a[10], index[5];
    pci_.values(sire, dam, a);
    calcPCI(index, a);
    slot.text.clear();
    char tmp[64];
    auto add = [&](float v) {
      slot.text.append(delim_);
      slot.text.append(tmp, static_cast<std::size_t>(format_f42(static_cast<double>(v), tmp)));
    };
    for (int g = 0; g < 5; ++g) {
      add(a[g]);
      add(a[5 + g]);
    }
    for (int g = 0; g < 5; ++g) add(index[g]);
    slot.key = key;
    slot.used = true;
  }
  return slot.text;
}

int format_f6(double v, char* out) {
  // Values of 0 up to a billion whose sixth decimal is not a near tie are
  // rounded here; everything else is left to the library.
  if (!std::signbit(v) && v < 1e9) {
    double x = v * 1e6;
    double whole = std::floor(x);
    double frac = x - whole;
    if (std::fabs(frac - 0.5) > 1e-4) {
      auto r = static_cast<unsigned long long>(whole) + (frac > 0.5 ? 1 : 0);
      unsigned long long ip = r / 1000000, fp = r % 1000000;
      char digits[24];
      int n = 0;
      do {
        digits[n++] = static_cast<char>('0' + ip % 10);
        ip /= 10;
      } while (ip);
      int k = 0;
      while (n) out[k++] = digits[--n];
      out[k++] = '.';
      for (int i = 5; i >= 0; --i) {
        out[k + i] = static_cast<char>('0' + fp % 10);
        fp /= 10;
      }
      k += 6;
      out[k] = '\0';
      return k;
    }
  }
  return std::snprintf(out, 32, "%f", v);
}

int format_f42(double v, char* out) {
  // The completeness values and indexes lie between 0 and 1. Many of them
  // are exact ties at the third decimal (0.125, 0.375, ...), which printf
  // rounds to even; anything near a tie but not exactly one, or out of
  // range, is left to the library.
  if (!std::signbit(v) && v < 9.99) {
    const double x = v * 100.0;
    const double whole = std::floor(x);
    const double frac = x - whole;
    auto r = static_cast<unsigned>(whole);
    bool done = true;
    if (frac == 0.5 && std::fma(v, 100.0, -x) == 0.0)
      r += r & 1u;
    else if (std::fabs(frac - 0.5) > 1e-6)
      r += frac > 0.5 ? 1u : 0u;
    else
      done = false;
    if (done) {
      out[0] = static_cast<char>('0' + r / 100);
      out[1] = '.';
      out[2] = static_cast<char>('0' + r / 10 % 10);
      out[3] = static_cast<char>('0' + r % 10);
      out[4] = '\0';
      return 4;
    }
  }
  return std::snprintf(out, 32, "%4.2f", v);
}

long code_animal(Run& run, RecordCodes& codes) {
  std::FILE* con = run.console;
  const long n = run.ped.MAXANIMAL();
  std::fputs("Coding animals... ", con);
  long counted = 0;
  bool failed = false;
  try {
    codes.id.assign(static_cast<std::size_t>(n) + 1, 0);
    codes.ped.resize(static_cast<std::size_t>(n));
    run.HASHTBL.reserve_for_pool();  // the table does not grow record by record
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  Progress progress("coding", static_cast<std::uint64_t>(n));
  for (long p = 1; !failed && p <= n; ++p) {
    progress.update(static_cast<std::uint64_t>(p));
    const PedRecord& r = run.ped.PED[static_cast<std::size_t>(p - 1)];
    if (r.animal == kNoSymbol) continue;
    ++counted;
    if (!run.HASHTBL.add_key(r.animal, 0, static_cast<std::int32_t>(p))) failed = true;
  }
  progress.finish();
  if (failed) {
    // Running out of memory is a failure of the run, not a finding about the
    // pedigree: -1, so that the run ends with the failure status.
    std::fputc('\n', con);
    std::fputs(kMemoryError, con);
    return -1;
  }
  auto address = [&](SymbolId id) -> Code {
    if (id == kNoSymbol) return 0;
    const HashEntry* e = run.HASHTBL.find_key(id);
    return e ? static_cast<Code>(e->address) : 0;
  };
  // The entries of the parents lie anywhere in the table: they are fetched
  // a few records ahead.
  constexpr long ahead = 16;
  for (long p = 1; p <= n; ++p) {
    if (p + ahead <= n) {
      const PedRecord& later = run.ped.PED[static_cast<std::size_t>(p + ahead - 1)];
      run.HASHTBL.prefetch(later.sire);
      run.HASHTBL.prefetch(later.dam);
    }
    const PedRecord& r = run.ped.PED[static_cast<std::size_t>(p - 1)];
    auto i = static_cast<std::size_t>(p);
    codes.id[i] = address(r.animal);
    codes.ped.sire[i] = address(r.sire);
    codes.ped.dam[i] = address(r.dam);
    // Only the first record of an animal stands for its code.
    codes.ped.live[i] = codes.id[i] == static_cast<Code>(p);
  }
  std::fputs("OK.\n", con);

  std::fputs("Checking pedigree information... ", con);
  long not_stacked = 0, animal_sire = 0, animal_dam = 0, sire_dam = 0, all_three = 0;
  for (long p = 1; p <= n; ++p) {
    auto i = static_cast<std::size_t>(p);
    const Code a = codes.id[i], s = codes.ped.sire[i], d = codes.ped.dam[i];
    if (a < s || a < d) ++not_stacked;
    if (a != 0 && a == s && a == d) {
      ++all_three;
      continue;
    }
    if (a != 0 && a == s) ++animal_sire;
    if (a != 0 && a == d) ++animal_dam;
    if (s != 0 && s == d) ++sire_dam;
  }
  if (not_stacked + animal_sire + animal_dam + sire_dam + all_three == 0) {
    std::fputs("OK.\n", con);
    return counted;
  }
  std::fputs("Error\n", con);
  if (not_stacked) std::fprintf(con, " Pedigree is not stacked properly : %ld\n", not_stacked);
  if (animal_sire) std::fprintf(con, " Animal ID = Sire ID : %ld\n", animal_sire);
  if (animal_dam) std::fprintf(con, " Animal ID = Dam ID : %ld\n", animal_dam);
  if (sire_dam) std::fprintf(con, " Sire ID = Dam ID : %ld\n", sire_dam);
  if (all_three) std::fprintf(con, " Animal ID = Sire ID = Dam ID : %ld\n", all_three);
  return 0;
}

namespace {

// Formats the result lines of records first .. last - 1 (1-based) onto `out`.
// Returns the lines formatted.
long format_lines(const Run& run, const RecordCodes& codes, const Folvane& options, const std::vector<double>& F,
                  const Completeness& pci, std::size_t first, std::size_t last, std::string& out) {
  const CodedPedigree& ped = codes.ped;
  const std::size_t n = ped.size();
  const std::string& delim = run.settings.out_delimiter;
  std::optional<CompletenessText> pci_text;
  if (options.completeness) pci_text.emplace(pci, delim);
  // The names, codes and F of the parents lie anywhere in memory: each
  // line fetches what a line further on will read, in steps that each
  // need what the step before fetched.
  constexpr std::size_t parents_ahead = 8, text_ahead = 16, place_ahead = 32;
  const SymbolPool& pool = run.ped.pool;
  const auto& PED = run.ped.PED;
  char tmp[64];
  auto number = [&](long v) { out.append(tmp, static_cast<std::size_t>(std::snprintf(tmp, sizeof tmp, "%ld", v))); };
  auto f6 = [&](double v) { out.append(tmp, static_cast<std::size_t>(format_f6(v, tmp))); };
  long computed = 0;
  for (std::size_t p = first; p < last; ++p) {
    if (p + place_ahead <= n) {
      const PedRecord& later = PED[p + place_ahead - 1];
      pool.prefetch_place(later.animal);
      pool.prefetch_place(later.sire);
      pool.prefetch_place(later.dam);
    }
    if (p + text_ahead <= n) {
      const PedRecord& later = PED[p + text_ahead - 1];
      pool.prefetch_text(later.animal);
      pool.prefetch_text(later.sire);
      pool.prefetch_text(later.dam);
      const Code lc = codes.id[p + text_ahead];
      __builtin_prefetch(&ped.sire[lc]);
      __builtin_prefetch(&ped.dam[lc]);
      __builtin_prefetch(&F[lc]);
    }
    if (p + parents_ahead <= n) {
      const Code lc = codes.id[p + parents_ahead];
      const Code ls = ped.sire[lc], ld = ped.dam[lc];
      __builtin_prefetch(&F[ls]);
      __builtin_prefetch(&F[ld]);
      if (pci_text) {
        pci.prefetch(ls);
        pci.prefetch(ld);
      }
    }
    const Code c = codes.id[p];
    if (c == 0) continue;
    ++computed;
    const PedRecord& r = PED[p - 1];
    out.append(run.ped.name(r.animal));
    out.append(delim);
    out.append(r.sire ? run.ped.name(r.sire) : std::string_view("0"));
    out.append(delim);
    out.append(r.dam ? run.ped.name(r.dam) : std::string_view("0"));
    if (options.renumber) {
      out.append(delim);
      number(static_cast<long>(c));
      out.append(delim);
      number(static_cast<long>(ped.sire[p]));
      out.append(delim);
      number(static_cast<long>(ped.dam[p]));
    }
    // A repeated record shows the values of the animal's first record.
    const Code s = ped.sire[c], d = ped.dam[c];
    out.append(delim);
    f6(1.0 / mendelian_factor(s, d, F));
    out.append(delim);
    f6(F[c]);
    if (pci_text) out.append(pci_text->get(s, d));
    out.push_back('\n');
  }
  return computed;
}

// Writes every result line, a span of records at a time. Each thread takes
// the next span, formats it and writes it once the span before it is
// written: the file gets the same bytes from any number of threads, and
// writing one span overlaps formatting the next.
long write_lines(const Run& run, const RecordCodes& codes, const Folvane& options, const std::vector<double>& F,
                 const Completeness& pci, std::FILE* fp, unsigned threads) {
  const std::size_t n = codes.ped.size();
  const std::size_t spans = (n + kWriteSpan - 1) / kWriteSpan;
  Progress progress("writing", n);
  std::mutex lock;
  std::condition_variable changed;
  std::size_t taken = 0, written = 0;  // spans taken by a thread, and written
  bool failed = false;
  std::exception_ptr error;
  long computed = 0;
  auto work = [&](bool draws) {
    try {
      std::string text;
      for (;;) {
        std::size_t j;
        {
          std::lock_guard<std::mutex> hold(lock);
          if (failed || taken == spans) return;
          j = taken++;
        }
        const std::size_t first = 1 + j * kWriteSpan, last = std::min(n + 1, first + kWriteSpan);
        text.clear();
        const long count = format_lines(run, codes, options, F, pci, first, last, text);
        {
          std::unique_lock<std::mutex> hold(lock);
          changed.wait(hold, [&] { return written == j || failed; });
          if (failed) return;
        }
        // Only the thread whose turn it is writes.
        std::fwrite(text.data(), 1, text.size(), fp);
        std::lock_guard<std::mutex> hold(lock);
        computed += count;
        written = j + 1;
        changed.notify_all();
        if (draws) progress.update(last - 1);
      }
    } catch (...) {
      std::lock_guard<std::mutex> hold(lock);
      if (!error) error = std::current_exception();
      failed = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  const std::size_t helpers = std::min<std::size_t>(threads, std::max<std::size_t>(spans, 1)) - 1;
  for (std::size_t t = 0; t < helpers; ++t) {
    try {
      pool.emplace_back(work, false);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the others take every span
    }
  }
  work(true);  // only the calling thread draws
  for (std::thread& th : pool) th.join();
  if (error) std::rethrow_exception(error);
  return computed;
}

}  // namespace

long calc_icoef(Run& run, const RecordCodes& codes, const Folvane& options) {
  std::FILE* con = run.console;
  const std::string& name = run.settings.output();
  ResultFile file;
  if (!file.open(name)) {
    std::fprintf(con, "Error: Failed to create \"%s\" file!\n", name.c_str());
    return 0;
  }
  std::fputs("Calculating inbreeding coefficient... ", con);
  std::fflush(con);

  const CodedPedigree& ped = codes.ped;
  std::vector<double> F;
  Completeness pci;
  try {
    if (options.tabular)
      inbreeding_tabular(ped, F, options.matrix_budget ? options.matrix_budget : default_matrix_budget());
    else
      inbreeding_indirect(ped, F);
    if (options.completeness) pci.compute(ped);
  } catch (const std::bad_alloc&) {
    // The progress message is still open: the error starts a line of its own.
    std::fputc('\n', con);
    std::fputs(kMemoryError, con);
    return -1;
  }

  // Running out of memory here ends the run in the frame, which drops the
  // temporary file.
  const long computed = write_lines(run, codes, options, F, pci, file.get(), worker_threads(kMaxThreads));
  if (!file.commit()) {
    std::fputc('\n', con);
    print_write_error(con, name);
    return -1;
  }
  std::fprintf(con, "OK.\n%ld animals were calculated\n", computed);
  return computed;
}

const ModuleInfo& Folvane::info() const {
  static const ModuleInfo kInfo = [] {
    ModuleInfo m;
    m.name = "Folvane";
    m.banner_line2 = "  A Program Module of HALDOR Pedigree Toolkit. OVRI. TOLMA.";
    m.help_header = "Usage :\n";
    m.usage_args = "[option]... <Pedigree_input_filename> <Pedigree_output_filename>";
    m.optstring = "d:D:rf:m:hne:cpt";
    m.help_order = "cdDfhmnprt";
    m.own_help = {
        {'c', {" -c : To print renumbered pedigree"}},
        {'p', {" -p : To print Pedigree Completeness Index (5 generations max.)."}},
        {'t',
         {" -t : To use Tabular method. By default Meuwissen & Luo algorithm is used.",
          "      (A = LDL', computed by the indirect method of Colleau (2002) with the",
          "      modifications of Sargolzaei, Iwaisaki and Colleau (2005): exact for any depth.)"}},
    };
    m.unknown_option = "Error : Use of unknown option %c\n";
    m.wrong_count = "Error: No entry for input and output files.";
    m.file_count = 2;
    m.reader = {"Reading pedigree information ...",
                "Error: Out of Memory while storing pedigree!\n       i.e. pedigree is too large.",
                "Error: Out of Memory while storing pedigree!\n       i.e. pedigree is too large.", true};
    return m;
  }();
  return kInfo;
}

void Folvane::option(int letter, const std::string& /*value*/) {
  switch (letter) {
    case 'c': renumber = true; break;
    case 'p': completeness = true; break;
    case 't': tabular = true; break;
    default: break;  // -e: accepted and ignored
  }
}

int Folvane::work(Run& run) {
  std::FILE* con = run.console;
  int status = 0;
  RecordCodes codes;
  const long coded = code_animal(run, codes);
  if (coded < 0) status = kFailure;
  if (coded > 0) {
    if (run.settings.hash_report) run.HASHTBL.get_hash_statistics(con);
    run.HASHTBL.clear_hashtable();
    // From here on the names are only printed.
    run.ped.pool.release_index();
    const long done = calc_icoef(run, codes, *this);
    if (done > 0) {
      std::fprintf(con, "\n'%s' contains id, sire, dam, %sBii, F%s\n", run.settings.output().c_str(),
                   renumber ? "id_code, sire_code, dam_code, " : "",
                   completeness ? ", a1s, a1d, a2s, a2d, ..., a5s, a5d, PCI1, PCI2, ..., PCI5" : "");
    } else if (done < 0) {
      status = kFailure;
    }
  }
  run.HASHTBL.clear_hashtable();
  std::fputs(tabular ? "Note : Tabular method was used.\n" : "Note : Meuwissen & Luo algorithm was used.\n", con);
  return status;
}

}  // namespace haldor::inbreeding
