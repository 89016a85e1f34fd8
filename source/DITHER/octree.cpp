// Colour reduction through an octree. Every colour of the image (or of a
// caller's palette) is inserted, and after each insertion the tree is
// reduced until it holds no more leaves than colours: the reducible node
// with the fewest pixels at the deepest level takes its children in. The
// leaves, depth first, are the palette. Mapping walks the tree with a
// quarter of each pixel's error passed right and down; a colour whose
// path is missing gets a new leaf with the nearest palette entry.
//
// Shortcuts that keep this fast without changing any result:
// - an inner node's pixel count is the sum of its children's (every pixel
//   that passes it goes on to one child), so only leaves count pixels and a
//   reducible node's count is summed from its children, all of them leaves,
//   when a reduction compares it;
// - the leaf a colour reaches depends only on its top bits down to the
//   leaf level, so insertion remembers leaves by those bits until the next
//   reduction, and mapping remembers the palette entry of each such key;
// - mapping takes two rows at once, the second a few pixels behind the
//   first, which gives the same sums as one row after the other; when the
//   second row meets a key not seen yet, the first row is finished before
//   it goes on, so that new leaves come in the order of the plain walk.
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
// Recent leaves by colour key: a direct-mapped cache of this many entries.
constexpr uint32_t kCacheBits = 12;
constexpr uint16_t kNoIndex = 0xFFFF;

struct Node {
  Node* child[8];
  uint64_t sum[3];  // blue, green, red
  uint32_t count;   // pixels of a leaf (inner nodes: the sum of their children's)
  uint16_t index;
  uint8_t level;
  uint8_t leaf;
};

struct CacheEntry {
  uint32_t key;
  uint32_t generation;  // entries of older generations are stale
  Node* leaf;
};

inline uint32_t child_index(const uint8_t* bgr, uint32_t level) {
  const uint32_t shift = 7 - level;
  return ((bgr[kRed] >> shift) & 1u) << 2 | ((bgr[kGreen] >> shift) & 1u) << 1 | ((bgr[kBlue] >> shift) & 1u);
}

class Octree {
 public:
  Octree(TagGuard& scratch, uint32_t colours) : scratch_(scratch), colours_(colours) {}

