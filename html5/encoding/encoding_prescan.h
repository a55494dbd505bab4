// The HTML standard's "prescan a byte stream to determine its encoding".
#pragma once

#include "html5/encoding/encoding.h"

#include <string_view>

namespace tagweave::html5 {

/// The encoding the first <meta> that declares one gives, or a UTF-16 XML
/// declaration's; reads `bytes` and nothing past them (running out of bytes
/// is the prescan's end condition). Declared UTF-16 comes back as UTF-8 and
/// x-user-defined as windows-1252, as the prescan's steps say. Empty when
/// nothing is found.
label_lookup prescan_for_encoding(std::string_view bytes);

}  // namespace tagweave::html5
