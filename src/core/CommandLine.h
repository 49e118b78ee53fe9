#pragma once
// The command line: single-letter options after a dash, "-L" with an
// optional number, and a bare word naming the level to start with.
#include <string>

namespace rdv {

class Engine;

// Removes and returns the next token from the front of `rest`: a blank ends
// a token (and is dropped), a "-" after some text starts the next one.
std::string NextToken(std::string& rest);

// Parses engine.commandLine into engine.flags; "-c" and "-l" open the log
// outputs at once. An unknown option raises error 1008.
void ParseCommand(Engine& engine);

} // namespace rdv
