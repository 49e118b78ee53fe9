// Level files: "BTv1", then text lines of sections. Reading builds the
// level's objects and paints its grid; writing produces a file that paints
// the same grid when read back.
#include <charconv>
#include <cmath>
#include <optional>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/UserFolder.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "packages/Package.h"
#include "packages/Parse.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace {

constexpr int32_t kLevelSignature = 0x31765442;  // "BTv1"
const char* const kEngineVersion = "1.0.29";
const char* const kReadSource = "Engine->LoadLevel->ReadLevelFile";
const char* const kAssignSource = "Engine->LoadLevel->ReadLevelFile->AssignProperty";
const char* const kNewObjectSource = "Engine->LoadLevel->ReadLevelFile->NewObject";

// Closes a package handle however the read ends.
struct PackageGuard {
    Engine& engine;
    int32_t handle;
    ~PackageGuard() {
        if (handle > 0) ClosePackage(engine, handle);
    }
};

// What the file has set of the paint cursor so far; shared by every section
// of one save, as the reader's cursor is by every section of one load.
struct PaintState {
    std::optional<int> up;  // orientation
    std::optional<int32_t> sx, sy, sz;
};

} // namespace

// ---------------------------------------------------------------- reading

void engLevel::ResetForLoad() {
    objects_.clear();
    names_.clear();
    palette_.clear();
    editCursor_ = 0;
    currentSection_ = kNoSection;
    dualMode = 0;
    colourClear = true;
    endReason_ = endTimeLeft_ = endTimeTotal_ = 0;
    // A level read again starts from an empty world, as a new one does.
    sizeX_ = sizeY_ = sizeZ_ = 0;
    layerXY_ = layerXZ_ = layerYZ_ = 0;
    for (auto& faces : faces_) faces.clear();
    ++facesVersion_;
    cursor_ = PaintCursor{};
}

void engLevel::LoadLevel(const std::string& reference) {
    reference_ = reference;
    std::string type = "none";
    const int32_t handle = OpenPackage(engine_, reference, "maps", type);
    if (handle == 0) RaiseError(ErrFileAccess, "Engine->LoadLevel->OpenPackage", "Error loading package: " + reference);
    {
        PackageGuard guard{engine_, handle};
        if (ReadPackageLong(engine_, handle) != kLevelSignature)
            RaiseError(ErrFormat, kReadSource, "Level Signature Error");
        ResetForLoad();
        if (engine_.gfx) engine_.gfx->clearTarget = 1;
        ReadLevelFile(handle);
    }
    LoadLightMapFor(reference);
}

void engLevel::ReadLevelFile(int32_t handle) {
    int emptyLines = 0;
    for (;;) {
        const std::string line = Trim(ReadPackageLine(engine_, handle));
        if (line.empty()) {
            // Past the end of the file every line reads empty.
            if (++emptyLines >= 5) {
                engine_.log.Write("WARNING: file format error - missing trailing star", 4);
                return;
            }
            continue;
        }
        emptyLines = 0;
        switch (line[0]) {
        case '-': NewSection(line.substr(1)); break;
        case '*': return;
        case '#': break;
        case '!': engine_.log.Write(line.substr(1), 3); break;
        case '=': RaiseError(ErrFormat, kReadSource, "Invalid use of property operator: " + line);
        default: {
            const size_t eq = line.find('=');
            if (eq == std::string::npos) {
                engine_.log.Write("WARNING: file format error - garbage found", 4);
                break;
            }
            AssignProperty(line, Trim(line.substr(0, eq)), line.substr(eq + 1));
            break;
        }
        }
    }
}

void engLevel::NewSection(const std::string& name) {
    if (name == "World") {
        if (currentSection_ != kNoSection) RaiseError(ErrFormat, kNewObjectSource, "World Object must appear first");
        currentSection_ = 0;
        return;
    }
    if (const int32_t code = TileCodeOfSection(name)) {
        currentSection_ = -code;
        return;
    }
    std::string className = name;
    auto object = CreateNewObject(className);
    currentSection_ = AddObject(std::move(object));
}

