// Scrambling members and the automatic deskew of the control: Encrypt and
// Decrypt over the processing rectangle with the written password, and
// AutoDeskew of a bi-level page.
#include "RastCtl.h"
#include "rast_dispids.h"

namespace rast {

namespace {

// AutoDeskew turns pages skewed by at least this many degrees.
constexpr double kDeskewLeastAngle = 1.0;
// The auxiliary entry that says whether a turn grows the page.
constexpr size_t kAuxRotateExpand = 3;

}  // namespace

void CRastCtrl::on_scramble(bool decrypt) {
  if (current_valid()) {
    const int32_t method = lng(kDispEncryptMethod);
    const char* password = str(decrypt ? kDispDecrypt : kDispEncrypt).c_str();
    set_err_count(decrypt ? RX_IP_decrypt(current_, processing_rect_.data(), method, password)
                          : RX_IP_encrypt(current_, processing_rect_.data(), method, password));
    error_check();
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_auto_deskew() {
  if (flag(kDispAutoDeskew) && current_valid()) {
    set_err_count(RX_IP_deskew(current_, kDeskewLeastAngle, aux_[kAuxRotateExpand]));
    error_check();
    refresh_image_info();
    redraw();
    update_tool_windows();
  }
  set_modified();
}

}  // namespace rast
