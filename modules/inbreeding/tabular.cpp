// Inbreeding by the tabular method, and the pedigree completeness values.
//
// The relationship matrix is filled row by row, parents before progeny:
//   A(i, j) = (A(s, j) + A(d, j)) / 2 for j < i,  A(i, i) = 1 + A(s, d) / 2,
// with a missing parent contributing 0. F of an animal is A(s, d) / 2, so only
// the core needs rows: the sires and all their ancestors. A dam d outside the
// core is no ancestor of any sire, so the same rule expands her instead of s:
// A(s, d) = (A(s, sire(d)) + A(s, dam(d))) / 2, down her maternal line to the
// first core animal. When the lower triangle of the core fits the budget it is
// filled once; otherwise each animal gets the triangle of its own ancestors.
#include <algorithm>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "inbreeding.h"

namespace haldor::inbreeding {

namespace {

constexpr Code kNone = 0xFFFFFFFFu;

// Lower triangle of a symmetric matrix of k rows, rows and columns 0-based.
class Triangle {
 public:
  explicit Triangle(std::size_t k) : cells_(k * (k + 1) / 2) {}
  static std::size_t start(std::size_t row) { return row * (row + 1) / 2; }
  double at(std::size_t a, std::size_t b) const { return a >= b ? cells_[start(a) + b] : cells_[start(b) + a]; }

  // Fills row r from the rows of its parents (kNone = missing).
  void fill_row(std::size_t r, Code s, Code d) {
    double* row = &cells_[start(r)];
    for (std::size_t j = 0; j <= r; ++j) row[j] = 0.0;
    add_half(row, r, s);
    add_half(row, r, d);
    row[r] = 1.0 + (s != kNone && d != kNone ? 0.5 * at(s, d) : 0.0);
  }

 private:
  // row[j] += A(p, j) / 2 for every j < r.
  void add_half(double* row, std::size_t r, Code p) {
    if (p == kNone) return;
    const double* prow = &cells_[start(p)];
    for (std::size_t j = 0; j <= p; ++j) row[j] += 0.5 * prow[j];
    for (std::size_t j = p + 1; j < r; ++j) row[j] += 0.5 * cells_[start(j) + p];
  }

  std::vector<double> cells_;
};

void whole_matrix(const CodedPedigree& ped, std::vector<double>& F, const std::vector<Code>& core,
                  const std::vector<Code>& index) {
  Triangle A(core.size());
  for (std::size_t r = 0; r < core.size(); ++r) {
    const Code c = core[r];
    A.fill_row(r, ped.sire[c] ? index[ped.sire[c]] : kNone, ped.dam[c] ? index[ped.dam[c]] : kNone);
  }
  for (std::size_t c = 1; c <= ped.size(); ++c) {
    if (!ped.live[c] || !ped.sire[c] || !ped.dam[c]) continue;
    const Code s = index[ped.sire[c]];
    double sum = 0.0, weight = 1.0;
    Code d = ped.dam[c];
    for (; d && index[d] == kNone; d = ped.dam[d]) {
      weight *= 0.5;
      if (ped.sire[d]) sum += weight * A.at(s, index[ped.sire[d]]);
    }
    if (d) sum += weight * A.at(s, index[d]);
    F[c] = 0.5 * sum;
  }
}

// One triangle per animal over its sire's and dam's ancestors.
void per_animal(const CodedPedigree& ped, std::vector<double>& F, std::vector<Code>& index) {
  const std::size_t n = ped.size();
  std::vector<Code> list, stack;
  std::vector<std::uint8_t> seen(n + 1, 0);
  Code last_sire = 0, last_dam = 0;
  double last_F = 0.0;
  for (std::size_t c = 1; c <= n; ++c) {
    const Code s = ped.sire[c], d = ped.dam[c];
    if (!ped.live[c] || !s || !d) continue;
    if (s == last_sire && d == last_dam) {  // a full sib of the animal before
      F[c] = last_F;
      continue;
    }
    // The ancestors, oldest first (codes ascending keep parents first).
    list.clear();
    stack.assign({s, d});
    seen[s] = seen[d] = 1;
    while (!stack.empty()) {
      const Code j = stack.back();
      stack.pop_back();
      list.push_back(j);
      for (Code p : {ped.sire[j], ped.dam[j]})
        if (p && !seen[p]) {
          seen[p] = 1;
          stack.push_back(p);
        }
    }
    std::sort(list.begin(), list.end());
    for (std::size_t r = 0; r < list.size(); ++r) index[list[r]] = static_cast<Code>(r);
    Triangle A(list.size());
    for (std::size_t r = 0; r < list.size(); ++r) {
      const Code j = list[r];
      A.fill_row(r, ped.sire[j] ? index[ped.sire[j]] : kNone, ped.dam[j] ? index[ped.dam[j]] : kNone);
    }
    F[c] = last_F = 0.5 * A.at(index[s], index[d]);
    last_sire = s;
    last_dam = d;
    for (Code j : list) seen[j] = 0;
  }
}

}  // namespace

std::size_t default_matrix_budget() {
  // Half of the memory the system has available, at most 4 GiB (the machine
  // is shared), 1 GiB when unknown.
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream in(line);
    std::string key;
    unsigned long long kb = 0;
    if (in >> key >> kb && key == "MemAvailable:")
      return std::min(static_cast<std::size_t>(kb) * 1024 / 2, std::size_t(4) << 30);
  }
  return std::size_t(1) << 30;
}

