#include "core/CommandLine.h"

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Number.h"
#include "core/UserFolder.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace {

constexpr const char* kValidOptions = "ceflLmsSwWx";
constexpr const char* kSource = "Main->ParseCommand";

// The second character of a token, or "" for a token shorter than that.
std::string SecondChar(const std::string& token) { return token.size() >= 2 ? token.substr(1, 1) : std::string(); }

}  // namespace

std::string NextToken(std::string& rest) {
    std::string token;
    while (!rest.empty()) {
        char c = rest.front();
        rest.erase(0, 1);
        if (c == ' ') return token;
        if (c == '-' && !token.empty()) {
            rest.insert(rest.begin(), '-');
            return token;
        }
        token += c;
    }
    return token;
}

void ParseCommand(Engine& engine) {
    std::string rest = engine.commandLine;
    char option = 'f';
    std::string token = NextToken(rest);
    while (!token.empty()) {
        if (token.front() == '-') {
            std::string letter = SecondChar(token);
            if (letter.empty() || std::string(kValidOptions).find(letter[0]) == std::string::npos) {
                // A lone "-" has no letter; the original's search of an
                // empty text in the option list succeeded, so it falls
                // through to the "Parameter error" below.
                if (!letter.empty()) RaiseError(ErrCommandLine, kSource, "Invalid parameter: " + letter);
            }
            option = letter.empty() ? '\0' : letter[0];
            token = token.size() > 2 ? token.substr(2) : std::string();
            switch (option) {
            case 'c':
                engine.log.OpenConsole(engine.platform.terminal.get());
                break;
            case 'e':
                engine.flags.editor = true;
                break;
            case 'f':
                break;
            case 'l':
                engine.log.OpenFile(WritablePath(engine, "log.txt"));
                break;
            case 'L':
                engine.flags.languageOverride = -1;
                break;
            case 'm':
                engine.flags.mouseRelease = true;
                break;
            case 's':
                engine.flags.soundOverride = 1;
                break;
            case 'S':
                engine.flags.soundOverride = 2;
                break;
            case 'w':
                engine.flags.displayOverrideGiven = true;
                engine.flags.displayOverrideWindowed = true;
                break;
            case 'W':
                engine.flags.displayOverrideGiven = true;
                engine.flags.displayOverrideWindowed = false;
                break;
            case 'x':
                engine.flags.meshDrawingOff = true;
                break;
            default:
                RaiseError(ErrCommandLine, kSource, "Parameter error: " + SecondChar(token));
            }
            if (option != 'L') option = 'f';
        }
        if (!token.empty()) {
            if (option == 'f') {
                engine.flags.startFile = token;
            } else if (option == 'L') {
                // The engine's own number reading: "0x2" is 0, "2.5" is 2.
                int32_t value = ValLong(token);
                engine.flags.languageOverride = value == 0 ? -1 : value;
                option = 'f';
            } else {
                RaiseError(ErrCommandLine, kSource, "Invalid parameter: " + SecondChar(token));
            }
        }
        token = NextToken(rest);
    }
}

} // namespace rdv
