#include "graphics/ModelX.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "core/Error.h"

namespace rdv {

namespace {

uint32_t Byte(float v) {
    float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint32_t>(std::lround(c * 255.0f));
}

D3DCOLORVALUE Colour(const aiMaterial* m, const char* key, unsigned type, unsigned index, D3DCOLORVALUE fallback) {
    aiColor4D c;
    if (aiGetMaterialColor(m, key, type, index, &c) != AI_SUCCESS) return fallback;
    return {c.r, c.g, c.b, c.a};
}

// A texture file name as the texture table knows it: no folder, no extension.
std::string TextureStem(const std::string& file) {
    std::string s = file;
    auto slash = s.find_last_of("/\\");
    if (slash != std::string::npos) s = s.substr(slash + 1);
    auto dot = s.find_last_of('.');
    if (dot != std::string::npos && dot > 0) s = s.substr(0, dot);
    return s;
}

// The tokens of a text ".x" file the way the importer splits them, as far
// as needed to follow a material list.
class XTokens {
public:
    explicit XTokens(const std::vector<unsigned char>& bytes) : b_(bytes) {}

    // The next token; empty at the end of the file.
    std::string Next() {
        SkipSpace();
        std::string s;
        while (p_ < b_.size() && !std::isspace(b_[p_])) {
            const char c = static_cast<char>(b_[p_]);
            if (c == ';' || c == ',' || c == '{' || c == '}') {
                if (s.empty()) {
                    s += c;
                    ++p_;
                }
                break;
            }
            s += c;
            ++p_;
        }
        return s;
    }
    // One whole number; false where the importer would fail on it or the
    // file has ended.
    bool ReadInt(uint32_t& value) {
        SkipSpace();
        const bool negative = p_ < b_.size() && b_[p_] == '-';
        if (negative) ++p_;
        if (p_ >= b_.size() || !std::isdigit(b_[p_])) return false;
        uint32_t n = 0;
        while (p_ < b_.size() && std::isdigit(b_[p_])) n = n * 10u + static_cast<uint32_t>(b_[p_++] - '0');
        value = negative ? 0u - n : n;
        const std::string separator = Next();
        return separator == ";" || separator == ",";
    }
    // The text form may end the index list with a second semicolon.
    void SkipSemicolon() {
        if (p_ < b_.size() && b_[p_] == ';') ++p_;
    }

private:
    void SkipSpace() {
        for (;;) {
            while (p_ < b_.size() && std::isspace(b_[p_])) ++p_;
            if (p_ >= b_.size()) return;
            const bool comment = b_[p_] == '#' || (b_[p_] == '/' && p_ + 1 < b_.size() && b_[p_ + 1] == '/');
            if (!comment) return;
            while (p_ < b_.size() && b_[p_] != '\n') ++p_;
        }
    }
    const std::vector<unsigned char>& b_;
    size_t p_ = 16;
};

// Whether the material list whose keyword was just read gives its mesh at
// least one material, read as the importer reads it. The importer looks up
// the material of every face in that list, and with none there it reads
// through a null pointer instead of failing (found by fuzz_x).
bool ListHasMaterial(XTokens& t) {
    const std::string head = t.Next();
    if (head != "{" && t.Next() != "{") return false;
    uint32_t count = 0, indexes = 0, index = 0;
    if (!t.ReadInt(count) || !t.ReadInt(indexes)) return false;
    // A count beyond the file ends in a failed read long before it runs out.
    for (uint32_t i = 0; i < indexes; ++i)
        if (!t.ReadInt(index)) return false;
    t.SkipSemicolon();
    for (;;) {
        const std::string token = t.Next();
        if (token.empty() || token == "}") return false;
        if (token == "Material") return true;
        if (token == "{") {
            // A reference to a material by name: "{ name }".
            t.Next();
            return t.Next() == "}";
        }
        if (token == ";") continue;
        // Anything else is a data object the importer steps over whole.
        std::string inner;
        do inner = t.Next();
        while (!inner.empty() && inner != "{");
        for (int depth = 1; depth > 0;) {
            inner = t.Next();
            if (inner.empty()) return false;
            if (inner == "{") ++depth;
            else if (inner == "}") --depth;
        }
    }
}

// A whole number of the text form as the importer reads it: digits with an
// optional minus, kept in 32 bits, a negative one taken as unsigned.
std::optional<uint32_t> TextWholeNumber(const std::string& token) {
    const bool negative = !token.empty() && token[0] == '-';
    if (token.size() == (negative ? 1u : 0u)) return std::nullopt;
    uint32_t n = 0;
    for (size_t i = negative ? 1 : 0; i < token.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(token[i]))) return std::nullopt;
        n = n * 10u + static_cast<uint32_t>(token[i] - '0');
    }
    return negative ? 0u - n : n;
}

