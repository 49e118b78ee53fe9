#pragma once
// A running level: its objects (numbered from 1, with their full class
// names), its grid of tiled faces, its light map and the end-of-level
// countdown. Level files are read and written here too (LevelFile.cpp).
//
// Object references, as the grid's faces hold them: n > 0 is level object
// n, -c is the shared static tile of code c (1..26), 0 is nothing.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "level/GridOcclusion.h"
#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class gfxLightMap;

// The face arrays never hold more than this many faces in all.
inline constexpr int64_t kMaxWorldFaces = 16777216;
// References -1 .. -31 are the system tiles, known to the grid by number.
inline constexpr int32_t kGridTileCodes = 32;

// Section names of the static tiles, index = tile code (entry 0 empty).
extern const std::array<const char*, 27> kTileSectionNames;
// The tile code of a section name ("Wall" -> 1 ... "Water" -> 26), 0 if none.
int32_t TileCodeOfSection(const std::string& name);

// One loop of the back-to-front walk: axis 0 x, 1 y, 2 z; from..to inclusive.
struct GridLoop {
    int axis = 0;
    int32_t from = 0;
    int32_t to = 0;
    int32_t step = 1;
};
// The three nested loops for a view direction, outermost first.
std::array<GridLoop, 3> GridDrawOrder(const D3DXVECTOR3& viewDirection, int32_t sizeX, int32_t sizeY, int32_t sizeZ);

class engLevel {
public:
    explicit engLevel(Engine& engine);
    ~engLevel();
    engLevel(const engLevel&) = delete;
    engLevel& operator=(const engLevel&) = delete;

    Engine& engine() { return engine_; }

    // ------------------------------------------------------------ level file
    // Reads `reference` (a "maps" package reference) into this level.
    // Errors are engine errors and end the load at once.
    void LoadLevel(const std::string& reference);
    // Writes the level as name.tcs in "maps"; the old file is replaced only
    // by a complete new one.
    void SaveLevel(const std::string& name);
    // The reference last given to LoadLevel.
    const std::string& Reference() const { return reference_; }
    // During SaveLevel: the number object `number` gets in the file being
    // written (tiles on the grid come first, unpainted scripted tiles and
    // objects that write no section are dropped); 0 when it gets none or no
    // save is under way. Objects that refer to others by number write this.
    int32_t SavedNumberOf(int32_t number) const;

    // ------------------------------------------------------------ objects
    // Registry lookup: a name without "." gets "System." in front (the name
    // comes back with it); unknown or unbuilt classes raise 1005
    // "Invalid object: " + name.
    std::unique_ptr<LevelObject> CreateNewObject(std::string& name);
    // Appends an object (and its full class name); returns its number.
    int32_t AddObject(std::unique_ptr<LevelObject> object);
    LevelObject* ResolveObject(int32_t reference);
    LevelObject* MapObject(int32_t number);          // null outside 1..count
    const std::string& MapObjectName(int32_t number) const; // "" outside 1..count
    int32_t MapObjects() const { return static_cast<int32_t>(objects_.size()); }
    // While loading: 0x7FFFFFFF before the first section, 0 in the world
    // section, -code in a tile section, the object number in an object's.
    int32_t CurrentLoadingObject() const { return currentSection_; }
    static constexpr int32_t kNoSection = 0x7FFFFFFF;

    // The first object whose full class name starts with `prefix` and that
    // satisfies `match` (when given); 0 when none. Numbers from 1.
    int32_t FindObject(const std::string& prefix,
                       const std::function<bool(LevelObject&)>& match = {}) const;

    // ------------------------------------------------------------ frame
    // Ambient 0x3F3F3F, every object's Tick in list order, the grid back to
    // front, then the end countdown.
    void Tick(int32_t& elapsed);
    // Starts the end of the level: 1 goal reached (3000 ms), 2 ball lost
    // (5000 ms), 3 moving on (500 ms). Ignored while an end is under way.
    void Endlevel(int32_t reason);
    int32_t EndReason() const { return endReason_; }
    int32_t EndTimeLeft() const { return endTimeLeft_; }
    int32_t EndTimeTotal() const { return endTimeTotal_; }

