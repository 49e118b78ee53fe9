#include "platform/AnsiTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace rdv {

namespace {

// Windows console colours are blue=1, green=2, red=4, intensity=8; ANSI
// orders them red=1, green=2, blue=4.
int AnsiIndex(int colour) { return ((colour & 4) ? 1 : 0) | (colour & 2) | ((colour & 1) ? 4 : 0); }

// Code points of 0x80..0x9F in Windows-1252 (0 where the page has none).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::string AnsiAttribute(int attribute) {
    int fg = attribute & 15;
    int bg = (attribute >> 4) & 15;
    int fgCode = (fg & 8 ? 90 : 30) + AnsiIndex(fg);
    int bgCode = (bg & 8 ? 100 : 40) + AnsiIndex(bg);
    return "\033[0;" + std::to_string(fgCode) + ";" + std::to_string(bgCode) + "m";
}

std::string Windows1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        char32_t cp = c;
        if (c >= 0x80 && c < 0xA0) cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : U'?';
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

AnsiTerminal::AnsiTerminal(std::FILE* out) : AnsiTerminal(out, out && ::isatty(::fileno(out))) {}

AnsiTerminal::AnsiTerminal(std::FILE* out, bool ansi) : out_(out), ansi_(ansi) {}

void AnsiTerminal::Send(const std::string& bytes) {
    if (!out_) return;
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    std::fflush(out_);
}

void AnsiTerminal::SetTitle(const std::string& title) {
    if (ansi_) Send("\033]0;" + Windows1252ToUtf8(title) + "\007");
}

void AnsiTerminal::SetAttribute(int attribute) {
    if (ansi_) Send(AnsiAttribute(attribute));
}

void AnsiTerminal::Write(const std::string& text) {
    std::string utf8 = Windows1252ToUtf8(text);
    if (ansi_) {
        // A console line is grey to its end; a terminal paints only what is
        // written, so erase the rest of each line in the current colours.
        std::string painted;
        for (char c : utf8) {
            if (c == '\r' || c == '\n') {
                if (c == '\r' || painted.empty() || painted.back() != '\r') painted += "\033[K";
            }
            painted += c;
        }
        utf8 = std::move(painted);
    } else {
        // Plain output keeps Unix line ends.
        std::string plain;
        for (size_t i = 0; i < utf8.size(); ++i) {
            if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
            plain += utf8[i];
        }
        utf8 = std::move(plain);
    }
    Send(utf8);
}

void AnsiTerminal::GetSize(int& columns, int& rows) {
    columns = rows = 0;
    if (!out_ || !ansi_) return;
    winsize ws{};
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &ws) == 0) {
        columns = ws.ws_col;
        rows = ws.ws_row;
    }
}

void AnsiTerminal::Release() {
    if (ansi_) Send("\033[0m");
}

} // namespace rdv
