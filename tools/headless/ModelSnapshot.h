#pragma once
// Drawing offscreen on the real OpenGL device, for the snapshot tool and the
// image tests: a hidden SDL window, the GL device at exactly the asked size,
// the graphics core's default state and a fresh light map (one directional
// light). Run with SDL_VIDEODRIVER=offscreen where there is no display.
//
//   ModelSnapshot shot(engine, 320, 240);
//   if (!shot.ok()) ... shot.error() ...
//   shot.Begin({4, 0, 0}, {0, 0, 0}, {0, 0, 1});
//   Graphics(engine).Model(Graphics(engine).GetModel("ball"))->DisplayMesh(...);
//   std::vector<uint8_t> rgba; shot.Finish(rgba);   // or shot.Save("out.png")
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx/D3DX8Math.h"

struct SDL_Window;

namespace rdv {

class Engine;

class ModelSnapshot {
public:
    // engine.programFolder must be set (models and textures are found below it).
    ModelSnapshot(Engine& engine, int width, int height);
    ~ModelSnapshot();
    ModelSnapshot(const ModelSnapshot&) = delete;
    ModelSnapshot& operator=(const ModelSnapshot&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Sets the view (left-handed look-at) and starts the frame (clear, scene).
    void Begin(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up);
    // Ends the scene and reads the back buffer: RGBA, rows top first.
    bool Finish(std::vector<uint8_t>& rgba);
    // Ends the scene and writes the back buffer to a PNG file.
    bool Save(const std::string& pngPath);

    // Draws model `name` (loaded through the model table) once.
    void DrawModel(const std::string& name, int32_t state = 0, float phase = 0, float x = 0, float y = 0, float z = 0,
                   float yaw = 0, float pitch = 0, float roll = 0, float scale = 1);

private:
    Engine& engine_;
    SDL_Window* window_ = nullptr;
    int width_, height_;
    std::string error_;
};

} // namespace rdv
