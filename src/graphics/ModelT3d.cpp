// The brush text reader ("t3d"): Begin/End blocks of maps, actors, brushes
// and polygons as brush editors export them. Each polygon becomes a triangle
// fan; a brush's Location, Rotation and PostScale move its vertices.
//
// Units: vertices, Origin, Location and Pan are in the file's units (the
// model is scaled when drawn); Rotation is in brush-editor units, 65536 to a
// full turn, applied as roll about x, then pitch about y, then yaw about z,
// after the PostScale and before the Location. Texture coordinates follow
// the editor's projection: u = ((p - Origin) . TextureU + PanU) / texture
// width, v likewise with TextureV, PanV and the height, measured in the
// brush's own space, so the texture moves with the brush.
#include <cctype>
#include <cmath>
#include <vector>

#include "core/Error.h"
#include "graphics/ModelData.h"
#include "packages/Parse.h"

namespace rdv {


namespace {

const char* const kBlockSource = "Engine->GetModel->LoadModel->LoadT3D";
const char* const kSyntaxSource = "LoadT3D";

// Polygon flag bits.
constexpr uint32_t kFlagTranslucent = 0x4;
constexpr uint32_t kFlagModulated = 0x40;
constexpr uint32_t kFlagTwoSided = 0x100;
constexpr uint32_t kFlagShaderU = 0x200;
constexpr uint32_t kFlagShaderV = 0x400;
constexpr uint32_t kFlagShaderB = 0x1000;
constexpr uint32_t kFlagShaderS = 0x2000;

struct V3 {
    double x = 0, y = 0, z = 0;
};

double Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The value of a text that must be a number from its first character.
double StartsWithNumber(const std::string& text, bool* ok) {
    size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i < text.size() && text[i] == '.') ++i;
    *ok = i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
    return Val(text);
}

// "1.0 2.0 -1.0" or "+1.0,+2.0,-1.0": exactly three numbers.
bool ParseThree(const std::string& text, V3& out) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    if (parts.size() != 3) return false;
    double v[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        v[i] = StartsWithNumber(parts[i], &ok);
        if (!ok) return false;
    }
    out = {v[0], v[1], v[2]};
    return true;
}

// The first word of a line: up to the first blank or "=".
std::string Keyword(const std::string& line) {
    auto end = line.find_first_of(" \t=");
    return line.substr(0, end);
}

std::string AfterKeyword(const std::string& line) {
    auto end = line.find_first_of(" \t=");
    if (end == std::string::npos) return {};
    return Trim(line.substr(end + 1));
}

bool Is(const std::string& a, const char* b) {
    std::string bb(b);
    if (a.size() != bb.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(bb[i])))
            return false;
    return true;
}

struct Polygon {
    std::string texture;
    uint32_t flags = 0;
    V3 origin, normal, textureU, textureV;
    double panU = 0, panV = 0;
    std::vector<V3> vertices;
};

struct Transform {
    V3 location;
    double yaw = 0, pitch = 0, roll = 0;
    V3 scale{1, 1, 1};
};

class T3dReader {
public:
    T3dReader(ModelData& model, const std::string& name, ModelHost& host) : model_(model), name_(name), host_(host) {}

