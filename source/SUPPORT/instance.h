// The process instance record: named slots where the engine keeps its
// per-process tables.
#pragma once

#include <cstdint>

namespace rx {

// Keys of the engine's per-process tables.
inline constexpr int32_t kKeyOptions = 827;        // image control options
inline constexpr int32_t kKeyDetection = 832;      // detection switch table
inline constexpr int32_t kKeySettings = 835;       // engine settings
inline constexpr int32_t kKeyExtensions = 837;     // extension registry
inline constexpr int32_t kKeyDisplay = 839;        // display record
inline constexpr int32_t kKeyErrorStack = 872;     // error stack
inline constexpr int32_t kKeyIoTemplate = 879;     // stream template

// Results of the instance calls.
inline constexpr int32_t kInstOk = 0;
inline constexpr int32_t kInstNoMemory = -2;
inline constexpr int32_t kInstAlreadyRegistered = -3;
inline constexpr int32_t kInstNotRegistered = -4;
inline constexpr int32_t kInstKeyPresent = -5;
inline constexpr int32_t kInstKeyAbsent = -6;

int32_t instance_register(uintptr_t module);
int32_t instance_unregister();
int32_t instance_slot_set(int32_t key, void* value);
int32_t instance_slot_get(int32_t key, void** value);
int32_t instance_slot_remove(int32_t key);
int32_t instance_is_registered();
// The value given at registration (the module instance).
uintptr_t instance_module();
// Number of registrations made so far.
int32_t instance_registration_count();

// Looks a table up by key and casts it; null when absent.
template <typename T>
T* instance_table(int32_t key) {
  void* value = nullptr;
  return instance_slot_get(key, &value) == kInstOk ? static_cast<T*>(value) : nullptr;
}

}  // namespace rx
