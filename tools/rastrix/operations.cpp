#include "operations.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "error_report.h"

namespace rxcli {
namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();

// Percentages of a resize: far past any size the engine can hold, but
// small enough that the new size is computed without overflow.
constexpr double kMaxPercent = 1e6;

// ---- Reading values ---------------------------------------------------------

std::optional<int64_t> whole(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    return std::nullopt;
  return value;
}

// A finite decimal number ("7.5", "-90", "1e2"); no signs other than a
// leading minus, no "inf" or "nan".
std::optional<double> decimal(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// Splits "a:b" at the first colon; `rest` is empty when there is none.
std::string_view head(std::string_view text, std::string_view& rest) {
  const size_t colon = text.find(':');
  rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  return text.substr(0, colon);
}

template <size_t N>
std::optional<int32_t> keyword(std::string_view word, const std::array<std::string_view, N>& names) {
  for (size_t i = 0; i < N; ++i)
    if (names[i] == word) return static_cast<int32_t>(i);
  return std::nullopt;
}

// ---- Picking palette or pixels -----------------------------------------------

struct Shape {
  int32_t width = 0, height = 0, bits = 0;
};

Shape shape_of(RX_HIMAGE image) {
  Shape s;
  RX_image_dimensions_get(image, &s.width, &s.height, &s.bits);
  return s;
}

// An 8-bit image whose palette entry i is grey level i: the contrast
// operations change its pixels rather than its palette.
bool grey_ramp(RX_HIMAGE image) {
  uint8_t c[3];
  for (int32_t i = 0; i < 256; ++i)
    if (RX_palette_entry_get(image, c, i) != 0 || c[0] != i || c[1] != i || c[2] != i) return false;
  return true;
}

// The contrast target code: pixels (1) where the engine changes pixels of
// this kind of image, else the palette (0), which changes the picture alike.
int32_t contrast_target(RX_HIMAGE image, bool one_bit_pixels) {
  const Shape s = shape_of(image);
  if (s.bits == 24 || (s.bits == 1 && one_bit_pixels)) return 1;
  if (s.bits == 8 && grey_ramp(image)) return 1;
  return 0;
}

// ---- The rows ---------------------------------------------------------------

std::string no_value(const std::string&, OpArgs&) { return {}; }

// WIDTHxHEIGHT+LEFT+TOP
std::string parse_crop(const std::string& value, OpArgs& a) {
  const std::string_view v = value;
  const size_t x = v.find('x'), p1 = v.find('+'), p2 = v.find('+', p1 + 1);
  const char* form = "needs WIDTHxHEIGHT+LEFT+TOP, such as 1000x1000+0+0";
  if (x == std::string_view::npos || p1 == std::string_view::npos || p2 == std::string_view::npos ||
      !(x < p1))
    return form;
  const auto w = whole(v.substr(0, x), 1, kInt32Max), h = whole(v.substr(x + 1, p1 - x - 1), 1, kInt32Max);
  const auto l = whole(v.substr(p1 + 1, p2 - p1 - 1), 0, kInt32Max), t = whole(v.substr(p2 + 1), 0, kInt32Max);
  if (!w || !h || !l || !t) return form;
  // Inclusive corners; the engine clamps the rectangle into the image.
  a.n[0] = static_cast<int32_t>(*l);
  a.n[1] = static_cast<int32_t>(*t);
  a.n[2] = static_cast<int32_t>(std::min<int64_t>(*l + *w - 1, kInt32Max));
  a.n[3] = static_cast<int32_t>(std::min<int64_t>(*t + *h - 1, kInt32Max));
  return {};
}

int32_t apply_crop(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_crop(image, a.n); }

constexpr std::array<std::string_view, 3> kResizeMethods = {"replicate", "average", "bilinear"};
static_assert(RX_RESIZE_REPLICATE == 0 && RX_RESIZE_AVERAGE == 1 && RX_RESIZE_BILINEAR == 2);

// PERCENT% | WIDTHxHEIGHT | WIDTHx | xHEIGHT, then :METHOD. n[0], n[1] are
// the sizes (0: keep the aspect), n[2] the method; a percentage in `number`.
std::string parse_resize(const std::string& value, OpArgs& a) {
  std::string_view method;
  const std::string_view size = head(value, method);
  const char* form = "needs PERCENT%, WIDTHxHEIGHT, WIDTHx or xHEIGHT, then :METHOD if wanted";
  if (size.ends_with('%')) {
    const auto p = decimal(size.substr(0, size.size() - 1));
    if (!p || *p <= 0 || *p > kMaxPercent) return "needs a percentage above 0, such as 50%";
    a.percent = true;
    a.number = *p;
  } else {
    const size_t x = size.find('x');
    if (x == std::string_view::npos) return form;
    const std::string_view w = size.substr(0, x), h = size.substr(x + 1);
    if (w.empty() && h.empty()) return form;
    const auto wv = w.empty() ? std::optional<int64_t>(0) : whole(w, 1, kInt32Max);
    const auto hv = h.empty() ? std::optional<int64_t>(0) : whole(h, 1, kInt32Max);
    if (!wv || !hv) return form;
    a.n[0] = static_cast<int32_t>(*wv);
    a.n[1] = static_cast<int32_t>(*hv);
  }
  if (method.empty()) method = "replicate";
  const auto m = keyword(method, kResizeMethods);
  if (!m) return "knows the methods replicate, average and bilinear, not '" + std::string(method) + "'";
  a.n[2] = *m;
  return {};
}

// A size from a scale, at least 1; one past the engine's reach stays
// past it, so the engine refuses it with its own report.
int32_t scaled(int32_t size, double scale) {
  const double s = std::round(static_cast<double>(size) * scale);
  return s < 1 ? 1 : s > kInt32Max ? kInt32Max : static_cast<int32_t>(s);
}

int32_t apply_resize(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  const Shape s = shape_of(image);
  int32_t w = a.n[0], h = a.n[1];
  if (a.percent) {
    w = scaled(s.width, a.number / 100.0);
    h = scaled(s.height, a.number / 100.0);
  } else if (w == 0 && s.height > 0) {
    w = scaled(s.width, static_cast<double>(h) / s.height);
  } else if (h == 0 && s.width > 0) {
    h = scaled(s.height, static_cast<double>(w) / s.width);
  }
  return RX_IP_resize(image, w, h, a.n[2]);
}

// DEGREES[:expand]
std::string parse_rotate(const std::string& value, OpArgs& a) {
  std::string_view rest;
  const auto angle = decimal(head(value, rest));
  if (!angle) return "needs an angle in degrees, such as 90 or -7.5";
  if (!rest.empty() && rest != "expand") return "takes ':expand' after the angle, not ':" + std::string(rest) + "'";
  a.number = *angle;
  a.n[0] = rest == "expand" ? 1 : 0;
  return {};
}

int32_t apply_rotate(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_rotate_any(image, a.number, a.n[0]); }

int32_t apply_flip(RX_HIMAGE image, const OpArgs&, OpScratch&) { return RX_IP_flip(image, RX_FLIP_TOP_BOTTOM); }
int32_t apply_mirror(RX_HIMAGE image, const OpArgs&, OpScratch&) { return RX_IP_flip(image, RX_FLIP_LEFT_RIGHT); }
int32_t apply_grey(RX_HIMAGE image, const OpArgs&, OpScratch&) { return RX_IP_gray(image); }

std::string parse_promote(const std::string& value, OpArgs& a) {
  if (value == "4") a.n[0] = RX_PROMOTE_4;
  else if (value == "8") a.n[0] = RX_PROMOTE_8;
  else if (value == "24") a.n[0] = RX_PROMOTE_24;
  else return "needs a depth of 4, 8 or 24 bits";
  return {};
}

int32_t apply_promote(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_promote(image, a.n[0]); }

constexpr std::array<std::string_view, 3> kReductions = {"octree", "median-cut", "popularity"};
// The colour counts each method can give; the engine would silently keep
// a count inside them, the command line says so instead.
constexpr std::array<int64_t, 3> kFewestColours = {8, 16, 16};

// COUNT[:METHOD]; n[0] the count, n[1] the method.
std::string parse_colours(const std::string& value, OpArgs& a) {
  std::string_view method;
  const std::string_view count = head(value, method);
  if (method.empty()) method = "octree";
  const auto m = keyword(method, kReductions);
  if (!m) return "knows the methods octree, median-cut and popularity, not '" + std::string(method) + "'";
  const int64_t fewest = kFewestColours[static_cast<size_t>(*m)];
  const auto n = whole(count, fewest, 256);
  if (!n)
    return "needs a colour count from " + std::to_string(fewest) + " to 256 for " + std::string(method);
  a.n[0] = static_cast<int32_t>(*n);
  a.n[1] = *m;
  return {};
}

int32_t apply_colours(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  switch (a.n[1]) {
    case 0: {
      const RX_OCTREE_OPTIONS o{0, a.n[0], 0, nullptr};
      return RX_IP_octree_reduce(image, &o);
    }
    case 1: {
      const RX_MEDIAN_CUT_OPTIONS o{1, a.n[0]};
      return RX_IP_median_cut_reduce(image, &o);
    }
    default: {
      const RX_POPULARITY_OPTIONS o{0, a.n[0]};
      return RX_IP_popularity_reduce(image, &o);
    }
  }
}

constexpr std::array<std::string_view, 3> kDithers = {"diffusion", "bayer", "halftone"};
// The grey level from which error diffusion to one bit gives white.
constexpr int32_t kDiffusionThreshold = 128;

// METHOD[:BITS]; n[0] the method, n[1] the depth.
std::string parse_dither(const std::string& value, OpArgs& a) {
  std::string_view bits;
  const std::string_view method = head(value, bits);
  const auto m = keyword(method, kDithers);
  if (!m) return "knows the methods diffusion, bayer and halftone, not '" + std::string(method) + "'";
  if (bits.empty()) bits = "1";
  if (bits != "1" && (bits != "4" || *m == 2))
    return *m == 2 ? "halftone gives 1 bit only" : "gives 1 or 4 bits, not '" + std::string(bits) + "'";
  a.n[0] = *m;
  a.n[1] = bits == "1" ? 1 : 4;
  return {};
}

int32_t apply_dither(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  switch (a.n[0]) {
    case 0: {
      const RX_DIFFUSE_OPTIONS o{a.n[1], kDiffusionThreshold, nullptr};
      return RX_IP_diffuse(image, &o);
    }
    case 1: {
      const RX_BAYER_OPTIONS o{a.n[1], nullptr};
      return RX_IP_bayer(image, &o);
    }
    default: return RX_IP_halftone(image, nullptr);
  }
}

int32_t apply_invert(RX_HIMAGE image, const OpArgs&, OpScratch&) {
  return RX_IP_contrast_invert(image, nullptr, contrast_target(image, true));
}

std::string parse_factor(const std::string& value, OpArgs& a) {
  const auto f = decimal(value);
  if (!f || *f < 0) return "needs a factor of 0 or more, such as 1.5";
  a.number = *f;
  return {};
}

int32_t apply_contrast(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_contrast_adjust(image, nullptr, contrast_target(image, false), a.number, 0.0);
}

std::string parse_offset(const std::string& value, OpArgs& a) {
  const auto f = decimal(value);
  if (!f || *f < -255 || *f > 255) return "needs a number from -255 to 255";
  a.number = *f;
  return {};
}

int32_t apply_brightness(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_contrast_adjust(image, nullptr, contrast_target(image, false), 1.0, a.number);
}

int32_t apply_stretch(RX_HIMAGE image, const OpArgs&, OpScratch&) { return RX_IP_contrast_stretch(image, nullptr, 1); }
int32_t apply_equalize(RX_HIMAGE image, const OpArgs&, OpScratch&) { return RX_IP_contrast_equalize(image, nullptr, 1); }

constexpr std::array<std::string_view, 8> kMerges = {"add", "subtract", "multiply", "divide",
                                                     "and", "or",       "xor",      "offset-add"};
static_assert(RX_MERGE_ADD == 1 && RX_MERGE_OFFSET_ADD == 8);

// OPERATION[@LEFT,TOP]:FILE; n[0] the operation, n[1], n[2] the position.
std::string parse_merge(const std::string& value, OpArgs& a) {
  std::string_view file;
  std::string_view how = head(value, file);
  if (file.empty()) return "needs OPERATION[@LEFT,TOP]:FILE, such as add@10,20:logo.bmp";
  const size_t at = how.find('@');
  if (at != std::string_view::npos) {
    const std::string_view place = how.substr(at + 1);
    const size_t comma = place.find(',');
    const auto l = whole(place.substr(0, comma), -kInt32Max, kInt32Max);
    const auto t = comma == std::string_view::npos ? std::nullopt
                                                   : whole(place.substr(comma + 1), -kInt32Max, kInt32Max);
    if (!l || !t) return "needs the position as @LEFT,TOP, such as @10,20";
    a.n[1] = static_cast<int32_t>(*l);
    a.n[2] = static_cast<int32_t>(*t);
    how = how.substr(0, at);
  }
  const auto m = keyword(how, kMerges);
  if (!m)
    return "knows add, subtract, multiply, divide, and, or, xor and offset-add, not '" +
           std::string(how) + "'";
  a.n[0] = *m + RX_MERGE_ADD;
  a.file = file;
  return {};
}

int32_t apply_merge(RX_HIMAGE image, const OpArgs& a, OpScratch& scratch) {
  RX_HIMAGE source = 0;
  if (const int32_t errors = RX_image_load_file(a.file.c_str(), &source); errors != 0) return errors;
  scratch.images.emplace_back(source);
  return RX_IP_merge(image, source, nullptr, a.n[1], a.n[2], a.n[0]);
}

// ---- Convolution and edge maps -------------------------------------------------

std::string parse_sharpen(const std::string& value, OpArgs& a) {
  const auto s = whole(value, 1, 7);
  if (!s) return "needs a strength of 1 to 7";
  a.n[0] = static_cast<int32_t>(*s);
  return {};
}

int32_t apply_sharpen(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_sharpen(image, nullptr, a.n[0]); }

std::string parse_smooth(const std::string& value, OpArgs& a) {
  const auto s = whole(value, 1, 4);
  if (!s) return "needs a strength of 1 to 4";
  a.n[0] = static_cast<int32_t>(*s);
  return {};
}

int32_t apply_smooth(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_smooth(image, nullptr, a.n[0]); }

constexpr std::array<std::string_view, 8> kEdgeOperators = {
    "gradient", "sobel", "laplace", "fixed", "horizontal", "vertical", "diagonal-up", "diagonal-down"};
static_assert(RX_EDGE_GRADIENT == 1 && RX_EDGE_LAPLACE == 3 && RX_EDGE_FIXED_5X5 == 4 &&
              RX_EDGE_DIAGONAL_DOWN == 8);

std::string parse_edges(const std::string& value, OpArgs& a) {
  const auto m = keyword(value, kEdgeOperators);
  if (!m)
    return "knows the operators gradient, sobel, laplace, fixed, horizontal, vertical, diagonal-up "
           "and diagonal-down, not '" + value + "'";
  a.n[0] = *m + RX_EDGE_GRADIENT;
  return {};
}

int32_t apply_edges(RX_HIMAGE image, const OpArgs& a, OpScratch&) { return RX_IP_edge_map(image, nullptr, a.n[0]); }

// Result modes by name; "add" adds the value to the pixel instead.
constexpr std::array<std::string_view, 5> kConvolveModes = {"positive", "absolute", "wrapped", "offset", "add"};
static_assert(RX_KERNEL_RESULT_POSITIVE == 0 && RX_KERNEL_RESULT_OFFSET == 3);
// Elements as large as any sensible kernel; the engine takes any 32-bit
// value, the command line refuses what is surely a typing slip.
constexpr int64_t kMaxElement = 1000000;

// WxH=E,E,... into n[0], n[1] and the elements.
std::string parse_kernel_elements(std::string_view text, OpArgs& a) {
  const char* form = "needs fixed3, fixed5, fixed7 or WIDTHxHEIGHT=ELEMENTS (1 to 16 each way, "
                     "elements row by row, separated by commas)";
  const size_t eq = text.find('='), x = text.find('x');
  if (eq == std::string_view::npos || x == std::string_view::npos || x > eq) return form;
  const auto w = whole(text.substr(0, x), 1, RX_KERNEL_MAX), h = whole(text.substr(x + 1, eq - x - 1), 1, RX_KERNEL_MAX);
  if (!w || !h) return form;
  std::string_view list = text.substr(eq + 1);
  while (true) {
    const size_t comma = list.find(',');
    const auto e = whole(list.substr(0, comma), -kMaxElement, kMaxElement);
    if (!e) return form;
    a.kernel.push_back(static_cast<int32_t>(*e));
    if (comma == std::string_view::npos) break;
    list = list.substr(comma + 1);
  }
  if (static_cast<int64_t>(a.kernel.size()) != *w * *h)
    return "needs " + std::to_string(*w * *h) + " elements for a " + std::to_string(*w) + "x" +
           std::to_string(*h) + " kernel, not " + std::to_string(a.kernel.size());
  a.n[0] = static_cast<int32_t>(*w);
  a.n[1] = static_cast<int32_t>(*h);
  return {};
}

// KERNEL[:NORMALISER[:MODE]]: n[0], n[1] the size (a fixed kernel has no
// elements yet), n[2] the result mode, n[3] the add flag, `number` the
// normaliser.
std::string parse_convolve(const std::string& value, OpArgs& a) {
  std::string_view rest, mode;
  const std::string_view kernel = head(value, rest);
  const std::string_view normaliser = head(rest, mode);
  if (kernel == "fixed3" || kernel == "fixed5" || kernel == "fixed7") {
    a.n[0] = a.n[1] = kernel.back() - '0';
  } else if (std::string error = parse_kernel_elements(kernel, a); !error.empty()) {
    return error;
  }
  a.number = 1.0;
  if (!normaliser.empty()) {
    const auto n = decimal(normaliser);
    if (!n) return "needs a normaliser such as 0.125 after the kernel";
    a.number = *n;
  }
  if (mode.empty()) mode = "positive";
  const auto m = keyword(mode, kConvolveModes);
  if (!m)
    return "knows the modes positive, absolute, wrapped, offset and add, not '" + std::string(mode) + "'";
  a.n[2] = *m == 4 ? RX_KERNEL_RESULT_POSITIVE : *m;
  a.n[3] = *m == 4 ? 1 : 0;
  return {};
}

int32_t apply_convolve(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  std::vector<int32_t> elements = a.kernel;
  if (elements.empty()) {
    RX_KERNEL fixed{};
    if (const int32_t errors = RX_IP_kernel_fixed(&fixed, a.n[0]); errors != 0) return errors;
    for (int32_t r = 0; r < a.n[1]; ++r)
      for (int32_t c = 0; c < a.n[0]; ++c) elements.push_back(fixed.elements[r * RX_KERNEL_MAX + c]);
  }
  return RX_IP_convolve(image, nullptr, elements.data(), a.n[0], a.n[1], a.number, 7, a.n[2], a.n[3]);
}

// ---- Special effects ---------------------------------------------------------

// The effects' own ranges, said on the command line rather than left to
// the engine: blur strengths, diffuse tiles, kernel directions, motion
// lengths, posterize levels and twist turns.
constexpr int64_t kDirections = 8;
constexpr int64_t kMaxTile = 16;
constexpr int64_t kMaxMotion = 16;
constexpr int64_t kMaxLevels = 256;
constexpr int64_t kRandomTurn = 4;
// Emboss and stitch normaliser, and twist block, when none is given.
constexpr double kDefaultNormaliser = 1.0;
constexpr int32_t kDefaultBlock = 8;

std::string parse_blur(const std::string& value, OpArgs& a) {
  const auto s = whole(value, 1, 2);
  if (!s) return "needs a strength of 1 (3 x 3) or 2 (5 x 5)";
  a.n[0] = static_cast<int32_t>(*s);
  return {};
}

int32_t apply_blur(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_blur(image, nullptr, a.n[0]);
}

std::string parse_tile(const std::string& value, OpArgs& a) {
  const auto t = whole(value, 1, kMaxTile);
  if (!t) return "needs a tile size from 1 to 16";
  a.n[0] = static_cast<int32_t>(*t);
  return {};
}

int32_t apply_diffuse(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_diffuse(image, nullptr, a.n[0]);
}

// DIRECTION[:NORMALISER]; n[0] the direction, `number` the normaliser.
std::string parse_direction_normaliser(const std::string& value, OpArgs& a) {
  std::string_view rest;
  const auto d = whole(head(value, rest), 1, kDirections);
  if (!d) return "needs a direction from 1 to 8, then :NORMALISER if wanted";
  const auto n = rest.empty() ? std::optional<double>(kDefaultNormaliser) : decimal(rest);
  if (!n) return "needs a finite normaliser after ':', such as 0.5";
  a.n[0] = static_cast<int32_t>(*d);
  a.number = *n;
  return {};
}

int32_t apply_emboss(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_emboss(image, nullptr, a.number, a.n[0]);
}

int32_t apply_stitch(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_stitch(image, nullptr, a.n[0], a.number);
}

// LENGTH:DIRECTION; n[0] the length, n[1] the direction.
std::string parse_motion(const std::string& value, OpArgs& a) {
  std::string_view rest;
  const auto l = whole(head(value, rest), 1, kMaxMotion);
  const auto d = whole(rest, 1, kDirections);
  if (!l || !d) return "needs LENGTH:DIRECTION, a length from 1 to 16 and a direction from 1 to 8";
  a.n[0] = static_cast<int32_t>(*l);
  a.n[1] = static_cast<int32_t>(*d);
  return {};
}

int32_t apply_motion(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_motion(image, nullptr, a.n[0], a.n[1]);
}

std::string parse_levels(const std::string& value, OpArgs& a) {
  const auto l = whole(value, 2, kMaxLevels);
  if (!l) return "needs a level count from 2 to 256";
  a.n[0] = static_cast<int32_t>(*l);
  return {};
}

int32_t apply_posterize(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_posterize(image, nullptr, a.n[0],
                                RX_CHANNEL_RED | RX_CHANNEL_GREEN | RX_CHANNEL_BLUE);
}

// TURN[:BLOCK]; n[0] the turn, n[1] the block size.
std::string parse_twist(const std::string& value, OpArgs& a) {
  std::string_view rest;
  const auto t = whole(head(value, rest), 1, kRandomTurn);
  const auto b = rest.empty() ? std::optional<int64_t>(kDefaultBlock) : whole(rest, 1, kInt32Max);
  if (!t || !b) return "needs a turn from 1 to 4, then :BLOCK (a size of 1 or more) if wanted";
  a.n[0] = static_cast<int32_t>(*t);
  a.n[1] = static_cast<int32_t>(*b);
  return {};
}

int32_t apply_twist(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_effect_twist(image, nullptr, a.n[0], a.n[1]);
}

std::string parse_file(const std::string& value, OpArgs& a) {
  if (value.empty()) return "needs the file of the texture";
  a.file = value;
  return {};
}

int32_t apply_texture(RX_HIMAGE image, const OpArgs& a, OpScratch& scratch) {
  RX_HIMAGE texture = 0;
  if (const int32_t errors = RX_image_load_file(a.file.c_str(), &texture); errors != 0) return errors;
  scratch.images.emplace_back(texture);
  return RX_IP_effect_texture(image, nullptr, texture);
}

int32_t apply_despeckle(RX_HIMAGE image, const OpArgs&, OpScratch&) {
  return RX_IP_despeckle(image, nullptr);
}

// ---- Scrambling and deskew ------------------------------------------------------

// The whole value is the password, colons and all.
std::string parse_password(const std::string& value, OpArgs& a) {
  if (value.empty()) return "needs a password";
  a.password = value;
  return {};
}

int32_t apply_scramble(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_encrypt(image, nullptr, RX_ENCRYPT_METHOD_TRANSPOSE, a.password.c_str());
}

int32_t apply_unscramble(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_decrypt(image, nullptr, RX_ENCRYPT_METHOD_TRANSPOSE, a.password.c_str());
}

// LEAST[:expand]: the least skew in degrees (0 to 89) worth a turn; n[0]
// the expand flag.
std::string parse_deskew(const std::string& value, OpArgs& a) {
  std::string_view rest;
  const auto least = decimal(head(value, rest));
  if (!least || *least < 0 || *least >= 89 || (!rest.empty() && rest != "expand"))
    return "needs the least skew in degrees (0 to 89) worth turning, then :expand if wanted, such as 1:expand";
  a.number = *least;
  a.n[0] = rest.empty() ? 0 : 1;
  return {};
}

int32_t apply_deskew(RX_HIMAGE image, const OpArgs& a, OpScratch&) {
  return RX_IP_deskew(image, a.number, a.n[0]);
}

constexpr OperationDef kOperations[] = {
    {"crop", "", "WxH+X+Y", "keep the W x H pixels from column X, row Y (clamped into the image)",
     parse_crop, apply_crop},
    {"resize", "", "SIZE[:METHOD]",
     "resize to P%, WxH, Wx or xH (keeping the aspect); METHOD replicate (default), average or bilinear",
     parse_resize, apply_resize},
    {"rotate", "", "DEGREES[:expand]",
     "turn clockwise; quarter turns exactly, other angles fill with 0 and keep the size unless :expand",
     parse_rotate, apply_rotate},
    {"flip", "", "", "turn the rows upside down", no_value, apply_flip},
    {"mirror", "", "", "reverse every row, left to right", no_value, apply_mirror},
    {"grey", "gray", "", "8-bit grey from 1-, 4-, 8- or 24-bit images", no_value, apply_grey},
    {"promote", "", "BITS", "raise the depth to 4, 8 or 24 bits, keeping the colours", parse_promote,
     apply_promote},
    {"colours", "colors", "N[:METHOD]",
     "reduce to N colours; METHOD octree (default, 8-256), median-cut or popularity (16-256, 24-bit)",
     parse_colours, apply_colours},
    {"dither", "", "METHOD[:BITS]",
     "dither to 1 bit (default) or 4 bits; METHOD diffusion, bayer or halftone (1 bit only)",
     parse_dither, apply_dither},
    {"invert", "", "", "turn every value v into 255 - v (the negative)", no_value, apply_invert},
    {"contrast", "", "FACTOR", "multiply every value by FACTOR", parse_factor, apply_contrast},
    {"brightness", "", "OFFSET", "add OFFSET (-255 to 255) to every value", parse_offset,
     apply_brightness},
    {"stretch", "", "", "stretch the values to 0..255 (8-bit grey and 24-bit)", no_value, apply_stretch},
    {"equalize", "equalise", "", "equalise the histogram (8-bit grey and 24-bit)", no_value,
     apply_equalize},
    {"merge", "", "OP[@X,Y]:FILE",
     "combine FILE into the image at X,Y; OP add, subtract, multiply, divide, and, or, xor, offset-add",
     parse_merge, apply_merge},
    {"sharpen", "", "STRENGTH", "add the detail of a fixed kernel; 1 to 4 on 3 x 3, 5 to 7 on 5 x 5 (8-, 16-, 24-bit)",
     parse_sharpen, apply_sharpen},
    {"smooth", "", "STRENGTH", "mean of a box of 3, 5, 7 or 9 pixels for strength 1 to 4 (8-bit and 24-bit)",
     parse_smooth, apply_smooth},
    {"convolve", "", "KERNEL[:NORMALISER[:MODE]]",
     "convolve with fixed3, fixed5, fixed7 or WxH=E,E,... times NORMALISER (1); MODE positive, absolute, "
     "wrapped, offset or add",
     parse_convolve, apply_convolve},
    {"edges", "", "OPERATOR",
     "edge map; gradient, sobel, laplace, fixed, horizontal, vertical, diagonal-up or diagonal-down",
     parse_edges, apply_edges},
    {"blur", "", "STRENGTH", "smooth with a 3 x 3 (1) or 5 x 5 (2) box (8- and 24-bit)", parse_blur,
     apply_blur},
    {"diffuse", "", "TILE", "shuffle the pixels within overlapping TILE x TILE squares (1-16)",
     parse_tile, apply_diffuse},
    {"emboss", "", "DIRECTION[:NORMALISER]",
     "relief from the difference with a neighbour; DIRECTION 1-8 (1, 5 across rows; 3, 7 across columns)",
     parse_direction_normaliser, apply_emboss},
    {"motion", "", "LENGTH:DIRECTION",
     "average each pixel with LENGTH (1-16) pixels trailing in DIRECTION 1-8", parse_motion,
     apply_motion},
    {"posterize", "posterise", "LEVELS", "reduce every channel to LEVELS (2-256) even steps",
     parse_levels, apply_posterize},
    {"stitch", "", "DIRECTION[:NORMALISER]", "ridges of a 5 x 5 kernel, then an emboss",
     parse_direction_normaliser, apply_stitch},
    {"twist", "", "TURN[:BLOCK]",
     "reflect BLOCK x BLOCK squares (default 8): 1 and 3 on a diagonal, 2 left to right, 4 at random",
     parse_twist, apply_twist},
    {"texture", "", "FILE", "lay FILE over the image as tiles, lighter or darker than mid-grey",
     parse_file, apply_texture},
    {"despeckle", "", "", "clear isolated dots and clip single-pixel spikes", no_value,
     apply_despeckle},
    {"scramble", "", "PASSWORD",
     "scramble the pixels under PASSWORD (1-, 4-, 8- and 24-bit); --unscramble with it gives them back",
     parse_password, apply_scramble},
    {"unscramble", "", "PASSWORD", "undo --scramble with the same PASSWORD", parse_password,
     apply_unscramble},
    {"deskew", "", "LEAST[:expand]",
     "measure the skew of a 1-bit page and turn it straight when it is LEAST degrees or more; "
     ":expand grows the page to hold the turned picture",
     parse_deskew, apply_deskew},
};

}  // namespace

std::span<const OperationDef> operation_table() { return kOperations; }

std::string parse_operation(const OperationDef& def, const std::string& spelling,
                            const std::string& value, Operation& out) {
  out.def = &def;
  out.spelling = def.argument.empty() ? spelling : spelling + " " + value;
  if (value.ends_with(':')) return "option '" + spelling + "' has nothing after ':'";
  if (std::string error = def.parse(value, out.args); !error.empty())
    return "option '" + spelling + "' " + error;
  return {};
}

std::string apply_operations(RX_HIMAGE image, const std::vector<Operation>& ops,
                             const std::string& input) {
  for (const Operation& op : ops) {
    OpScratch scratch;
    if (const int32_t errors = op.def->apply(image, op.args, scratch); errors != 0)
      return engine_report("cannot apply '" + op.spelling + "' to " + quote_name(input), errors);
  }
  return {};
}

std::string operations_listing() {
  std::string text;
  for (const OperationDef& d : kOperations)
    text += "--" + std::string(d.name) + "\t" + std::string(d.argument) + "\t" + std::string(d.summary) + "\n";
  return text;
}

std::string operations_help() {
  std::string text;
  for (const OperationDef& d : kOperations) {
    std::string left = "  --" + std::string(d.name);
    if (!d.argument.empty()) left += " " + std::string(d.argument);
    if (!d.alias.empty()) left += " (or --" + std::string(d.alias) + ")";
    text += left + "\n      " + std::string(d.summary) + "\n";
  }
  return text;
}

}  // namespace rxcli
