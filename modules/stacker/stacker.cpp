#include "stacker.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include "output.h"
#include "progress.h"

namespace haldor::stacker {

namespace {

const char* const kDashes38 = "--------------------------------------";
const char* const kDashes33 = "---------------------------------";

// Collects output lines in a large block and hands it to the file in one
// fwrite; a failed write shows in the stream's error flag (ResultFile::commit).
class LineWriter {
 public:
  static constexpr std::size_t kBlock = 1 << 20;

  explicit LineWriter(std::FILE* file) : file_(file) { buf_.reserve(kBlock + 256); }
  ~LineWriter() { flush(); }
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  void put(std::string_view s) {
    if (s.size() > kBlock) {
      flush();
      std::fwrite(s.data(), 1, s.size(), file_);
      return;
    }
    if (buf_.size() + s.size() > kBlock) flush();
    buf_.append(s);
  }
  void put(long number) {
    char digits[24];
    auto res = std::to_chars(digits, digits + sizeof digits, number);
    put(std::string_view(digits, static_cast<std::size_t>(res.ptr - digits)));
  }
  void flush() {
    if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), file_);
    buf_.clear();
  }

 private:
  std::FILE* file_;
  std::string buf_;
};

// How far ahead the record loops ask for the table entries they will need.
constexpr std::size_t kAhead = 32;

// Parent k of the records: the sire of record k / 2 when k is even, else its dam.
template <typename Records>
SymbolId& parent_id(Records& PED, std::size_t k) {
  PedRecord& r = PED[k / 2];
  return k % 2 ? r.dam : r.sire;
}

// An identifier as written: an unknown one is "0".
std::string_view written_id(const Pedigree& ped, SymbolId id) {
  return id == kNoSymbol ? std::string_view("0") : ped.name(id);
}

// "animal D sire D dam D number\n"
void put_line(LineWriter& out, const Pedigree& ped, const PedRecord& r, std::string_view delimiter, long number) {
  out.put(written_id(ped, r.animal));
  out.put(delimiter);
  out.put(written_id(ped, r.sire));
  out.put(delimiter);
  out.put(written_id(ped, r.dam));
  out.put(delimiter);
  out.put(number);
  out.put(std::string_view("\n"));
}

// Counters of one row of the parentage table.
enum Column { kNone = 0, kSire = 1, kDam = 2, kBoth = 3 };
using Row = std::array<std::int32_t, 4>;

void print_table(std::FILE* con, const std::vector<Row>& rows) {
  std::fprintf(con, "\nParentage Information\n%s\n", kDashes38);
  std::fprintf(con, "            Known Parents\n");
  std::fprintf(con, "Gen   -------------------------  Total\n");
  std::fprintf(con, "      None   Sire    Dam   Both \n%s\n", kDashes38);
  std::array<long, 4> sum{0, 0, 0, 0};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Row& row = rows[r];
    long total = 0;
    for (int c = 0; c < 4; ++c) {
      sum[c] += row[c];
      total += row[c];
    }
    std::fprintf(con, "%3ld %6ld %6ld %6ld %6ld %6ld\n", static_cast<long>(r), static_cast<long>(row[kNone]),
                 static_cast<long>(row[kSire]), static_cast<long>(row[kDam]), static_cast<long>(row[kBoth]), total);
  }
  std::fprintf(con, "%s\n", kDashes38);
  std::fprintf(con, "SUM %6ld %6ld %6ld %6ld %6ld\n", sum[kNone], sum[kSire], sum[kDam], sum[kBoth],
               sum[0] + sum[1] + sum[2] + sum[3]);
  std::fprintf(con, "%s\n", kDashes38);
}

// True when two result names would land in the same file. A device such as
// /dev/null may take both.
bool same_target(const std::string& link_a, const std::string& link_b) {
  const std::string a = result_path(link_a), b = result_path(link_b);
  std::error_code ec;
  const auto status = std::filesystem::status(a, ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
  if (a == b || same_file(a, b)) return true;
  std::error_code ea, eb;
  const auto ca = std::filesystem::weakly_canonical(a, ea);
  const auto cb = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && ca == cb;
}

}  // namespace