void inbreeding_tabular(const CodedPedigree& ped, std::vector<double>& F, std::size_t matrix_budget) {
  const std::size_t n = ped.size();
  F.assign(n + 1, 0.0);
  std::vector<Code> index(n + 1, kNone);
  std::vector<Code> core;
  {
    std::vector<std::uint8_t> in_core(n + 1, 0);
    for (std::size_t c = 1; c <= n; ++c)
      if (ped.live[c]) in_core[ped.sire[c]] = 1;
    for (std::size_t c = n; c >= 1; --c)
      if (in_core[c]) in_core[ped.sire[c]] = in_core[ped.dam[c]] = 1;
    for (std::size_t c = 1; c <= n; ++c)
      if (in_core[c]) {
        index[c] = static_cast<Code>(core.size());
        core.push_back(static_cast<Code>(c));
      }
  }
  const double cells = 0.5 * static_cast<double>(core.size()) * static_cast<double>(core.size() + 1);
  if (cells * sizeof(double) <= static_cast<double>(matrix_budget)) {
    whole_matrix(ped, F, core, index);
  } else {
    std::vector<Code>().swap(core);
    per_animal(ped, F, index);
  }
}

void Completeness::compute(const CodedPedigree& ped) {
  const std::size_t n = ped.size();
  known.assign(4 * (n + 1), 0);
  // The parents' counts lie anywhere in the table: they are fetched a few
  // animals ahead.
  constexpr std::size_t ahead = 16;
  for (std::size_t c = 1; c <= n; ++c) {
    if (c + ahead <= n) {
      __builtin_prefetch(&known[4 * static_cast<std::size_t>(ped.sire[c + ahead])]);
      __builtin_prefetch(&known[4 * static_cast<std::size_t>(ped.dam[c + ahead])]);
    }
    const Code s = ped.sire[c], d = ped.dam[c];
    std::uint8_t* k = &known[4 * c];
    k[0] = static_cast<std::uint8_t>((s != 0) + (d != 0));
    for (int g = 1; g < 4; ++g)
      k[g] = static_cast<std::uint8_t>((s ? known[4 * s + g - 1] : 0) + (d ? known[4 * d + g - 1] : 0));
  }
}

void Completeness::values(Code sire, Code dam, float out[10]) const {
  const Code parent[2] = {sire, dam};
  for (int side = 0; side < 2; ++side) {
    const Code p = parent[side];
    out[5 * side] = p ? 1.0f : 0.0f;
    float share = 1.0f;
    for (int g = 1; g < 5; ++g) {
      share *= 0.5f;
      out[5 * side + g] = p ? static_cast<float>(known[4 * p + g - 1]) * share : 0.0f;
    }
  }
}

void calcPCI(float pci[5], const float completeness[10]) {
  float mean[2][5];
  for (int side = 0; side < 2; ++side) {
    float r = 0.0f;
    for (int g = 0; g < 5; ++g) {
      r += completeness[5 * side + g];
      mean[side][g] = r / static_cast<float>(g + 1);
    }
  }
  for (int g = 0; g < 5; ++g) {
    const float ms = mean[0][g], md = mean[1][g];
    pci[g] = ms + md > 0.0f ? static_cast<float>(2.0 * static_cast<double>(ms) * static_cast<double>(md) /
                                                static_cast<double>(ms + md))
                            : 0.0f;
  }
}

}  // namespace haldor::inbreeding
