#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace {

void WriteToStandardError(const char* text, const char* caption, MessageBoxIcon) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

std::atomic<MessageBoxPresenter> g_presenter{WriteToStandardError};

}  // namespace

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  g_presenter.load()(text, caption, icon);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  return g_presenter.exchange(presenter ? presenter : WriteToStandardError);
}

namespace {
std::atomic<UiThreadRunner> g_ui_runner{nullptr};
}  // namespace

UiThreadRunner SetUiThreadRunner(UiThreadRunner runner) { return g_ui_runner.exchange(runner); }

bool RunOnUiThread(UiThreadCall call, void* context) {
  UiThreadRunner runner = g_ui_runner.load();
  return runner != nullptr && runner(call, context);
}