    void Line(const std::string& raw) {
        std::string line = Trim(raw);
        if (line.empty()) return;
        std::string key = Keyword(line);
        if (Is(key, "Begin")) Begin(line);
        else if (Is(key, "End")) End();
        else if (Is(key, "Origin")) Vector(line, poly_.origin);
        else if (Is(key, "Normal")) Vector(line, poly_.normal);
        else if (Is(key, "TextureU")) Vector(line, poly_.textureU);
        else if (Is(key, "TextureV")) Vector(line, poly_.textureV);
        else if (Is(key, "Pan")) {
            poly_.panU = Val(GetOption(line, "U", "0"));
            poly_.panV = Val(GetOption(line, "V", "0"));
        } else if (Is(key, "Vertex")) {
            V3 p;
            if (!ParseThree(AfterKeyword(line), p))
                RaiseError(ErrFormat, kSyntaxSource, "Syntax Error: vertex must be written like 1.0 2.0 -1.0");
            poly_.vertices.push_back(p);
        } else if (Is(key, "CsgOper")) {
            std::string op = AfterKeyword(line);
            if (op != "CSG_Add" && op != "CSG_Subtract")
                RaiseError(ErrFormat, kBlockSource, "Syntax error: CsgOper must be CSG_Add or CSG_Subtract");
        } else if (Is(key, "Location")) {
            transform_.location = {Val(GetOption(line, "X", "0")), Val(GetOption(line, "Y", "0")),
                                   Val(GetOption(line, "Z", "0"))};
        } else if (Is(key, "Rotation")) {
            transform_.yaw = Val(GetOption(line, "Yaw", "0"));
            transform_.pitch = Val(GetOption(line, "Pitch", "0"));
            transform_.roll = Val(GetOption(line, "Roll", "0"));
        } else if (Is(key, "PostScale")) {
            transform_.scale = {Val(GetOption(line, "X", "1")), Val(GetOption(line, "Y", "1")),
                                Val(GetOption(line, "Z", "1"))};
        } else {
            host_.Log("unknown cmd:" + line, 5);
        }
    }

    void Finish() {
        if (begins_ != ends_)
            RaiseError(ErrFormat, kBlockSource,
                       "Syntax error: number of Begin statements does not match End statements (" +
                           std::to_string(begins_ - ends_) + ")");
        // Polygons outside any brush or actor keep their own coordinates.
        PlaceBrush();
    }

private:
    void Begin(const std::string& line) {
        ++begins_;
        std::string kind = Keyword(AfterKeyword(line));
        if (Is(kind, "Map")) {
            if (mapSeen_) RaiseError(ErrFormat, kBlockSource, "Syntax error: only one Begin Map allowed");
            mapSeen_ = true;
        } else if (Is(kind, "Actor")) {
            if (GetOption(line, "Class", "").empty())
                RaiseError(ErrFormat, kBlockSource, "Syntax error: Actor needs Class parameter");
            ++actorDepth_;
        } else if (Is(kind, "Brush") || Is(kind, "PolyList")) {
        } else if (Is(kind, "Polygon")) {
            poly_ = Polygon{};
            poly_.texture = GetOption(line, "Texture", "");
            double flags = Val(GetOption(line, "Flags", "0"));
            poly_.flags = flags > 0 ? static_cast<uint32_t>(static_cast<int64_t>(flags)) : 0u;
            inPolygon_ = true;
        } else {
            host_.Log("Started unknown section:" + kind, 5);
        }
        blocks_.push_back(kind);
    }

    void End() {
        ++ends_;
        if (blocks_.empty()) return;  // counted; the totals report it
        std::string kind = blocks_.back();
        blocks_.pop_back();
        if (Is(kind, "Polygon")) {
            EndPolygon();
        } else if (Is(kind, "Actor")) {
            --actorDepth_;
            PlaceBrush();
        } else if (Is(kind, "Brush")) {
            // A brush inside an actor takes the actor's transform, which may
            // still follow the brush block.
            if (actorDepth_ == 0) PlaceBrush();
        }
    }

    void Vector(const std::string& line, V3& out) {
        if (!ParseThree(AfterKeyword(line), out))
            RaiseError(ErrFormat, kSyntaxSource, "Syntax Error: vector must be written like 1.0 2.0 -1.0");
    }