// Every material list in the file names at least one material, and no
// whole number exceeds the file's size: the importer sizes its
// arrays from counts, which it reads from such numbers only, and a count of
// N needs more than N bytes to follow (so a negative number, read unsigned,
// is refused too; coordinates are written with a decimal point).
bool MaterialsAndCountsFit(const std::vector<unsigned char>& b) {
    XTokens t(b);
    for (std::string token = t.Next(); !token.empty(); token = t.Next()) {
        if (token == "MeshMaterialList" && !ListHasMaterial(t)) return false;
        const auto n = TextWholeNumber(token);
        if (n && *n > b.size()) return false;
    }
    return true;
}

// A binary file written out in the text form, token for token: the
// importer's binary reader can fall out of step with the tokens and take a
// count from the bytes of a name or a list, which no check before it can
// foresee, while every count the text reader takes is a whole number of the
// text, which the count check bounds. Numbers are followed by a separator
// as the text reader wants them, strings by their semicolon; template
// members only need to be tokens, since the reader skips them. Empty when
// a token is damaged.
std::optional<std::string> BinaryXAsText(const std::vector<unsigned char>& b, size_t floatSize) {
    std::string out(reinterpret_cast<const char*>(b.data()), 16);
    out.replace(8, 4, "txt ");
    out += '\n';
    size_t p = 16;
    auto left = [&] { return b.size() - p; };
    auto dword = [&] {
        const uint32_t v = uint32_t(b[p]) | uint32_t(b[p + 1]) << 8 | uint32_t(b[p + 2]) << 16 | uint32_t(b[p + 3]) << 24;
        p += 4;
        return v;
    };
    // Always with a point, so that the count check never takes a
    // coordinate for a whole number.
    auto number = [&](double v, int digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        out += text;
        if (!std::strpbrk(text, ".eEnN")) out += ".0";
        out += ';';
    };
    static const char* const kTypeWords[] = {"WORD", "DWORD", "FLOAT", "DOUBLE", "CHAR", "UCHAR", "SWORD",
                                             "SDWORD", "void", "string", "unicode", "cstring", "array"};
    while (left() >= 2) {
        const unsigned token = b[p] | unsigned(b[p + 1]) << 8;
        p += 2;
        switch (token) {
        case 1:     // name
        case 2: {   // string, then the two bytes of its terminator
            if (left() < 4) return std::nullopt;
            const uint32_t n = dword();
            if (n > left() || (token == 2 && left() - n < 2)) return std::nullopt;
            const std::string text(b.begin() + std::ptrdiff_t(p), b.begin() + std::ptrdiff_t(p + n));
            p += n;
            if (token == 1) {
                out += text + ' ';
            } else {
                out += '"' + text + "\";";
                p += 2;
            }
            break;
        }
        case 3:     // integer
            if (left() < 4) return std::nullopt;
            out += std::to_string(dword()) + ';';
            break;
        case 5: {   // GUID
            if (left() < 16) return std::nullopt;
            char text[48];
            const uint32_t d1 = dword();
            const unsigned d2 = b[p] | unsigned(b[p + 1]) << 8, d3 = b[p + 2] | unsigned(b[p + 3]) << 8;
            p += 4;
            std::snprintf(text, sizeof text, "<%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X>", d1, d2, d3, b[p],
                          b[p + 1], b[p + 2], b[p + 3], b[p + 4], b[p + 5], b[p + 6], b[p + 7]);
            p += 8;
            out += text;
            break;
        }
        case 6: {   // integer list
            if (left() < 4) return std::nullopt;
            const uint32_t n = dword();
            if (n > left() / 4) return std::nullopt;
            for (uint32_t i = 0; i < n; ++i) out += std::to_string(dword()) + ';';
            break;
        }
        case 7: {   // float list
            if (left() < 4) return std::nullopt;
            const uint32_t n = dword();
            if (n > left() / floatSize) return std::nullopt;
            for (uint32_t i = 0; i < n; ++i) {
                if (floatSize == 8) {
                    double v;
                    std::memcpy(&v, &b[p], 8);
                    number(v, 17);
                } else {
                    float v;
                    std::memcpy(&v, &b[p], 4);
                    number(v, 9);
                }
                p += floatSize;
            }
            break;
        }
        case 10: out += "{\n"; break;
        case 11: out += "}\n"; break;
        case 12: out += '('; break;
        case 13: out += ')'; break;
        case 14: out += '['; break;
        case 15: out += ']'; break;
        case 16: out += '<'; break;
        case 17: out += '>'; break;
        case 18: out += '.'; break;
        case 19: out += ','; break;
        case 20: out += ';'; break;
        case 31: out += "template "; break;
        default:
            if (token < 40 || token > 52) return std::nullopt;
            out += std::string(kTypeWords[token - 40]) + ' ';
            break;
        }
        out += ' ';
    }
    return out;
}

