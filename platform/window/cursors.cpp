// Cursors by shape: one shared object per shape and a current cursor that
// a toolkit adapter shows.
#include "window_internal.h"

namespace pw {
namespace {

struct Cursor : pg::Object {
  Cursor() : Object(pg::Kind::Cursor) {}
  int32_t shape = PW_CURSOR_ARROW;
};

constexpr int32_t kShapes = PW_CURSOR_MAGNIFY + 1;

struct Cursors {
  std::mutex lock;
  uintptr_t handle[kShapes] = {};
  uintptr_t current = 0;
};

Cursors& cursors() {
  static Cursors* c = [] {
    auto* k = new Cursors;
    for (int32_t s = 1; s < kShapes; ++s) {
      auto cur = std::make_shared<Cursor>();
      cur->shape = s;
      k->handle[s] = pg::registry_add(cur, true);
    }
    k->current = k->handle[PW_CURSOR_ARROW];
    return k;
  }();
  return *c;
}

}  // namespace
}  // namespace pw

using namespace pw;

extern "C" HCURSOR pw_cursor_load(int32_t shape) {
  if (shape < 1 || shape >= kShapes) return nullptr;
  return reinterpret_cast<HCURSOR>(cursors().handle[shape]);
}

extern "C" HCURSOR pw_cursor_set(HCURSOR cursor) {
  uintptr_t h = reinterpret_cast<uintptr_t>(cursor);
  if (h != 0 && !pg::registry_find(h, pg::Kind::Cursor)) return nullptr;
  uintptr_t old;
  {
    std::lock_guard<std::mutex> guard(cursors().lock);
    old = cursors().current;
    cursors().current = h;
  }
  if (old != h) notify(PW_EVENT_CURSOR, 0);
  return reinterpret_cast<HCURSOR>(old);
}

extern "C" HCURSOR pw_cursor_get(void) {
  std::lock_guard<std::mutex> guard(cursors().lock);
  return reinterpret_cast<HCURSOR>(cursors().current);
}

extern "C" int32_t pw_cursor_shape(HCURSOR cursor) {
  auto c = std::static_pointer_cast<Cursor>(pg::registry_find(reinterpret_cast<uintptr_t>(cursor), pg::Kind::Cursor));
  return c ? c->shape : PW_CURSOR_NONE;
}