void engLevel::AssignProperty(const std::string& line, const std::string& key, const std::string& value) {
    if (currentSection_ == kNoSection) RaiseError(ErrFormat, kAssignSource, "Assignment Before Object: " + line);
    if (currentSection_ == 0) {
        WorldProperty(key, value);
    } else if (currentSection_ < 0) {
        Paintstruct(key, value);
    } else if (LevelObject* object = MapObject(currentSection_)) {
        object->AssignVar(key, value);
    }
}

void engLevel::WorldProperty(const std::string& key, const std::string& value) {
    if (key == "x" || key == "y" || key == "z") {
        const int32_t size = RoundHalfEven(Val(value));
        const std::string what = key + "=" + value;
        if (size < 1) RaiseError(ErrFormat, kAssignSource, "Invalid world size: " + what);
        SetWorldSize(key == "x" ? size : sizeX_, key == "y" ? size : sizeY_, key == "z" ? size : sizeZ_, what);
    } else if (key == "dual") {
        bool ok = false;
        const bool on = ParseLevelBool(value, ok);
        if (!ok) RaiseError(ErrFormat, kAssignSource, "Invalid Value for 'World.dual', must be 1 or 0: " + value);
        if (on) {
            dualMode = engine_.settings.interlacing ? 1 : 5;
            colourClear = false;
            // Both halves are drawn over the whole picture: depth clear only.
            if (engine_.gfx) engine_.gfx->clearTarget = 0;
        } else {
            dualMode = 0;
        }
    } else {
        RaiseError(ErrFormat, kAssignSource, "Property does not belong to 'World': " + key);
    }
}

void engLevel::LoadLightMapFor(const std::string& reference) {
    lightMap_ = std::make_shared<gfxLightMap>();
    engine_.lightMap = lightMap_;
    // "#N" names a language string; its light map is named after the text.
    const std::string name = ResolveTextReference(engine_, reference) + "_lm";
    bool present = false;
    if (name.find('#', 1) == std::string::npos) {
        present = !FindStemMatches(ResolveNoCase(engine_.programFolder, "maps"), name).empty();
    } else {
        // An archive entry is only found by opening it.
        std::string type = "tci";
        const int32_t handle = OpenPackage(engine_, name, "maps", type);
        present = handle != 0;
        if (handle != 0) ClosePackage(engine_, handle);
    }
    if (present) lightMap_->LoadLightMap(engine_, name);
}

// ---------------------------------------------------------------- writing

