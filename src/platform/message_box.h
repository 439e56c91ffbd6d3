// Message boxes that any thread may raise ("Server Error", "Logging Error").
// The user interface installs a presenter that shows a real box and returns
// when the user has closed it; until then, and in programs without a user
// interface, the caption and text go to standard error and the call returns.
#pragma once

enum class MessageBoxIcon { kInformation, kError };

using MessageBoxPresenter = void (*)(const char* text, const char* caption, MessageBoxIcon icon);

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon);

// Installs `presenter` (null restores the standard-error one); returns the old one.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);
