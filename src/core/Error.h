#pragma once
// The one error type of the engine: number, source, description and the
// platform's last error code ("DLL code").
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace rdv {

class EngineError : public std::runtime_error {
public:
    EngineError(int32_t number, std::string source, std::string description, int32_t dllCode = 0)
        : std::runtime_error(source + ": " + description),
          number(number), dllCode(dllCode), source(std::move(source)), description(std::move(description)) {}

    int32_t number;
    int32_t dllCode;
    std::string source;
    std::string description;
};

// Program error numbers.
enum ErrorNumber : int32_t {
    ErrSubscript = 9,            // "Subscript out of range"
    ErrDevice = 1001,
    ErrFileAccess = 1002,
    ErrColourDepth = 1003,
    ErrFileType = 1004,
    ErrFormat = 1005,
    ErrCommandLine = 1008,
    ErrDllMissing = 1009,
    ErrMoveChain = 1010,
    ErrDllStart = 1011,
};

[[noreturn]] inline void RaiseError(int32_t number, const std::string& source, const std::string& description,
                                    int32_t dllCode = 0) {
    throw EngineError(number, source, description, dllCode);
}

// The platform's code for the failure just seen (errno), for the error's DLL
// code; read it before anything else can change it.
inline int32_t PlatformErrorCode() { return static_cast<int32_t>(errno); }

// Rethrows an engine error with a new source; the caller catches and passes
// the error on, as the step names of the source path demand.
[[noreturn]] inline void RethrowWithSource(const EngineError& e, const std::string& source) {
    throw EngineError(e.number, source, e.description, e.dllCode);
}

} // namespace rdv
