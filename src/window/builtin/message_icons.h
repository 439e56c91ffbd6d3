// The pictures of the message box: an information sign (a blue disc with a
// white "i") and an error sign (a red disc with a white cross), 32 x 32
// pixels with their own alpha, ready for CompositeImage.
#pragma once

#include "platform/message_box.h"
#include "ui/render/image.h"

// A new 32 x 32 image of the sign for `kind`; null when memory runs out.
// Release with FreeImage.
Image* NewMessageIcon(MessageBoxIcon kind);