long long parse_number(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kMax = std::numeric_limits<long long>::max();
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

long mk_hashtable(Run& run, long count, int prune, RecordTable* parents) {
  std::FILE* con = run.console;
  auto& PED = run.ped.PED;
  const std::size_t n = static_cast<std::size_t>(count);
  const char* const out_of_memory = "\nError: Out of Memory while building the identifier table!\n";

  std::fputs("Hashing...\n  Animals... ", con);
  // Record numbers are kept as 32-bit addresses.
  if (count >= std::numeric_limits<std::int32_t>::max()) {
    std::fputs(out_of_memory, con);
    return -1;
  }
  try {
    run.HASHTBL.reserve_for_pool();
  } catch (const std::bad_alloc&) {
    std::fputs(out_of_memory, con);
    return -1;
  }
  long animals = 0;
  Progress animal_progress("animals", n);
  for (std::size_t i = 0; i < n; ++i) {
    animal_progress.update(i);
    PedRecord& r = PED[i];
    if (r.animal == kNoSymbol) continue;
    if (!run.HASHTBL.add_key(r.animal, kAnimal, static_cast<std::int32_t>(i + 1))) {
      std::fputs(out_of_memory, con);
      return -1;
    }
    r.work = 0;
    r.flag[0] = r.flag[1] = r.flag[2] = 0;
    ++animals;
  }
  animal_progress.finish();
  std::fputs("OK.\n  Sire and Dam... ", con);
  // A parent that is a listed animal is resolved to its record right here;
  // only parent-only identifiers are looked at again for pruning.
  RecordTable local;
  RecordTable& links = parents ? *parents : local;
  try {
    links.assign(2 * n, kNoParent);
  } catch (const std::bad_alloc&) {
    std::fputs(out_of_memory, con);
    return -1;
  }
  Progress parent_progress("parents", 2 * n);
  for (std::size_t k = 0; k < 2 * n; ++k) {
    parent_progress.update(k);
    // the entries of the parents are anywhere: fetch them a few records ahead
    if (k + kAhead < 2 * n) run.HASHTBL.prefetch(parent_id(PED, k + kAhead));
    const SymbolId id = parent_id(PED, k);
    if (id == kNoSymbol) continue;
    HashEntry* e = run.HASHTBL.find_key(id);
    if (!e) {
      if (!run.HASHTBL.add_key(id, kParentOnly, 0)) {
        std::fputs(out_of_memory, con);
        return -1;
      }
    } else if (e->usage == kParentOnly) {
      ++e->count;
    } else {
      links[k] = e->address - 1;
    }
  }
  parent_progress.finish();
  std::fputs("OK.\nPruning... ", con);
  const std::uint32_t threshold = static_cast<std::uint32_t>(prune);
  long pruned = 0;
  for (std::size_t k = 0; k < 2 * n; ++k) {
    if (links[k] != kNoParent) continue;
    SymbolId& field = parent_id(PED, k);
    if (field == kNoSymbol) continue;
    const HashEntry* e = run.HASHTBL.find_key(field);
    if (static_cast<std::uint32_t>(e->count) <= threshold) {
      field = kNoSymbol;
      ++pruned;
    }
  }
  std::fprintf(con, "OK.\n  Pruned... %ld\n", pruned);
  return animals;
}

RecordTable resolve_parents(Run& run) {
  const auto& PED = run.ped.PED;
  RecordTable parents(2 * PED.size(), kNoParent);
  for (std::size_t i = 0; i < PED.size(); ++i) {
    if (PED[i].sire != kNoSymbol) parents[2 * i] = run.HASHTBL.find_key(PED[i].sire)->address - 1;
    if (PED[i].dam != kNoSymbol) parents[2 * i + 1] = run.HASHTBL.find_key(PED[i].dam)->address - 1;
  }
  return parents;
}

StackStatus stack(Run& run, const std::string& output, const std::string& error_file, long count, int g,
                  const std::string& delimiter, RecordTable parents) {
  std::FILE* con = run.console;
  Pedigree& ped = run.ped;
  auto& PED = ped.PED;
  const std::size_t n = static_cast<std::size_t>(count);

  ResultFile stacked, errors;
  // An empty name names no file (it would make a stray temporary file).
  if (output.empty() || !stacked.open(output)) {
    std::fprintf(con, "Error: Failed to create \"%s\" file!\n", output.c_str());
    return kNotCreated;
  }
  if (error_file.empty() || !errors.open(error_file)) {
    std::fprintf(con, "Error: Failed to create \"%s\" file!\n", error_file.c_str());
    return kNotCreated;  // the stacked file is dropped: nothing half-made is left
  }

  std::fputs("Stacking... ", con);
  std::fflush(con);  // the phase shows as it starts where the console is followed
  const long long wide_limit = static_cast<long long>(g) + 50;
  const std::int32_t limit = static_cast<std::int32_t>(
      std::clamp<long long>(wide_limit, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max()));
  DepthOutcome outcome;
  std::int32_t top = 0;
  RecordTable order;  // records to write, by generation
  std::vector<Row> rows;            // the parentage table, one row per generation
  try {
    {
      RecordTable depth;
      if (parents.size() != 2 * n) parents = resolve_parents(run);
      Progress passes("passes", static_cast<std::uint64_t>(std::max<std::int32_t>(limit, 0)));
      outcome = descendant_depths(parents, limit, depth, &passes);
      top = top_depth(outcome, depth, g);
      for (std::size_t i = 0; i < n; ++i) PED[i].work = depth[i];
      order.swap(depth);  // its memory serves again for the order
    }
    rows.assign(static_cast<std::size_t>(top) + 2, Row{0, 0, 0, 0});
    // Counting sort by depth, deepest first, input order within a depth.
    RecordTable start(static_cast<std::size_t>(top) + 2, 0);
    for (std::size_t i = 0; i < n; ++i)
      if (PED[i].animal != kNoSymbol && PED[i].work <= top) ++start[static_cast<std::size_t>(top - PED[i].work) + 1];
    for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    order.resize(static_cast<std::size_t>(start.back()));
    for (std::size_t i = 0; i < n; ++i)
      if (PED[i].animal != kNoSymbol && PED[i].work <= top)
        order[static_cast<std::size_t>(start[static_cast<std::size_t>(top - PED[i].work)]++)] =
            static_cast<std::int32_t>(i);
  } catch (const std::bad_alloc&) {
    std::fputs("\nError: Out of Memory while stacking the pedigree!\n", con);
    return kOutOfMemory;
  }
  if (!outcome.loop)
    std::fputs("OK.\n", con);
  else
    std::fprintf(con, "Loop error occurred. Please check %s\n", error_file.c_str());
  std::fprintf(con, "  Number of generation found : %ld\n", static_cast<long>(top) + 1);

  std::fputs("Printing... ", con);
  std::fflush(con);
  {
    Progress progress("printing", order.size());
    LineWriter out(stacked.get());
    // Founders, each once, in the order they are first named. Only a known
    // parent that resolved to no record can be one.
    for (std::size_t k = 0; k < 2 * n; ++k) {
      if (parents[k] != kNoParent) continue;
      const SymbolId id = parent_id(PED, k);
      if (id == kNoSymbol) continue;
      HashEntry* e = run.HASHTBL.find_key(id);
      if (e->usage != kParentOnly || e->count == 0) continue;
      out.put(ped.name(id));
      for (int field = 0; field < 3; ++field) {
        out.put(delimiter);
        out.put(std::string_view("0"));
      }
      out.put(std::string_view("\n"));
      e->count = 0;
      ++rows[0][kNone];
    }
    RecordTable().swap(parents);
    // The parents' names lie anywhere in memory. Lines are written in
    // batches: the names of a batch are looked up first in a tight loop,
    // so that their memory reads overlap, and then written.
    constexpr std::size_t kBatch = 256;
    std::string_view names[kBatch][3];
    for (std::size_t base = 0; base < order.size(); base += kBatch) {
      progress.update(base);
      const std::size_t end = std::min(order.size(), base + kBatch);
      for (std::size_t k = base; k < end; ++k) {
        const PedRecord& r = PED[static_cast<std::size_t>(order[k])];
        std::string_view* v = names[k - base];
        v[0] = ped.name(r.animal);
        v[1] = written_id(ped, r.sire);
        v[2] = written_id(ped, r.dam);
        __builtin_prefetch(v[1].data());
        __builtin_prefetch(v[2].data());
      }
      for (std::size_t k = base; k < end; ++k) {
        PedRecord& r = PED[static_cast<std::size_t>(order[k])];
        const long generation = static_cast<long>(top) - r.work + 1;
        const std::string_view* v = names[k - base];
        for (int field = 0; field < 3; ++field) {
          out.put(v[field]);
          out.put(delimiter);
        }
        out.put(generation);
        out.put(std::string_view("\n"));
        r.flag[2] = 1;
        const int column = (r.sire != kNoSymbol ? kSire : 0) | (r.dam != kNoSymbol ? kDam : 0);
        ++rows[static_cast<std::size_t>(generation)][column];
      }
    }
  }
  std::fputs("OK.\n", con);
  print_table(con, rows);

  if (outcome.loop) {
    std::fputs("Printing non-stacked animal (loop error) ... ", con);
    LineWriter out(errors.get());
    out.put(std::string_view("Loop error occurred.\n"));
    out.put(std::string_view(kDashes33));
    out.put(std::string_view("\n"));
    for (std::string_view field : {"id", "sire", "dam"}) {
      out.put(field);
      out.put(delimiter);
    }
    out.put(std::string_view("generation\n"));
    out.put(std::string_view(kDashes33));
    out.put(std::string_view("\n"));
    long listed = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const PedRecord& r = PED[i];
      if (r.animal == kNoSymbol || r.flag[2]) continue;
      put_line(out, ped, r, delimiter, static_cast<long>(r.work) + 1);
      ++listed;
    }
    out.put(std::string_view(kDashes33));
    out.put(std::string_view("\n"));
    out.put(listed);
    out.put(std::string_view(" animals were written in the output file.\n"));
    out.flush();
    std::fprintf(con, "%ld\n", listed);
  }

  // Both files are checked before either is put in place: a run that fails
  // to write one of them leaves both earlier results as they were.
  const std::pair<ResultFile*, const std::string*> results[] = {{&errors, &error_file}, {&stacked, &output}};
  for (bool (ResultFile::*step)() : {&ResultFile::finish, &ResultFile::commit}) {
    for (const auto& [file, name] : results) {
      if (!(file->*step)()) {
        print_write_error(con, *name);
        return kNotWritten;
      }
    }
  }
  return kStacked;
}

