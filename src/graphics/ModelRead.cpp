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

uint32_t Channel(double v) {
    int32_t c = RoundHalfEven(v);
    return static_cast<uint32_t>(c < 0 ? 0 : (c > 255 ? 255 : c));
}

// Reads lines of one model file and knows when the file has ended.
class Reader {
public:
    Reader(const LineSource& lines, const std::string& name) : lines_(lines), name_(name) {}

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

    // A whole record that starts after the end of the file would be read
    // from nothing; a count that runs past the file is a broken file.
    void ExpectMore(const std::string& what) {
        if (ended_) RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: " + what + "):" + name_);
    }

private:
    const LineSource& lines_;
    const std::string& name_;
    bool ended_ = false;
};

void DefaultMaterial(MeshMaterial& m) {
    m = MeshMaterial{};
    m.Diffuse = {1, 1, 1, 0};
    m.Ambient = {1, 1, 1, 0};
}

} // namespace

uint32_t ParseColor(const std::string& text) {
    if (text.find("RGB") != std::string::npos) {
        return Channel(Field(text, 1)) * 65536u + Channel(Field(text, 5)) * 256u + Channel(Field(text, 9));
    }
    if (text.find("BGR") != std::string::npos) {
        return Channel(Field(text, 9)) * 65536u + Channel(Field(text, 5)) * 256u + Channel(Field(text, 1));
    }
    double v = std::nearbyint(Val(text));
    // A full ARGB value may exceed the signed range; negative texts wrap as
    // their 32-bit pattern.
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    if (v <= -2147483648.0) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int64_t>(v));
}

void ReadTcm(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host) {
    Reader in(lines, name);

    std::string versionLine = in.Line();
    if (versionLine.size() == 2)
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: binary):" + name);
    int32_t version = RoundHalfEven(Val(versionLine));
    if (version < 1 || version > 4 || in.Ended())
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: textmode version):" + name);

    model.emissiveSource = 0;
    model.ambientDiffuseSource = 1;
    model.textureIndex = 0;
    model.lightMapped = true;
    model.shaderIndex = 0;
    DefaultMaterial(model.material);

    int32_t renderMode = version;
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
    // Only three modes exist; anything else would be stored as a mode that
    // draws nothing and hides the broken file.
    if (renderMode < 1 || renderMode > 3)
        RaiseError(ErrFormat, kLoadSource, "Error in TCM parser (check: rendermode):" + name);
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
    for (int32_t s = 1; s <= sequenceCount; ++s) {
        in.ExpectMore("sequence count");
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
    model.vertices.reserve(static_cast<size_t>(std::min(vertexCount, 65536)));
    for (int32_t v = 0; v < vertexCount; ++v) {
        in.ExpectMore("vertex count");
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
    // beyond its buffer.
    for (size_t s = 0; s < model.sequences.size(); ++s) {
        const auto& seq = model.sequences[s];
        int64_t used = SequenceVertexCount(seq.primitiveType, seq.count);
        if (seq.start < 0 || seq.count < 0 || seq.start + used > vertexCount)
            RaiseError(ErrFormat, kLoadSource,
                       "Error in TCM parser (check: sequence range) sequence " + std::to_string(s + 1) +
                           " from:" + name);
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
    Reader in(lines, name);
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
