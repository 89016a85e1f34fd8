// The built-in detect tests of the filter-table rows whose filters do not
// carry their own. Each looks at the 32-byte head (zero-filled past the
// bytes actually read) and may read further through the stream; the caller
// restores the position.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

int32_t detect_tiff(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_bmp(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_afx(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_gif(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_gem(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_jpeg(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_ico(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_pcx(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_dcx(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_ioca(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_modca(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_wpg(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_psd(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_pcd(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_eps(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_cals(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_iff(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_xwd(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_xpm(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_xbm(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_sun(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_sgi(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_msp(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_kfx(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_imt(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_brk(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_lv(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_wmf(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_ncr(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_clp(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_tga(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_pict(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_cut(IO_REC* io, const uint8_t* head, int32_t count);
int32_t detect_text(IO_REC* io, const uint8_t* head, int32_t count);

}  // namespace rx
