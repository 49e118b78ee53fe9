// Loading shader scripts: the line-reading rules and the three script kinds.
#include "graphics/Shader.h"

#include "core/Engine.h"
#include "core/Error.h"
#include "packages/Package.h"
#include "packages/Parse.h"
#include "platform/shaderasm/ShaderAssembler.h"
#include "platform/shaderasm/ShaderTokens.h"

namespace rdv {

namespace {

const char* const kLoadSource = "Engine->GetShader->LoadShader";
const char* const kPixelSource = "Engine->GetShader->LoadShader->LoadPixelShader";

// Closes the script on every way out, errors included.
class OpenScript {
public:
    OpenScript(Engine& engine, int32_t handle) : engine_(engine), handle_(handle) {}
    ~OpenScript() { Close(); }
    OpenScript(const OpenScript&) = delete;
    OpenScript& operator=(const OpenScript&) = delete;
    void Close() {
        if (handle_ > 0) ClosePackage(engine_, handle_);
        handle_ = 0;
    }

private:
    Engine& engine_;
    int32_t handle_;
};

// A script line is trimmed; an empty one is replaced by the next line at most
// twice, and a line still empty ends the script (three blank lines in a row,
// or the end of the file).
class ScriptLines {
public:
    ScriptLines(Engine& engine, int32_t handle) : engine_(engine), handle_(handle) {}

    bool Next(std::string& line) {
        if (ended_) return false;
        line = Trim(ReadPackageLine(engine_, handle_));
        for (int i = 0; i < 2 && line.empty(); ++i) line = Trim(ReadPackageLine(engine_, handle_));
        if (line.empty()) ended_ = true;
        return true;
    }

    // The next non-empty statement (text before ";", trimmed).
    bool NextStatement(std::string& statement) {
        std::string line;
        while (Next(line)) {
            statement = Statement(line);
            if (!statement.empty()) return true;
        }
        return false;
    }

