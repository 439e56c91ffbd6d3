#include "app/settings.h"

#include "core/paths.h"

namespace {

bool ReadInt32(FILE* stream, int32_t* value) {
  unsigned char bytes[4];
  if (std::fread(bytes, 1, 4, stream) != 4) return false;
  *value = static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                (static_cast<uint32_t>(bytes[3]) << 24));
  return true;
}

bool WriteInt32(FILE* stream, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                  static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  return std::fwrite(bytes, 1, 4, stream) == 4;
}

}  // namespace

bool ReadSettingsStream(FILE* stream, Settings* settings) {
  char text[kSettingsTextCapacity];
  for (std::string Settings::* folder : kSettingsFolders) {
    if (!ReadCountedString(stream, text, kSettingsTextCapacity, nullptr)) return false;
    settings->*folder = text;
  }
  for (int32_t Settings::* choice : kSettingsChoices) {
    if (!ReadInt32(stream, &(settings->*choice))) return false;
  }
  return true;
}

bool WriteSettingsStream(FILE* stream, const Settings& settings) {
  for (std::string Settings::* folder : kSettingsFolders) {
    if (WriteCountedString(stream, (settings.*folder).c_str()) == 0) return false;
  }
  for (int32_t Settings::* choice : kSettingsChoices) {
    if (!WriteInt32(stream, settings.*choice)) return false;
  }
  return true;
}
