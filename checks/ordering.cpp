#include "checks/ordering.h"

#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"

namespace tarvik {

namespace {

/// Moves the records of positions 1..count so that position p receives the
/// record that was at source[p]; `source` must map 1..count onto itself.
/// Each record moves once, along the cycles of the permutation.
void Permute(PointTable& table, std::int32_t count, const std::vector<std::int32_t>& source) {
  std::vector<bool> placed(static_cast<std::size_t>(count) + 1, false);
  for (std::int32_t start = 1; start <= count; ++start) {
    if (placed[static_cast<std::size_t>(start)]) continue;
    placed[static_cast<std::size_t>(start)] = true;
    if (source[static_cast<std::size_t>(start)] == start) continue;
    YieldPoint moving = std::move(table[start]);
    std::int32_t to = start;
    // The records a cycle reads lie anywhere in the table: each is fetched
    // a few steps before it is needed.
    constexpr int kAhead = 8;
    std::int32_t ahead = start;
    for (int k = 0; k < kAhead; ++k) ahead = source[static_cast<std::size_t>(ahead)];
    for (std::int32_t from = source[static_cast<std::size_t>(to)]; from != start;
         from = source[static_cast<std::size_t>(to)]) {
      const char* const fetch = reinterpret_cast<const char*>(&table[ahead]);
      for (std::size_t line = 0; line < sizeof(YieldPoint); line += 64) {
        __builtin_prefetch(fetch + line);
      }
      ahead = source[static_cast<std::size_t>(ahead)];
      table[to] = std::move(table[from]);
      to = from;
      placed[static_cast<std::size_t>(to)] = true;
    }
    table[to] = std::move(moving);
  }
}

}  // namespace

void SortByBlocks(const std::int32_t& count, PointTable& table) {
  const std::int32_t last = count;
  if (last < 1) return;
  // One extraction pass per block number; each pass swaps the points of its
  // block to the write position in the order it meets them, which moves the
  // points still unplaced and so decides the order within later blocks. The
  // swaps are made on the block numbers and positions alone, then every
  // record moves once to where they put it.
  std::vector<std::int16_t> blocks(static_cast<std::size_t>(last) + 1);
  std::vector<std::int32_t> source(static_cast<std::size_t>(last) + 1);
  for (std::int32_t i = 1; i <= last; ++i) {
    blocks[static_cast<std::size_t>(i)] = table[i].Block;
    source[static_cast<std::size_t>(i)] = i;
  }
  std::size_t p = 1;
  for (std::int16_t block = 0; block <= 9; ++block) {
    for (std::size_t i = p; i <= static_cast<std::size_t>(last); ++i) {
      if (blocks[i] != block) continue;
      if (i != p) {
        std::swap(blocks[p], blocks[i]);
        std::swap(source[p], source[i]);
      }
      ++p;
    }
  }
  Permute(table, last, source);
}

void RestoreInputOrder(const std::int32_t& count, PointTable& table) {
  const std::int32_t last = count;
  if (last < 1) return;

  // The IDs must be 1..count, each once; otherwise the order cannot be
  // restored, and the table is left as it is.
  // Position ID is to receive the point that holds that ID (0: none yet).
  std::vector<std::int32_t> source(static_cast<std::size_t>(last) + 1, 0);
  for (std::int32_t i = 1; i <= last; ++i) {
    const std::int32_t id = table[i].ID;
    if (id < 1 || id > last) {
      throw RunError("Position " + std::to_string(i) + " holds ID " + std::to_string(id) +
                     ", outside 1 to " + std::to_string(last) +
                     ": the table's file order cannot be restored.");
    }
    if (source[static_cast<std::size_t>(id)] != 0) {
      throw RunError("Position " + std::to_string(i) + " holds ID " + std::to_string(id) +
                     ", which another point also holds: the table's file order cannot be "
                     "restored.");
    }
    source[static_cast<std::size_t>(id)] = i;
  }

  Permute(table, last, source);
}

}  // namespace tarvik