namespace {

struct PaintPass {
    int orientation;   // face array
    const char* up;
    int runAxis;       // 0 x, 1 y
    const char* runKey;
};

// Run-length paint commands for every face holding `value`. A run goes on
// over faces a later section paints anyway (higher tile codes and objects
// for a tile, higher object numbers for an object), so runs stay long.
void WritePaint(LevelWriter& out, const engLevel& level, int32_t value, PaintState& state,
                const std::vector<bool>& objectWritten) {
    const int32_t X = level.SizeX(), Y = level.SizeY(), Z = level.SizeZ();
    const int64_t XY = int64_t{X} * Y, XZ = int64_t{X} * Z, YZ = int64_t{Y} * Z;

    auto paintedLater = [&](int32_t face) {
        if (face > 0) {
            const bool exists = face < static_cast<int32_t>(objectWritten.size()) && objectWritten[face];
            return exists && (value < 0 || face > value);
        }
        if (face < 0 && value < 0) return -face <= kTileTypes && -face > -value;
        return false;
    };
    auto set = [&](std::optional<int32_t>& slot, const char* key, int32_t v) {
        if (slot != v) {
            out.WriteLine(std::string(key) + "=" + std::to_string(v));
            slot = v;
        }
    };

    const PaintPass passes[3] = {
        {kFaceY, "y", 0, "dx"},
        {kFaceX, "x", 1, "dy"},
        {kFaceZ, "z", 1, "dy"},
    };
    for (const PaintPass& pass : passes) {
        const auto& faces = level.Faces(pass.orientation);
        // Loop bounds per pass: (outer z, middle, inner) with the plane axis
        // running one further than the cells.
        int32_t midEnd = 0, innerEnd = 0, zEnd = 0;
        switch (pass.orientation) {
        case kFaceY: zEnd = Z - 1; midEnd = Y; innerEnd = X - 1; break;
        case kFaceX: zEnd = Z - 1; midEnd = X; innerEnd = Y - 1; break;
        default: zEnd = Z; midEnd = X - 1; innerEnd = Y - 1; break;
        }
        for (int32_t z = 0; z <= zEnd; ++z) {
            for (int32_t m = 0; m <= midEnd; ++m) {
                bool open = false;
                for (int32_t i = 0; i <= innerEnd; ++i) {
                    int64_t index = 0;
                    int32_t cx = 0, cy = 0;
                    switch (pass.orientation) {
                    case kFaceY: cx = i; cy = m; index = cy * XZ + z * int64_t{X} + cx; break;
                    case kFaceX: cx = m; cy = i; index = cx * YZ + z * int64_t{Y} + cy; break;
                    default: cx = m; cy = i; index = z * XY + cy * int64_t{X} + cx; break;
                    }
                    const int32_t face = faces[static_cast<size_t>(index)];
                    if (face == value) {
                        if (!open) {
                            if (state.up != pass.orientation) {
                                out.WriteLine(std::string("up=") + pass.up);
                                state.up = pass.orientation;
                            }
                            set(state.sx, "sx", cx);
                            set(state.sy, "sy", cy);
                            set(state.sz, "sz", z);
                            open = true;
                        }
                    } else if (open && !paintedLater(face)) {
                        out.WriteLine(std::string(pass.runKey) + "=" + std::to_string(i - 1));
                        (pass.runAxis == 0 ? state.sx : state.sy) = i - 1;
                        open = false;
                    }
                }
                if (open) {
                    out.WriteLine(std::string(pass.runKey) + "=" + std::to_string(innerEnd));
                    (pass.runAxis == 0 ? state.sx : state.sy) = innerEnd;
                }
            }
        }
    }
}

} // namespace

int32_t engLevel::SavedNumberOf(int32_t number) const {
    if (number < 1 || static_cast<size_t>(number) >= savedNumbers_.size()) return 0;
    return savedNumbers_[static_cast<size_t>(number)];
}

namespace {

std::string ShortestText(float value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    return text == "-0" ? "0" : text;
}

} // namespace

std::string LevelValueText(float value) { return ShortestText(std::isfinite(value) ? value : 0.0f); }

std::string GridValueText(float world) {
    if (!std::isfinite(world)) return "0";
    // The loader computes float(text) * 1.5 in single precision; of the
    // quotient and its neighbours take the one that gives `world` back.
    const float q = world / kWorldScale;
    for (float c : {q, std::nextafter(q, INFINITY), std::nextafter(q, -INFINITY)})
        if (c * kWorldScale == world) return ShortestText(c);
    return ShortestText(q);
}

std::string GridVectorText(const D3DXVECTOR3& world) {
    return "(" + GridValueText(world.x) + ", " + GridValueText(world.y) + ", " + GridValueText(world.z) + ")";
}

std::string DirectionText(const D3DXVECTOR3& direction) {
    const std::string axis = AxisName(direction);
    if (!axis.empty()) return axis;
    return "(" + LevelValueText(direction.x) + ", " + LevelValueText(direction.y) + ", " + LevelValueText(direction.z) +
           ")";
}

