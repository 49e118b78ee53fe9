#pragma once
// The terminal the program runs in, standing in for the log console.
#include <string>

namespace rdv {

class ITerminal {
public:
    virtual ~ITerminal() = default;
    virtual void SetTitle(const std::string& title) = 0;
    // Console attribute: low nibble foreground, high nibble background.
    virtual void SetAttribute(int attribute) = 0;
    // Text in Windows-1252; converted for the terminal.
    virtual void Write(const std::string& text) = 0;
    // Columns x rows of the screen buffer.
    virtual void GetSize(int& columns, int& rows) = 0;
    virtual void Release() = 0;
};

} // namespace rdv
