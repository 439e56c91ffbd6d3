#include "platform/message_box.h"

#include <atomic>

// The platform's own way to show a box when no user interface presents it.
void PresentWithoutUserInterface(const char* text, const char* caption, MessageBoxIcon icon);

namespace {

std::atomic<MessageBoxPresenter> g_presenter{PresentWithoutUserInterface};

}  // namespace

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  g_presenter.load()(text, caption, icon);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  return g_presenter.exchange(presenter ? presenter : PresentWithoutUserInterface);
}

namespace {
std::atomic<UiThreadRunner> g_ui_runner{nullptr};
}  // namespace

UiThreadRunner SetUiThreadRunner(UiThreadRunner runner) { return g_ui_runner.exchange(runner); }

bool RunOnUiThread(UiThreadCall call, void* context) {
  UiThreadRunner runner = g_ui_runner.load();
  return runner != nullptr && runner(call, context);
}
