#pragma once
// The long explanation shown when a control command cannot be sent, keyed by the
// socket error number.

#include <QString>

#include "platform/SocketErrors.h"

namespace kova {

// Replaces text with the explanation of error; for a number without one the
// text is left as it was (callers start from an empty text).
void SocketErrorText(QString& text, int error = lastSocketError());

}  // namespace kova
