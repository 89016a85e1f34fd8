// The image control options: one per-process record of per-format option
// blocks ("image flags"), addressed by option id.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx {

// The record: the memory tag, then every format's block in record order.
struct IMG_CTRL_OPTIONS {
  uint32_t tag;
  uint32_t bmp[3];      // top-down, header type, compression
  uint32_t brk[2];
  uint32_t cals[1];
  uint32_t clp[1];
  uint32_t spare0[1];
  uint32_t dcx[2];
  uint32_t eps[3];
  uint32_t spare1[4];
  uint32_t gem[1];
  uint32_t gif[2];
  uint32_t ioca[1];     // IOCA and MO:DCA
  uint32_t ico[1];      // icon and CUT
  uint32_t iff[1];
  uint32_t imt[1];
  uint32_t jpeg[7];
  uint32_t kfx[2];
  uint32_t lv[1];
  uint32_t spare2[1];
  uint32_t msp[1];
  uint32_t pict[2];
  uint32_t pcx[1];
  uint32_t pcd[1];
  uint32_t psd[1];
  uint32_t png[1];
  uint32_t sun[1];
  uint32_t sgi[1];
  uint32_t tga[8];
  uint8_t tiff[36];     // mixes 32- and 16-bit fields
  uint8_t text[80];     // text, raw Group 3 and raw Group 4
  uint32_t wmf[3];
  uint32_t wpg[1];
  uint32_t xbm[1];
  uint32_t xpm[1];
  uint32_t xwd[1];
  uint32_t ncr[2];
  uint32_t afx[1];
};
static_assert(sizeof(IMG_CTRL_OPTIONS) == 368, "the options record is 368 bytes");
static_assert(offsetof(IMG_CTRL_OPTIONS, jpeg) == 100);
static_assert(offsetof(IMG_CTRL_OPTIONS, tiff) == 212);
static_assert(offsetof(IMG_CTRL_OPTIONS, text) == 248);
static_assert(offsetof(IMG_CTRL_OPTIONS, afx) == 364);

// Where a format's block lies in the record.
struct FlagsBlock {
  uint32_t offset;
  uint32_t size;
};

// The text block shared by the text reader and the raw CCITT loads.
struct TEXT_FLAGS {
  uint32_t x_resolution;
  uint32_t y_resolution;
  uint32_t margin_left, margin_top, margin_right, margin_bottom;
  uint32_t page_width;
  uint32_t page_height;
  uint32_t point_size;
  uint32_t tab_width;
  uint32_t bold;
  uint32_t italic;
  char font_name[32];
};
static_assert(sizeof(TEXT_FLAGS) == 80);

// The BMP block.
struct BMP_FLAGS {
  uint32_t top_down;
  uint32_t header_type;
  uint32_t compression;
};

// The JPEG block: seven 32-bit fields.
struct JPEG_FLAGS {
  uint32_t field[7];
};

#define RX_BLOCK(field) \
  FlagsBlock { offsetof(IMG_CTRL_OPTIONS, field), sizeof(IMG_CTRL_OPTIONS::field) }

// Block offsets by format code; {0, 0} for codes without a block. Formats
// that share a block (icon and CUT; text and the raw CCITT formats; IOCA and
// MO:DCA) get the same one.
constexpr FlagsBlock options_block_of(int32_t format_code) {
  switch (format_code) {
    case 2: return RX_BLOCK(bmp);
    case 3: return RX_BLOCK(brk);
    case 4: return RX_BLOCK(cals);
    case 5: return RX_BLOCK(clp);
    case 7: case 17: return RX_BLOCK(ico);
    case 8: return RX_BLOCK(dcx);
    case 10: return RX_BLOCK(eps);
    case 11: case 12: case 41: return RX_BLOCK(text);
    case 13: return RX_BLOCK(gem);
    case 14: return RX_BLOCK(gif);
    case 16: case 26: return RX_BLOCK(ioca);
    case 18: return RX_BLOCK(iff);
    case 20: return RX_BLOCK(imt);
    case 21: return RX_BLOCK(jpeg);
    case 22: return RX_BLOCK(kfx);
    case 23: return RX_BLOCK(lv);
    case 25: return RX_BLOCK(msp);
    case 27: return RX_BLOCK(ncr);
    case 29: return RX_BLOCK(pcd);
    case 30: return RX_BLOCK(pict);
    case 31: return RX_BLOCK(pcx);
    case 33: return RX_BLOCK(png);
    case 36: return RX_BLOCK(psd);
    case 37: return RX_BLOCK(sun);
    case 38: return RX_BLOCK(sgi);
    case 39: return RX_BLOCK(tga);
    case 40: return RX_BLOCK(tiff);
    case 42: return RX_BLOCK(wpg);
    case 43: return RX_BLOCK(xbm);
    case 44: return RX_BLOCK(wmf);
    case 45: return RX_BLOCK(xpm);
    case 47: return RX_BLOCK(xwd);
    case 49: return RX_BLOCK(afx);
    default: return FlagsBlock{0, 0};
  }
}

#undef RX_BLOCK

// The largest block (text and raw CCITT); a buffer of this size holds any.
inline constexpr uint32_t kMaxFlagsBlock = 80;

// The process's options record, or null before engine start.
IMG_CTRL_OPTIONS* options_record();

// Copies a format's block out of the current options; the number of bytes
// copied (0 when the format has no block or the engine is not started).
uint32_t options_block_copy(int32_t format_code, void* out, uint32_t out_size);

// The font name option takes at most this many characters; longer names are
// cut so that the field stays terminated.
inline constexpr size_t kFontNameMax = 31;

}  // namespace rx