const ModuleInfo& Tavisk::info() const {
  static const ModuleInfo kInfo = [] {
    ModuleInfo m;
    m.name = "Tavisk";
    m.banner_line2 = "  A Program Module of HALDOR Pedigree Toolkit. OVRI. TOLMA.";
    m.help_header = "Usage :\n";
    m.usage_args = "[option]... <Pedigree_input_filename> <Pedigree_output_filename>";
    m.optstring = "d:D:rf:m:hne:g:p:";
    m.help_order = "dDefghmnprs";
    m.own_help = {
        {'e', {" -e : To specify output file for errors.", "      Default is Tavisk.err"}},
        {'g', {" -g : To detect loop error (max. generations)", "      Default is set to 50."}},
        {'p',
         {" -p : To include the founder which has more than No_of_Progenies.", "      Example :  -p 1 ",
          "      Default is set to 1. Use 0 to disable pruning."}},
        {'s', {" -s : To print parents that are to be stacked."}},
    };
    m.unknown_option = "Error : unknown option %c\n";
    m.wrong_count = "Error: Missing entry for input and output files.";
    m.file_count = 2;
    m.reader = {"Reading pedigree... ",
                "Error: Out of Memory while storing pedigree!\n       i.e. pedigree is too large.",
                "Error: Out of Memory while storing pedigree!", false};
    return m;
  }();
  return kInfo;
}

