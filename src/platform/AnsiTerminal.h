#pragma once
// The log console on the terminal the program runs in: console attributes
// become ANSI colours, the title an OSC escape, text Windows-1252 -> UTF-8.
#include <cstdio>
#include <string>

#include "platform/Terminal.h"

namespace rdv {

class AnsiTerminal final : public ITerminal {
public:
    // `out` is written to; colours and title are sent only when `ansi`
    // (by default: when `out` is a terminal).
    explicit AnsiTerminal(std::FILE* out = stdout);
    AnsiTerminal(std::FILE* out, bool ansi);

    void SetTitle(const std::string& title) override;
    void SetAttribute(int attribute) override;
    void Write(const std::string& text) override;
    void GetSize(int& columns, int& rows) override;
    void Release() override;

private:
    void Send(const std::string& bytes);

    std::FILE* out_;
    bool ansi_;
};

// The escape sequence that selects a console attribute (low nibble text
// colour, high nibble background, Windows palette order).
std::string AnsiAttribute(int attribute);

// Windows-1252 bytes as UTF-8.
std::string Windows1252ToUtf8(const std::string& text);

} // namespace rdv
