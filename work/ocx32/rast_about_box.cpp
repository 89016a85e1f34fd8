// The about box on the window layer.
#include "rast_about_box.h"

#include <array>

namespace rast {
namespace {

// Positions and sizes in dialog units.
constexpr std::array<pw_dialog_item, 6> kItems{{
    {-1, "ICON", "#202", 10, 10, 20, 20, 0},
    {-1, "STATIC", "Rastrix OCX-32", 40, 10, 119, 8, 0},
    {kAboutOkId, "BUTTON", "OK", 215, 15, 32, 14, uint32_t{PW_BS_DEFPUSHBUTTON} | WS_TABSTOP},
    {kAboutVersionId, "STATIC", "", 15, 38, 230, 8, 0},
    {kAboutBuildDateId, "STATIC", "", 16, 52, 230, 8, 0},
    {kAboutPathId, "STATIC", "", 15, 66, 230, 8, 0},
}};

constexpr pw_dialog_template kTemplate{"About Rastrix OCX-32", "MS Sans Serif", 8, 261, 85,
                                       kItems.data(), static_cast<int32_t>(kItems.size())};

intptr_t box_proc(HWND dialog, uint32_t message, WPARAM, LPARAM lparam) {
  if (message != WM_INITDIALOG) return 0;
  const auto* texts = reinterpret_cast<const AboutTexts*>(lparam);
  pw_dialog_item_text_set(dialog, kAboutVersionId, texts->version.c_str());
  pw_dialog_item_text_set(dialog, kAboutBuildDateId, texts->build_date.c_str());
  pw_dialog_item_text_set(dialog, kAboutPathId, texts->module_path.c_str());
  return 1;
}

}  // namespace

const pw_dialog_template& about_box_template() { return kTemplate; }

intptr_t about_box_run(const AboutTexts& texts) {
  const intptr_t result =
      pw_dialog_box(&kTemplate, nullptr, box_proc, reinterpret_cast<LPARAM>(&texts));
  if (result == -1) return -1;
  return result == PW_IDOK ? 1 : 0;
}

void about_box_show(CRastCtrl*, const AboutTexts& texts) { about_box_run(texts); }

}  // namespace rast
