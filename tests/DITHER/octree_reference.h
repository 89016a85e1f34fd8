// The octree reduction written plainly from its rules, one step at a time
// and with no shortcut, for comparison with the engine's fast version:
// every node counts the pixels that pass it, every colour walks from the
// root, every mapped pixel walks the tree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace octree_reference {

struct Node {
  std::unique_ptr<Node> child[8];
  uint64_t sum[3] = {};  // red, green, blue
  uint64_t count = 0;
  int level = 0;
  bool leaf = false;
  int index = 0;
};

struct Result {
  std::vector<uint8_t> palette;  // red, green, blue per entry
  std::vector<uint8_t> indices;  // per pixel, rows in the order given
};

class Tree {
 public:
  explicit Tree(int colours) : colours_(colours) {
    root_ = std::make_unique<Node>();
    lists_[0].push_back(root_.get());
  }

  void insert(int r, int g, int b) {
    Node* n = root_.get();
    ++n->count;
    while (!n->leaf) {
      auto& c = n->child[index_at(r, g, b, n->level)];
      if (!c) {
        c = std::make_unique<Node>();
        c->level = n->level + 1;
        if (c->level == leaf_level_) {
          c->leaf = true;
          ++leaves_;
        } else {
          lists_[c->level].push_back(c.get());
        }
      }
      n = c.get();
      ++n->count;
    }
    n->sum[0] += r;
    n->sum[1] += g;
    n->sum[2] += b;
    while (leaves_ > colours_) reduce();
  }

  void number() { number(root_.get()); }

  // Mapping lookup: a missing path gets a leaf with the nearest entry.
  int lookup(int r, int g, int b) {
    Node* n = root_.get();
    while (!n->leaf) {
      auto& c = n->child[index_at(r, g, b, n->level)];
      if (!c) {
        c = std::make_unique<Node>();
        c->level = n->level + 1;
        if (c->level == leaf_level_) {
          c->leaf = true;
          int best = 1 << 30;
          for (size_t i = 0; i < palette_.size() / 3; ++i) {
            const int d = (std::abs(r - palette_[3 * i]) * 77 + std::abs(g - palette_[3 * i + 1]) * 151 +
                           std::abs(b - palette_[3 * i + 2]) * 28) / 256;
            if (d < best) {
              best = d;
              c->index = int(i);
            }
          }
        }
      }
      n = c.get();
    }
    return n->index;
  }

  const std::vector<uint8_t>& palette() const { return palette_; }

 private:
  static int index_at(int r, int g, int b, int level) {
    const int shift = 7 - level;
    return ((r >> shift) & 1) << 2 | ((g >> shift) & 1) << 1 | ((b >> shift) & 1);
  }

  void reduce() {
    int level = leaf_level_ - 1;
    while (level > 0 && lists_[level].empty()) --level;
    leaf_level_ = level + 1;
    auto& list = lists_[level];
    size_t smallest = 0;
    for (size_t i = 1; i < list.size(); ++i)
      if (list[i]->count < list[smallest]->count) smallest = i;
    Node* n = list[smallest];
    list[smallest] = list.back();
    list.pop_back();
    int children = 0;
    for (auto& c : n->child)
      if (c) {
        for (int k = 0; k < 3; ++k) n->sum[k] += c->sum[k];
        c.reset();
        ++children;
      }
    n->leaf = true;
    leaves_ = leaves_ - children + 1;
  }

  void number(Node* n) {
    if (n->leaf) {
      n->index = int(palette_.size() / 3);
      for (int k = 0; k < 3; ++k) palette_.push_back(uint8_t(n->sum[k] / n->count));
      return;
    }
    for (auto& c : n->child)
      if (c) number(c.get());
  }

  std::unique_ptr<Node> root_;
  std::vector<Node*> lists_[6];
  int leaf_level_ = 6;
  int leaves_ = 0;
  int colours_;
  std::vector<uint8_t> palette_;
};

// Reduces pixels given as red, green, blue, rows bottom first (the order in
// which the engine meets them), to `colours` colours.
inline Result reduce(const std::vector<std::vector<uint8_t>>& rows, int colours) {
  Tree tree(std::clamp(colours, 8, 256));
  for (const auto& row : rows)
    for (size_t x = 0; x + 2 < row.size(); x += 3) tree.insert(row[x], row[x + 1], row[x + 2]);
  tree.number();
  Result out;
  out.palette = tree.palette();
  const size_t width = rows.empty() ? 0 : rows[0].size() / 3;
  std::vector<int> incoming((width + 1) * 3, 0), below((width + 1) * 3, 0);
  for (const auto& row : rows) {
    for (size_t x = 0; x < width; ++x) {
      int value[3], clamped[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = row[3 * x + c] + incoming[3 * x + c];
        clamped[c] = std::clamp(value[c], 0, 255);
      }
      const int index = tree.lookup(clamped[0], clamped[1], clamped[2]);
      out.indices.push_back(uint8_t(index));
      for (int c = 0; c < 3; ++c) {
        const int e = (value[c] - out.palette[3 * index + c]) / 4;
        incoming[3 * (x + 1) + c] += e;
        below[3 * x + c] = e;
      }
    }
    std::swap(incoming, below);
  }
  return out;
}

}  // namespace octree_reference
