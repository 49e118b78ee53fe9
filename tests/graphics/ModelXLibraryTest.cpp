// Assimp opened at the first ".x" model instead of linked: not mapped
// before, models read through it as before, and a clear load error (never
// a crash) where the library cannot be opened.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "XModelHost.h"
#include "core/Error.h"
#include "graphics/ModelX.h"
#include "graphics/ModelXLibrary.h"

using namespace rdv;

namespace {

using LogHost = test::XModelHost;

std::filesystem::path Models() { return std::filesystem::path(RDV_GAME_DIR) / "models"; }

bool AssimpMapped() {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("libassimp") != std::string::npos;
}

// Restores the library name a test changed, so later tests read models.
struct NameGuard {
    std::string saved = AssimpLibraryName();
    ~NameGuard() { SetAssimpLibraryName(saved); }
};

} // namespace

TEST(XLibrary, AssimpIsMappedOnlyOnceAnXModelIsRead) {
    if (AssimpMapped()) {
        // An earlier test of this process read a model: ask a fresh process.
        const std::string self = std::filesystem::read_symlink("/proc/self/exe");
        const std::string command =
            "'" + self + "' --gtest_filter=XLibrary.AssimpIsMappedOnlyOnceAnXModelIsRead > /dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return;
    }
    LogHost host;
    ModelData m;
    LoadXMesh(m, Models() / "test_mesh.x", host);
    EXPECT_TRUE(AssimpMapped());
    EXPECT_EQ(m.sequences.size(), 2u);
}

TEST(XLibrary, AMissingLibraryIsTheLoadObjectErrorWithTheReasonLogged) {
    NameGuard guard;
    SetAssimpLibraryName("libassimp-not-installed.so.0");
    std::string why;
    EXPECT_EQ(OpenAssimp(why), nullptr);
    EXPECT_NE(why.find("libassimp-not-installed.so.0"), std::string::npos) << why;

    LogHost host;
    ModelData m;
    try {
        LoadXMesh(m, Models() / "test_mesh.x", host);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFileAccess);
        EXPECT_EQ(e.source, "LoadObject");
        EXPECT_EQ(e.description, "Error loading Mesh");
    }
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_NE(host.log[0].find("libassimp-not-installed.so.0"), std::string::npos) << host.log[0];
    EXPECT_TRUE(host.textures.empty());

    // A file the guard refuses fails the same way without asking for Assimp.
    LogHost quiet;
    EXPECT_THROW(LoadXMesh(m, Models() / "no_such_mesh.x", quiet), EngineError);
    EXPECT_TRUE(quiet.log.empty());
}

TEST(XLibrary, ALibraryWithoutTheImporterIsRefusedAndTheRightOneStillReads) {
    NameGuard guard;
    // A library that exists but is not Assimp: dlopen succeeds, the
    // functions are missing.
    SetAssimpLibraryName("libz.so.1");
    std::string why;
    EXPECT_EQ(OpenAssimp(why), nullptr);
    EXPECT_NE(why.find("aiImportFileFromMemory"), std::string::npos) << why;
    LogHost failing;
    ModelData m;
    EXPECT_THROW(LoadXMesh(m, Models() / "test_meshbin.x", failing), EngineError);

    SetAssimpLibraryName(guard.saved);
    LogHost host;
    LoadXMesh(m, Models() / "test_meshbin.x", host);
    EXPECT_EQ(m.renderMode, kModeX);
    EXPECT_EQ(m.sequences.size(), 2u);
    EXPECT_EQ(host.textures, (std::vector<std::string>{"none", "test_checker"}));
    EXPECT_TRUE(host.log.empty());
}
