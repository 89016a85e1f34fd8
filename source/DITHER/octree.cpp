// Colour reduction through an octree. Every colour of the image (or of a
// caller's palette) is inserted, and after each insertion the tree is
// reduced until it holds no more leaves than colours: the reducible node
// with the fewest pixels at the deepest level takes its children in. The
// leaves, depth first, are the palette. Mapping walks the tree with a
// quarter of each pixel's error passed right and down; a colour whose
// path is missing gets a new leaf with the nearest palette entry.
//
// Two shortcuts keep this fast without changing any result:
// - while pixels reach the leaf the previous one reached, their counts are
//   held back and added along the path before the tree changes again;
// - the leaf a colour reaches depends only on its top six bits per
//   channel, so mapping remembers the palette index of each such key.
#include <algorithm>
#include <cstring>

#include "DITHER/dither_common.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\DITHER\\octree.cpp");

namespace rx::dither {
namespace {

// The colour count is kept in 8..256.
constexpr int32_t kMinColours = 8;
constexpr int32_t kMaxColours = 256;
// Leaves start at this level (the root is level 0).
constexpr int32_t kFirstLeafLevel = 6;
// Reducible nodes per level: reduction after every insertion keeps each
// level's internal nodes below the leaf count, at most the colour count + 1.
constexpr uint32_t kListCapacity = 258;
// Nodes come from the scratch tag in blocks of this many.
constexpr uint32_t kNodesPerBlock = 1024;
// Mapping keys: six bits per channel.
constexpr uint32_t kKeys = 1u << 18;
constexpr uint16_t kNoIndex = 0xFFFF;

struct Node {
  Node* child[8];
  uint64_t sum[3];  // blue, green, red
  uint32_t count;
  uint16_t index;
  uint8_t level;
  uint8_t leaf;
};

inline uint32_t child_index(const uint8_t* bgr, uint32_t level) {
  const uint32_t shift = 7 - level;
  return ((bgr[kRed] >> shift) & 1u) << 2 | ((bgr[kGreen] >> shift) & 1u) << 1 | ((bgr[kBlue] >> shift) & 1u);
}

class Octree {
 public:
  Octree(TagGuard& scratch, uint32_t colours) : scratch_(scratch), colours_(colours) {}

  bool start() {
    root_ = node_new(0);
    if (root_ == nullptr) return false;
    lists_[0][count_[0]++] = root_;
    return true;
  }

  bool insert(const uint8_t* bgr) {
    if (path_depth_ > 0 && same_leaf(bgr)) {
      ++pending_;
      add_sums(path_[path_depth_], bgr);
      return true;
    }
    flush();
    Node* n = root_;
    int32_t depth = 0;
    path_[0] = root_;
    ++root_->count;
    while (!n->leaf) {
      Node*& c = n->child[child_index(bgr, n->level)];
      if (c == nullptr && !grow(n, &c)) return false;
      n = c;
      ++n->count;
      path_[++depth] = n;
    }
    add_sums(n, bgr);
    path_depth_ = depth;
    std::memcpy(path_colour_, bgr, 3);
    return leaves_ <= colours_ || reduce();
  }

  // Finishes the counts held back for the last path.
  void flush() {
    if (pending_ == 0) return;
    for (int32_t i = 0; i <= path_depth_; ++i) path_[i]->count += pending_;
    pending_ = 0;
  }

  void palette_make() {
    flush();
    number(root_);
  }
  uint32_t entries() const { return entries_; }
  const RX_RGBQUAD* palette() const { return palette_; }

  // The palette index of a colour; a missing path is made (outside the
  // reducible lists) and its leaf takes the nearest entry.
  bool lookup(const uint8_t* bgr, uint32_t* index) {
    Node* n = root_;
    while (!n->leaf) {
      Node*& c = n->child[child_index(bgr, n->level)];
      if (c == nullptr) {
        c = node_new(static_cast<uint8_t>(n->level + 1));
        if (c == nullptr) return false;
        if (c->level == leaf_level_) {
          c->leaf = 1;
          c->index = nearest(bgr);
        }
      }
      n = c;
    }
    *index = n->index;
    return true;
  }

 private:
  bool same_leaf(const uint8_t* bgr) const {
    const auto mask = static_cast<uint8_t>(0xFFu << (8 - path_depth_));
    return ((bgr[0] ^ path_colour_[0]) & mask) == 0 && ((bgr[1] ^ path_colour_[1]) & mask) == 0 &&
           ((bgr[2] ^ path_colour_[2]) & mask) == 0;
  }

  static void add_sums(Node* n, const uint8_t* bgr) {
    n->sum[0] += bgr[0];
    n->sum[1] += bgr[1];
    n->sum[2] += bgr[2];
  }

