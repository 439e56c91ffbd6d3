// The one place that creates and holds the program's interface fonts.
#include "platform/text.h"

FontHandle SharedInterfaceFont(int32_t weight) {
  // Made once each, on first use, and kept until the process ends.
  static const FontHandle normal = CreateTextFont("Tahoma", -12, 400);
  if (weight != 700) return normal;
  static const FontHandle bold = CreateTextFont("Tahoma", -12, 700);
  return bold;
}
