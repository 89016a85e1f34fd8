// One process instance record, found by the process identity. The record
// owns a chain of 13-pair key tables; the engine's tables hang off it.
#include "SUPPORT/instance.h"

#include <cstdlib>

#include "SUPPORT/mem_tag.h"

namespace rx {
namespace {

constexpr int kPairsPerTable = 13;
// Every process sees itself under one constant identity, as the engine
// keeps exactly one instance record per process.
constexpr uintptr_t kCurrentProcess = static_cast<uintptr_t>(-1);

struct KeyPair {
  int32_t key;  // 0 = free
  void* value;
};

struct KeyTable {
  int32_t used;
  KeyPair pairs[kPairsPerTable];
  KeyTable* prev;
  KeyTable* next;
};

struct InstanceRecord {
  uintptr_t process;  // 0 = not registered
  uint32_t tag;
  uintptr_t module;
  KeyTable* tables;
};

InstanceRecord g_instance;
int32_t g_registrations = 0;

InstanceRecord* current() { return g_instance.process == kCurrentProcess ? &g_instance : nullptr; }

KeyPair* find_pair(InstanceRecord* inst, int32_t key, KeyTable** table_out) {
  for (KeyTable* t = inst->tables; t != nullptr; t = t->next)
    for (KeyPair& p : t->pairs)
      if (p.key == key && p.key != 0) {
        if (table_out) *table_out = t;
        return &p;
      }
  return nullptr;
}

}  // namespace

int32_t instance_register(uintptr_t module) {
  if (current() != nullptr) return kInstAlreadyRegistered;
  g_instance = InstanceRecord{kCurrentProcess, RPb_AF_mem_unique_tag_get(), module, nullptr};
  ++g_registrations;
  return kInstOk;
}

int32_t instance_unregister() {
  InstanceRecord* inst = current();
  if (inst == nullptr) return kInstNotRegistered;
  KeyTable* t = inst->tables;
  while (t != nullptr) {
    KeyTable* next = t->next;
    RPb_AF_mem_free(inst->tag, t);
    t = next;
  }
  RPb_AF_mem_free_all(inst->tag);
  g_instance = InstanceRecord{};
  --g_registrations;
  return kInstOk;
}

int32_t instance_slot_set(int32_t key, void* value) {
  InstanceRecord* inst = current();
  if (inst == nullptr) return kInstNotRegistered;
  if (find_pair(inst, key, nullptr) != nullptr) return kInstKeyPresent;
  for (KeyTable* t = inst->tables; t != nullptr; t = t->next) {
    if (t->used >= kPairsPerTable) continue;
    for (KeyPair& p : t->pairs)
      if (p.key == 0) {
        p = KeyPair{key, value};
        ++t->used;
        return kInstOk;
      }
  }
  auto* t = static_cast<KeyTable*>(RPb_AF_mem_alloc(inst->tag, sizeof(KeyTable)));
  if (t == nullptr) return kInstNoMemory;
  *t = KeyTable{};
  t->next = inst->tables;
  if (inst->tables) inst->tables->prev = t;
  inst->tables = t;
  t->pairs[0] = KeyPair{key, value};
  t->used = 1;
  return kInstOk;
}

int32_t instance_slot_get(int32_t key, void** value) {
  InstanceRecord* inst = current();
  if (inst == nullptr) return kInstNotRegistered;
  KeyPair* p = find_pair(inst, key, nullptr);
  if (p == nullptr) return kInstKeyAbsent;
  if (value) *value = p->value;
  return kInstOk;
}

int32_t instance_slot_remove(int32_t key) {
  InstanceRecord* inst = current();
  if (inst == nullptr) return kInstKeyAbsent;
  KeyTable* t = nullptr;
  KeyPair* p = find_pair(inst, key, &t);
  if (p == nullptr) return kInstKeyAbsent;
  *p = KeyPair{};
  --t->used;
  return kInstOk;
}

int32_t instance_is_registered() { return current() != nullptr ? 1 : 0; }

uintptr_t instance_module() { return g_instance.module; }

int32_t instance_registration_count() { return g_registrations; }

}  // namespace rx
