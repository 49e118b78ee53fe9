// The readers of the engine's own text models ("tcm") and of composites
// ("tco").
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/Error.h"
#include "graphics/ModelData.h"
#include "packages/Parse.h"

namespace rdv {


namespace {

const char* const kLoadSource = "engine->GetModel->LoadModel";

// Mid(text, first, 3) as a number; characters counted from 1.
double Field(const std::string& text, size_t first) {
    if (text.size() < first) return 0.0;
    return Val(text.substr(first - 1, 3));
}

// Reads lines of one model file; past its end every line is empty.
class Reader {
public:
    explicit Reader(const LineSource& lines) : lines_(lines) {}

    std::string Line() {
        auto line = lines_();
        if (!line) {
            ended_ = true;
            return {};
        }
        return *line;
    }
    double Number() { return Val(Line()); }
    int32_t Integer() { return RoundHalfEven(Number()); }
    bool Ended() const { return ended_; }

private:
    const LineSource& lines_;
    bool ended_ = false;
};

// Vertices a file may ask for beyond its own end (each an all-zero vertex
// from empty lines): more would only fill memory.
constexpr int32_t kMaxVerticesPastTheEnd = 1 << 20;

// Render modes a tcm file cannot take over: they belong to the other model
// kinds, whose draws expect data a tcm does not have.
bool TakenRenderMode(int32_t mode) {
    return mode == kModeNone || mode == kModeX || mode == kModeComposite || mode == kModeBrush;
}
constexpr int kModeOtherTcm = 255;

// The primitives of `type` that fit in `available` vertices.
int32_t PrimitivesThatFit(int32_t type, int64_t available) {
    if (available <= 0) return 0;
    int64_t n = 0;
    switch (type) {
    case kPointList: n = available; break;
    case kLineList: n = available / 2; break;
    case kLineStrip: n = available - 1; break;
    case kTriangleList: n = available / 3; break;
    case kTriangleStrip:
    case kTriangleFan: n = available - 2; break;
    default: n = 0;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(n, 0, INT32_MAX));
}

void DefaultMaterial(MeshMaterial& m) {
    m = MeshMaterial{};
    m.Diffuse = {1, 1, 1, 0};
    m.Ambient = {1, 1, 1, 0};
}

} // namespace

uint32_t ParseColor(const std::string& text) {
    // The plain sum: fields beyond 255 or below 0 carry into the others, as
    // the file's numbers say.
    auto sum = [](double r, double g, double b) {
        const int64_t v = int64_t{RoundHalfEven(r)} * 65536 + int64_t{RoundHalfEven(g)} * 256 + RoundHalfEven(b);
        return static_cast<uint32_t>(v);
    };
    if (text.find("RGB") != std::string::npos) return sum(Field(text, 1), Field(text, 5), Field(text, 9));
    if (text.find("BGR") != std::string::npos) return sum(Field(text, 9), Field(text, 5), Field(text, 1));
    double v = std::nearbyint(Val(text));
    // A full ARGB value may exceed the signed range; negative texts wrap as
    // their 32-bit pattern.
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    if (v <= -2147483648.0) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int64_t>(v));
}

