// ".x" meshes through Assimp: the text and the binary form of the same
// two-material quad made by the content generator, files written by other
// programs (Debian's assimp-testmodels), and the hostile files the fuzzer
// found, which are its seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include <sys/resource.h>
#include <zlib.h>
#include <unistd.h>

#include "XModelHost.h"
#include "core/Error.h"
#include "graphics/ModelX.h"

using namespace rdv;

namespace {

using XHost = test::XModelHost;

std::filesystem::path Models() { return std::filesystem::path(RDV_GAME_DIR) / "models"; }

void ExpectTestQuad(const ModelData& m, const XHost& host) {
    EXPECT_EQ(m.renderMode, kModeX);
    ASSERT_EQ(m.sequences.size(), 2u);
    ASSERT_EQ(m.xMaterials.size(), 2u);
    // One subset per material, each one triangle.
    EXPECT_EQ(m.sequences[0].count, 1);
    EXPECT_EQ(m.sequences[1].count, 1);
    EXPECT_EQ(m.sequences[0].material, 0);
    EXPECT_EQ(m.sequences[1].material, 1);
    // The material colours, ambient = diffuse.
    EXPECT_FLOAT_EQ(m.xMaterials[0].Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(m.xMaterials[0].Diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(m.xMaterials[0].Ambient.r, 1.0f);
    EXPECT_FLOAT_EQ(m.xMaterials[0].Ambient.g, 0.0f);
    EXPECT_FLOAT_EQ(m.xMaterials[1].Ambient.b, 1.0f);
    // No texture file: "none"; a file name loads by its stem.
    ASSERT_EQ(host.textures.size(), 2u);
    EXPECT_EQ(host.textures[0], "none");
    EXPECT_EQ(host.textures[1], "test_checker");
    // The first triangle is (0,1,1) (0,-1,1) (0,-1,-1) in the file's own
    // left-handed coordinates and order, facing +x.
    ASSERT_EQ(m.vertices.size(), 6u);
    const auto& a = m.vertices[0];
    const auto& b = m.vertices[1];
    const auto& c = m.vertices[2];
    EXPECT_FLOAT_EQ(a.y, 1.0f);
    EXPECT_FLOAT_EQ(a.z, 1.0f);
    EXPECT_FLOAT_EQ(b.y, -1.0f);
    EXPECT_FLOAT_EQ(b.z, 1.0f);
    EXPECT_FLOAT_EQ(c.y, -1.0f);
    EXPECT_FLOAT_EQ(c.z, -1.0f);
    EXPECT_NEAR(a.nx, 1.0f, 1e-5);
    // Texture coordinates as written (v down).
    EXPECT_FLOAT_EQ(b.u, 1.0f);
    EXPECT_FLOAT_EQ(b.v, 0.0f);
    EXPECT_FLOAT_EQ(c.v, 1.0f);
}

} // namespace

TEST(XMesh, TextFile) {
    XHost host;
    ModelData m;
    LoadXMesh(m, Models() / "test_mesh.x", host);
    ExpectTestQuad(m, host);
}

TEST(XMesh, BinaryFile) {
    XHost host;
    ModelData m;
    LoadXMesh(m, Models() / "test_meshbin.x", host);
    ExpectTestQuad(m, host);
}

TEST(XMesh, MissingOrBrokenFileIsLoadObjectError) {
    XHost host;
    ModelData m;
    try {
        LoadXMesh(m, Models() / "no_such_mesh.x", host);
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFileAccess);
        EXPECT_EQ(e.source, "LoadObject");
        EXPECT_EQ(e.description, "Error loading Mesh");
    }
    auto broken = std::filesystem::temp_directory_path() / "rdv_broken_mesh.x";
    {
        FILE* f = std::fopen(broken.c_str(), "wb");
        std::fputs("xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;", f);
        std::fclose(f);
    }
    EXPECT_THROW(LoadXMesh(m, broken, host), EngineError);
    std::filesystem::remove(broken);
}

// A binary mesh whose number lists claim more numbers than the file holds,
// or whose counts exceed the file, is refused before the importer sizes
// anything from them (a fuzzed file once made it allocate a gigabyte).
TEST(XMesh, BinaryCountsBeyondTheFileAreRefused) {
    std::ifstream in(Models() / "test_meshbin.x", std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(good.size(), 40u);
    const auto path = std::filesystem::temp_directory_path() / "rdv_damaged_meshbin.x";
    auto load = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        XHost host;
        ModelData m;
        LoadXMesh(m, path, host);
    };
    // The first integer list (token 6) holds the vertex count.
    const size_t list = good.find(std::string("\x06\x00", 2), 16);
    ASSERT_NE(list, std::string::npos);
    for (const std::string& count : {std::string("\x01\x00\x04\x00", 4), std::string("\xff\xff\xff\xff", 4)}) {
        std::string bad = good;
        bad.replace(list + 2, 4, count);
        EXPECT_THROW(load(bad), EngineError);
    }
    // A vertex count far beyond the file in an otherwise whole list.
    std::string bad = good;
    bad.replace(list + 6, 4, std::string("\x00\x00\x00\x40", 4));
    try {
        load(bad);
        ADD_FAILURE() << "a vertex count of 2^30 was accepted";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.source, "LoadObject");
        EXPECT_EQ(e.description, "Error loading Mesh");
    }
    // The file itself still loads after all that.
    load(good);
    std::filesystem::remove(path);
}

