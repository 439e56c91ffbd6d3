// Font files by family through fontconfig. The fonts of the fonts-wine
// package are added as application fonts, since Debian does not register
// that folder with fontconfig.
#include "platform/text/font_lookup.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cstdlib>

namespace {

constexpr const char* kWineFontDir = "/usr/share/wine/fonts";

FcConfig* Config() {
  static FcConfig* config = [] {
    FcInit();
    std::atexit(FcFini);  // fontconfig's caches go with the process, not as leaks
    FcConfig* current = FcConfigGetCurrent();
    FcConfigAppFontAddDir(current, reinterpret_cast<const FcChar8*>(kWineFontDir));
    return current;
  }();
  return config;
}

// The best match for exactly `family`; false when fontconfig substitutes another.
bool MatchFamily(const char* family, int32_t weight, FontFile* out) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(Config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(Config(), pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* found = nullptr;
  FcChar8* file = nullptr;
  int index = 0, got_weight = FC_WEIGHT_REGULAR;
  bool ok = FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch &&
            FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
            strcasecmp(reinterpret_cast<const char*>(found), family) == 0;
  if (ok) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &got_weight);
    out->path = reinterpret_cast<const char*>(file);
    out->family = reinterpret_cast<const char*>(found);
    out->index = index;
    out->embolden = weight >= 600 && got_weight < FC_WEIGHT_DEMIBOLD;
  }
  FcPatternDestroy(match);
  return ok;
}

}  // namespace

bool FindFontFile(const char* face, int32_t weight, FontFile* out) {
  const char* candidates[] = {face, "Liberation Sans", "DejaVu Sans"};
  for (const char* family : candidates) {
    if (family != nullptr && *family != '\0' && MatchFamily(family, weight, out)) return true;
  }
  return false;
}
