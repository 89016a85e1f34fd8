// The error stack and its exported push, check and clear.
#include "SUPPORT/error.h"

#include <cstring>

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rastrix.h"

namespace rx {
namespace {

ERROR_STACK* stack() {
  void* value = nullptr;
  if (instance_slot_get(kKeyErrorStack, &value) != 0) return nullptr;
  return static_cast<ERROR_STACK*>(value);
}

// The text after the last backslash, or the whole path when it has none.
const char* last_component(const char* path) {
  const char* cut = std::strrchr(path, '\\');
  return cut ? cut + 1 : path;
}

}  // namespace

int32_t error_stack_create() { return table_create(kKeyErrorStack, sizeof(ERROR_STACK), nullptr); }

void error_stack_destroy() { table_destroy(kKeyErrorStack); }

}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_AF_error_set(const char* source, int32_t line, int32_t code,
                                    int32_t iVal, int32_t lVal) {
  ERROR_STACK* s = stack();
  if (s == nullptr) return kErrorStackMissing;
  if (s->count >= kErrorStackDepth) return code;
  ERROR_ENTRY& e = s->entries[s->count++];
  std::memset(e.file, 0, sizeof e.file);
  if (source != nullptr) std::strncpy(e.file, last_component(source), kErrorFileChars);
  e.line = line;
  e.code = code;
  e.iVal = iVal;
  e.lVal = lVal;
  return code;
}

extern "C" int32_t RPb_AF_error_check(void) {
  ERROR_STACK* s = stack();
  return s ? s->count : 0;
}

extern "C" void RPb_AF_error_clear(void) {
  ERROR_STACK* s = stack();
  if (s) s->count = 0;
}

extern "C" int32_t RX_error_get(int32_t index, char* file_out, uint32_t file_len, int32_t* line,
                                int32_t* code, int32_t* iVal, int32_t* lVal) {
  ERROR_STACK* s = stack();
  const ERROR_ENTRY* e = nullptr;
  if (s != nullptr && index >= 0 && index < s->count) e = &s->entries[index];
  if (file_out != nullptr && file_len > 0) {
    if (e != nullptr) {
      // At most file_len characters of the name; the buffer stays terminated
      // when it has room for the zero.
      size_t n = std::strlen(e->file);
      if (n > file_len) n = file_len;
      std::memcpy(file_out, e->file, n);
      if (n < file_len) file_out[n] = '\0';
      else file_out[file_len - 1] = '\0';
    } else {
      file_out[0] = '\0';
    }
  }
  if (line) *line = e ? e->line : 0;
  if (code) *code = e ? e->code : 0;
  if (iVal) *iVal = e ? e->iVal : 0;
  if (lVal) *lVal = e ? e->lVal : 0;
  return e ? 1 : 0;
}