// A material list that ends up with no material (none given, or only data
// objects the importer steps over) is refused: the importer would look up
// each face's material in the empty list and crash (a fuzzed file did).
// A list that names its material by reference still loads.
TEST(XMesh, MaterialListWithoutMaterialsIsRefused) {
    const auto path = std::filesystem::temp_directory_path() / "rdv_listless_mesh.x";
    auto read = [](const std::string& name) {
        std::ifstream in(Models() / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    // Every "Material" object renamed, so that the list holds only unknown objects.
    auto renamed = [](std::string bytes) {
        for (size_t at = bytes.find("Material"); at != std::string::npos; at = bytes.find("Material", at + 1))
            if (at < 4 || bytes.compare(at - 4, 4, "Mesh") != 0) bytes[at + 3] = 'x';
        return bytes;
    };
    auto load = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        XHost host;
        ModelData m;
        LoadXMesh(m, path, host);
        return m;
    };
    auto refused = [&](const std::string& bytes, const char* what) {
        try {
            load(bytes);
            ADD_FAILURE() << what << " was accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number, ErrFileAccess) << what;
            EXPECT_EQ(e.description, "Error loading Mesh") << what;
        }
    };
    const std::string text = read("test_mesh.x"), binary = read("test_meshbin.x");
    ASSERT_NE(text.find("Material Red"), std::string::npos);
    refused(renamed(text), "a text list of unknown objects");
    refused(renamed(binary), "a binary list of unknown objects");

    const std::string head = "xof 0302txt 0032\n"
                             "Mesh Quad {\n 3;\n 0.0;1.0;1.0;,\n 0.0;-1.0;1.0;,\n 0.0;-1.0;-1.0;;\n"
                             " 1;\n 3;0,1,2;;\n MeshMaterialList {\n  1;\n  1;\n  0;;\n";
    refused(head + " }\n}\n", "an empty list");
    refused(head + "  # Material {\n }\n}\n", "a list whose material is commented out");
    const ModelData m = load(head + "  { Red }\n }\n}\n");
    EXPECT_EQ(m.vertices.size(), 3u);
    const ModelData own = load(head + "  Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n }\n}\n");
    ASSERT_EQ(own.xMaterials.size(), 1u);
    EXPECT_FLOAT_EQ(own.xMaterials[0].Diffuse.r, 1.0f);
    std::filesystem::remove(path);
}

// Counts the importer would size arrays from are bounded by the file in the
// text form too, and a binary file with bytes that are no token (text pasted
// into it, say) is refused: the importer would read a count out of them. A
// fuzzed file of each kind made it ask for gigabytes.
TEST(XMesh, CountsTheFileCannotHoldAreRefused) {
    const auto path = std::filesystem::temp_directory_path() / "rdv_counted_mesh.x";
    auto load = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        XHost host;
        ModelData m;
        LoadXMesh(m, path, host);
    };
    auto mesh = [](const std::string& vertices, const std::string& faces) {
        return "xof 0302txt 0032\nMesh Quad {\n " + vertices +
               ";\n 0.0;1.0;1.0;,\n 0.0;-1.0;1.0;,\n 0.0;-1.0;-1.0;;\n " + faces + ";\n 3;0,1,2;;\n}\n";
    };
    EXPECT_NO_THROW(load(mesh("3", "1")));
    // A second face of no indices (the importer's triangulation asserts on
    // it) and a face counted but not there.
    const std::string noIndices = "xof 0302txt 0032\nMesh Quad {\n 3;\n 0.0;1.0;1.0;,\n 0.0;-1.0;1.0;,\n "
                                  "0.0;-1.0;-1.0;;\n 2;\n 3;0,1,2;,\n 0;;\n}\n";
    EXPECT_THROW(load(noIndices), EngineError);
    for (const auto& [vertices, faces] : {std::pair{"999999999", "1"}, {"3", "999999999"}, {"3", "-1"}}) {
        try {
            load(mesh(vertices, faces));
            ADD_FAILURE() << vertices << " vertices, " << faces << " faces accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.description, "Error loading Mesh");
        }
    }

    std::ifstream in(Models() / "test_meshbin.x", std::ios::binary);
    std::string binary((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Text where the face count's list should start: ";;\n   " reads as a
    // token word and a count of half a billion.
    const size_t faces = binary.find(std::string("\x06\x00\x09\x00", 4));
    ASSERT_NE(faces, std::string::npos);
    binary.insert(faces, ";;\n   0.0;");
    EXPECT_THROW(load(binary), EngineError);
    std::filesystem::remove(path);
}

namespace {

// A binary mesh whose vertex count is the length of a name: read as binary,
// the next name's bytes would be taken as floats and, from the middle of
// them, a list token and a face count of 33 million, room for which (800 MB)
// would be made before a single face is read.
std::string OutOfStepMesh() {
    auto word = [](unsigned v) { return std::string{char(v & 255), char(v >> 8)}; };
    auto dword = [](uint32_t v) { return std::string{char(v & 255), char(v >> 8 & 255), char(v >> 16 & 255), char(v >> 24)}; };
    std::string content(11, 'x');
    content += word(6) + dword(0x7FFFFFFF) + dword(0x02000000) + std::string(3, 'x');
    return "xof 0302bin 0032" + word(1) + dword(4) + "Mesh" + word(0x0a) + word(1) + dword(1) + "A" + word(1) +
           dword(static_cast<uint32_t>(content.size())) + content + word(0x0b);
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST(XMesh, ACountReadOutOfStepFailsInsteadOfTakingGigabytes) {
    const auto path = std::filesystem::temp_directory_path() / ("rdv_out_of_step_" + std::to_string(getpid()) + ".x");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << OutOfStepMesh();
    const long before = PeakKilobytes();
    XHost host;
    ModelData m;
    try {
        LoadXMesh(m, path, host);
        ADD_FAILURE() << "the mesh loaded";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 1002);
        EXPECT_EQ(e.description, "Error loading Mesh");
    }
    std::filesystem::remove(path);
    EXPECT_LT(PeakKilobytes() - before, 1L << 19) << "the loader grew by half a gigabyte or more";

    // A sound mesh still loads after it.
    XHost again;
    ModelData quad;
    ASSERT_NO_THROW(LoadXMesh(quad, Models() / "test_meshbin.x", again));
    EXPECT_EQ(quad.sequences.size(), 2u);
}

namespace {

const std::filesystem::path kRealFiles = "/usr/share/assimp/models/X";

// Every file of a folder whose name ends in ".x", any case.
std::vector<std::filesystem::path> XFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".x") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

// Text (0303, with templates, frames, animation sets, vertex colours and
// texture names), binary (0302 and 0303) and compressed files of several
// exporters all load, with their vertices and materials.
TEST(XMesh, FilesWrittenByOtherProgramsLoad) {
    const auto files = XFiles(kRealFiles);
    ASSERT_GE(files.size(), 8u) << "no assimp-testmodels in " << kRealFiles << ": run scripts/install-deps";
    std::map<std::string, ModelData> loaded;
    std::map<std::string, std::vector<std::string>> textures;
    for (const auto& file : files) {
        XHost host;
        ModelData m;
        try {
            LoadXMesh(m, file, host);
        } catch (const EngineError& e) {
            ADD_FAILURE() << file.filename() << ": " << e.description;
            continue;
        }
        EXPECT_GT(m.vertices.size(), 0u) << file.filename();
        EXPECT_EQ(m.vertices.size() % 3, 0u) << file.filename();
        EXPECT_EQ(m.sequences.size(), m.xMaterials.size()) << file.filename();
        for (const auto& v : m.vertices)
            ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << file.filename();
        textures[file.filename().string()] = host.textures;
        loaded[file.filename().string()] = std::move(m);
    }
    // The cube in its three forms: twelve triangles each.
    for (const char* cube : {"test_cube_text.x", "test_cube_binary.x", "test_cube_compressed.x"})
        EXPECT_EQ(loaded[cube].vertices.size(), 36u) << cube;
    EXPECT_EQ(loaded["fromtruespace_bin32.x"].vertices.size(), 6656u * 3);
    // Vertex colours reach the vertices.
    std::set<uint32_t> colours;
    for (const auto& v : loaded["kwxport_test_cubewithvcolors.x"].vertices) colours.insert(v.color);
    EXPECT_GT(colours.size(), 1u);
    // A texture goes to the texture table under its name as the file writes it.
    EXPECT_EQ(textures["test.x"], std::vector<std::string>{".\\test.png"});
    const auto& kw = textures["kwxport_test_cubewithvcolors.x"];
    ASSERT_EQ(kw.size(), 3u);
    EXPECT_EQ(kw[0], "C:\\code\\sourceforge\\kwxport\\trunkMerged\\test\\data\\bottom.tga");
}

// What the fuzzer found, kept as its seeds: each is refused as the mesh
// error and none crashes, reads out of bounds or takes the memory its
// counts ask for.
TEST(XMesh, HostileFilesAreRefused) {
    const std::filesystem::path seeds = std::filesystem::path(RDV_FUZZ_SEEDS) / "fuzz_x";
    const char* const hostile[] = {"compressed_broken_block.x", "deep_frames.x",        "empty_face.x",
                                   "face_count_beyond_file.x",  "face_index_beyond.x",  "listless_materials.x",
                                   "normal_index_beyond.x",     "out_of_step.x",        "string_beyond_file.x",
                                   "two_material_lists.x",      "weight_vertex_beyond.x"};
    for (const char* name : hostile) {
        ASSERT_TRUE(std::filesystem::exists(seeds / name)) << name;
        XHost host;
        ModelData m;
        try {
            LoadXMesh(m, seeds / name, host);
            ADD_FAILURE() << name << " loaded";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number, ErrFileAccess) << name;
            EXPECT_EQ(e.source, "LoadObject") << name;
            EXPECT_EQ(e.description, "Error loading Mesh") << name;
        }
    }
    // Frames nested deep enough to exhaust the importer's stack.
    const auto path = std::filesystem::temp_directory_path() / ("rdv_deep_frames_" + std::to_string(getpid()) + ".x");
    {
        std::ofstream out(path, std::ios::binary);
        out << "xof 0302txt 0032\n";
        for (int i = 0; i < 200000; ++i) out << "Frame{\n";
    }
    XHost host;
    ModelData m;
    EXPECT_THROW(LoadXMesh(m, path, host), EngineError);
    std::filesystem::remove(path);
    // The seed of a sound file still loads.
    EXPECT_NO_THROW(LoadXMesh(m, seeds / "tri.x", host));
}

namespace {

// `plain` (the bytes after the 16-byte header) in the compressed form:
// blocks of at most 32 KB, each a raw deflate stream that may refer back to
// the block before it, as DirectX writes them.
std::string Compressed(const std::string& header, const std::string& plain) {
    auto word = [](size_t v) { return std::string{char(v & 255), char(v >> 8 & 255)}; };
    std::string out = header;
    const uint32_t total = static_cast<uint32_t>(plain.size() + 16);
    out += std::string{char(total & 255), char(total >> 8 & 255), char(total >> 16 & 255), char(total >> 24)};
    for (size_t at = 0; at < plain.size(); at += 32768) {
        const size_t n = std::min<size_t>(32768, plain.size() - at);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (at > 0) deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(plain.data() + at - 32768), 32768);
        std::string packed(deflateBound(&z, n), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data() + at));
        z.avail_in = static_cast<uInt>(n);
        z.next_out = reinterpret_cast<Bytef*>(packed.data());
        z.avail_out = static_cast<uInt>(packed.size());
        deflate(&z, Z_FINISH);
        packed.resize(packed.size() - z.avail_out);
        deflateEnd(&z);
        out += word(n) + word(packed.size() + 2) + "CK" + packed;
    }
    return out;
}

} // namespace