    // The look direction of the view being drawn (look-at minus eye); the
    // game sets it before every Tick. It orders the grid drawing.
    D3DXVECTOR3 viewDirection{1, 1, -1};
    // Called once when the end countdown runs out (the campaign's LoadNext).
    // The level touches nothing of itself after calling it, so the hook may
    // replace the level.
    std::function<void()> loadNext;
    // The pose view 0 takes when a level is made, before any camera of the
    // level sets it (the game applies it with SetPlayerView).
    static constexpr D3DXVECTOR3 kStartEye{-2, -2, 5};
    static constexpr D3DXVECTOR3 kStartLookAt{4.5f, 4.5f, 3};
    static constexpr D3DXVECTOR3 kStartUp{0, 0, 1};

    // Two-player mode: 0 off, 5 (interlacing off) or 1 (interlacing on).
    int32_t dualMode = 0;
    // Whether each frame clears the colour buffer (off in dual mode).
    bool colourClear = true;

    // ------------------------------------------------------------ editor
    // Appends the edit camera and the draw cursor, then CalcTileObjects.
    void EnterEditor();
    // Palette: static tiles -1..-26 (those whose shared object exists), then
    // the level's objects whose class name starts with "System.Tiles".
    void CalcTileObjects();
    int32_t TileCount() const { return static_cast<int32_t>(palette_.size()); }
    int32_t TileReference(int32_t index) const;   // index from 1; 0 outside
    LevelObject* TileObject(int32_t index);
    LevelObject* GetEditorCursor();
    int32_t EditCursorNumber() const { return editCursor_; }

    // ------------------------------------------------------------ grid
    // Sets the world size (cells) and clears the faces. Sizes below 1, or a
    // grid above kMaxWorldFaces faces, raise 1005 "Invalid world size: "
    // + `what` (the key and value of the level file).
    void SetWorldSize(int32_t x, int32_t y, int32_t z, const std::string& what = {});
    int32_t SizeX() const { return sizeX_; }
    int32_t SizeY() const { return sizeY_; }
    int32_t SizeZ() const { return sizeZ_; }
    // Face arrays by orientation (kFaceZ, kFaceX, kFaceY), each with one
    // spare element past its faces.
    const std::vector<int32_t>& Faces(int orientation) const { return faces_[orientation]; }

    // One paint command (sx, sy, sz, up, dx, dy, dz) with the current section.
    void Paintstruct(const std::string& key, const std::string& value);
    struct PaintCursor {
        int32_t sx = 0, sy = 0, sz = 0;
        int16_t orientation = 0;
    };
    const PaintCursor& Cursor() const { return cursor_; }

    // The face crossed leaving cell (x, y, z) towards (dx, dy, dz); 0 when
    // that face lies outside the world.
    int32_t GetMapObject(int32_t x, int32_t y, int32_t z, int32_t dx, int32_t dy, int32_t dz) const;
    void SetMapObject(int32_t x, int32_t y, int32_t z, int32_t dx, int32_t dy, int32_t dz, int32_t reference);

    // Draws every face back to front for `viewDirection` (the level's Tick
    // uses the member of that name); `draw` replaces the tile Render calls
    // (tests), receiving the reference and the Render arguments.
    using FaceVisitor = std::function<void(int32_t reference, int32_t x, int32_t y, int32_t z, int16_t orientation)>;
    void RenderGrid(const D3DXVECTOR3& direction, const FaceVisitor& draw = {});
    // Whether RenderGrid leaves out the faces that solid layers of a large
    // grid hide from the eye (see GridOcclusion); the picture is the same
    // either way.
    bool hideBehindSolids = true;
    // How many faces the last RenderGrid left out as hidden.
    int64_t GridFacesHidden() const { return gridHidden_; }

