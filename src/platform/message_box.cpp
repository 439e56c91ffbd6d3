#include "platform/message_box.h"

#include <atomic>

// The platform's own way to show a box when no user interface presents it.
void PresentWithoutUserInterface(const char* text, const char* caption, MessageBoxIcon icon);

namespace {

std::atomic<MessageBoxPresenter> MessageBoxPresenterSlot{PresentWithoutUserInterface};

}  // namespace

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  MessageBoxPresenterSlot.load()(text, caption, icon);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  return MessageBoxPresenterSlot.exchange(presenter ? presenter : PresentWithoutUserInterface);
}

namespace {
std::atomic<UiThreadRunner> UiThreadRunnerSlot{nullptr};
}  // namespace

UiThreadRunner SetUiThreadRunner(UiThreadRunner runner) { return UiThreadRunnerSlot.exchange(runner); }

bool RunOnUiThread(UiThreadCall call, void* context) {
  UiThreadRunner runner = UiThreadRunnerSlot.load();
  return runner != nullptr && runner(call, context);
}
