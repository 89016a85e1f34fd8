// Associating windows with images: the engine's class, the record and its
// reuse, subclassing that never stacks, the options and linked images,
// the destruction callback, and the errors for missing windows and
// records.
#include <gtest/gtest.h>

#include "SUPPORT/mem_tag.h"
#include "gui/window_test_util.h"

using namespace wtest;

namespace {

using WindowAssoc = WindowTest;

TEST_F(WindowAssoc, EngineStartRegistersThePlainImageClass) {
  EXPECT_STREQ(RX_window_class_name(), "RASTWindowClass");
  pw_window_class c{};
  ASSERT_EQ(pw_class_info_get("RASTWindowClass", &c), 1);
  EXPECT_EQ(c.style, uint32_t{CS_BYTEALIGNWINDOW});
  EXPECT_EQ(c.window_extra, 0);
  EXPECT_EQ(c.cursor, PW_CURSOR_ARROW);
  EXPECT_EQ(c.background, pg_stock_brush(PG_WHITE_BRUSH));
  // Stop unregisters it (no window of it is alive); start brings it back.
  RX_engine_stop();
  EXPECT_EQ(pw_class_info_get("RASTWindowClass", &c), 0);
  ASSERT_EQ(RX_engine_start(0x1234), 1);
  EXPECT_EQ(pw_class_info_get("RASTWindowClass", &c), 1);
}

TEST_F(WindowAssoc, RecordIsThePropertyWithItsMarker) {
  HWND hwnd = plain_window(40, 30);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  const auto* record = static_cast<const uint32_t*>(pw_property_get(hwnd, "RAST1"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record[1], 0xA1B47FAAu);  // after the pool word
  int32_t zoom = 0;
  ASSERT_EQ(RX_window_zoom_get(u(hwnd), &zoom), 0);
  EXPECT_EQ(zoom, 100);
  // The image fills the client area at 100 percent (aspect: stretch).
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 40, 30}));
  ASSERT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
  EXPECT_EQ(pw_property_get(hwnd, "RAST1"), nullptr);
  EXPECT_EQ(pw_window_proc_get(hwnd), plain_proc);
}

TEST_F(WindowAssoc, AssociatingTwiceDoesNotStackProcedures) {
  HWND hwnd = plain_window(20, 20);
  RX_HIMAGE a = keep(solid(4, 4, kRed)), b = keep(solid(4, 4, kBlue));
  ASSERT_EQ(RX_window_associate(a, u(hwnd), 1), 0);
  const void* first = pw_property_get(hwnd, "RAST1");
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 300, nullptr), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, a), 0);
  ASSERT_EQ(RX_window_associate(b, u(hwnd), 1), 0);
  // The same record: the image is new, the zoom back at 100, the link kept.
  EXPECT_EQ(pw_property_get(hwnd, "RAST1"), first);
  int32_t zoom = 0, linked = 0;
  RX_window_zoom_get(u(hwnd), &zoom);
  RX_window_linked_count(u(hwnd), &linked);
  EXPECT_EQ(zoom, 100);
  EXPECT_EQ(linked, 1);
  // A message the association does not handle reaches the window's own
  // procedure once, not once per association.
  plain_calls().clear();
  pw_message_send(hwnd, WM_USER + 7, 0, 0);
  EXPECT_EQ(plain_calls()[WM_USER + 7], 1);
  // A handled one is passed on after handling, also once.
  pw_message_send(hwnd, WM_CHAR, '+', 0);
  EXPECT_EQ(plain_calls()[WM_CHAR], 1);
  ASSERT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
  EXPECT_EQ(pw_window_proc_get(hwnd), plain_proc);
}

TEST_F(WindowAssoc, EngineClassWindowsAreNotSubclassed) {
  HWND hwnd = engine_window(20, 20);
  const pw_window_proc own = pw_window_proc_get(hwnd);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  EXPECT_EQ(pw_window_proc_get(hwnd), own);
  ASSERT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
  EXPECT_EQ(pw_window_proc_get(hwnd), own);
}

