#include "core/blocks.h"

#include <cstdlib>
#include <cstring>

bool AllocBlock(void** slot, int32_t size, bool fill, uint8_t fill_byte) {
  if (slot == nullptr || size <= 0) return false;
  void* block = std::malloc(static_cast<size_t>(size));
  *slot = block;
  if (block == nullptr) return false;
  if (fill) std::memset(block, fill_byte, static_cast<size_t>(size));
  return true;
}

char* DupString(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

bool FreeAndClear(void** slot) {
  if (slot == nullptr || *slot == nullptr) return false;
  std::free(*slot);
  *slot = nullptr;
  return true;
}