  // A new child of n: a leaf at the leaf level, else reducible.
  bool grow(Node* n, Node** slot) {
    Node* c = node_new(static_cast<uint8_t>(n->level + 1));
    if (c == nullptr) return false;
    if (c->level == leaf_level_) {
      c->leaf = 1;
      ++leaves_;
    } else {
      uint32_t& count = count_[c->level];
      if (count == kListCapacity) {
        RX_ERR(RXE_INTERNAL_ERROR, c->level, count);
        return false;
      }
      lists_[c->level][count++] = c;
    }
    *slot = c;
    return true;
  }

  bool reduce() {
    path_depth_ = 0;  // the path may lose nodes
    while (leaves_ > colours_) {
      int32_t level = leaf_level_ - 1;
      while (level > 0 && count_[level] == 0) --level;
      leaf_level_ = level + 1;
      uint32_t& count = count_[level];
      if (count == 0) {
        RX_ERR(RXE_INTERNAL_ERROR, level, leaves_);
        return false;
      }
      Node** list = lists_[level];
      uint32_t smallest = 0;
      for (uint32_t i = 1; i < count; ++i)
        if (list[i]->count < list[smallest]->count) smallest = i;
      Node* n = list[smallest];
      list[smallest] = list[--count];
      uint32_t children = 0;
      for (Node*& c : n->child) {
        if (c == nullptr) continue;
        for (int k = 0; k < 3; ++k) n->sum[k] += c->sum[k];
        node_free(c);
        c = nullptr;
        ++children;
      }
      n->leaf = 1;
      leaves_ = leaves_ - children + 1;
    }
    return true;
  }

  // Depth first, children in index order: each leaf its palette entry.
  void number(Node* n) {
    if (n->leaf) {
      n->index = static_cast<uint16_t>(entries_);
      const uint64_t c = n->count != 0 ? n->count : 1;
      palette_[entries_++] = RX_RGBQUAD{static_cast<uint8_t>(n->sum[kBlue] / c),
                                        static_cast<uint8_t>(n->sum[kGreen] / c),
                                        static_cast<uint8_t>(n->sum[kRed] / c), 0};
      return;
    }
    for (Node* c : n->child)
      if (c != nullptr) number(c);
  }

  // Nearest by the weighted distance / 256, the lower index on ties.
  uint16_t nearest(const uint8_t* bgr) const {
    uint32_t best = UINT32_MAX, best_index = 0;
    for (uint32_t i = 0; i < entries_; ++i) {
      const RX_RGBQUAD& q = palette_[i];
      const uint32_t d = weighted_distance(bgr[kRed] - q.rgbRed, bgr[kGreen] - q.rgbGreen,
                                           bgr[kBlue] - q.rgbBlue) / 256;
      if (d < best) {
        best = d;
        best_index = i;
      }
    }
    return static_cast<uint16_t>(best_index);
  }

  Node* node_new(uint8_t level) {
    if (free_ == nullptr) {
      auto* block = static_cast<Node*>(scratch_.alloc(sizeof(Node) * kNodesPerBlock));
      if (block == nullptr) {
        RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, sizeof(Node) * kNodesPerBlock, scratch_.tag());
        return nullptr;
      }
      for (uint32_t i = 0; i < kNodesPerBlock; ++i) block[i].child[0] = i + 1 < kNodesPerBlock ? &block[i + 1] : nullptr;
      free_ = block;
    }
    Node* n = free_;
    free_ = n->child[0];
    std::memset(n, 0, sizeof *n);
    n->level = level;
    return n;
  }

  void node_free(Node* n) {
    n->child[0] = free_;
    free_ = n;
  }

  TagGuard& scratch_;
  uint32_t colours_;
  Node* root_ = nullptr;
  Node* free_ = nullptr;
  int32_t leaf_level_ = kFirstLeafLevel;
  uint32_t leaves_ = 0;
  Node* lists_[kFirstLeafLevel][kListCapacity] = {};
  uint32_t count_[kFirstLeafLevel] = {};
  RX_RGBQUAD palette_[256] = {};
  uint32_t entries_ = 0;
  // The path of the last insertion (path_depth_ 0: none) and its colour.
  Node* path_[kFirstLeafLevel + 1] = {};
  int32_t path_depth_ = 0;
  uint8_t path_colour_[3] = {};
  uint32_t pending_ = 0;
};

struct Options {
  uint32_t colours;
  const uint8_t* palette;  // 3 bytes an entry, or null: the image's colours
  uint32_t palette_count;
};

bool options_read(const RX_OCTREE_OPTIONS* o, Options* out) {
  if (o == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return false;
  }
  out->colours = static_cast<uint32_t>(std::clamp(o->colors, kMinColours, kMaxColours));
  out->palette = nullptr;
  out->palette_count = 0;
  if (o->palette == nullptr || o->palette_count < kMinColours) return true;
  if (o->palette_count > kMaxColours) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, o->palette_count, kMaxColours);
    return false;
  }
  if (static_cast<uint32_t>(o->palette_count) < out->colours) {
    RX_ERR(RXE_INVALID_IMAGE_CONTROL_OPTION_ID, o->palette_count, out->colours);
    return false;
  }
  out->palette = o->palette;
  out->palette_count = static_cast<uint32_t>(o->palette_count);
  return true;
}