TEST_F(WindowAssoc, MissingRecordsAndWindowsAreReported) {
  HWND hwnd = plain_window(20, 20);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  EXPECT_EQ(RX_window_associate(0, u(hwnd), 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_WINDOW_NOT_ASSOCIATED});
  EXPECT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_PAINT, 1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_WINDOW_NOT_ASSOCIATED});
  EXPECT_EQ(RX_window_zoom_rect_set(u(hwnd), 50, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_WINDOW_NOT_ASSOCIATED});
  // A property of that name that the engine did not make is not a record.
  uint32_t fake[16] = {0, 0xA1B47FAAu};
  pw_property_set(hwnd, "RAST1", fake);
  EXPECT_EQ(RX_window_associate(0, u(hwnd), 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_WINDOW_NOT_ASSOCIATED});
  pw_property_remove(hwnd, "RAST1");
  for (uintptr_t bad : {uintptr_t{0}, uintptr_t{0x5000}}) {
    EXPECT_EQ(RX_window_option_set(bad, RX_WINDOW_PAINT, 1), 1);
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
    EXPECT_EQ(RX_window_associate(im, bad, 1), 1);
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  }
  // An invalid image is passed over as everywhere in the engine.
  EXPECT_EQ(RX_window_associate(0x777, u(hwnd), 1), 0);
  EXPECT_EQ(pw_property_get(hwnd, "RAST1"), nullptr);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  EXPECT_EQ(RX_window_zoom_rect_set(u(hwnd), 0, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  int32_t zoom = 0;
  RX_window_zoom_get(u(hwnd), &zoom);
  EXPECT_EQ(zoom, 100);
  // Options past 3 do nothing.
  EXPECT_EQ(RX_window_option_set(u(hwnd), 4, 1), 0);
}

TEST_F(WindowAssoc, TwentyFiveLinkedImagesAndATwentySixth) {
  HWND hwnd = engine_window(20, 20);
  RX_HIMAGE main = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(main, u(hwnd), 1), 0);
  std::vector<RX_HIMAGE> linked;
  for (int i = 0; i < 26; ++i) linked.push_back(keep(solid(2, 2, kBlue)));
  for (int i = 0; i < 25; ++i) ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, linked[i]), 0) << i;
  int32_t count = 0;
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 25);
  EXPECT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, linked[25]), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 25);
  // Unlinking frees a place for the 26th; an image never linked changes
  // nothing, nor does a handle that is no image.
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, linked[7]), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, linked[7]), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, main), 0);
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 24);
  EXPECT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, 0x777), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, linked[25]), 0);
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 25);
  // Linked twice, unlinked once: both places are cleared and counted.
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, linked[0]), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, linked[1]), 0);
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 25);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, linked[1]), 0);
  RX_window_linked_count(u(hwnd), &count);
  EXPECT_EQ(count, 23);
  pw_messages_pump(nullptr);  // paints with every linked image without trouble
}

struct DestroySeen {
  int32_t calls = 0;
  uintptr_t user = 0;
  RX_HIMAGE image = 0;
  uintptr_t window = 0;
  bool record_still_there = false;
};

void on_destroy(uintptr_t user, RX_HIMAGE image, uintptr_t window) {
  auto* seen = reinterpret_cast<DestroySeen*>(user);
  ++seen->calls;
  seen->user = user;
  seen->image = image;
  seen->window = window;
  seen->record_still_there = pw_property_get(reinterpret_cast<HWND>(window), "RAST1") != nullptr;
}