void engLevel::SaveLevel(const std::string& name) {
    // The whole text is made first, so an object that fails to write itself
    // stops the save before any file is touched. The package layer then
    // writes a temporary file in "maps" and renames it over the old level
    // when the handle is closed.
    LineListWriter out;
    out.WriteLine("BTv1");
    out.WriteLine(std::string("#Created with RondovarII v") + kEngineVersion);
    out.WriteLine("-World");
    out.WriteLine("x=" + std::to_string(sizeX_));
    out.WriteLine("y=" + std::to_string(sizeY_));
    out.WriteLine("z=" + std::to_string(sizeZ_));

    // Which tile codes and object numbers occur on a face.
    std::vector<bool> tileUsed(kTileTypes + 1, false);
    std::vector<bool> objectUsed(static_cast<size_t>(MapObjects()) + 1, false);
    for (int o = 0; o < 3; ++o) {
        const auto& faces = faces_[o];
        // The spare element is no face of the world.
        for (size_t i = 0; i + 1 < faces.size(); ++i) {
            const int32_t v = faces[i];
            if (v < 0 && -v <= kTileTypes) tileUsed[static_cast<size_t>(-v)] = true;
            else if (v > 0 && v <= MapObjects() && MapObject(v)) objectUsed[static_cast<size_t>(v)] = true;
        }
    }

    // The numbers the written objects will have in the file: painted
    // objects first, then the other non-tile objects, each only if it writes
    // a section at all (the editor's camera and cursor write none). Known
    // before any section is written, since a ball may name a controller
    // written after it.
    std::vector<int32_t> order;
    for (int32_t n = 1; n <= MapObjects(); ++n)
        if (objectUsed[static_cast<size_t>(n)]) order.push_back(n);
    for (int32_t n = 1; n <= MapObjects(); ++n)
        if (!objectUsed[static_cast<size_t>(n)] && MapObject(n) && !HasClassPrefix(MapObjectName(n), "System.Tiles"))
            order.push_back(n);
    struct NumbersGuard {
        std::vector<int32_t>& numbers;
        ~NumbersGuard() { numbers.clear(); }
    } guard{savedNumbers_};
    std::vector<int32_t> numbers(static_cast<size_t>(MapObjects()) + 1, 0);
    int32_t next = 0;
    for (int32_t n : order) {
        LineListWriter probe;
        MapObject(n)->WriteHeader(probe);
        if (!probe.lines.empty()) numbers[static_cast<size_t>(n)] = ++next;
    }
    savedNumbers_ = std::move(numbers);

    PaintState state;
    for (int32_t code = 1; code <= kTileTypes; ++code) {
        if (!tileUsed[static_cast<size_t>(code)]) continue;
        if (LevelObject* tile = SystemTile(engine_, code)) tile->WriteHeader(out);
        else out.WriteLine(std::string("-") + kTileSectionNames[static_cast<size_t>(code)]);
        WritePaint(out, *this, -code, state, objectUsed);
    }
    for (int32_t n : order) {
        MapObject(n)->WriteHeader(out);
        if (objectUsed[static_cast<size_t>(n)]) WritePaint(out, *this, n, state, objectUsed);
    }
    out.WriteLine("*");

    std::string type = "tcs";
    const int32_t handle = OpenPackageForWrite(engine_, name, "maps", type, true, true);
    if (handle <= 0) RaiseError(ErrFileType, "Engine->Savelevel", "Couldn't access package for writing");
    uintmax_t bytes = 0;
    for (const std::string& line : out.lines) {
        WritePackageLine(engine_, handle, line);
        bytes += line.size() + 2;
    }
    ClosePackage(engine_, handle);
    // The commit happens on close and only logs when it fails; a save that
    // did not reach the disk must not pass for one that did.
    const auto saved = FindStemMatches(WritablePath(engine_, "maps"), name);
    std::error_code ec;
    if (saved.empty() || std::filesystem::file_size(saved.front(), ec) != bytes || ec)
        RaiseError(ErrFileType, "Engine->Savelevel", "Couldn't access package for writing");
}

} // namespace rdv
