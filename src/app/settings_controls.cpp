#include "app/settings_controls.h"

#include <iterator>

#include "app/app_state.h"
#include "app/settings_file.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"

namespace {

// The controls of the settings, in the value's order.
WindowHandle MainControls::* const kFolderFields[] = {
    &MainControls::servingField, &MainControls::phpField, &MainControls::loggingField};
WindowHandle MainControls::* const kChoiceSelectors[] = {
    &MainControls::statusSelector, &MainControls::scopeSelector, &MainControls::phpSelector,
    &MainControls::cgiSelector, &MainControls::loggingSelector};

}  // namespace

Settings SettingsFromControls() {
  Settings settings;
  char text[kSettingsTextCapacity];
  for (size_t i = 0; i < std::size(kSettingsFolders); ++i) {
    text[0] = '\0';
    GetWindowTextOf(Controls.*kFolderFields[i], text, kSettingsTextCapacity);
    settings.*kSettingsFolders[i] = text;
  }
  for (size_t i = 0; i < std::size(kSettingsChoices); ++i) {
    settings.*kSettingsChoices[i] = GetSelectedItemId(Controls.*kChoiceSelectors[i]);
  }
  return settings;
}

void ShowSettingsInControls(const Settings& settings) {
  const bool loading = SettingsLoading;
  SettingsLoading = true;
  for (size_t i = 0; i < std::size(kSettingsFolders); ++i) {
    SetWindowTextOf(Controls.*kFolderFields[i], (settings.*kSettingsFolders[i]).c_str());
  }
  for (size_t i = 0; i < std::size(kSettingsChoices); ++i) {
    const intptr_t id = settings.*kSettingsChoices[i];
    SendWindowMessage(Controls.*kChoiceSelectors[i], TKM_ITEMCHOSEN, static_cast<WParam>(id), 0);
  }
  SettingsLoading = loading;
}

int32_t LoadSettingsFrom(const char* path, bool read_only) {
  // A load that fails part way still shows what it read, as the controls
  // were filled field by field; the rest keep what they hold.
  const Settings before = SettingsFromControls();
  Settings settings = before;
  const int32_t loaded = LoadSettingsFile(path, read_only, &settings);
  if (!(settings == before)) ShowSettingsInControls(settings);
  return loaded;
}

int32_t SaveSettingsTo(const char* path) { return SaveSettingsFile(path, SettingsFromControls()); }

int32_t LoadSettings() {
  const SettingsPlaces places = ProgramSettingsPlaces();
  return LoadSettingsFrom(places.load.c_str(), places.load_read_only);
}

int32_t SaveSettings() { return SaveSettingsTo(ProgramSettingsPlaces().save.c_str()); }
