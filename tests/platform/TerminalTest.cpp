#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/AnsiTerminal.h"

namespace rdv {
namespace {

std::string Captured(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return out;
}

TEST(AnsiTerminal, AttributesMapTheConsolePalette) {
    EXPECT_EQ(AnsiAttribute(112), "\033[0;30;47m");      // black on light grey
    EXPECT_EQ(AnsiAttribute(112 + 2), "\033[0;32;47m");  // green
    EXPECT_EQ(AnsiAttribute(112 + 4), "\033[0;31;47m");  // red
    EXPECT_EQ(AnsiAttribute(112 + 6), "\033[0;33;47m");  // brown
    EXPECT_EQ(AnsiAttribute(112 + 3), "\033[0;36;47m");  // cyan
    EXPECT_EQ(AnsiAttribute(112 + 5), "\033[0;35;47m");  // magenta
    EXPECT_EQ(AnsiAttribute(112 + 1), "\033[0;34;47m");  // blue
    EXPECT_EQ(AnsiAttribute(0xF9), "\033[0;94;107m");    // bright blue on white
}

TEST(AnsiTerminal, WritesTitleColourAndLines) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        AnsiTerminal t(f, true);
        t.SetTitle("Rondovar II Log Console");
        t.SetAttribute(114);
        t.Write("caf\xE9 \x80\r\n");
        t.Release();
    }
    EXPECT_EQ(Captured(f), "\033]0;Rondovar II Log Console\007\033[0;32;47mcaf\xC3\xA9 \xE2\x82\xAC\033[K\r\n\033[0m");
    std::fclose(f);
}

TEST(AnsiTerminal, PlainOutputHasNoEscapes) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    AnsiTerminal t(f, false);
    t.SetTitle("x");
    t.SetAttribute(116);
    t.Write("one\r\ntwo\r\n");
    int columns = -1, rows = -1;
    t.GetSize(columns, rows);
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(rows, 0);
    t.Release();
    EXPECT_EQ(Captured(f), "one\ntwo\n");
    std::fclose(f);
}

}  // namespace
}  // namespace rdv
