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
