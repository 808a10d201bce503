#pragma once
// Text that came from a server or an input file, made fit for one log line:
// control characters (and DEL) escaped as \n, \r, \t or \xHH, a backslash
// doubled, and the result cut to at most `limit` bytes without splitting an
// escape or a UTF-8 sequence.
//
//   "Complete: <?xml ...>\r\n|-|FORGED"  →  "Complete: <?xml ...>\r\n|-|FORGED" (escaped, one line)

#include <cstddef>
#include <string>
#include <string_view>

namespace LogText {

const std::size_t kLimit = 200;

std::string OneLine(std::string_view text, std::size_t limit = kLimit);

// Only the control characters escaped, nothing cut: the last line of defence
// of a log writer, for a text that may hold an outside text not yet made one line.
std::string EscapeControls(std::string_view text);

} // namespace LogText