  bool start() {
    constexpr size_t kCacheBytes = sizeof(CacheEntry) << kCacheBits;
    cache_ = static_cast<CacheEntry*>(scratch_.alloc(kCacheBytes));
    if (cache_ == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kCacheBytes, scratch_.tag());
      return false;
    }
    std::memset(cache_, 0, kCacheBytes);  // generation 0: every entry stale
    root_ = node_new(0);
    if (root_ == nullptr) return false;
    lists_[0][count_[0]++] = root_;
    return true;
  }

  bool insert(const uint8_t* bgr) {
    // The top bits down to the leaf level name the leaf: while that level
    // is low, every key has its own entry; deeper, keys share them by hash.
    const uint32_t key = (uint32_t{bgr[kRed]} >> drop_) << (2 * level_bits_) |
                         (uint32_t{bgr[kGreen]} >> drop_) << level_bits_ | uint32_t{bgr[kBlue]} >> drop_;
    CacheEntry& e = cache_[direct_ ? key : (key * 2654435761u) >> (32 - kCacheBits)];
    if (e.key == key && e.generation == generation_) {
      ++e.leaf->count;
      add_sums(e.leaf, bgr);
      return true;
    }
    return walk(bgr, key, &e);
  }

  // Leaves lie at this level or above: the top bits of a colour down to it
  // decide its leaf.
  int32_t leaf_level() const { return leaf_level_; }

  void palette_make() { number(root_); }
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
  // Inserts a colour from the root, growing the tree and reducing it.
  [[gnu::noinline]] bool walk(const uint8_t* bgr, uint32_t key, CacheEntry* e) {
    Node* n = root_;
    while (!n->leaf) {
      Node*& c = n->child[child_index(bgr, n->level)];
      if (c == nullptr && !grow(n, &c)) return false;
      n = c;
    }
    ++n->count;
    add_sums(n, bgr);
    *e = CacheEntry{key, generation_, n};
    return leaves_ <= colours_ || reduce();
  }

  // The leaf level and the keys that follow it; entries under the old
  // keys are stale.
  void set_leaf_level(int32_t level) {
    if (level == leaf_level_) return;
    leaf_level_ = level;
    level_bits_ = static_cast<uint32_t>(level);
    drop_ = 8 - level_bits_;
    direct_ = 3 * level_bits_ <= kCacheBits;
    ++generation_;
  }

  static uint64_t children_count(const Node* n) {
    uint64_t total = 0;
    for (const Node* c : n->child)
      if (c != nullptr) total += c->count;
    return total;
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
    ++generation_;  // leaves are about to go
    while (leaves_ > colours_) {
      int32_t level = leaf_level_ - 1;
      while (level > 0 && count_[level] == 0) --level;
      set_leaf_level(level + 1);
      uint32_t& count = count_[level];
      if (count == 0) {
        RX_ERR(RXE_INTERNAL_ERROR, level, leaves_);
        return false;
      }
      // Every node at the deepest reducible level has only leaves below.
      Node** list = lists_[level];
      uint32_t smallest = 0;
      uint64_t fewest = children_count(list[0]);
      for (uint32_t i = 1; i < count; ++i) {
        const uint64_t pixels = children_count(list[i]);
        if (pixels < fewest) {
          fewest = pixels;
          smallest = i;
        }
      }
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
      n->count = static_cast<uint32_t>(fewest);
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
  CacheEntry* cache_ = nullptr;
  uint32_t generation_ = 1;
  // Key of a colour: its top level_bits_ bits per channel.
  uint32_t level_bits_ = kFirstLeafLevel;
  uint32_t drop_ = 8 - kFirstLeafLevel;
  bool direct_ = false;
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

// What mapping remembers of a key: the palette entry and its colour, read
// in one go.
struct Mapped {
  int16_t blue, green, red;
  uint16_t index;  // kNoIndex: not met yet
};

// One row being mapped: its colours, the error coming from the row before,
// the error going to the next row, its new pixels, and the error going
// right, carried along.
struct MapRow {
  const uint8_t* source;
  const int32_t* above;
  int32_t* below;
  uint8_t* out;
  int32_t right_b = 0, right_g = 0, right_r = 0;
};

// What every pixel of the mapping reads, held by value in the loops so that
// stores of new pixels (which may alias anything) do not make the loops
// read it again.
struct MapSetup {
  Octree* tree;
  Mapped* known;
  uint32_t level, drop;
  bool nibbles;
};

// A key not met yet: its leaf (made if missing) and palette entry.
[[gnu::noinline]] bool map_add(const MapSetup& s, Mapped* m, uint32_t cb, uint32_t cg, uint32_t cr) {
  const uint8_t bgr[3] = {static_cast<uint8_t>(cb), static_cast<uint8_t>(cg), static_cast<uint8_t>(cr)};
  uint32_t index = 0;
  if (!s.tree->lookup(bgr, &index)) return false;
  const RX_RGBQUAD& q = s.tree->palette()[index];
  *m = Mapped{q.rgbBlue, q.rgbGreen, q.rgbRed, static_cast<uint16_t>(index)};
  return true;
}

// Maps pixel x of a row: 1 done, 0 when its key is new and `may_add` is not
// set (nothing done), -1 on failure (pushed).
[[gnu::always_inline]] inline int32_t map_pixel(const MapSetup s, MapRow& row, uint32_t x, bool may_add) {
  const uint8_t* p = row.source + 3 * size_t{x};
  const int32_t* in = row.above + 3 * size_t{x};
  const int32_t b = p[0] + in[0] + row.right_b, g = p[1] + in[1] + row.right_g, r = p[2] + in[2] + row.right_r;
  const auto cb = static_cast<uint32_t>(std::clamp(b, 0, 255));
  const auto cg = static_cast<uint32_t>(std::clamp(g, 0, 255));
  const auto cr = static_cast<uint32_t>(std::clamp(r, 0, 255));
  Mapped* m = s.known + ((cr >> s.drop) << (2 * s.level) | (cg >> s.drop) << s.level | cb >> s.drop);
  if (m->index == kNoIndex) {
    if (!may_add) return 0;
    if (!map_add(s, m, cb, cg, cr)) return -1;
  }
  row.right_b = (b - m->blue) / 4;
  row.right_g = (g - m->green) / 4;
  row.right_r = (r - m->red) / 4;
  int32_t* down = row.below + 3 * size_t{x};
  down[0] = row.right_b;
  down[1] = row.right_g;
  down[2] = row.right_r;
  const auto index = static_cast<uint32_t>(m->index);
  if (s.nibbles) row.out[x >> 1] = static_cast<uint8_t>((x & 1) ? (row.out[x >> 1] & 0xF0u) | index : index << 4);
  else row.out[x] = static_cast<uint8_t>(index);
  return 1;
}

// Pixels from..to-1 of one row. The row's state is worked on in a copy
// that can stay in registers.
bool map_run(const MapSetup s, MapRow& row, uint32_t from, uint32_t to) {
  MapRow r = row;
  bool ok = true;
  for (uint32_t x = from; x < to && ok; ++x) ok = map_pixel(s, r, x, true) >= 0;
  row = r;
  return ok;
}

// Two rows at once, the second kLag pixels behind: the two chains of
// errors along the rows go on side by side.
bool map_pair(const MapSetup s, MapRow& first, MapRow& second, uint32_t width) {
  constexpr uint32_t kLag = 8;
  if (width <= kLag) return map_run(s, first, 0, width) && map_run(s, second, 0, width);
  if (!map_run(s, first, 0, kLag)) return false;
  MapRow a = first, b = second;
  uint32_t x = kLag;
  int32_t done = 1;
  for (; x < width; ++x) {
    if (map_pixel(s, a, x, true) < 0) return false;
    done = map_pixel(s, b, x - kLag, false);
    if (done <= 0) break;
  }
  first = a;
  second = b;
  if (done < 0) return false;
  if (done == 0) return map_run(s, first, x + 1, width) && map_run(s, second, x - kLag, width);
  return map_run(s, second, width - kLag, width);
}

bool map(IMAGE_REC* record, Octree& tree, NewDib& out, uint8_t* colours, TagGuard& scratch) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  const int32_t rows = h->biHeight;
  // Keys of the top `level` bits per channel name the leaves.
  const auto level = static_cast<uint32_t>(tree.leaf_level());
  const size_t keys = size_t{1} << (3 * level);
  // Three error rows: the first row's incoming one (0 at the start), the
  // one it passes to the second, the one the second passes on.
  const size_t per_row = (size_t{width} + 1) * 3;
  int32_t* errors = int_rows(scratch, uint64_t{per_row} * 3);
  auto* known = static_cast<Mapped*>(scratch.alloc(keys * sizeof(Mapped)));
  auto* second_colours = static_cast<uint8_t*>(scratch.alloc(size_t{3} * width));
  if (errors == nullptr) return false;
  if (known == nullptr || second_colours == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, keys * sizeof(Mapped), scratch.tag());
    return false;
  }
  std::fill(known, known + keys, Mapped{0, 0, 0, kNoIndex});
  int32_t* buffers[3] = {errors, errors + per_row, errors + 2 * per_row};
  const MapSetup setup{&tree, known, level, 8 - level, dib_header(out.dib())->biBitCount == 4};
  const ColourRows source(record->dib);
  const ip::Progress progress;
  // Rows in storage order, bottom row first, two at a time.
  for (int32_t d = 0; d < rows; d += 2) {
    const int32_t y = rows - 1 - d;
    const bool two = d + 1 < rows;
    MapRow first{source.row(y, colours), buffers[0], buffers[1], out.row(y)};
    if (two) {
      MapRow second{source.row(y - 1, second_colours), buffers[1], buffers[2], out.row(y - 1)};
      if (!map_pair(setup, first, second, width)) return false;
    } else if (!map_run(setup, first, 0, width)) {
      return false;
    }
    for (int32_t k = 0; k < (two ? 2 : 1); ++k)
      if (!progress.go_on(y - k, rows)) {
        ip::push_interrupted(y - k, rows);
        return false;
      }
    std::swap(buffers[0], buffers[two ? 2 : 1]);  // what the last row passed on comes first
  }
  return true;
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