// A compressed file of several blocks, each leaning on the one before, reads
// as the same mesh as its plain text.
TEST(XMesh, CompressedFilesOfManyBlocksReadAsTheirText) {
    std::string plain = "Mesh Strip {\n 3000;\n";
    for (int i = 0; i < 3000; ++i)
        plain += " " + std::to_string(i % 7) + ".25;" + std::to_string(i % 5) + ".5;" + std::to_string(i % 3) +
                 ".125;" + (i + 1 < 3000 ? "," : ";") + "\n";
    plain += " 2998;\n";
    for (int i = 0; i < 2998; ++i)
        plain += " 3;" + std::to_string(i) + "," + std::to_string(i + 1) + "," + std::to_string(i + 2) + ";" +
                 (i + 1 < 2998 ? "," : ";") + "\n";
    plain += "}\n";
    ASSERT_GT(plain.size(), 3u * 32768);
    const auto dir = std::filesystem::temp_directory_path();
    const auto text = dir / ("rdv_strip_" + std::to_string(getpid()) + ".x");
    const auto packed = dir / ("rdv_strip_packed_" + std::to_string(getpid()) + ".x");
    std::ofstream(text, std::ios::binary) << "xof 0303txt 0032\n" << plain;
    std::ofstream(packed, std::ios::binary) << Compressed("xof 0303tzip0032", plain);
    XHost host;
    ModelData a, b;
    LoadXMesh(a, text, host);
    LoadXMesh(b, packed, host);
    ASSERT_EQ(a.vertices.size(), 2998u * 3);
    ASSERT_EQ(b.vertices.size(), a.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        ASSERT_FLOAT_EQ(a.vertices[i].x, b.vertices[i].x) << i;
        ASSERT_FLOAT_EQ(a.vertices[i].z, b.vertices[i].z) << i;
    }
    // Cut inside its second block, it is refused.
    std::ifstream in(packed, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::ofstream(packed, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() * 2 / 3);
    EXPECT_THROW(LoadXMesh(b, packed, host), EngineError);
    std::filesystem::remove(text);
    std::filesystem::remove(packed);
}
