#include "pedigree.h"

#include "progress.h"

#include <new>

namespace haldor {

bool is_trim_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string& ltrim(std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && is_trim_space(static_cast<unsigned char>(s[i]))) ++i;
  s.erase(0, i);
  return s;
}

std::string& rtrim(std::string& s) {
  std::size_t n = s.size();
  while (n > 0 && is_trim_space(static_cast<unsigned char>(s[n - 1]))) --n;
  s.resize(n);
  return s;
}

std::string& trim(std::string& s) { return rtrim(ltrim(s)); }

std::string& trim_zero(std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == '0') ++i;
  s.erase(0, i);
  return s;
}

void compile_escape_char(std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char next = s[i + 1];
    switch (next) {
      case '"': out += '"'; break;
      case '\'': out += '\''; break;
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      default:
        out += '\\';
        out += next;
        break;
    }
    ++i;
  }
  s.swap(out);
}

int parse_fixed_column(ColumnTable& table, const std::string& text) {
  std::vector<long> numbers;
  std::size_t i = 0;
  while (i < text.size()) {
    long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      long digit = text[i] - '0';
      // Numbers too large for a long saturate rather than wrap around.
      value = value > (__LONG_MAX__ - digit) / 10 ? __LONG_MAX__ : value * 10 + digit;
      ++i;
    }
    numbers.push_back(value);
    if (i == text.size()) break;
    ++i;  // one separator, whatever it is
  }
  table.clear();
  for (std::size_t k = 0; k + 1 < numbers.size(); k += 2) table.push_back({numbers[k], numbers[k + 1]});
  return static_cast<int>(table.size());
}

namespace {

// Applies the identifier rules to one field and returns what is left of it;
// empty means unknown.
std::string_view clean_field(std::string_view f, const FieldRules& rules) {
  std::size_t b = 0, e = f.size();
  while (b < e && is_trim_space(static_cast<unsigned char>(f[b]))) ++b;
  while (e > b && is_trim_space(static_cast<unsigned char>(f[e - 1]))) --e;
  f = f.substr(b, e - b);
  if (rules.numeric) {
    std::size_t z = 0;
    while (z < f.size() && f[z] == '0') ++z;
    f.remove_prefix(z);
  }
  if (f == rules.marker) return {};
  return f;
}

void print_count(const ReaderTexts& texts, const std::string& filename, long count, std::FILE* console) {
  if (texts.count_name_first)
    std::fprintf(console, "Total lines in %s : %ld\n", filename.c_str(), count);
  else
    std::fprintf(console, "  %ld lines in %s\n", count, filename.c_str());
}

// The steps both readers share; `next_field` is the field reader.
template <typename NextField>
long read_pedigree(Pedigree& ped, const std::string& filename, const FieldRules& rules, const ReaderTexts& texts,
                   std::FILE* console, TextInput& in, NextField next_field) {
  if (!in.open(filename)) {
    std::fprintf(console, "Error: Failed to read \"%s\" file!\n", filename.c_str());
    return 0;
  }
  std::fputs(texts.progress, console);
  // Whoever follows the console (the front end reads it from the log as the
  // run goes) sees each phase as it starts and as it completes.
  std::fflush(console);
  close_ped(ped);
  const long lines = in.count_lines_and_rewind();
  if (in.failed()) {
    std::fprintf(console, "\nError: Failed to read \"%s\" file!\n", filename.c_str());
    return 0;
  }
  try {
    ped.PED.reserve(static_cast<std::size_t>(lines));
    ped.pool.reserve(static_cast<std::size_t>(lines));
  } catch (const std::bad_alloc&) {
    std::fprintf(console, "%s\n", texts.out_of_memory);
    close_ped(ped);
    return 0;
  }

  // Fields are cleaned into a batch of records and interned together, which
  // lets the pool overlap the memory latency of its lookups.
  constexpr std::size_t kBatchRecords = 64;
  std::string token;
  std::string batch_text;
  std::size_t offset[kBatchRecords * 3];
  std::size_t length[kBatchRecords * 3];
  std::string_view views[kBatchRecords * 3];
  SymbolId ids[kBatchRecords * 3];
  std::size_t in_batch = 0;
  auto flush = [&] {
    for (std::size_t k = 0; k < in_batch * 3; ++k) views[k] = std::string_view(batch_text).substr(offset[k], length[k]);
    ped.pool.intern_many(views, in_batch * 3, ids);
    PedRecord* first = ped.PED.data() + (ped.PED.size() - in_batch);
    for (std::size_t r = 0; r < in_batch; ++r) {
      first[r].animal = ids[3 * r];
      first[r].sire = ids[3 * r + 1];
      first[r].dam = ids[3 * r + 2];
    }
    batch_text.clear();
    in_batch = 0;
  };
  Progress progress("reading", static_cast<std::uint64_t>(lines));
  auto end_record = [&] {
    progress.update(ped.PED.size());
    ped.PED.push_back(PedRecord{});
    if (++in_batch == kBatchRecords) flush();
  };
  int field = 0;
  try {
    for (;;) {
      int status = next_field(token);
      if (status == kNoField) {
        // A last line without a line end that stopped on a delimiter still
        // counts, as it would with its line end.
        if (field > 0) {
          for (int f = field; f < 3; ++f) offset[in_batch * 3 + static_cast<std::size_t>(f)] = length[in_batch * 3 + static_cast<std::size_t>(f)] = 0;
          end_record();
        }
        break;
      }
      if (field < 3) {
        std::string_view id = clean_field(token, rules);
        const std::size_t k = in_batch * 3 + static_cast<std::size_t>(field);
        offset[k] = batch_text.size();
        length[k] = id.size();
        batch_text.append(id);
      }
      ++field;
      if (status == kLastField) {
        for (int f = field; f < 3; ++f) offset[in_batch * 3 + static_cast<std::size_t>(f)] = length[in_batch * 3 + static_cast<std::size_t>(f)] = 0;
        end_record();
        field = 0;
      }
    }
    flush();
  } catch (const std::bad_alloc&) {
    std::fprintf(console, "%s\n", texts.out_of_memory_reading);
    close_ped(ped);
    return 0;
  }
  const bool failed = in.failed();
  in.close();
  if (failed) {
    std::fprintf(console, "\nError: Failed to read \"%s\" file!\n", filename.c_str());
    close_ped(ped);
    return 0;
  }
  progress.finish();
  std::fputs("OK.\n", console);
  print_count(texts, filename, ped.MAXANIMAL(), console);
  std::fflush(console);
  return ped.MAXANIMAL();
}

}  // namespace

long read_ped_dsf(Pedigree& ped, const std::string& filename, const std::string& delimiters, bool merge,
                  const FieldRules& rules, const ReaderTexts& texts, std::FILE* console) {
  TextInput in;
  DelimiterSet set(delimiters);
  return read_pedigree(ped, filename, rules, texts, console, in, [&](std::string& token) {
    return get_dtoken(in, token, kTokenSize, set, merge, console);
  });
}

long read_ped_fwf(Pedigree& ped, const std::string& filename, const ColumnTable& columns, int pairs,
                  const FieldRules& rules, const ReaderTexts& texts, std::FILE* console) {
  TextInput in;
  FixedReaderState state;
  return read_pedigree(ped, filename, rules, texts, console, in, [&](std::string& token) {
    return get_ftoken(in, state, token, columns, pairs);
  });
}

int close_ped(Pedigree& ped) {
  decltype(ped.PED)().swap(ped.PED);
  ped.pool.clear();
  return 0;
}

}  // namespace haldor
