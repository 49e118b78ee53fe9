#pragma once
// The 32-bit millisecond tick count. The game reads time only through this
// interface, so tests and the simulator can drive it by hand.
#include <cstdint>

namespace rdv {

class IClock {
public:
    virtual ~IClock() = default;
    virtual uint32_t GetTickCount() = 0;
};

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system count.
class SystemClock final : public IClock {
public:
    uint32_t GetTickCount() override;
};

// A clock that moves only when told to.
class ManualClock final : public IClock {
public:
    explicit ManualClock(uint32_t start = 0) : now_(start) {}
    uint32_t GetTickCount() override { return now_; }
    void Advance(uint32_t ms) { now_ += ms; }
    void Set(uint32_t ms) { now_ = ms; }

private:
    uint32_t now_;
};

} // namespace rdv
