#pragma once
// Names from archives and disks shown in logs and messages: a control byte in a name
// could move the cursor of the terminal that shows the log or forge a line, so each
// one is written out as an escape.
#include <string>
#include <string_view>

namespace vb {

// `text` with every control byte (0x00-0x1F and 0x7F) written as "\xNN" with two
// lowercase hex digits (ESC as "\x1b"); every other byte, UTF-8 included, stays.
std::string EscapeControl(std::string_view text);

}  // namespace vb