    static std::string Statement(const std::string& line) {
        const size_t semicolon = line.find(';');
        return Trim(semicolon == std::string::npos ? line : line.substr(0, semicolon));
    }

private:
    Engine& engine_;
    int32_t handle_;
    bool ended_ = false;
};

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "ps.1.0" .. "ps.1.4" gives the minor version, anything else -1.
int PixelVersionLine(const std::string& statement) {
    const std::string s = LowerAscii(statement);
    if (s.size() == 6 && s.compare(0, 5, "ps.1.") == 0 && s[5] >= '0' && s[5] <= '4') return s[5] - '0';
    return -1;
}

D3DCAPS8 DeviceCaps(IDirect3DDevice8* device) {
    D3DCAPS8 caps{};
    if (device) device->GetDeviceCaps(&caps);
    return caps;
}

} // namespace

gfxShaderObj::~gfxShaderObj() { Release(); }

void gfxShaderObj::Release() {
    if (device_ && handle != 0) {
        if (kind == kVertex) device_->DeleteVertexShader(handle);
        else if (kind == kPixel) device_->DeletePixelShader(handle);
    }
    handle = 0;
    device_ = nullptr;
    working = false;
}

void gfxShaderObj::LoadShader(Engine& engine, IDirect3DDevice8* device, const std::string& shaderName) {
    name = shaderName;
    std::string type;
    const int32_t h = OpenPackage(engine, shaderName, "shaders", type);
    if (h == 0)
        RaiseError(ErrFileAccess, "Engine->GetShader->LoadShader->Readpackage", "Could not read from package:" + shaderName);
    OpenScript script(engine, h);
    const std::string lowerType = LowerAscii(Trim(type));
    if (lowerType == "vsh") {
        LoadVertexShader(engine, device, h);
    } else if (lowerType == "psh") {
        LoadPixelShader(engine, device, h);
    } else if (lowerType == "tsh") {
        LoadTexelShader(engine, h);
    } else {
        RaiseError(ErrFileType, kLoadSource, "File is not a shader program: " + shaderName);
    }
}

void gfxShaderObj::LoadVertexShader(Engine& engine, IDirect3DDevice8* device, int32_t h) {
    ScriptLines lines(engine, h);
    std::string source, statement;
    while (lines.NextStatement(statement)) {
        if (!source.empty()) source += ' ';
        source += statement;
    }
    kind = kVertex;
    // Vertex shaders are assembled and created but never marked working, so
    // selecting one only disables it.
    working = false;
    std::string errors;
    AssembledShader assembled;
    if (!AssembleShader(source, assembled, errors)) {
        engine.log.Write("Warning: Assembly error in " + name, 4);
        engine.log.Write("Description: " + errors, 4);
        return;
    }
    shaderCode = assembled.tokens;
    vertexDeclaration = EngineVertexDeclaration();
    if (!device) return;
    DWORD created = 0;
    const HRESULT hr = device->CreateVertexShader(vertexDeclaration.data(), shaderCode.data(), &created, 0);
    if (SUCCEEDED(hr)) {
        handle = created;
        device_ = device;
    }
}

void gfxShaderObj::LoadPixelShader(Engine& engine, IDirect3DDevice8* device, int32_t h) {
    kind = kPixel;
    working = false;
    const DWORD deviceVersion = DeviceCaps(device).PixelShaderVersion;
    if ((deviceVersion & 0xFFFF) == 0) {
        if (engine.settings.pixelShaders) engine.log.Write("Warning: No pixelshader support - skip loading " + name, 4);
        return;
    }

    ScriptLines lines(engine, h);
    std::string assembly, statement;
    int fileMinor = -1;
    bool inSoftware = false;
    bool softwareSeen = false;
    code.clear();
    constants.clear();
    while (lines.NextStatement(statement)) {
        const int minor = PixelVersionLine(statement);
        if (minor >= 0) {
            if (fileMinor >= 0) RaiseError(ErrFormat, kPixelSource, "Multiple Pixelshaders located");
            fileMinor = minor;
            inSoftware = false;
            assembly += statement + "\r\n";
        } else if (statement == "TS") {
            if (softwareSeen) RaiseError(ErrFormat, kPixelSource, "Multiple Software sections");
            softwareSeen = true;
            inSoftware = true;
        } else if (inSoftware) {
            CompileTexelLine(engine, statement, kPixel);
            hasSoftwareSection = true;
        } else {
            assembly += statement + "\r\n";
        }
    }

    if (fileMinor >= 0) {
        const DWORD major = shtok::VersionMajor(deviceVersion), minor = shtok::VersionMinor(deviceVersion);
        if (major < 1 || (major == 1 && minor < static_cast<DWORD>(fileMinor))) {
            engine.log.Write("Warning: Pixelshader version too low - bailing out", 4);
            return;
        }
    } else {
        engine.log.Write("Warning: Version code missing - bailing out", 4);
        return;
    }

    std::string errors;
    std::vector<uint32_t> tokens;
    if (!AssembleShader(assembly, tokens, errors)) {
        engine.log.Write("Warning: Assembly error in " + name, 4);
        engine.log.Write("Description: " + errors, 4);
        return;
    }
    if (tokens.empty()) RaiseError(ErrFormat, kPixelSource, "Empty shader error");
    shaderCode = tokens;
    if (!device) return;
    DWORD created = 0;
    const HRESULT hr = device->CreatePixelShader(shaderCode.data(), &created);
    if (FAILED(hr)) {
        engine.log.Write("Warning: Error creating pixel shader (" + std::to_string(hr) + ") - bailing out", 4);
        return;
    }
    handle = created;
    device_ = device;
    working = true;
}

void gfxShaderObj::LoadTexelShader(Engine& engine, int32_t h) {
    ScriptLines lines(engine, h);
    std::string line;
    lines.Next(line);
    if (ScriptLines::Statement(line) != "TS")
        RaiseError(ErrFormat, kLoadSource, "Invalid TCS Header (allowed are: TS VS PS CS) in: " + name);
    kind = kTexel;
    code.clear();
    constants.clear();
    std::string statement;
    while (lines.NextStatement(statement)) CompileTexelLine(engine, statement, kTexel);
    if (code.empty()) RaiseError(ErrFormat, kLoadSource, "Empty Shader: " + name);
    working = true;
}

} // namespace rdv
