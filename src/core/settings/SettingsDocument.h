// The XML document from which the host builds its settings form for the
// driver. Plain logic.
#pragma once

#include <string>

namespace veltra {

// The whole document in one language, every line ended by CR LF. The host
// takes it as a text value, so it is never encoded into bytes, although the
// declaration names utf-8.
std::u16string SettingsDocument(bool english);

}  // namespace veltra
