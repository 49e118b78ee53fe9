// The game installed for all users: `cmake --install` into a temporary
// prefix that is then made read-only, and the game and its simulator run
// from it with a temporary HOME. The player's files (log, progress,
// settings, the editor's level) must appear under that HOME and nothing may
// be written into the prefix.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "core/UserFolder.h"
#include "level/Level.h"
#include "headless/Simulation.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs argv with `env` added to the environment, output to `log`; waits up
// to `seconds`, then SIGTERM once `stopWhen` holds (if given). Returns the
// wait status, or -1 when it had to be killed.
int RunProgram(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
        const fs::path& log, int seconds, const std::function<bool()>& stopWhen = {}) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::chdir("/") != 0) _exit(126);
        ::unsetenv("XDG_DATA_HOME");
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    bool termSent = false;
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        if (!termSent && stopWhen && stopWhen()) {
            // Let the frame loop run a moment, then quit as a desktop would.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::kill(pid, SIGTERM);
            termSent = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Every entry below `root` (links not followed) with its size and time.
std::map<std::string, std::pair<uintmax_t, int64_t>> Listing(const fs::path& root) {
    std::map<std::string, std::pair<uintmax_t, int64_t>> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        ::lstat(it->path().c_str(), &st);
        out[fs::relative(it->path(), root).string()] = {uintmax_t(st.st_size),
                                                        int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    return out;
}

void SetWritable(const fs::path& root, bool writable) {
    auto apply = [&](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return;
        mode_t mode = st.st_mode & 07777;
        mode = writable ? (mode | S_IWUSR) : (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
        ::chmod(p.c_str(), mode);
    };
    apply(root);
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        apply(it->path());
}

class InstalledGame : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("rdv_installed_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "home");
        prefix_ = root_ / "prefix";
        const int status = RunProgram({RDV_CMAKE_COMMAND, "--install", RDV_BINARY_DIR, "--prefix", prefix_.string()}, {},
                               root_ / "install.txt", 120);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(root_ / "install.txt");
        SetWritable(prefix_, false);
        before_ = Listing(prefix_);
    }
    void TearDown() override {
        std::error_code ec;
        if (fs::exists(prefix_, ec)) SetWritable(prefix_, true);
        fs::remove_all(root_, ec);
    }
    fs::path UserFolder() const { return root_ / "home" / ".local" / "share" / "rondovar"; }
    std::vector<std::pair<std::string, std::string>> Env() const {
        return {{"HOME", (root_ / "home").string()}, {"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
    }

    fs::path root_, prefix_;
    std::map<std::string, std::pair<uintmax_t, int64_t>> before_;
};

TEST_F(InstalledGame, ReadOnlyPrefixKeepsThePlayersFilesUnderHome) {
    const fs::path program = prefix_ / "lib" / "rondovar";
    ASSERT_TRUE(fs::exists(prefix_ / "bin" / "rondovar"));
    ASSERT_TRUE(fs::exists(program / "data" / "settings.dat")) << "the data folders reached from the program folder";
    EXPECT_FALSE(fs::exists(program / "models" / "test_simple.tcm")) << "test content is not installed";

    // The game from the PATH entry, in the editor, with a log.
    const fs::path log = UserFolder() / "log.txt";
    const int status =
        RunProgram({(prefix_ / "bin" / "rondovar").string(), "-l", "-e"}, Env(), root_ / "game.txt", 120,
            [&] { return ReadText(log).find("Loading Menu...") != std::string::npos; });
    ASSERT_NE(status, -1) << "the game did not end on SIGTERM\n" << ReadText(root_ / "game.txt");
    const std::string text = ReadText(log);
    EXPECT_EQ(text.rfind("RondovarEngine v1.0.29\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("Log closing\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("FATAL"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(UserFolder() / "data" / "settings.dat")) << "the shipped settings serve until a save";

    // The simulator plays the Training campaign through with the kept
    // solutions, exactly as the README shows: the progress is saved as the
    // game saves it.
    const fs::path solutions = fs::path(RDV_SOURCE_DIR) / "tests/content/solutions";
    const int sim = RunProgram({(prefix_ / "bin" / "rondovar-sim").string(), "--solutions", solutions.string(),
                                "--campaign", "training"},
                               Env(), root_ / "sim.txt", 120);
    ASSERT_TRUE(WIFEXITED(sim) && WEXITSTATUS(sim) == 0) << ReadText(root_ / "sim.txt");
    ASSERT_NE(ReadText(root_ / "sim.txt").find("endlevel 1"), std::string::npos) << ReadText(root_ / "sim.txt");
    const std::string progress = ReadText(UserFolder() / "data" / "progress.dat");
    ASSERT_EQ(progress.size(), 16u);
    EXPECT_EQ(progress.substr(0, 12), "    training");

    // Saving the options and the editor's level, as the menu does, from an
    // engine set up as main sets it up for this program folder.
    {
        const char* oldHome = std::getenv("HOME");
        const std::string keep = oldHome ? oldHome : "";
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        Simulation game(program);
        Engine& engine = game.engine();
        engine.userFolder = ChooseUserFolder(program);
        if (oldHome) ::setenv("HOME", keep.c_str(), 1);
        else ::unsetenv("HOME");
        ASSERT_EQ(engine.userFolder, UserFolder());
        LoadSettings(engine);
        EXPECT_EQ(engine.settings.frequency, 44100) << "the shipped settings";
        engine.settings.musicVolume = 0.5f;
        SaveSettings(engine);
        game.Load("training1");
        game.level()->SaveLevel("save");
    }
    EXPECT_EQ(fs::file_size(UserFolder() / "data" / "settings.dat"), 67u);
    EXPECT_GT(fs::file_size(UserFolder() / "maps" / "save.tcs"), 100u);

    EXPECT_EQ(Listing(prefix_), before_) << "something was written into the prefix";
}

}  // namespace
}  // namespace rdv