// The file as the importer should read it: a text file as it is, a binary
// one in the text form; empty when it is refused. Compressed files are left
// to the importer as they are (`compressed`).
std::optional<std::vector<unsigned char>> ImportableX(const std::filesystem::path& path, bool& compressed) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    compressed = false;
    if (b.size() < 16 || std::memcmp(b.data(), "xof ", 4) != 0) return b;
    const bool binary = std::memcmp(b.data() + 8, "bin ", 4) == 0;
    if (!binary && std::memcmp(b.data() + 8, "txt ", 4) != 0) {
        compressed = true;
        return b;
    }
    const size_t floatSize = std::memcmp(b.data() + 12, "0064", 4) == 0 ? 8 : 4;
    if (binary) {
        const std::optional<std::string> text = BinaryXAsText(b, floatSize);
        if (!text) return std::nullopt;
        b.assign(text->begin(), text->end());
    }
    if (!MaterialsAndCountsFit(b)) return std::nullopt;
    return b;
}

// The process's private data in bytes, as the kernel counts it against
// RLIMIT_DATA.
std::optional<uint64_t> DataInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmData:", 0) != 0) continue;
        try {
            return static_cast<uint64_t>(std::stoull(line.substr(7))) * 1024u;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The importer sizes its arrays from counts before it reads what they count,
// and in a binary file it can fall out of step with the tokens and take a
// count from the bytes of a name. No check before it can follow that, so
// while it reads, the process may grow by a bounded amount only: a count no
// file could hold then fails its allocation at once instead of taking
// gigabytes.
//
// Not under AddressSanitizer: its allocator ends the program where an
// allocation fails, and its quarantine of freed blocks counts against the
// limit; the fuzzers bound allocations there themselves.
#if defined(__SANITIZE_ADDRESS__)
#define RDV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RDV_ADDRESS_SANITIZER 1
#endif
#endif
class DataGrowthLimit {
public:
    explicit DataGrowthLimit([[maybe_unused]] uint64_t budget) {
#ifdef RDV_ADDRESS_SANITIZER
        return;
#endif
        const std::optional<uint64_t> used = DataInUse();
        if (!used || getrlimit(RLIMIT_DATA, &old_) != 0) return;
        const uint64_t want = *used + budget;
        if (old_.rlim_cur != RLIM_INFINITY && old_.rlim_cur <= want) return;
        rlimit tighter = old_;
        tighter.rlim_cur = static_cast<rlim_t>(want);
        set_ = setrlimit(RLIMIT_DATA, &tighter) == 0;
    }
    ~DataGrowthLimit() {
        if (set_) setrlimit(RLIMIT_DATA, &old_);
    }
    DataGrowthLimit(const DataGrowthLimit&) = delete;
    DataGrowthLimit& operator=(const DataGrowthLimit&) = delete;

private:
    rlimit old_{};
    bool set_ = false;
};

// Every face of every mesh has indices, and each names a vertex of its mesh.
bool FacesAreWhole(const aiScene& scene) {
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh* mesh = scene.mMeshes[m];
        if (!mesh) return false;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices == 0 || !face.mIndices) return false;
            for (unsigned i = 0; i < face.mNumIndices; ++i)
                if (face.mIndices[i] >= mesh->mNumVertices) return false;
        }
    }
    return true;
}

// Far more than any mesh a level draws needs.
constexpr uint64_t kImportBudget = uint64_t(512) << 20;

} // namespace

