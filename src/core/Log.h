#pragma once
// The log: one line a call, to the log console and/or log.txt. Colour 0-15
// is used as a level (0 details, 2 start-up, 3 level notes, 4 warnings and
// errors, 5 model warnings, 6 settings and path warnings).
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace rdv {

class ITerminal;

class Log {
public:
    Log();
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // One line to every open output. Never fails visibly.
    void Write(const std::string& message, int colour);
    void operator()(const std::string& message, int colour) { Write(message, colour); }

    // -c: the terminal becomes the log console (title, grey background, cleared).
    void OpenConsole(ITerminal* terminal);
    // -l: log.txt in the program folder (or the player's folder), overwritten.
    void OpenFile(const std::filesystem::path& path);
    void ClearConsole();
    // "Log closing", then both outputs released.
    void CloseLog();

    bool ConsoleOpen() const { return console_ != nullptr; }
    bool FileOpen() const { return file_ != nullptr; }

    // Tests and tools see every line as written, whatever outputs are open.
    struct Line {
        std::string message;
        int colour;
    };
    void SetCapture(std::vector<Line>* sink) { capture_ = sink; }

private:
    ITerminal* console_ = nullptr;
    std::FILE* file_ = nullptr;
    std::vector<Line>* capture_ = nullptr;
};

} // namespace rdv
