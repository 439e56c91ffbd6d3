// Owned blocks and texts. The holder of a slot owns the block in it and
// releases it by clearing the slot with FreeAndClear.
#pragma once

#include <cstdint>

// Stores a new block of exactly `size` bytes in *slot; with `fill` every byte
// is set to `fill_byte`. False, slot untouched, for a null slot or size <= 0;
// false with the slot null when no memory can be had.
bool AllocBlock(void** slot, int32_t size, bool fill, uint8_t fill_byte);

// An owned copy of `text`, or null for a null text or when memory runs out.
char* DupString(const char* text);

// Releases the block in *slot and nulls the slot. False when there is none.
bool FreeAndClear(void** slot);

template <typename T>
bool AllocBlock(T** slot, int32_t size, bool fill, uint8_t fill_byte = 0) {
  if (slot == nullptr) return false;
  void* raw = *slot;
  bool ok = AllocBlock(&raw, size, fill, fill_byte);
  *slot = static_cast<T*>(raw);
  return ok;
}

template <typename T>
bool FreeAndClear(T** slot) {
  if (slot == nullptr) return false;
  void* raw = const_cast<void*>(static_cast<const void*>(*slot));
  bool released = FreeAndClear(&raw);
  *slot = nullptr;
  return released;
}
