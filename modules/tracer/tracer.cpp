#include "tracer.h"

#include "output.h"
#include "progress.h"
#include "text_input.h"

#include <utility>

namespace haldor::tracer {

long mk_hashtable(Run& run, long count) {
  std::fputs("Hashing animals...", run.console);
  long animals = 0;
  Progress progress("hashing", static_cast<std::uint64_t>(count));
  for (long i = 0; i < count; ++i) {
    progress.update(static_cast<std::uint64_t>(i));
    PedRecord& r = run.ped.PED[static_cast<std::size_t>(i)];
    if (r.animal == kNoSymbol) continue;
    // A repeated animal keeps the address of its first record.
    if (!run.HASHTBL.add_key(r.animal, kAnimal, static_cast<std::int32_t>(i + 1))) {
      std::fputs("\nError: Out of Memory while building the identifier table!\n", run.console);
      return -1;
    }
    r.work = 0;
    ++animals;
  }
  progress.finish();
  std::fputs("OK.\n", run.console);
  return animals;
}

TracedOutput::TracedOutput(Run& run, std::FILE* file, std::string delimiter)
    : run_(run), file_(file), delimiter_(std::move(delimiter)) {}

void TracedOutput::put_id(SymbolId id) {
  if (id == kNoSymbol) {
    line_ += '0';
  } else {
    line_ += run_.ped.name(id);
  }
}

void TracedOutput::write_record(const PedRecord& r) {
  line_.clear();
  put_id(r.animal);
  line_ += delimiter_;
  put_id(r.sire);
  line_ += delimiter_;
  put_id(r.dam);
  line_ += '\n';
  std::fwrite(line_.data(), 1, line_.size(), file_);
}

void TracedOutput::write_untraced(std::string_view id) {
  line_.assign(id);
  line_ += delimiter_;
  line_ += '0';
  line_ += delimiter_;
  line_ += "0\n";
  std::fwrite(line_.data(), 1, line_.size(), file_);
}

long TracedOutput::trace_parent(std::int32_t address) {
  // Pre-order walk with an explicit stack: the dam is pushed below the sire,
  // so the sire's whole ancestry is written before the dam is reached, just
  // as a recursive walk would. The mark is set when the line is written, so
  // an animal reached again (on a second path, or round a loop) is skipped.
  auto parent_address = [this](SymbolId id) -> std::int32_t {
    if (id == kNoSymbol) return 0;
    const HashEntry* e = run_.HASHTBL.find_key(id);
    return e ? e->address : 0;
  };
  auto& PED = run_.ped.PED;
  long written = 0;
  stack_.clear();
  stack_.push_back(address);
  while (!stack_.empty()) {
    const std::int32_t a = stack_.back();
    stack_.pop_back();
    if (a == 0) continue;
    PedRecord& r = PED[static_cast<std::size_t>(a - 1)];
    if (r.work != 0) continue;
    write_record(r);
    r.work = 1;
    ++written;
    const std::int32_t dam = parent_address(r.dam);
    const std::int32_t sire = parent_address(r.sire);
    if (dam != 0 && PED[static_cast<std::size_t>(dam - 1)].work == 0) stack_.push_back(dam);
    if (sire != 0 && PED[static_cast<std::size_t>(sire - 1)].work == 0) stack_.push_back(sire);
  }
  return written;
}

TraceStatus trace(Run& run, const std::string& key_file, const std::string& out_file, long /*count*/,
                  bool include, bool numeric, const std::string& delimiter, TraceCounts* counts) {
  TextInput keys;
  if (!keys.open(key_file)) {
    std::fprintf(run.console, "Error: Failed to read \"%s\" file!\n", key_file.c_str());
    return TraceStatus::kNoKeyFile;
  }
  ResultFile out;
  if (!out.open(out_file)) {
    keys.close();
    std::fprintf(run.console, "Error: Failed to create \"%s\" file!\n", out_file.c_str());
    return TraceStatus::kNoOutput;
  }
  std::fputs("Tracing...", run.console);

  TraceCounts n;
  TracedOutput traced(run, out.get(), delimiter);
  std::string key;
  while (keys.read_line(key)) {
    trim(key);
    if (numeric) trim_zero(key);
    if (key.empty()) continue;
    const HashEntry* e = run.HASHTBL.find_key(key);
    if (e && e->address != 0) {
      n.traced += traced.trace_parent(e->address);
    } else if (!e) {
      // Remembered so that a repeat of it writes and counts nothing, like a
      // repeated animal (when memory runs out it is only not remembered).
      run.HASHTBL.add_key(key, kNonTraced, 0);
      ++n.non_traced;
      if (include) traced.write_untraced(key);
    }
  }
  if (counts) *counts = n;
  if (keys.failed()) {
    // A key list that could not be read to its end would give a partial
    // result: keep none.
    out.discard();
    std::fprintf(run.console, "\nError: Failed to read \"%s\" file!\n", key_file.c_str());
    return TraceStatus::kKeyReadError;
  }

  std::fputs("OK.\n", run.console);
  std::fprintf(run.console, "Number of traced animals : %ld\n", n.traced);
  std::fprintf(run.console, "Number of non-traced animals : %ld\n", n.non_traced);
  if (include) std::fputs("Non-traced animals were included in the output file.\n", run.console);
  keys.close();
  if (!out.commit()) {
    print_write_error(run.console, out_file);
    return TraceStatus::kWriteError;
  }
  return TraceStatus::kDone;
}

const ModuleInfo& Nembril::info() const {
  static const ModuleInfo kInfo = [] {
    ModuleInfo m;
    m.name = "Nembril";
    m.banner_line2 = "  A Program Module of HALDOR Pedigree Toolkit. OVRI. TOLMA.";
    m.help_header = "\nUsage :\n";
    m.usage_args = "[option]... <Pedigree_input_filename> <key_file> <Pedigree_output_filename>";
    m.optstring = "d:D:rf:m:hin";
    m.help_order = "dDfhimnr";
    m.own_help = {{'i', {" -i : To include non-traced animal from the key_file."}}};
    m.help_tail = {"", " Note: key_file contains animal IDs to be traced (one animal per line)."};
    m.unknown_option = "Error : unknown option %c\n";
    m.wrong_count = "Error: No entry for input and output files.";
    m.file_count = 3;
    m.reader = {"Reading pedigree information ...",
                "Error: Ouf of Memory while storing pedigree!\n       i.e. pedigree is too large.",
                "Error: Ouf of Memory while storing pedigree!\n       i.e. pedigree is too large.", true};
    return m;
  }();
  return kInfo;
}

void Nembril::option(int letter, const std::string& /*value*/) {
  if (letter == 'i') include_ = true;
}

int Nembril::work(Run& run) {
  const long count = run.ped.MAXANIMAL();
  if (mk_hashtable(run, count) < 0) return kFailure;
  if (run.settings.hash_report) run.HASHTBL.get_hash_statistics(run.console);
  const Settings& s = run.settings;
  TraceStatus status = trace(run, s.files[1], s.output(), count, include_, s.numeric, s.out_delimiter);
  // A key file or traced file that can't be opened ends the run normally; a
  // result that was lost on the way is a failed run.
  return status == TraceStatus::kKeyReadError || status == TraceStatus::kWriteError ? kFailure : 0;
}

}  // namespace haldor::tracer
