#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace {

void WriteToStandardError(const char* text, const char* caption, MessageBoxIcon) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

std::atomic<MessageBoxPresenter> MessageBoxPresenterSlot{WriteToStandardError};

}  // namespace

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  MessageBoxPresenterSlot.load()(text, caption, icon);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  return MessageBoxPresenterSlot.exchange(presenter ? presenter : WriteToStandardError);
}

namespace {
std::atomic<UiThreadRunner> UiThreadRunnerSlot{nullptr};
}  // namespace

UiThreadRunner SetUiThreadRunner(UiThreadRunner runner) { return UiThreadRunnerSlot.exchange(runner); }

bool RunOnUiThread(UiThreadCall call, void* context) {
  UiThreadRunner runner = UiThreadRunnerSlot.load();
  return runner != nullptr && runner(call, context);
}