TEST_F(WindowAssoc, DestroyingTheWindowCallsBackAndFreesTheRecord) {
  RX_HIMAGE im = keep(solid(4, 4, kRed)), other = keep(solid(2, 2, kBlue));
  const int32_t blocks_before = rx::mem_live_block_count();
  for (const bool plain : {true, false}) {
    HWND hwnd = plain ? plain_window(20, 20) : engine_window(20, 20);
    ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
    ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, other), 0);
    DestroySeen seen;
    ASSERT_EQ(RX_window_destroy_callback_set(u(hwnd), on_destroy, reinterpret_cast<uintptr_t>(&seen)), 0);
    plain_calls().clear();
    ASSERT_EQ(pw_window_destroy(hwnd), 1);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.user, reinterpret_cast<uintptr_t>(&seen));
    EXPECT_EQ(seen.image, im);
    EXPECT_EQ(seen.window, u(hwnd));
    EXPECT_TRUE(seen.record_still_there);
    // The window's own procedure still hears of its destruction.
    if (plain) {
      EXPECT_EQ(plain_calls()[WM_DESTROY], 1);
    }
    // The record and its linked table are gone with their tag.
    EXPECT_EQ(rx::mem_live_block_count(), blocks_before);
    // Anything sent to the dead window is refused quietly.
    EXPECT_EQ(pw_message_send(hwnd, WM_CHAR, '+', 0), 0);
    EXPECT_EQ(pw_message_send(hwnd, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, other), 1);
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
    EXPECT_EQ(RX_window_associate(0, u(hwnd), 0), 1);
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  }
}

TEST_F(WindowAssoc, EngineStopEndsOpenAssociations) {
  HWND hwnd = plain_window(20, 20);
  RX_HIMAGE im = solid(4, 4, kRed);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, im), 0);
  RX_engine_stop();
  EXPECT_EQ(rx::mem_live_block_count(), 0);
  EXPECT_EQ(pw_property_get(hwnd, "RAST1"), nullptr);
  EXPECT_EQ(pw_window_proc_get(hwnd), plain_proc);
  ASSERT_EQ(RX_engine_start(0x1234), 1);
  // The window works on as a plain one.
  plain_calls().clear();
  pw_message_send(hwnd, WM_CHAR, '+', 0);
  EXPECT_EQ(plain_calls()[WM_CHAR], 1);
}

pw_window_proc g_before_outer = nullptr;
int32_t g_outer_calls = 0;

LRESULT outer_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 7) ++g_outer_calls;
  return pw_window_proc_call(g_before_outer, hwnd, message, wparam, lparam);
}

TEST_F(WindowAssoc, ProceduresSubclassedAfterOursKeepTheirChain) {
  HWND hwnd = plain_window(20, 20);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  g_before_outer = pw_window_proc_set(hwnd, outer_proc);
  // Whatever happens to the association, a message passes the outer
  // procedure and the window's own once each.
  auto once_each = [&](const char* when) {
    plain_calls().clear();
    g_outer_calls = 0;
    pw_message_send(hwnd, WM_USER + 7, 0, 0);
    EXPECT_EQ(g_outer_calls, 1) << when;
    EXPECT_EQ(plain_calls()[WM_USER + 7], 1) << when;
  };
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  once_each("associated again");
  ASSERT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
  EXPECT_EQ(pw_window_proc_get(hwnd), outer_proc);
  once_each("association ended");
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  once_each("associated anew");
  pw_message_send(hwnd, WM_CHAR, '+', 0);
  int32_t zoom = 0;
  RX_window_zoom_get(u(hwnd), &zoom);
  EXPECT_EQ(zoom, 125);
  ASSERT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
  once_each("ended again");
}

LRESULT destroy_on_paint(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    pw_window_destroy(hwnd);
    return 0;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

TEST_F(WindowAssoc, WindowDestroyedWhileBeingAssociated) {
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  const int32_t blocks_before = rx::mem_live_block_count();
  // The zoom that sets the image up paints, and that paint ends the window.
  HWND hwnd = window(window_test::class_of("AssocDestroyOnPaint", destroy_on_paint), 20, 20);
  RX_window_associate(im, u(hwnd), 1);
  EXPECT_EQ(pw_window_valid(hwnd), 0);
  EXPECT_EQ(rx::mem_live_block_count(), blocks_before);
  EXPECT_EQ(RX_window_zoom_rect_set(u(hwnd), 50, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
}

}  // namespace
