#pragma once
// The level object protocol: every object a level holds (ball, cameras,
// director, flag posts, scripted tiles ...) and the 26 shared static tiles
// answer the same operations. The level and the objects call one another
// only through this class; a class overrides what it answers and inherits a
// harmless default for the rest.
//
// Callers that need the typed members of a kind of object (a ball's
// `player`, a camera's `Active` and `priority`, a controller's `kMove` ...)
// first find the object by the prefix of its full class name, as the level
// file's conventions do, and then reach those members through the small
// interfaces below (AsBall, AsCamera, AsController, AsTile).
#include <cstdint>
#include <string>
#include <vector>

namespace rdv {

class Engine;
class engLevel;
class gfxModel;

// Where WriteHeader puts its lines: the level saver's file, or a list in tests.
class LevelWriter {
public:
    virtual ~LevelWriter() = default;
    virtual void WriteLine(const std::string& text) = 0;
};

// A LevelWriter that collects the lines (tests, editor previews).
class LineListWriter : public LevelWriter {
public:
    void WriteLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class IBall;
class ICamera;
class IController;
class ITile;

// Face orientations of the grid: 0 faces across z (floors), 1 across x,
// 2 across y.
enum FaceOrientation : int16_t { kFaceZ = 0, kFaceX = 1, kFaceY = 2 };

// Where a face's model can reach (see LevelObject::RenderBound).
struct FaceBound {
    float dx = 0, dy = 0, dz = 0;   // the model's origin from 1.5 x (x, y, z)
    float radius = 0;
    // A box the face's drawing lies in, tighter than the sphere: its centre
    // from 1.5 x (x, y, z) and its half sizes along x, y and z (negative:
    // not known).
    float bx = 0, by = 0, bz = 0;
    float hx = -1, hy = -1, hz = -1;
};

// What a face draws when it is one opaque model in a pose that depends
// only on the orientation (see LevelObject::RenderBatch).
struct FaceBatch {
    gfxModel* model = nullptr;
    int32_t state = 0;
    float dx = 0, dy = 0, dz = 0;   // the model's origin from 1.5 x (x, y, z)
    float yaw = 0, pitch = 0, roll = 0, sx = 1, sy = 1, sz = 1;
};

class LevelObject {
public:
    virtual ~LevelObject() = default;

    // One property line of the object's section. The default knows no key
    // and raises the "Invalid property for '<header>': key" error.
    virtual void AssignVar(const std::string& key, const std::string& value);
    // The object's section of a saved level; the default writes nothing.
    virtual void WriteHeader(LevelWriter& out) { (void)out; }
    // Once per frame with the milliseconds since the previous one.
    virtual void Tick(int32_t& elapsed) { (void)elapsed; }

    // Tiles: draw on face (x, y, z, orientation) of the grid.
    virtual void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
        (void)x; (void)y; (void)z; (void)orientation;
    }
    // Tiles whose Render draws one model and leaves no other trace: where
    // that model can reach on a face of the given orientation, as a sphere
    // around (1.5 x, 1.5 y, 1.5 z) + offset. False (the default): the face is
    // always drawn. The grid skips such a face outside the view, calling
    // RenderCulled instead, and draws the last one it skipped before any
    // other drawing, so the device is left as if every face had drawn.
    virtual bool RenderBound(int16_t orientation, FaceBound& bound) {
        (void)orientation; (void)bound;
        return false;
    }
    // Tiles whose Render is DisplayMesh of `batch.model` in state
    // `batch.state` at 1.5 x (x, y, z) + offset in the batch's pose, drawing
    // nothing blended, and which also give a RenderBound: the grid may draw
    // all such faces of a frame together, before the others, since the
    // order of opaque faces cannot change the picture. False: drawn alone.
    virtual bool RenderBatch(int16_t orientation, FaceBatch& batch) {
        (void)orientation; (void)batch;
        return false;
    }
    // What Render does besides drawing (the light map) for a skipped face.
    virtual void RenderCulled(int32_t x, int32_t y, int32_t z, int16_t orientation) {
        (void)x; (void)y; (void)z; (void)orientation;
    }
    // Tiles: the effect code for a ball touching the face from direction
    // (x, y, z) (the direction from the ball's cell towards the face).
    virtual int32_t GetEffect(float& x, float& y, float& z) {
        (void)x; (void)y; (void)z;
        return 0;
    }
    // Tiles: how many cells a ball may still rise after landing here.
    virtual int16_t MaxBounceHeight() { return 0; }
    // Angled pads: the direction the pad sends the ball, left in
    // engine.ParsedVector.
    virtual void GetDirectionVector(float& x, float& y, float& z) { (void)x; (void)y; (void)z; }
    // Palette tool tip; empty when the tile has none.
    virtual std::string ToolTipText() { return {}; }

