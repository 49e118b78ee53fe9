// The guard in front of Assimp's .x importer: a compressed file inflated
// here, and a plain one read token for token as the importer reads it, so
// that what its mesh builder would read or write out of bounds on is
// refused before it sees the file.
#include "graphics/ModelXCheck.h"

#include <assimp/mesh.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

namespace rdv {

namespace {
// Thrown where a file is refused.
struct Refused {};

// A compressed file ("tzip", "bzip") inflated here into the plain form it
// stands for, so that the importer and the mesh check below read the same
// bytes. The importer's own inflater sizes its buffer from the number of
// block headers and can overflow it on a file of many empty blocks; here
// the output is bounded instead, and a broken block refused
// (compressed_broken_block.x). Each block is a raw deflate stream that may
// refer back to the block before it.
constexpr size_t kMsZipBlock = 32786;
constexpr size_t kMaxInflated = size_t(64) << 20;

std::vector<unsigned char> Inflated(const std::vector<unsigned char>& b) {
    std::vector<unsigned char> out(b.begin(), b.begin() + 16);
    std::memcpy(out.data() + 8, std::memcmp(b.data() + 8, "tzip", 4) == 0 ? "txt " : "bin ", 4);
    // The text form's header line ends before the first token.
    if (std::memcmp(b.data() + 8, "tzip", 4) == 0) out.push_back('\n');
    const size_t body = out.size();
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw Refused{};
    size_t p = 22;   // header, then a size and a flag word the blocks repeat
    try {
        while (p + 4 <= b.size()) {
            const size_t length = b[p] | size_t(b[p + 1]) << 8;
            if (b[p + 2] != 'C' || b[p + 3] != 'K' || length < 2 || p + 2 + length > b.size()) throw Refused{};
            if (out.size() - body + kMsZipBlock > kMaxInflated) throw Refused{};
            const size_t at = out.size();
            out.resize(at + kMsZipBlock);
            z.next_in = const_cast<unsigned char*>(&b[p + 4]);
            z.avail_in = static_cast<uInt>(length - 2);
            z.next_out = &out[at];
            z.avail_out = static_cast<uInt>(kMsZipBlock);
            const int r = inflate(&z, Z_SYNC_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END) throw Refused{};
            out.resize(out.size() - z.avail_out);
            inflateReset(&z);
            if (out.size() > at) inflateSetDictionary(&z, &out[at], static_cast<uInt>(out.size() - at));
            p += 4 + length;   // the next block's own size word comes first
        }
    } catch (const Refused&) {
        inflateEnd(&z);
        throw;
    }
    inflateEnd(&z);
    return out;
}

// Reads a plain ".x" file as the importer's parser does, token for token,
// text or binary, and checks what the importer's mesh builder then takes on
// trust. The importer's own validation runs only after that builder, and
// Assimp 5.2 reads and writes out of bounds there on the inputs below, so
// they are refused before it sees them. Anything the importer would refuse
// on its own is refused here too, to stay in step with it.
class XCheck {
public:
    explicit XCheck(const std::vector<unsigned char>& b) : b_(b) {
        binary_ = std::memcmp(b.data() + 8, "bin ", 4) == 0;
        floatSize_ = std::memcmp(b.data() + 12, "0064", 4) == 0 ? 8 : 4;
        p_ = 16;
        if (!binary_) SkipLine();
    }

    void File() {
        for (std::string t = Token(); !t.empty(); t = Token()) {
            if (t == "template") Template();
            else if (t == "Frame") Frame(0);
            else if (t == "Mesh") Mesh();
            else if (t == "AnimTicksPerSecond") {
                Head();
                Int();
                Close();
            } else if (t == "AnimationSet") AnimationSet();
            else if (t == "Material") Material();
            else if (t != "}") Unknown();
        }
    }

private:
    // A count of things still to be read from the file: each takes at least
    // one byte, so one beyond what is left is a lie, and the importer would
    // size an array from it (face_count_beyond_file.x; out_of_step.x, where
    // a binary count comes from the bytes of a name).
    uint32_t Count() {
        const uint32_t n = Int();
        if (n > Left()) throw Refused{};
        return n;
    }

