#pragma once
// engCampaign: decides which level comes next. A campaign is an ordered
// list of level names from a "dat" file in "data"; the index reached in
// each campaign is kept in data/progress.dat as 16-byte records (a 12-byte
// right-aligned name key, then a little-endian 32-bit index).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rdv {

class Engine;

class engCampaign {
public:
    enum Mode : int32_t { Playing = 1, Editor = 3, MenuBackground = 4, Booted = 5 };
    static constexpr size_t kKeyLength = 12;
    static constexpr int64_t kRecordLength = 16;

    explicit engCampaign(Engine& engine) : engine_(engine) {}

    // Raises 1002 / 1004 / 1005 with the source "Engine->Game->LoadCampaign";
    // a name longer than the key is refused (1005), since cutting it would
    // let two campaigns share a record.
    void LoadCampaign(const std::string& name);
    // start 0: continue from the saved progress; else the level index.
    void Bootcampaign(int32_t start);
    void BootEditor() { mode = Editor; }
    // Called when a level's end countdown runs out: 1 completed, else replay.
    void LoadNext(int32_t status);

    int32_t LoadProgress();
    void SaveProgress(int32_t level);

    // The name right-aligned in the key width.
    static std::string KeyOf(const std::string& name);

    int32_t mode = MenuBackground;
    std::vector<std::string> levels{1};
    int32_t count = 0;
    int32_t current = 0;
    int32_t MaxLevel = 0;
    std::string key = std::string(kKeyLength, ' ');

    // Loads a level as the new current level (the game sets it); null:
    // nothing is loaded.
    std::function<void(const std::string& name)> loadLevel;
    // Ends the current level with a status (the level's Endlevel).
    std::function<void(int32_t status)> endLevel;
    // Resets every ball of the current level to its start.
    std::function<void()> resetBalls;

private:
    void Load(const std::string& name) {
        if (loadLevel) loadLevel(name);
    }
    // progress.dat where it is read: the player's copy first (core/UserFolder.h).
    std::string ProgressPath() const;

    Engine& engine_;
};

} // namespace rdv
