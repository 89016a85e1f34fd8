// The image control options: one per-process record of per-format option
// blocks ("image flags"), addressed by option id.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastrix/rx_codes.h"

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
    case RX_FORMAT_BMP: return RX_BLOCK(bmp);
    case RX_FORMAT_BRK: return RX_BLOCK(brk);
    case RX_FORMAT_CALS: return RX_BLOCK(cals);
    case RX_FORMAT_CLP: return RX_BLOCK(clp);
    case RX_FORMAT_CUT: case RX_FORMAT_ICO: return RX_BLOCK(ico);
    case RX_FORMAT_DCX: return RX_BLOCK(dcx);
    case RX_FORMAT_EPS: return RX_BLOCK(eps);
    case RX_FORMAT_RAW_G3: case RX_FORMAT_RAW_G4: case RX_FORMAT_TEXT: return RX_BLOCK(text);
    case RX_FORMAT_GEM: return RX_BLOCK(gem);
    case RX_FORMAT_GIF: return RX_BLOCK(gif);
    case RX_FORMAT_IOCA: case RX_FORMAT_MODCA: return RX_BLOCK(ioca);
    case RX_FORMAT_IFF: return RX_BLOCK(iff);
    case RX_FORMAT_IMT: return RX_BLOCK(imt);
    case RX_FORMAT_JPEG: return RX_BLOCK(jpeg);
    case RX_FORMAT_KFX: return RX_BLOCK(kfx);
    case RX_FORMAT_LV: return RX_BLOCK(lv);
    case RX_FORMAT_MSP: return RX_BLOCK(msp);
    case RX_FORMAT_NCR: return RX_BLOCK(ncr);
    case RX_FORMAT_PCD: return RX_BLOCK(pcd);
    case RX_FORMAT_PICT: return RX_BLOCK(pict);
    case RX_FORMAT_PCX: return RX_BLOCK(pcx);
    case RX_FORMAT_PNG: return RX_BLOCK(png);
    case RX_FORMAT_PSD: return RX_BLOCK(psd);
    case RX_FORMAT_SUN: return RX_BLOCK(sun);
    case RX_FORMAT_SGI: return RX_BLOCK(sgi);
    case RX_FORMAT_TGA: return RX_BLOCK(tga);
    case RX_FORMAT_TIFF: return RX_BLOCK(tiff);
    case RX_FORMAT_WPG: return RX_BLOCK(wpg);
    case RX_FORMAT_XBM: return RX_BLOCK(xbm);
    case RX_FORMAT_WMF: return RX_BLOCK(wmf);
    case RX_FORMAT_XPM: return RX_BLOCK(xpm);
    case RX_FORMAT_XWD: return RX_BLOCK(xwd);
    case RX_FORMAT_AFX: return RX_BLOCK(afx);
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