void LoadXMesh(ModelData& model, const std::filesystem::path& path, ModelHost& host) {
    bool compressed = false;
    const std::optional<std::vector<unsigned char>> bytes = ImportableX(path, compressed);
    if (!bytes || bytes->empty()) RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");
    Assimp::Importer importer;
    // The file's own left-handed coordinates, winding and texture origin,
    // as the device expects them; frames are baked into the vertices.
    const aiScene* scene = nullptr;
    try {
        DataGrowthLimit limit(kImportBudget);
        // Read first, post-process after a look at the faces: the steps
        // assume every face has indices, and the triangulation stops the
        // program on an assertion where one has none.
        scene = compressed ? importer.ReadFile(path.string(), 0)
                           : importer.ReadFileFromMemory(bytes->data(), bytes->size(), 0, "x");
        if (scene && FacesAreWhole(*scene))
            scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_PreTransformVertices |
                                                 aiProcess_ConvertToLeftHanded | aiProcess_SortByPType);
        else
            scene = nullptr;
    } catch (const std::exception&) {
        // A failed allocation the importer let through.
        scene = nullptr;
    }
    if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
        RaiseError(ErrFileAccess, "LoadObject", "Error loading Mesh");

    model.vertices.clear();
    model.sequences.clear();
    model.xMaterials.clear();
    model.renderMode = kModeX;
    model.textureIndex = 0;
    model.lightMapped = true;
    // The mesh's colours are its materials'; its vertices carry none.
    model.ambientDiffuseSource = D3DMCS_MATERIAL;
    model.emissiveSource = D3DMCS_MATERIAL;
    model.material = MeshMaterial{};
    model.material.Diffuse = {1, 1, 1, 1};
    model.material.Ambient = {1, 1, 1, 1};

    bool missingNormals = false;
    for (unsigned mi = 0; mi < scene->mNumMaterials; ++mi) {
        const aiMaterial* m = scene->mMaterials[mi];
        MeshMaterial mat{};
        mat.Diffuse = Colour(m, AI_MATKEY_COLOR_DIFFUSE, {1, 1, 1, 1});
        float opacity = 1.0f;
        if (aiGetMaterialFloat(m, AI_MATKEY_OPACITY, &opacity) == AI_SUCCESS) mat.Diffuse.a = opacity;
        mat.Ambient = mat.Diffuse;
        mat.Specular = Colour(m, AI_MATKEY_COLOR_SPECULAR, {0, 0, 0, 0});
        mat.Emissive = Colour(m, AI_MATKEY_COLOR_EMISSIVE, {0, 0, 0, 0});
        float power = 0.0f;
        if (aiGetMaterialFloat(m, AI_MATKEY_SHININESS, &power) == AI_SUCCESS) mat.Power = power;
        model.xMaterials.push_back(mat);

        aiString file;
        std::string texture = "none";
        if (m->GetTexture(aiTextureType_DIFFUSE, 0, &file) == AI_SUCCESS && file.length > 0)
            texture = TextureStem(file.C_Str());
        if (texture.empty()) texture = "none";

        MeshSequence subset;
        subset.primitiveType = kTriangleList;
        subset.material = static_cast<int32_t>(mi);
        subset.texture = host.LoadTexture(texture);
        subset.start = static_cast<int32_t>(model.vertices.size());
        for (unsigned k = 0; k < scene->mNumMeshes; ++k) {
            const aiMesh* mesh = scene->mMeshes[k];
            if (mesh->mMaterialIndex != mi) continue;
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                if (face.mNumIndices != 3) continue;
                for (unsigned c = 0; c < 3; ++c) {
                    unsigned i = face.mIndices[c];
                    MeshVertex v;
                    v.x = mesh->mVertices[i].x;
                    v.y = mesh->mVertices[i].y;
                    v.z = mesh->mVertices[i].z;
                    missingNormals = missingNormals || !mesh->mNormals;
                    if (mesh->mNormals) {
                        v.nx = mesh->mNormals[i].x;
                        v.ny = mesh->mNormals[i].y;
                        v.nz = mesh->mNormals[i].z;
                    }
                    v.color = 0xFFFFFFFFu;
                    if (mesh->mColors[0]) {
                        const aiColor4D& col = mesh->mColors[0][i];
                        v.color = (Byte(col.a) << 24) | (Byte(col.r) << 16) | (Byte(col.g) << 8) | Byte(col.b);
                    }
                    if (mesh->mTextureCoords[0]) {
                        v.u = mesh->mTextureCoords[0][i].x;
                        v.v = mesh->mTextureCoords[0][i].y;
                    }
                    model.vertices.push_back(v);
                }
            }
        }
        subset.count = (static_cast<int32_t>(model.vertices.size()) - subset.start) / 3;
        model.sequences.push_back(subset);
    }
    // Meshes without normals get face normals, worked out on the file's own
    // winding (front faces clockwise, as the device culls).
    if (missingNormals) CalcNormals(model);
}

} // namespace rdv