    // Dotted class path ("System.Objects.Player.Ball", "System.Tiles.Ring").
    virtual std::string GetFullClassName() const = 0;
    // Scripted tiles finish their set-up themselves once painted.
    virtual void SecondaryInit() {}

    // Position, cell, up vector and rotation, each left in
    // engine.ParsedVector; objects without one leave it unchanged.
    virtual void WritePos() {}
    virtual void WriteTile() {}
    virtual void WriteUp() {}
    virtual void WriteRot() {}

    // Cameras: move for a ball at (x, y, z) / whether that point is seen.
    virtual void Reposition(float& x, float& y, float& z) { (void)x; (void)y; (void)z; }
    virtual bool CanSeePoint(float& x, float& y, float& z) {
        (void)x; (void)y; (void)z;
        return false;
    }

    // The typed faces of the object, null when it is not of that kind.
    virtual IBall* AsBall() { return nullptr; }
    virtual ICamera* AsCamera() { return nullptr; }
    virtual IController* AsController() { return nullptr; }
    virtual ITile* AsTile() { return nullptr; }

protected:
    // For the default AssignVar error: the section name the class is written
    // under ("Ball", "MoveChain") and the class name used in the error source
    // ("objBall"). Classes with their own AssignVar use the helpers below.
    virtual std::string HeaderName() const { return GetFullClassName(); }
    virtual std::string ClassName() const { return "LevelObject"; }
};

// The ball: found by the prefix "System.Objects.Player".
class IBall {
public:
    virtual ~IBall() = default;
    int32_t player = 0;       // 0 or 1
    int32_t lostCount = 0;    // non-zero while the ball is lost
    virtual void ResetBall() = 0;
    virtual void SetBallStart(float x, float y, float z) = 0;
};

// The director's view of a camera: found by the prefix "System.Camera".
// Reposition, CanSeePoint, WritePos, WriteRot and WriteUp are protocol
// operations of LevelObject.
class ICamera {
public:
    virtual ~ICamera() = default;
    bool Active = true;
    bool bFollow = true;       // look at the ball rather than along WriteRot
    float priority = 1.0f;     // lower wins
    int32_t balltolookat = -1; // player index served, -1 any
};

// What a ball steers by (key handler, cutscene controller). Reading kMove
// may advance a script, so these are calls, not fields.
class IController {
public:
    virtual ~IController() = default;
    virtual float kMove() = 0;
    virtual float kRot() = 0;
    virtual bool kJump() = 0;
    virtual bool kBreak() = 0;
};

// Tiles, static or scripted.
class ITile {
public:
    virtual ~ITile() = default;
    // Static tiles: the tile code 1..26; scripted tiles: 0.
    virtual int32_t TileCode() const { return 0; }
    // The section name the tile is written under ("Wall", "MoveChain").
    virtual std::string SectionName() const = 0;
};

// ---------------------------------------------------------------- helpers

// The source of a level object's property errors:
// "Engine->LoadLevel->ReadLevelFile->AssignProperty->" + className + ".AssignVar".
std::string PropertySource(const std::string& className);

// 1005 "Invalid property for '<header>': <key>".
[[noreturn]] void RaiseInvalidProperty(const std::string& className, const std::string& headerName,
                                       const std::string& key);
// 1005 "Invalid property value for '<header>.<key>', must be <rule>: <value>".
[[noreturn]] void RaiseInvalidValue(const std::string& className, const std::string& headerName,
                                    const std::string& key, const std::string& rule, const std::string& value);
// 1005 with a description of the class's own wording.
[[noreturn]] void RaisePropertyError(const std::string& className, const std::string& description);

// Level-file Booleans: "true"/"1" and "false"/"0", compared exactly. False
// when the text is neither; `ok` tells which.
bool ParseLevelBool(const std::string& value, bool& ok);

// True when `name` begins with `prefix` (class-name lookups).
inline bool HasClassPrefix(const std::string& name, const std::string& prefix) {
    return name.compare(0, prefix.size(), prefix) == 0;
}

} // namespace rdv
