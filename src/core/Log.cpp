#include "core/Log.h"

#include <system_error>

#include "platform/Terminal.h"

namespace rdv {

Log::Log() = default;

Log::~Log() {
    if (file_) std::fclose(file_);
}

void Log::Write(const std::string& message, int colour) {
    if (capture_) capture_->push_back({message, colour});
    if (console_) {
        console_->SetAttribute((colour & 15) + 112);
        if (console_) console_->Write(message + "\r\n");
    }
    if (file_) {
        std::fwrite(message.data(), 1, message.size(), file_);
        std::fwrite("\r\n", 1, 2, file_);
        // Flushed per line, so a crash leaves a readable log.
        std::fflush(file_);
    }
}

void Log::OpenConsole(ITerminal* terminal) {
    if (!terminal) return;
    console_ = terminal;
    console_->SetTitle("Rondovar II Log Console");
    console_->SetAttribute(112);
    ClearConsole();
}

void Log::OpenFile(const std::filesystem::path& path) {
    if (file_) std::fclose(file_);
    // The player's own folder may not exist yet; if it cannot be made, the
    // open below fails and the log stays silent, as for any unwritable log.
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    file_ = std::fopen(path.string().c_str(), "wb");
}

void Log::ClearConsole() {
    if (!console_) return;
    int columns = 0, rows = 0;
    console_->GetSize(columns, rows);
    if (columns > 0 && rows > 0) console_->Write(std::string(static_cast<size_t>(columns) * rows, ' '));
}

void Log::CloseLog() {
    Write("Log closing", 0);
    if (console_) {
        console_->Release();
        console_ = nullptr;
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

} // namespace rdv
