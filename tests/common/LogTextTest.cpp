// Outside texts made one log line: escaped, cut, never split inside a
// character or an escape.

#include <gtest/gtest.h>

#include <string>

#include "common/LogText.h"

namespace {

struct Case {
    const char* rule;
    std::string text;
    std::size_t limit;
    std::string line;
};

TEST(LogText, OneLineEscapesAndCuts) {
    const Case cases[] = {
        {"plain text stays", "Complete: OK", 200, "Complete: OK"},
        {"a forged line stays on this one", "ok\r\n2024/03/05 09:07:02|-|Launcher: FORGED", 200,
         "ok\\r\\n2024/03/05 09:07:02|-|Launcher: FORGED"},
        {"tab, NUL, ESC and DEL", std::string("a\tb\0c\x1b[31md\x7f", 12), 200,
         "a\\tb\\x00c\\x1B[31md\\x7F"},
        {"a backslash is doubled, so an escape cannot be forged", "C:\\n", 200, "C:\\\\n"},
        {"cut at the limit", std::string(250, 'x'), 200, std::string(200, 'x')},
        {"an escape that does not fit is left out whole", "abc\n", 4, "abc"},
        {"a character that does not fit is left out whole", "ab\xE3\x81\xAB", 4, "ab"},
        {"UTF-8 passes", "\xE6\x8E\xA5\xE7\xB6\x9A", 200, "\xE6\x8E\xA5\xE7\xB6\x9A"},
        {"a broken sequence cannot swallow a line feed", "\xE3\n", 200, "\xE3\\n"},
        {"empty", "", 200, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogText::OneLine(c.text, c.limit), c.line) << c.rule;
}

TEST(LogText, EscapeControlsLeavesEverythingElse) {
    EXPECT_EQ(LogText::EscapeControls("C:\\dir\nnext"), "C:\\dir\\nnext");
    EXPECT_EQ(LogText::EscapeControls(std::string(300, 'y')), std::string(300, 'y'));
}

} // namespace
