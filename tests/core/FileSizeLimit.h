#pragma once
// Makes every write of this process past `bytes` bytes into a file fail
// with EFBIG, as a disk that fills up half-way through a save would; the
// previous limit and SIGXFSZ handling come back when it goes out of scope.
#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace rdv::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(size_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool ok_ = false;
};

} // namespace rdv::test
