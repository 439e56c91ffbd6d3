// FIXME: the framework's message numbers, until the framework is merged.
#pragma once
#include <cstdint>
constexpr uint32_t TKM_TABNEXT = 0x1B72;
constexpr uint32_t TKM_ISTABSTOP = 0x1B73;
