#include "app/settings_file.h"

#include <string>

#include "app/app_state.h"
#include "core/blocks.h"
#include "core/paths.h"
#include "platform/files.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"

namespace {

// A text field holds at most 259 characters plus the terminator.
constexpr int32_t kFieldCapacity = 260;

WindowHandle* const kFields[] = {&Controls.servingField, &Controls.phpField, &Controls.loggingField};
WindowHandle* const kSelectors[] = {&Controls.statusSelector, &Controls.scopeSelector,
                                    &Controls.phpSelector, &Controls.cgiSelector,
                                    &Controls.loggingSelector};

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

// The program's folder, ending in the separator; empty when its name does
// not fit.
std::string ProgramFolder() {
  char* path = nullptr;
  if (!GetProgramFilePath(&path, "")) return {};
  std::string result = path;
  FreeAndClear(&path);
  return result + kPathSeparator;
}

// Names longer than the settings file may have count as none.
std::string Fitting(std::string path) {
  return path.size() <= static_cast<size_t>(kMaxPath) ? path : std::string();
}

void ShowSettingsMessage(const char* text) {
  ShowAppMessage(MainWindowHandle(), text, kErrorCaption, MessageBoxIcon::kInformation);
}

}  // namespace

bool ReadSettingsStream(FILE* stream) {
  SettingsLoading = true;
  bool ok = true;
  char text[kFieldCapacity];
  for (WindowHandle* field : kFields) {
    ok = ReadCountedString(stream, text, kFieldCapacity, nullptr);
    if (!ok) break;
    SetWindowTextOf(*field, text);
  }
  for (WindowHandle* selector : kSelectors) {
    if (!ok) break;
    int32_t id = 0;
    ok = ReadInt32(stream, &id);
    // An identifier that names none of the selector's items changes nothing.
    if (ok) SendWindowMessage(*selector, TKM_ITEMCHOSEN, static_cast<WParam>(static_cast<intptr_t>(id)), 0);
  }
  SettingsLoading = false;
  return ok;
}

bool WriteSettingsStream(FILE* stream) {
  char text[kFieldCapacity];
  for (WindowHandle* field : kFields) {
    text[0] = '\0';
    GetWindowTextOf(*field, text, kFieldCapacity);
    if (WriteCountedString(stream, text) == 0) return false;
  }
  for (WindowHandle* selector : kSelectors) {
    if (!WriteInt32(stream, GetSelectedItemId(*selector))) return false;
  }
  return true;
}

SettingsPlaces LocateSettings(const std::string& program_folder) {
  SettingsPlaces places;
  if (program_folder.empty()) return places;
  const std::string beside = Fitting(program_folder + kSettingsFileName);
  if (IsFolderWritable(program_folder.c_str()) && !IsSystemProgramFolder(program_folder.c_str())) {
    places.load = places.save = beside;
    return places;
  }
  const std::string folder = UserSettingsFolder();
  places.save = folder.empty() ? std::string() : Fitting(folder + kSettingsFileName);
  if (!places.save.empty() && QueryPathKind(places.save.c_str()) != PathKind::kMissing) {
    places.load = places.save;
  } else {
    places.load = beside;
    places.load_read_only = true;
  }
  return places;
}

int32_t LoadSettingsFrom(const char* path, bool read_only) {
  if (path == nullptr || path[0] == '\0') return 0;
  // A file of one's own is opened for reading and updating, so one marked
  // read-only is not loaded at all, and the defaults apply. The
  // administrator's default is only ever read.
  if (!read_only && IsFileMarkedReadOnly(path)) return 0;
  FILE* stream = std::fopen(path, read_only ? "rb" : "r+b");
  if (stream == nullptr) {
    // No file: the defaults apply. A file there that cannot be read would
    // leave the user wondering where the settings went.
    if (QueryPathKind(path) != PathKind::kMissing) ShowSettingsMessage(kSettingsLoadFailedText);
    return 0;
  }
  SettingsLoading = true;
  const bool ok = ReadSettingsStream(stream);
  std::fclose(stream);
  SettingsLoading = false;
  if (!ok) {
    ShowSettingsMessage(kSettingsLoadFailedText);
    return 0;
  }
  return 1;
}

int32_t SaveSettingsTo(const char* path) {
  // Every failure is said: a silent one would let the user believe the
  // settings kept.
  if (path == nullptr || path[0] == '\0' || IsFileMarkedReadOnly(path)) {
    ShowSettingsMessage(kSettingsSaveFailedText);
    return 0;
  }
  CreateDirectoryPath(path);  // a user's own folder appears on the first save
  // The settings go to a new file beside the old one, which it replaces only
  // when every byte is written: a failed save leaves the old settings whole.
  const std::string temporary = std::string(path) + ".new";
  FILE* stream = std::fopen(temporary.c_str(), "wb");
  if (stream == nullptr) {
    ShowSettingsMessage(kSettingsSaveFailedText);
    return 0;
  }
  bool ok = WriteSettingsStream(stream);
  ok = std::fflush(stream) == 0 && ok;
  ok = std::fclose(stream) == 0 && ok;
  if (ok && ReplaceFileWith(temporary.c_str(), path)) return 1;
  DeleteFileNamed(temporary.c_str());
  ShowSettingsMessage(kSettingsSaveFailedText);
  return 0;
}

int32_t LoadSettings() {
  const SettingsPlaces places = LocateSettings(ProgramFolder());
  return LoadSettingsFrom(places.load.c_str(), places.load_read_only);
}

int32_t SaveSettings() { return SaveSettingsTo(LocateSettings(ProgramFolder()).save.c_str()); }