    void Mesh() {
        Head();
        const uint32_t vertices = Count();
        for (uint32_t i = 0; i < vertices; ++i) Vector(3);
        const uint32_t faces = Count();
        for (uint32_t f = 0; f < faces; ++f) {
            // A face without indices: the importer's triangulation stops the
            // program on an assertion (empty_face.x).
            const uint32_t n = Count();
            if (n == 0) throw Refused{};
            // An index past the vertices: the importer reads beyond its
            // vertex array, or stops on an assertion (face_index_beyond.x).
            for (uint32_t i = 0; i < n; ++i)
                if (Int() >= vertices) throw Refused{};
            TestSeparator();
        }
        bool materialList = false;
        int texCoordSets = 0, colourSets = 0;
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "MeshNormals") Normals(faces);
            else if (t == "MeshTextureCoords") {
                Head();
                if (++texCoordSets > AI_MAX_NUMBER_OF_TEXTURECOORDS || Int() != vertices) throw Refused{};
                for (uint32_t i = 0; i < vertices; ++i) Vector(2);
                Close();
            } else if (t == "MeshVertexColors") {
                Head();
                if (++colourSets > AI_MAX_NUMBER_OF_COLOR_SETS || Int() != vertices) throw Refused{};
                for (uint32_t i = 0; i < vertices; ++i) {
                    if (Int() >= vertices) throw Refused{};
                    Vector(4);
                    if (!binary_) TestSeparator();
                }
                Close();
            } else if (t == "MeshMaterialList") {
                // A second list gives more face materials than faces, which
                // the importer reads its faces by (two_material_lists.x).
                if (materialList) throw Refused{};
                materialList = true;
                MaterialList(faces);
            } else if (t == "XSkinMeshHeader") {
                Head();
                Int();
                Int();
                Int();
                Close();
            } else if (t == "SkinWeights") SkinWeights(vertices);
            else Unknown();
        }
    }

    void Normals(uint32_t faces) {
        Head();
        const uint32_t normals = Count();
        for (uint32_t i = 0; i < normals; ++i) Vector(3);
        const uint32_t normalFaces = Int();
        if (normalFaces != faces) throw Refused{};
        for (uint32_t f = 0; f < normalFaces; ++f) {
            const uint32_t n = Count();
            // The importer looks normals up by these unchecked
            // (normal_index_beyond.x).
            for (uint32_t i = 0; i < n; ++i)
                if (Int() >= normals) throw Refused{};
            TestSeparator();
        }
        Close();
    }

