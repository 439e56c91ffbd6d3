// Finding font files by face name through fontconfig.
#pragma once

#include <cstdint>
#include <string>

struct FontFile {
  std::string path;
  std::string family;
  int index;      // face index inside the file
  bool embolden;  // no bold face: thicken the regular one
};

// The file for `face` at `weight` (400 normal, 700 bold): the face itself
// when fontconfig knows it (the fonts-wine folder is added first), else
// Liberation Sans, else DejaVu Sans. False when none of them is installed.
bool FindFontFile(const char* face, int32_t weight, FontFile* out);
