#pragma once
// A slider floor: pads that slide one cell at a time along a track (the
// faces painted with the floor's number), on a fixed beat, each steered by
// its own behaviour: random steps, a random walk, homing in on a ball, or
// none. A pad never leaves the track and never moves onto a cell that
// another pad holds or is heading for. A pad carries its face along and
// leaves the face behind it empty, so it eats its track as it goes.
//
// Carrying the ball: when a pad's face moves, a ball whose cell stands on
// that face (its cell is the pad's cell) moves with it by the same step, so
// the ball rides the pad instead of dropping through the face it vacated.
#include <vector>

#include "tiles/ScriptedTile.h"

namespace rdv {

struct SliderPad {
    D3DXVECTOR3 position{0, 0, 0};
    int16_t aiMode = 0;        // 0 random, 1 random walk, 2 homing, 3 none
    int16_t intelligence = 99; // homing probability in percent
    D3DXVECTOR3 target{0, 0, 0};
    int32_t player = 0;        // player number until SecondaryInit, then the ball's object number
    bool ballFound = false;    // `player` holds the ball's object number
};

class scrSliderFloor : public scrMovingTile {
public:
    scrSliderFloor(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    std::string GetFullClassName() const override { return "System.Tiles.Special.Sliderfloor"; }
    void SecondaryInit() override;

    // Every pad: position = target, then its behaviour picks the next target.
    void PlanMoves();
    // Moves the face of every pad from its position to its target.
    void CarryOut();
    bool TrySlide(SliderPad& pad, const D3DXVECTOR3& direction);
    void SliderAI_Random(SliderPad& pad);
    void SliderAI_MoveRandom(SliderPad& pad);
    void SliderAI_Homing(SliderPad& pad);
    // The six axis directions in the random walk's cyclic order.
    static const D3DXVECTOR3 kWalkOrder[6];

    int32_t currentAiMode = 0;
    int32_t currentPlayer = 0;
    int32_t currentIntelligence = 99;
    std::vector<SliderPad> pads;
    // The pads as the level placed them (they move, and learn their ball).
    std::vector<SliderPad> startPads;

protected:
    std::string HeaderName() const override { return "SliderFloor"; }
    std::string ClassName() const override { return "scrSliderFloor"; }

private:
    // Finds each pad's ball. A saved level writes its scripted tiles before
    // its balls, so a ball may still be missing at the first paint: such pads
    // wait (following no ball) until the first Tick, and only then is a
    // missing ball an error.
    void FindBalls(bool mustFind);
    bool ballsPending_ = false;
    double Random();
    // The face of cell c in the normal direction.
    int32_t FaceAt(const D3DXVECTOR3& c) const;
    void SetFaceAt(const D3DXVECTOR3& c, int32_t value);
};

} // namespace rdv