    void MaterialList(uint32_t faces) {
        Head();
        Int();
        const uint32_t indexes = Int();
        if (indexes != faces && indexes != 1) throw Refused{};
        for (uint32_t i = 0; i < indexes; ++i) Int();
        if (!binary_ && p_ < b_.size() && b_[p_] == ';') ++p_;
        uint32_t materials = 0;
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "{") {
                Token();
                Close();
                ++materials;
            } else if (t == "Material") {
                Material();
                ++materials;
            } else if (t != ";") Unknown();
        }
        // Faces with a material index and no material to look it up in: the
        // importer reads through a null pointer (listless_materials.x).
        if (indexes > 0 && materials == 0) throw Refused{};
    }

    void SkinWeights(uint32_t vertices) {
        Head();
        String();
        const uint32_t weights = Count();
        // The importer writes each weight at its vertex unchecked
        // (weight_vertex_beyond.x).
        for (uint32_t i = 0; i < weights; ++i)
            if (Int() >= vertices) throw Refused{};
        for (uint32_t i = 0; i < weights + 16; ++i) Float();
        Semicolon();
        Close();
    }

    void Material() {
        Head();
        Vector(4);
        Float();
        Vector(3);
        Vector(3);
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "TextureFilename" || t == "TextureFileName" || t == "NormalmapFilename" ||
                t == "NormalmapFileName") {
                Head();
                String();
                Close();
            } else {
                Unknown();
            }
        }
    }

    // Nested frames are read by recursion, here and in the importer: a file
    // of nothing but frame openings would exhaust the stack (deep_frames.x).
    void Frame(int depth) {
        if (depth > kMaxFrameDepth) throw Refused{};
        Head();
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "Frame") Frame(depth + 1);
            else if (t == "FrameTransformMatrix") {
                Head();
                for (int i = 0; i < 16; ++i) Float();
                Semicolon();
                Close();
            } else if (t == "Mesh") Mesh();
            else Unknown();
        }
    }

    void AnimationSet() {
        Head();
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "Animation") Animation();
            else Unknown();
        }
    }

    void Animation() {
        Head();
        for (;;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "}") break;
            if (t == "AnimationKey") AnimationKey();
            else if (t == "{") {
                Token();
                Close();
            } else Unknown();
        }
    }

    void AnimationKey() {
        Head();
        const uint32_t type = Int();
        const uint32_t keys = Int();
        for (uint32_t k = 0; k < keys; ++k) {
            Int();
            const uint32_t values = Int();
            if (type == 0 && values == 4) {
                for (int i = 0; i < 4; ++i) Float();
                Semicolon();
            } else if ((type == 1 || type == 2) && values == 3) {
                Vector(3);
            } else if ((type == 3 || type == 4) && values == 16) {
                for (int i = 0; i < 16; ++i) Float();
                Semicolon();
            } else {
                throw Refused{};
            }
            Separator();
        }
        Close();
    }

    void Template() {
        Head();
        Token();
        for (std::string t = Token(); t != "}"; t = Token())
            if (t.empty()) throw Refused{};
    }

    // An object the importer does not know, stepped over brace by brace.
    void Unknown() {
        for (std::string t = Token(); t != "{"; t = Token())
            if (t.empty()) throw Refused{};
        for (int depth = 1; depth > 0;) {
            const std::string t = Token();
            if (t.empty()) throw Refused{};
            if (t == "{") ++depth;
            else if (t == "}") --depth;
        }
    }

    // ---- the importer's readers
    size_t Left() const { return p_ < b_.size() ? b_.size() - p_ : 0; }
    unsigned At(size_t i) const { return i < b_.size() ? b_[i] : 0u; }
    uint32_t Word() {
        const uint32_t v = At(p_) | At(p_ + 1) << 8;
        p_ += 2;
        return v;
    }
    uint32_t Dword() {
        const uint32_t v = At(p_) | At(p_ + 1) << 8 | At(p_ + 2) << 16 | uint32_t(At(p_ + 3)) << 24;
        p_ += 4;
        return v;
    }
    void Skip(uint64_t n) { p_ = static_cast<size_t>(std::min<uint64_t>(b_.size() + 1, p_ + n)); }

    void SkipLine() {
        while (p_ < b_.size()) {
            const unsigned char c = b_[p_++];
            if (c == '\n' || c == '\r') return;
        }
    }
    void SkipSpace() {
        for (;;) {
            while (p_ < b_.size() && std::isspace(b_[p_])) ++p_;
            if (p_ >= b_.size()) return;
            if (b_[p_] == '#' || (b_[p_] == '/' && At(p_ + 1) == '/')) SkipLine();
            else return;
        }
    }

    std::string Token() {
        std::string s;
        if (!binary_) {
            SkipSpace();
            while (p_ < b_.size() && !std::isspace(b_[p_])) {
                const char c = static_cast<char>(b_[p_]);
                if (c == ';' || c == '}' || c == '{' || c == ',') {
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
        if (Left() < 2) return s;
        const uint32_t token = Word();
        switch (token) {
        case 1:
        case 2: {
            if (Left() < 4) return s;
            const uint32_t n = Dword();
            // Beyond the file: the importer copies that many bytes from it
            // (string_beyond_file.x).
            if (n > Left()) throw Refused{};
            s.assign(b_.begin() + std::ptrdiff_t(p_), b_.begin() + std::ptrdiff_t(p_ + n));
            Skip(token == 2 ? uint64_t(n) + 2 : n);
            return s;
        }
        case 3: Skip(4); return "<integer>";
        case 5: Skip(16); return "<guid>";
        case 6:
        case 7: {
            if (Left() < 4) return s;
            const uint32_t n = Dword();
            Skip(uint64_t(uint32_t(n * (token == 6 ? 4u : uint32_t(floatSize_)))));
            return "<list>";
        }
        case 10: return "{";
        case 11: return "}";
        case 19: return ",";
        case 20: return ";";
        case 31: return "template";
        default:
            // Other punctuation and the template member types.
            if ((token >= 12 && token <= 18) || (token >= 40 && token <= 52)) return "<" + std::to_string(token) + ">";
            return s;
        }
    }

    void Head() {
        if (Token() != "{" && Token() != "{") throw Refused{};
    }
    void Close() {
        if (Token() != "}") throw Refused{};
    }
    void Semicolon() {
        if (!binary_ && Token() != ";") throw Refused{};
    }
    void Separator() {
        if (binary_) return;
        const std::string t = Token();
        if (t != "," && t != ";") throw Refused{};
    }
    void TestSeparator() {
        if (binary_) return;
        SkipSpace();
        if (p_ < b_.size() && (b_[p_] == ';' || b_[p_] == ',')) ++p_;
    }
    void String() {
        if (binary_) {
            Token();
            return;
        }
        SkipSpace();
        if (p_ >= b_.size() || b_[p_] != '"') throw Refused{};
        ++p_;
        while (p_ < b_.size() && b_[p_] != '"') ++p_;
        if (p_ + 1 >= b_.size() || b_[p_ + 1] != ';') throw Refused{};
        p_ += 2;
    }

    // The binary form's numbers come from an integer or float list, or one
    // standing alone; a list may run on across reads.
    void ListHead(uint32_t listToken) {
        if (listCount_ == 0 && Left() >= 2) {
            const uint32_t token = Word();
            listCount_ = token == listToken && Left() >= 4 ? Dword() : 1;
        }
        --listCount_;
    }

    uint32_t Int() {
        if (binary_) {
            ListHead(6);
            if (Left() >= 4) return Dword();
            p_ = b_.size();
            return 0;
        }
        SkipSpace();
        const bool negative = At(p_) == '-';
        if (negative) ++p_;
        if (!std::isdigit(At(p_))) throw Refused{};
        uint32_t n = 0;
        while (p_ < b_.size() && std::isdigit(b_[p_])) n = n * 10u + (b_[p_++] - '0');
        Separator();
        return negative ? 0u - n : n;
    }

    void Float() {
        if (binary_) {
            ListHead(7);
            if (Left() >= floatSize_) p_ += floatSize_;
            else p_ = b_.size();
            return;
        }
        SkipSpace();
        auto starts = [&](const char* text) {
            for (size_t i = 0; text[i]; ++i)
                if (At(p_ + i) != static_cast<unsigned char>(text[i])) return false;
            return true;
        };
        if (starts("-1.#IND00") || starts("1.#IND00")) {
            p_ += 9;
        } else if (starts("1.#QNAN0")) {
            p_ += 8;
        } else {
            Real();
        }
        Separator();
    }
    // A decimal number as the importer's reader takes it, where a comma
    // before a digit is a decimal point too.
    void Real() {
        if (At(p_) == '-' || At(p_) == '+') ++p_;
        auto word = [&](const char* w, size_t n) {
            for (size_t i = 0; i < n; ++i)
                if (std::tolower(At(p_ + i)) != w[i]) return false;
            return true;
        };
        if (word("nan", 3)) {
            p_ += 3;
            return;
        }
        if (word("inf", 3)) {
            p_ += 3;
            if (word("inity", 5)) p_ += 5;
            return;
        }
        const bool point = At(p_) == '.' || At(p_) == ',';
        if (!std::isdigit(At(p_)) && !(point && std::isdigit(At(p_ + 1)))) throw Refused{};
        if (!point) Digits();
        if ((At(p_) == '.' || At(p_) == ',') && std::isdigit(At(p_ + 1))) {
            ++p_;
            while (std::isdigit(At(p_))) ++p_;
        } else if (At(p_) == '.') {
            ++p_;
        }
        if (At(p_) == 'e' || At(p_) == 'E') {
            ++p_;
            if (At(p_) == '-' || At(p_) == '+') ++p_;
            if (!std::isdigit(At(p_))) throw Refused{};
            Digits();
        }
    }
    // Digits into 64 bits; where they overflow the importer stops before
    // them and then fails on the separator.
    void Digits() {
        uint64_t v = 0;
        while (std::isdigit(At(p_))) {
            const uint64_t next = v * 10u + (At(p_) - '0');
            if (next < v) throw Refused{};
            v = next;
            ++p_;
        }
    }
    void Vector(int n) {
        for (int i = 0; i < n; ++i) Float();
        TestSeparator();
    }

    static constexpr int kMaxFrameDepth = 256;
    const std::vector<unsigned char>& b_;
    bool binary_ = false;
    size_t floatSize_ = 4;
    size_t p_ = 16;
    uint32_t listCount_ = 0;
};

} // namespace

// The file as the importer should read it, a compressed one inflated; empty
// when it is refused.
std::vector<unsigned char> ImportableX(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 16 || std::memcmp(b.data(), "xof ", 4) != 0) return {};
    const bool compressed = std::memcmp(b.data() + 8, "tzip", 4) == 0 || std::memcmp(b.data() + 8, "bzip", 4) == 0;
    if (!compressed && std::memcmp(b.data() + 8, "txt ", 4) != 0 && std::memcmp(b.data() + 8, "bin ", 4) != 0)
        return {};
    if (std::memcmp(b.data() + 12, "0032", 4) != 0 && std::memcmp(b.data() + 12, "0064", 4) != 0) return {};
    try {
        if (compressed) b = Inflated(b);
        XCheck(b).File();
    } catch (const Refused&) {
        return {};
    }
    return b;
}

} // namespace rdv
