#include "app/settings_file.h"

#include <string>

#include "app/app_state.h"
#include "core/blocks.h"
#include "core/paths.h"
#include "platform/files.h"

namespace {

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

int32_t LoadSettingsFile(const char* path, bool read_only, Settings* settings) {
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
  const bool ok = ReadSettingsStream(stream, settings);
  std::fclose(stream);
  SettingsLoading = false;
  if (!ok) {
    ShowSettingsMessage(kSettingsLoadFailedText);
    return 0;
  }
  return 1;
}

int32_t SaveSettingsFile(const char* path, const Settings& settings) {
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
  bool ok = WriteSettingsStream(stream, settings);
  ok = std::fflush(stream) == 0 && ok;
  ok = std::fclose(stream) == 0 && ok;
  if (ok && ReplaceFileWith(temporary.c_str(), path)) return 1;
  DeleteFileNamed(temporary.c_str());
  ShowSettingsMessage(kSettingsSaveFailedText);
  return 0;
}

SettingsPlaces ProgramSettingsPlaces() { return LocateSettings(ProgramFolder()); }