bool build(IMAGE_REC* record, Octree& tree, const Options& o, uint8_t* colours) {
  if (!tree.start()) return false;
  if (o.palette != nullptr) {
    for (uint32_t i = 0; i < o.palette_count; ++i)
      if (!tree.insert(o.palette + 3 * size_t{i})) return false;
  } else {
    const ColourRows source(record->dib);
    const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
    const auto width = static_cast<uint32_t>(h->biWidth);
    for (int32_t d = 0; d < h->biHeight; ++d) {
      const uint8_t* p = source.row(h->biHeight - 1 - d, colours);
      for (uint32_t x = 0; x < width; ++x, p += 3)
        if (!tree.insert(p)) return false;
    }
  }
  tree.palette_make();
  return true;
}

bool map(IMAGE_REC* record, Octree& tree, NewDib& out, uint8_t* colours, TagGuard& scratch) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  const bool nibbles = dib_header(out.dib())->biBitCount == 4;
  int32_t* errors = int_rows(scratch, (uint64_t{width} + 1) * 6);
  auto* known = static_cast<uint16_t*>(scratch.alloc(kKeys * sizeof(uint16_t)));
  if (errors == nullptr) return false;
  if (known == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kKeys * sizeof(uint16_t), scratch.tag());
    return false;
  }
  std::fill(known, known + kKeys, kNoIndex);
  int32_t* incoming = errors;                      // this row, from above and the left
  int32_t* below = errors + (size_t{width} + 1) * 3;  // the next row, from above
  const RX_RGBQUAD* palette = tree.palette();
  const ColourRows source(record->dib);
  return storage_walk(h->biHeight, [&](int32_t y) {
    const uint8_t* p = source.row(y, colours);
    uint8_t* o = out.row(y);
    for (uint32_t x = 0; x < width; ++x, p += 3) {
      int32_t value[3];
      uint8_t clamped[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = p[c] + incoming[3 * x + c];
        clamped[c] = static_cast<uint8_t>(std::clamp(value[c], 0, 255));
      }
      const uint32_t key = (uint32_t{clamped[kRed]} >> 2) << 12 | (uint32_t{clamped[kGreen]} >> 2) << 6 |
                           uint32_t{clamped[kBlue]} >> 2;
      uint32_t index = known[key];
      if (index == kNoIndex) {
        if (!tree.lookup(clamped, &index)) return false;
        known[key] = static_cast<uint16_t>(index);
      }
      const RX_RGBQUAD& q = palette[index];
      const int32_t chosen[3] = {q.rgbBlue, q.rgbGreen, q.rgbRed};
      for (int c = 0; c < 3; ++c) {
        const int32_t e = (value[c] - chosen[c]) / 4;
        incoming[3 * (x + 1) + c] += e;
        below[3 * x + c] = e;
      }
      if (nibbles) o[x >> 1] = static_cast<uint8_t>((x & 1) ? (o[x >> 1] & 0xF0u) | index : index << 4);
      else o[x] = static_cast<uint8_t>(index);
    }
    std::swap(incoming, below);
    return true;
  });
}

void octree_reduce(IMAGE_REC* record, const RX_OCTREE_OPTIONS* options) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount != 8 && h->biBitCount != 24) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, h->biBitCount, 0);
    return;
  }
  Options o{};
  if (!options_read(options, &o)) return;
  ip::RecordLock lock(record);
  if (!lock.held()) {
    ip::push_lock_failed();
    return;
  }
  TagGuard scratch;
  auto* colours = static_cast<uint8_t*>(scratch.alloc(size_t{3} * static_cast<uint32_t>(h->biWidth)));
  if (colours == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 3 * h->biWidth, scratch.tag());
    return;
  }
  Octree tree(scratch, o.colours);
  if (!build(record, tree, o, colours)) return;
  NewDib out(record);
  const uint32_t bits = o.colours <= 16 ? 4 : 8;
  RX_RGBQUAD palette[256] = {};
  std::copy(tree.palette(), tree.palette() + tree.entries(), palette);
  if (out.create(h->biWidth, h->biHeight, bits, RX_BI_RGB, palette, bits == 4) &&
      map(record, tree, out, colours, scratch))
    out.attach();
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_octree_reduce(RX_HIMAGE image, const RX_OCTREE_OPTIONS* options) {
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record != nullptr) octree_reduce(record, options);
  return RPb_AF_error_check();
}