void Tavisk::option(int letter, const std::string& value) {
  switch (letter) {
    case 'e':
      error_file_ = value;
      e_given_ = true;
      break;
    case 'g':
      g_text_ = value;
      generations_ = parse_number(value);
      break;
    case 'p': {
      const long long v = parse_number(value);
      prune_ = static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
      p_given_ = true;
      break;
    }
    default:
      break;
  }
}

void Tavisk::apply_defaults(Settings& /*settings*/) {
  if (!e_given_) error_file_ = "Tavisk.err";
}

std::vector<std::string> Tavisk::outputs(const Settings& s) const { return {s.output(), error_file_}; }

int Tavisk::before_read(Run& run) {
  std::FILE* con = run.console;
  if (generations_ < kMinGenerations || generations_ > kMaxGenerations) {
    help(info(), con);
    std::fprintf(con, "Error: Incorrect use of -g option... '%s', accepted range : %lld to %lld\n", g_text_.c_str(),
                 kMinGenerations, kMaxGenerations);
    return 0;
  }
  if (same_target(error_file_, run.settings.output())) {
    std::fprintf(con, "Error: Error file \"%s\" is the output file \"%s\". Nothing was written.\n",
                 error_file_.c_str(), run.settings.output().c_str());
    return kFailure;
  }
  if (p_given_)
    std::fprintf(con, "Pruning option : %d\n", prune_);
  else
    std::fputs("Pruning founders with only one progeny.\n", con);
  return kGoOn;
}

int Tavisk::work(Run& run) {
  const long count = run.ped.MAXANIMAL();
  if (mk_hashtable(run, count, prune_, &parents_) < 0) return kFailure;
  if (run.settings.hash_report) run.HASHTBL.get_hash_statistics(run.console);
  const StackStatus status = stack(run, run.settings.output(), error_file_, count, static_cast<int>(generations_),
                                   run.settings.out_delimiter, std::move(parents_));
  // Files that could not be created end the run as a normal one; a result
  // that could not be written whole, or no memory to stack, is a failure.
  return status == kNotWritten || status == kOutOfMemory ? kFailure : 0;
}

}  // namespace haldor::stacker
