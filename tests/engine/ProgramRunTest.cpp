// Runs the built game executable in an empty program folder, as a player
// would start it for the first time.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class EmptyProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("rdv_program_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::path built = fs::path(RDV_GAME_DIR) / "rondovar";
        ASSERT_TRUE(fs::exists(built)) << built;
        fs::copy_file(built, folder_ / "rondovar");
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    // Starts the copy with its stderr sent to stderr.txt, without a display.
    void Start(const std::vector<std::string>& args) {
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            if (::chdir("/") != 0) _exit(126);
            ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
            ::setenv("SDL_AUDIODRIVER", "dummy", 1);
            std::FILE* err = std::freopen((folder_ / "stderr.txt").c_str(), "w", stderr);
            (void)err;
            std::string exe = (folder_ / "rondovar").string();
            std::vector<char*> argv{exe.data()};
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            _exit(127);
        }
    }

    // Waits up to `seconds` for the program to end by itself.
    bool WaitForExit(int seconds, int& status) {
        for (int i = 0; i < seconds * 20; ++i) {
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::vector<std::string> LogLines() const {
        std::ifstream in(folder_ / "log.txt", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::vector<std::string> lines;
        std::string text = ss.str();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    bool LogHas(const std::string& line) const {
        for (auto& l : LogLines())
            if (l == line) return true;
        return false;
    }

    fs::path folder_;
    pid_t pid_ = -1;
};

TEST_F(EmptyProgramFolder, InvalidOptionWritesTheFatalReportAndEnds) {
    Start({"-l", "-q"});
    int status = 0;
    ASSERT_TRUE(WaitForExit(60, status)) << "the program did not end by itself";
    ASSERT_TRUE(WIFEXITED(status));
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "FATAL ERROR: 1008(0) in Main->ParseCommand: Invalid parameter: q");
    EXPECT_EQ(lines[1], "Error Code: Invalid Command Line");
    EXPECT_EQ(lines[2], "DLL Code: Unknown error");
    EXPECT_EQ(lines[3], "Log closing");
    // Nothing had started: no settings file was made.
    EXPECT_FALSE(fs::exists(folder_ / "data"));
    // With no display the question answers No and is printed instead.
    std::ifstream err(folder_ / "stderr.txt");
    std::stringstream ss;
    ss << err.rdbuf();
    EXPECT_NE(ss.str().find("Rondovar II has encountered an error and has closed."), std::string::npos);
}

TEST_F(EmptyProgramFolder, FirstStartLogsBannerAndSystemAndEndsOnTerm) {
    Start({"-l"});
    int status = 0;
    bool ended = false;
    // Wait for the settings step, give start-up a moment, then ask to quit
    // as the desktop or a terminal would.
    for (int i = 0; i < 600 && !LogHas("Loading Settings..."); ++i) {
        if (WaitForExit(0, status)) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(pid_, SIGTERM);
        ASSERT_TRUE(WaitForExit(60, status)) << "SIGTERM did not end the program";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the program did not exit normally";
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "RondovarEngine v1.0.29");
    EXPECT_EQ(lines[1].rfind("Processor type:", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Processor Count:", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Operating System:Linux", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], "Loading Settings...");
    EXPECT_EQ(lines.back(), "Log closing");
    ASSERT_TRUE(fs::exists(folder_ / "data" / "settings.dat"));
    EXPECT_EQ(fs::file_size(folder_ / "data" / "settings.dat"), 0u);
}

}  // namespace