    // ------------------------------------------------------------ light map
    // Made fresh by every LoadLevel (and then engine.lightMap, the map that
    // light-mapped models apply); null before the first load.
    gfxLightMap* LightMap() { return lightMap_.get(); }

private:
    void SetEndFog(bool on, float density);
    void ResetForLoad();
    void ReadLevelFile(int32_t handle);
    void AssignProperty(const std::string& line, const std::string& key, const std::string& value);
    void NewSection(const std::string& name);
    void WorldProperty(const std::string& key, const std::string& value);
    void LoadLightMapFor(const std::string& reference);
    void PaintRun(int axis, int32_t target);

    Engine& engine_;
    std::string reference_;

    std::vector<std::unique_ptr<LevelObject>> objects_;  // number n at [n - 1]
    std::vector<std::string> names_;
    int32_t currentSection_ = kNoSection;
    int32_t editCursor_ = 0;
    std::vector<int32_t> palette_;

    int32_t endReason_ = 0;
    int32_t endTimeLeft_ = 0;
    int32_t endTimeTotal_ = 0;

    int32_t sizeX_ = 0, sizeY_ = 0, sizeZ_ = 0;
    int64_t layerXY_ = 0, layerXZ_ = 0, layerYZ_ = 0;
    std::array<std::vector<int32_t>, 3> faces_;
    PaintCursor cursor_;

    std::shared_ptr<gfxLightMap> lightMap_;
    // RenderGrid's lists, kept between frames so that a frame allocates
    // nothing: the opaque faces of each model, state and pose, drawn
    // together, and the other faces in their back-to-front order.
    struct GridBatch {
        gfxModel* model = nullptr;
        int32_t state = 0;
        D3DXMATRIX pose;
        float dx = 0, dy = 0, dz = 0;
        std::vector<D3DXMATRIX> worlds;
        // Along x, y and z: the merged extents of the batch's faces.
        std::array<std::vector<std::pair<float, float>>, 3> extents;
    };
    struct GridFace {
        LevelObject* object;
        int32_t x, y, z;
        int16_t orientation;
        bool unseen;   // drawn again for the device state only, writing no pixel
    };
    std::vector<GridBatch> gridBatches_;
    std::vector<GridFace> gridFaces_;
    // Along x, y and z: the merged extents of the frame's faces drawn in
    // their place so far, opaque ones and others (see RenderGrid).
    std::array<std::vector<std::pair<float, float>>, 3> gridOpaqueInPlace_, gridOthersInPlace_;
    // Where the face of `orientation` at (x, y, z) is kept in faces_.
    int64_t FaceIndex(int16_t orientation, int64_t x, int64_t y, int64_t z) const {
        switch (orientation) {
        case kFaceZ: return z * layerXY_ + y * sizeX_ + x;
        case kFaceX: return x * layerYZ_ + z * sizeY_ + y;
        default: return y * layerXZ_ + z * sizeX_ + x;
        }
    }
    // The solid layers of the grid and the frame's eye (see RenderGrid):
    // false when nothing can be hidden this frame.
    bool FindOccluders(IDirect3DDevice8& device, const float eye[3], const D3DMATRIX& view,
                       const D3DMATRIX& projection);
    GridOcclusion gridOcclusion_;
    struct OccluderCache;
    std::shared_ptr<OccluderCache> occluders_;
    // Counts every change to faces_, so that what is found in it can be kept.
    uint64_t facesVersion_ = 0;
    int64_t gridHidden_ = 0;
    // Old number -> saved number while SaveLevel runs (index = old number).
    std::vector<int32_t> savedNumbers_;
};

// Number texts of saved levels, the shortest that read back as the same
// float: plain values, and world values the loader multiplies by 1.5
// (written divided by 1.5).
std::string LevelValueText(float value);
std::string GridValueText(float world);
// "(x, y, z)" of a vector the loader multiplies by 1.5 ("pos", "looktile").
std::string GridVectorText(const D3DXVECTOR3& world);
// A direction the loader normalises: its axis word when it is one, else its
// components.
std::string DirectionText(const D3DXVECTOR3& direction);

} // namespace rdv
