#pragma once
// The player's ball. It does not integrate forces: it lives on the level's
// grid and moves one cell at a time through a timed phase machine. When a
// phase runs out, its expiry rule starts the next phase or asks a contact
// routine (HitFloor, PreHitCeiling, PreHitWall, HitWall) to look at the tile
// on one face of the current cell and choose from the tile's effect code.
// Between phase changes the ball is drawn where the phase and the fraction
// of its time left put it (BallDisplay.cpp).
#include <cstdint>
#include <memory>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;
class objKeyhandler;

class objBall : public LevelObject, public IBall {
public:
    objBall(Engine& engine, engLevel& level);
    ~objBall() override;

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Objects.Player.Ball"; }
    void WritePos() override;
    void WriteTile() override;
    void WriteUp() override;
    IBall* AsBall() override { return this; }

    void SetBallStart(float x, float y, float z) override;
    void ResetBall() override;

    // Contact routines and the heading check.
    void HitFloor();
    void PreHitCeiling();
    void PreHitWall();
    void HitWall();
    void VeriDir();

    // The drawn position and scale for the current phase and time left;
    // phase 26 also picks its flickering render mode here.
    void ComputeDisplay(D3DXVECTOR3& position, D3DXVECTOR3& scale);

    // Fields (public: tests and the simulator read them).
    int32_t modelIndex = 0;
    int32_t phase = 1;
    int32_t phaseTime = 0;
    LevelObject* controller = nullptr;
    bool ownsController = true;
    // The level object number "controller" named (0: the ball's own handler).
    int32_t controllerNumber = 0;
    bool flipped = false;
    D3DXVECTOR3 up{0, 0, 1};
    D3DXVECTOR3 viewUp{0, 0, 1};
    D3DXVECTOR3 upAbs{0, 0, 1};
    D3DXVECTOR3 displayPosition{0, 0, 0};
    D3DXVECTOR3 moveDir{0, 0, 0};
    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 startPosition{0, 0, 0};
    // No axis until an "up" is read; ResetBall then keeps the built-in up.
    D3DXVECTOR3 startUp{0, 0, 0};
    D3DXVECTOR3 heading{0, 1, 0};
    D3DXVECTOR3 side{1, 0, 0};
    D3DXVECTOR3 targetHeading{0, 1, 0};
    D3DXVECTOR3 angles{0, 0, 0};
    D3DXVECTOR3 turnFrom{0, 0, 0};
    D3DXVECTOR3 turnTo{0, 0, 0};
    D3DXVECTOR3 settledAngles{0, 0, 0};
    int32_t turnTime = 0;
    int32_t bounce = 0;
    bool sliding = false;
    bool jumpRequest = false;
    int32_t renderMode = 1;
    D3DXVECTOR3 displayScale{0.25f, 0.25f, 0.25f};

    // The grid cell of the logical position.
    void Cell(int32_t& x, int32_t& y, int32_t& z) const;
    // Sets turnTo and settledAngles from viewUp, targetHeading and side.
    void ChooseOrientation();

protected:
    std::string HeaderName() const override { return "Ball"; }
    std::string ClassName() const override { return "objBall"; }

private:
    // The movement input at a decision point: -1 back, +1 forward, 0 none;
    // `direction` gets -heading or heading.
    int MoveInput(D3DXVECTOR3& direction);
    // Reads the movement and, for back or forward, sets moveDir.
    bool MoveKeyHeld();
    void Expire();
    void SetPhase(int32_t n, int32_t time) { phase = n; phaseTime = time; }
    void Land(LevelObject* floor);
    void Rise();
    void Fall();
    void Step();
    // The tile on the face of the current cell towards d, or null; `face`
    // gets the grid reference and the integer direction for removal.
    struct FaceHit {
        LevelObject* tile = nullptr;
        int32_t effect = 0;
        int32_t cx = 0, cy = 0, cz = 0;
        int32_t dx = 0, dy = 0, dz = 0;
    };
    FaceHit QueryFace(const D3DXVECTOR3& d);
    void RemoveTile(const FaceHit& hit);
    void Endlevel();
    void UseKeyHandler(int32_t playerId);
    void ApplyFlip() { viewUp = flipped ? -up : up; }

    Engine& engine_;
    engLevel& level_;
    std::unique_ptr<objKeyhandler> keyhandler_;
};

// Number text of the level files: shortest decimal form, "." as the point.
std::string LevelNumberText(float value);

} // namespace rdv