void ReadTcm(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host) {
    Reader in(lines);

    std::string versionLine = in.Line();
    if (versionLine.size() == 2)
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: binary):" + name);
    // Compared as text: "4.0" or " 4" is no version.
    if (versionLine != "1" && versionLine != "2" && versionLine != "3" && versionLine != "4")
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: textmode version):" + name);
    const int32_t version = versionLine[0] - '0';

    model.emissiveSource = 0;
    model.ambientDiffuseSource = 1;
    model.textureIndex = 0;
    model.lightMapped = true;
    model.shaderIndex = 0;
    DefaultMaterial(model.material);

    int32_t renderMode = version;  // versions 1-3: the version line is the render-mode line
    if (version == 4) {
        std::string flags = in.Line();
        auto has = [&](char c) { return flags.find(c) != std::string::npos; };
        if (has('P')) model.emissiveSource = 1;
        if (has('T')) model.textureIndex = -1;
        if (has('L')) model.lightMapped = false;
        if (has('U')) {
            model.material = MeshMaterial{};
            model.material.Emissive = {1, 1, 1, 0};
        }
        if (has('S')) model.shaderIndex = host.GetShader(in.Line());
        if (has('M')) {
            std::string line = in.Line();
            auto colon = line.find(':');
            if (colon != std::string::npos) {
                uint32_t c = ParseColor(line.substr(0, colon));
                model.material.Specular = {static_cast<float>((c >> 16) & 255) / 255.0f,
                                           static_cast<float>((c >> 8) & 255) / 255.0f,
                                           static_cast<float>(c & 255) / 255.0f, 1.0f};
                model.material.Power = static_cast<float>(Val(line.substr(colon + 1)));
            } else {
                model.material.Specular = {1, 1, 1, 1};
                model.material.Power = static_cast<float>(Val(line));
            }
        }
        renderMode = in.Integer();
    }
    // An unknown mode is kept: the sequences read no texture or group lines
    // and the model is drawn by the path for any other mode. One that names
    // another model kind is kept as a mode no kind uses.
    if (TakenRenderMode(renderMode)) {
        host.Log("WARNING: Model render mode " + std::to_string(renderMode) + " drawn as an unknown mode:" + name, 5);
        renderMode = kModeOtherTcm;
    }
    model.renderMode = renderMode;

    if (renderMode == kModeSimple) {
        if (model.textureIndex == 0)
            model.textureIndex = host.LoadTexture("none");
        else if (model.textureIndex == -1)
            model.textureIndex = 0;
    }

    int32_t sequenceCount = in.Integer();
    int32_t vertexCount = in.Integer();
    if (sequenceCount <= 0 || vertexCount <= 0)
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: empty model):" + name);

    model.sequences.clear();
    model.vertices.clear();
    int32_t lowest = 0, highest = 0;
    // Past the end of the file the kind line is empty, which ends a count
    // that runs on with the rendermode error.
    for (int32_t s = 1; s <= sequenceCount; ++s) {
        MeshSequence seq;
        seq.start = in.Integer();
        seq.count = in.Integer();
        std::string kind = in.Line();
        std::string first = kind.substr(0, 1);
        switch (first.empty() ? '\0' : first[0]) {
        case 'P': seq.primitiveType = kPointList; break;
        case 'L': seq.primitiveType = kLineList; break;
        case 'A': seq.primitiveType = kLineStrip; break;
        case 'T': seq.primitiveType = kTriangleList; break;
        case 'S': seq.primitiveType = kTriangleStrip; break;
        case 'F': seq.primitiveType = kTriangleFan; break;
        default:
            RaiseError(ErrFormat, kLoadSource,
                       "Error in TCM parser (check: rendermode) sequence " + std::to_string(s) + " (" + first +
                           ") from:" + name);
        }
        std::string rest = kind.size() > 1 ? kind.substr(1) : std::string();
        seq.alpha = rest.find('A') != std::string::npos;
        seq.flagC = rest.find('C') != std::string::npos;
        seq.flagP = rest.find('P') != std::string::npos;
        seq.reverse = rest.find('R') != std::string::npos;
        if (renderMode == kModeTextured) {
            seq.texture = host.LoadTexture(in.Line());
        } else if (renderMode == kModeGrouped) {
            seq.texture = host.LoadTexture(in.Line());
            seq.group = in.Integer();
            if (s == 1 || seq.group < lowest) lowest = seq.group;
            if (s == 1 || seq.group > highest) highest = seq.group;
        }
        model.sequences.push_back(seq);
    }

    // Not sized from the count: a broken count must not allocate the world.
    // Vertices past the end of the file read as zeros, up to a bound.
    model.vertices.reserve(static_cast<size_t>(std::min(vertexCount, 65536)));
    int32_t pastTheEnd = 0;
    for (int32_t v = 0; v < vertexCount; ++v) {
        if (in.Ended() && ++pastTheEnd > kMaxVerticesPastTheEnd) {
            host.Log("WARNING: Model vertex list cut at " + std::to_string(v) + " of " +
                         std::to_string(vertexCount) + " vertices:" + name,
                     5);
            break;
        }
        MeshVertex vert;
        vert.x = static_cast<float>(in.Number());
        vert.y = static_cast<float>(in.Number());
        vert.z = static_cast<float>(in.Number());
        vert.color = ParseColor(in.Line());
        vert.u = static_cast<float>(in.Number());
        vert.v = static_cast<float>(in.Number());
        in.Line();
        vert.nx = -1.0f;
        model.vertices.push_back(vert);
    }

    // A run that reaches past the vertex list would make the device read
    // beyond its buffer: it is cut to the primitives that fit.
    const int64_t held = static_cast<int64_t>(model.vertices.size());
    for (size_t s = 0; s < model.sequences.size(); ++s) {
        auto& seq = model.sequences[s];
        const int64_t used = SequenceVertexCount(seq.primitiveType, seq.count);
        if (seq.start >= 0 && seq.count >= 0 && seq.start + used <= held) continue;
        const int32_t fits = seq.start < 0 ? 0 : PrimitivesThatFit(seq.primitiveType, held - seq.start);
        host.Log("WARNING: Model sequence " + std::to_string(s + 1) + " runs past its vertices, cut from " +
                     std::to_string(seq.count) + " to " + std::to_string(fits) + " primitives:" + name,
                 5);
        seq.count = fits;
        if (seq.start < 0) seq.start = 0;
    }

    VerifyDriver(model, host.HasBlendOp());
    CalcNormals(model);

    if (renderMode == kModeGrouped) {
        model.lowestGroup = lowest;
        model.highestGroup = highest;
        if (lowest == highest) {
            host.Log("WARNING: Model uses rendundant sequence indices", 5);
            model.renderMode = kModeTextured;
        } else if (lowest >= 0 && highest <= sequenceCount) {
            CreateIndexCache(model, lowest, highest);
            model.indexCacheValid = true;
        } else {
            model.indexCacheValid = false;
        }
    }
}

void ReadTco(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host) {
    Reader in(lines);
    int32_t count = in.Integer();
    model.parts.clear();
    for (int32_t i = 1; i <= count; ++i) {
        // A part count beyond the file's end would fetch models named "".
        if (in.Ended()) break;
        std::string partName = in.Line();
        if (in.Ended()) break;
        ModelPart part;
        part.model = host.GetModel(partName);
        part.stateKey = in.Integer();
        part.kind = in.Integer();
        if (part.kind < -9 || part.kind > 24) {
            host.Log("WARNING: Unknown animation kind " + std::to_string(part.kind) + " in " + name +
                         " (drawn without animation)", 5);
            part.kind = 0;
        }
        model.parts.push_back(part);
    }
    model.renderMode = kModeComposite;
}

LineSource LinesFrom(std::vector<std::string> lines) {
    size_t next = 0;
    return [lines = std::move(lines), next]() mutable -> std::optional<std::string> {
        if (next >= lines.size()) return std::nullopt;
        return lines[next++];
    };
}

} // namespace rdv
