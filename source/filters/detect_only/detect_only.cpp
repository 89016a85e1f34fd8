// The formats whose filters are not built yet: each has its detection
// test and its row in the filter table, so that a file of the format is
// recognised (and refused as not implemented) rather than taken for
// another. Several tests look at their bytes without checking how many
// were read and so see the zero fill of the head buffer; that is how the
// formats have always been recognised. A format that gets its filter moves
// its test and record into a folder of its own.
#include "filters/detect_only/detect_only.h"

#include <cstring>

#include "IO/head_bytes.h"

namespace rx {
namespace {

// Looks for `word` in the head, comparing from each start position; after a
// partial match of k characters the scan resumes k + 1 positions later.
bool head_contains(const uint8_t* head, int32_t count, const char* word) {
  const int32_t len = static_cast<int32_t>(std::strlen(word));
  int32_t i = 0;
  while (i < count) {
    int32_t k = 0;
    while (k < len && i + k < count && head[i + k] == static_cast<uint8_t>(word[k])) ++k;
    if (k == len) return true;
    i += k + 1;
  }
  return false;
}

bool icon_size(uint8_t v) { return v == 16 || v == 32 || v == 64; }

int32_t detect_tiff(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 3 && (head_starts(h, "II") || head_starts(h, "MM"));
}

int32_t detect_afx(IO_REC*, const uint8_t* h, int32_t) { return std::memcmp(h + 1, "AFX", 3) == 0; }


int32_t detect_gem(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 4 && h[0] == 0 && h[1] == 1 && h[2] == 0 && (h[3] == 8 || h[3] == 9);
}

int32_t detect_ico(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 14 && ii16(h) == 0 && ii16(h + 2) == 1 && ii16(h + 4) != 0 && icon_size(h[6]) &&
         icon_size(h[7]) && (h[8] == 2 || h[8] == 8 || h[8] == 16);
}

int32_t detect_pcx(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 3 && h[0] == 10 && h[1] < 6 && h[2] == 1;
}

int32_t detect_dcx(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && ii32(h) == 987654321u; }

int32_t detect_ioca(IO_REC*, const uint8_t* h, int32_t) { return h[0] == 0x70; }

int32_t detect_modca(IO_REC*, const uint8_t* h, int32_t) {
  return h[2] == 0xD3 && ((h[3] == 0xA6 && h[4] == 0xFB) || (h[3] == 0xA8 && h[4] == 0xA8));
}

int32_t detect_wpg(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 4 && std::memcmp(h + 1, "WPC", 3) == 0;
}

int32_t detect_psd(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && head_starts(h, "8BPS"); }

int32_t detect_pcd(IO_REC* io, const uint8_t*, int32_t) {
  uint8_t id[7];
  return read_at(io, 2048, id, 7) && std::memcmp(id, "PCD_IPI", 7) == 0;
}

int32_t detect_eps(IO_REC*, const uint8_t* h, int32_t) {
  return h[0] == 0xC5 && h[1] == 0xD0 && h[2] == 0xD3 && h[3] == 0xC6;
}

int32_t detect_cals(IO_REC*, const uint8_t* h, int32_t n) {
  return head_contains(h, n, "srcsys:") || head_contains(h, n, "srcdocid:") ||
         head_contains(h, n, "specversion:");
}

int32_t detect_iff(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 4 && (mm32(h) == 0x464F524Du || mm32(h) == 0x4C490000u);
}

int32_t detect_xwd(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 8 && (mm32(h + 4) == 6 || mm32(h + 4) == 7);
}

int32_t detect_xpm(IO_REC*, const uint8_t* h, int32_t n) {
  if (head_starts(h, "/* XPM") || head_starts(h, "! XPM")) return 1;
  return head_starts(h, "#define") && head_contains(h, n, "_format");
}

int32_t detect_xbm(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && head_starts(h, "#def"); }

int32_t detect_sun(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && mm32(h) == 0x59A66A95u; }

int32_t detect_sgi(IO_REC*, const uint8_t* h, int32_t n) { return n >= 2 && mm16(h) == 474; }

int32_t detect_msp(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 4 && (head_starts(h, "DanM") || head_starts(h, "LinS"));
}

int32_t detect_kfx(IO_REC*, const uint8_t* h, int32_t) { return head_starts(h, ".KF"); }

int32_t detect_imt(IO_REC*, const uint8_t* h, int32_t) { return head_starts(h, "'C1") && h[3] == 0; }

int32_t detect_brk(IO_REC*, const uint8_t* h, int32_t) { return h[0] == 187; }

int32_t detect_lv(IO_REC*, const uint8_t* h, int32_t) { return h[0] == 220 && h[1] == 220; }

int32_t detect_wmf(IO_REC*, const uint8_t* h, int32_t n) {
  if (n < 4) return 0;
  const uint32_t v = ii32(h);
  return v == 0x9AC6CDD7u || v == 1 || v == 0x90001u;
}

int32_t detect_ncr(IO_REC*, const uint8_t* h, int32_t) {
  return h[0] == 'n' && h[1] == 'n' && h[2] == 10 && h[3] == 0;
}

int32_t detect_clp(IO_REC*, const uint8_t* h, int32_t n) { return n >= 2 && ii16(h) == 50000; }

int32_t detect_tga(IO_REC*, const uint8_t* h, int32_t n) {
  if (n < 3 || h[1] >= 2) return 0;
  const uint8_t t = h[2];
  return t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11;
}

int32_t detect_pict(IO_REC* io, const uint8_t*, int32_t) {
  uint8_t op[2] = {0, 0};
  if (RPb_IO_seek(io, 522, RX_SEEK_SET) != 522) return 0;
  const int32_t got = RPb_IO_read(io, op, 2);
  return (got >= 1 && op[0] == 17) || (got >= 2 && op[1] == 17);
}

int32_t detect_cut(IO_REC*, const uint8_t* h, int32_t n) {
  if (n < 6) return 0;
  const uint16_t w = ii16(h), ht = ii16(h + 2);
  return w >= 1 && w <= 1023 && ht >= 1 && ht <= 1023 && ii16(h + 4) == 0;
}

int32_t detect_text(IO_REC*, const uint8_t* h, int32_t n) {
  for (int32_t i = 0; i < n; ++i)
    if (h[i] >= 128) return 0;
  return 1;
}

}  // namespace

const FILTER_RECORD kTiffFilter = detect_only_record(RX_FORMAT_TIFF, detect_tiff, "TIF|TIFF|", 1);
const FILTER_RECORD kAfxFilter = detect_only_record(RX_FORMAT_AFX, detect_afx, "AFX|", 0);
const FILTER_RECORD kGemFilter = detect_only_record(RX_FORMAT_GEM, detect_gem, "GEM|", 0);
const FILTER_RECORD kIcoFilter = detect_only_record(RX_FORMAT_ICO, detect_ico, "ICO|", 0);
const FILTER_RECORD kPcxFilter = detect_only_record(RX_FORMAT_PCX, detect_pcx, "PCX|", 0);
const FILTER_RECORD kDcxFilter = detect_only_record(RX_FORMAT_DCX, detect_dcx, "DCX|", 1);
const FILTER_RECORD kIocaFilter = detect_only_record(RX_FORMAT_IOCA, detect_ioca, "ICA|", 0);
const FILTER_RECORD kModcaFilter = detect_only_record(RX_FORMAT_MODCA, detect_modca, "ICA|", 1);
const FILTER_RECORD kWpgFilter = detect_only_record(RX_FORMAT_WPG, detect_wpg, "WPG|", 0);
const FILTER_RECORD kPsdFilter = detect_only_record(RX_FORMAT_PSD, detect_psd, "PSD|", 0);
const FILTER_RECORD kPcdFilter = detect_only_record(RX_FORMAT_PCD, detect_pcd, "PCD|", 0);
const FILTER_RECORD kEpsFilter = detect_only_record(RX_FORMAT_EPS, detect_eps, "EPS|EPI|EPSF|", 0);
const FILTER_RECORD kCalsFilter = detect_only_record(RX_FORMAT_CALS, detect_cals, "CAL|RAS|CALS|", 0);
const FILTER_RECORD kIffFilter = detect_only_record(RX_FORMAT_IFF, detect_iff, "IFF|", 0);
const FILTER_RECORD kXwdFilter = detect_only_record(RX_FORMAT_XWD, detect_xwd, "WD|XWD|", 0);
const FILTER_RECORD kXpmFilter = detect_only_record(RX_FORMAT_XPM, detect_xpm, "XPM|", 0);
const FILTER_RECORD kXbmFilter = detect_only_record(RX_FORMAT_XBM, detect_xbm, "XBM|", 0);
const FILTER_RECORD kSunFilter = detect_only_record(RX_FORMAT_SUN, detect_sun, "RAS|", 0);
const FILTER_RECORD kSgiFilter = detect_only_record(RX_FORMAT_SGI, detect_sgi, "SGI|BW|RGB|RGBA|", 0);
const FILTER_RECORD kMspFilter = detect_only_record(RX_FORMAT_MSP, detect_msp, "MSP|", 0);
const FILTER_RECORD kKfxFilter = detect_only_record(RX_FORMAT_KFX, detect_kfx, "KFX|", 0);
const FILTER_RECORD kImtFilter = detect_only_record(RX_FORMAT_IMT, detect_imt, "IMT|", 0);
const FILTER_RECORD kBrkFilter = detect_only_record(RX_FORMAT_BRK, detect_brk, "301|BRK|", 0);
const FILTER_RECORD kLvFilter = detect_only_record(RX_FORMAT_LV, detect_lv, "LV|", 0);
const FILTER_RECORD kWmfFilter = detect_only_record(RX_FORMAT_WMF, detect_wmf, "WMF|", 0);
const FILTER_RECORD kNcrFilter = detect_only_record(RX_FORMAT_NCR, detect_ncr, "NCR|", 0);
const FILTER_RECORD kClpFilter = detect_only_record(RX_FORMAT_CLP, detect_clp, "CLP|", 0);
const FILTER_RECORD kTgaFilter = detect_only_record(RX_FORMAT_TGA, detect_tga, "TGA|TPIC|", 0);
const FILTER_RECORD kPictFilter = detect_only_record(RX_FORMAT_PICT, detect_pict, "PCT|PICT|", 0);
const FILTER_RECORD kCutFilter = detect_only_record(RX_FORMAT_CUT, detect_cut, "CUT|PAL|", 0);
const FILTER_RECORD kTextFilter = detect_only_record(RX_FORMAT_TEXT, detect_text, "TXT|", 0);

}  // namespace rx