    void EndPolygon() {
        inPolygon_ = false;
        if (poly_.vertices.size() < 3)
            RaiseError(ErrFormat, kBlockSource, "Syntax Error: Polygon must consist of at least 3 vertices");
        MeshSequence seq;
        seq.primitiveType = kTriangleFan;
        seq.start = static_cast<int32_t>(model_.vertices.size());
        seq.count = static_cast<int32_t>(poly_.vertices.size()) - 2;
        seq.texture = host_.LoadTexture(poly_.texture.empty() ? "none" : poly_.texture);
        seq.alpha = (poly_.flags & (kFlagTranslucent | kFlagModulated)) != 0;
        seq.twoSided = (poly_.flags & kFlagTwoSided) != 0;
        std::string letters;
        if (poly_.flags & kFlagShaderU) letters += 'U';
        if (poly_.flags & kFlagShaderV) letters += 'V';
        if (poly_.flags & kFlagShaderS) letters += 'S';
        if (poly_.flags & kFlagShaderB) letters += 'B';
        seq.shader = letters.empty() ? -1 : host_.GetShader("def_" + letters);

        auto [w, h] = host_.TextureSize(seq.texture);
        double tw = w > 0 ? w : 1, th = h > 0 ? h : 1;
        for (const auto& p : poly_.vertices) {
            V3 rel{p.x - poly_.origin.x, p.y - poly_.origin.y, p.z - poly_.origin.z};
            MeshVertex v;
            v.x = static_cast<float>(p.x);
            v.y = static_cast<float>(p.y);
            v.z = static_cast<float>(p.z);
            v.nx = -1.0f;
            v.color = 0xFFFFFFFFu;
            v.u = static_cast<float>((Dot(rel, poly_.textureU) + poly_.panU) / tw);
            v.v = static_cast<float>((Dot(rel, poly_.textureV) + poly_.panV) / th);
            model_.vertices.push_back(v);
        }
        model_.sequences.push_back(seq);
    }

    // Moves the vertices read since the last placed brush by the current
    // transform, then starts a fresh transform for the next brush.
    void PlaceBrush() {
        const double unit = 2.0 * 3.14159 / 65536.0;
        double cr = std::cos(transform_.roll * unit), sr = std::sin(transform_.roll * unit);
        double cp = std::cos(transform_.pitch * unit), sp = std::sin(transform_.pitch * unit);
        double cy = std::cos(transform_.yaw * unit), sy = std::sin(transform_.yaw * unit);
        for (size_t i = placed_; i < model_.vertices.size(); ++i) {
            auto& v = model_.vertices[i];
            double x = v.x * transform_.scale.x, y = v.y * transform_.scale.y, z = v.z * transform_.scale.z;
            double y1 = y * cr - z * sr, z1 = y * sr + z * cr;    // roll about x
            double x2 = x * cp + z1 * sp, z2 = -x * sp + z1 * cp; // pitch about y
            double x3 = x2 * cy - y1 * sy, y3 = x2 * sy + y1 * cy; // yaw about z
            v.x = static_cast<float>(x3 + transform_.location.x);
            v.y = static_cast<float>(y3 + transform_.location.y);
            v.z = static_cast<float>(z2 + transform_.location.z);
        }
        placed_ = model_.vertices.size();
        transform_ = Transform{};
    }

    ModelData& model_;
    const std::string& name_;
    ModelHost& host_;
    int32_t begins_ = 0, ends_ = 0;
    bool mapSeen_ = false;
    bool inPolygon_ = false;
    int actorDepth_ = 0;
    std::vector<std::string> blocks_;
    Polygon poly_;
    Transform transform_;
    size_t placed_ = 0;
};

} // namespace

void ReadT3d(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host) {
    model.vertices.clear();
    model.sequences.clear();
    model.material = MeshMaterial{};
    model.material.Diffuse = {1, 1, 1, 1};
    model.material.Ambient = {1, 1, 1, 1};
    model.textureIndex = 0;
    model.lightMapped = true;

    auto first = lines();
    std::string firstLine = first ? Trim(*first) : std::string();
    if (firstLine.find("Begin ") == std::string::npos)
        RaiseError(ErrFormat, "engine->GetModel->LoadModel",
                   "Error in T3D parser: file does not start with map or brush data: " + name);

    T3dReader reader(model, name, host);
    reader.Line(firstLine);
    while (auto line = lines()) reader.Line(*line);
    reader.Finish();

    CalcNormals(model);
    model.renderMode = kModeBrush;
}

} // namespace rdv
