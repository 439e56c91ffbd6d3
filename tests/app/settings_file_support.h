// settings.dat in tests: its bytes written by hand, the controls filled with
// distinct values so a load shows which ones it changed, and the test class
// whose settings file lies beside the test program.
#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app_fixture.h"

using Bytes = std::vector<uint8_t>;

inline void PutCounted(Bytes* out, const std::string& text) {
  const uint32_t n = static_cast<uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(n >> shift));
  out->insert(out->end(), text.begin(), text.end());
}

inline void PutInt(Bytes* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

inline Bytes SettingsBytes(const std::string& serving, const std::string& php, const std::string& logging,
                    std::vector<int32_t> ids) {
  Bytes b;
  PutCounted(&b, serving);
  PutCounted(&b, php);
  PutCounted(&b, logging);
  for (int32_t id : ids) PutInt(&b, id);
  return b;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<int32_t> Choices() {
  std::vector<int32_t> ids;
  for (WindowHandle s : {Controls.statusSelector, Controls.scopeSelector, Controls.phpSelector,
                         Controls.cgiSelector, Controls.loggingSelector}) {
    ids.push_back(GetSelectedItemId(s));
  }
  return ids;
}

// Distinct values in every control, so a test sees which ones a load changed.
inline void FillControls() {
  SetWindowTextOf(Controls.servingField, "before-serving");
  SetWindowTextOf(Controls.phpField, "before-php");
  SetWindowTextOf(Controls.loggingField, "before-logging");
  Choose(Controls.statusSelector, kItemNotRunning);
  Choose(Controls.scopeSelector, kItemLanServer);
  Choose(Controls.phpSelector, kItemPhpDisabled);
  Choose(Controls.cgiSelector, kItemCgiDisabled);
  Choose(Controls.loggingSelector, kItemLoggingDisabled);
}

class SettingsFileTest : public MainWindowTest {
 protected:
  std::string path_ = OwnSettingsPath();
};
