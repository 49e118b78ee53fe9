// The ball's contacts: what lies at a face of its cell, and landing on,
// rising into and running against tiles.
#include <cmath>

#include "core/Engine.h"
#include "level/Level.h"
#include "objects/Ball.h"
#include "objects/BallInternal.h"
#include "packages/Parse.h"

namespace rdv {

objBall::FaceHit objBall::QueryFace(const D3DXVECTOR3& d) {
    FaceHit hit;
    Cell(hit.cx, hit.cy, hit.cz);
    hit.dx = GridRound(d.x);
    hit.dy = GridRound(d.y);
    hit.dz = GridRound(d.z);
    const int32_t reference = level_.GetMapObject(hit.cx, hit.cy, hit.cz, hit.dx, hit.dy, hit.dz);
    if (reference == 0) return hit;
    hit.tile = level_.ResolveObject(reference);
    if (hit.tile) {
        float fx = static_cast<float>(hit.dx), fy = static_cast<float>(hit.dy), fz = static_cast<float>(hit.dz);
        hit.effect = hit.tile->GetEffect(fx, fy, fz);
    }
    return hit;
}

void objBall::RemoveTile(const FaceHit& hit) {
    level_.SetMapObject(hit.cx, hit.cy, hit.cz, hit.dx, hit.dy, hit.dz, 0);
}

void objBall::Land(LevelObject* floor) {
    const int32_t limit = floor ? floor->MaxBounceHeight() : 0;
    if (limit < bounce) bounce = limit;
    SetPhase(3, 500);
}

void objBall::HitFloor() {
    const D3DXVECTOR3 d = -up;
    const FaceHit hit = QueryFace(d);
    const bool lost = lostCount != 0;
    if (!hit.tile) {
        SetPhase(10, 600);
        bounce += 1;
        // Out of the world: below the bottom for up gravity, above the top
        // (past one spare cell) for down gravity.
        const D3DXVECTOR3 g = position * kToGrid;
        const float gs[3] = {g.x, g.y, g.z};
        const float us[3] = {up.x, up.y, up.z};
        const int32_t sizes[3] = {level_.SizeX(), level_.SizeY(), level_.SizeZ()};
        for (int a = 0; a < 3; ++a) {
            if ((us[a] == 1 && gs[a] < 0) || (us[a] == -1 && gs[a] > static_cast<float>(sizes[a] + 1))) Endlevel();
        }
        return;
    }
    switch (hit.effect) {
    case 0:
        SetPhase(10, 600);
        bounce += 1;
        jumpRequest = false;
        break;
    case 1:
    case 2:
        if (lost) SetPhase(27, 500);
        else Land(hit.tile);
        break;
    case 3:
        SetPhase(10, 600);
        bounce += 1;
        break;
    case 4:
        if (lost) {
            bounce = 0;
            SetPhase(18, 500);
        } else {
            Land(hit.tile);
            sliding = true;
        }
        break;
    case 5: {
        bounce = 0;
        SetPhase(18, 500);
        float x = static_cast<float>(hit.dx), y = static_cast<float>(hit.dy), z = static_cast<float>(hit.dz);
        hit.tile->GetDirectionVector(x, y, z);
        moveDir = engine_.ParsedVector;
        break;
    }
    case 6:
        bounce = 0;
        SetPhase(18, 500);
        break;
    case 7:
        if (lost) SetPhase(27, 500);
        else SetPhase(19, 500);
        break;
    case 8: SetPhase(22, 140); break;
    case 9:
        lostCount += 1;
        Endlevel();
        renderMode = 2;
        SetPhase(33, 500);
        break;
    case 10:
        SetPhase(3, 500);
        RemoveTile(hit);
        break;
    case 11: SetPhase(38, 500); break;
    case 12:
        up = -up;
        if (bounce >= 2) {
            bounce = static_cast<int32_t>(std::nearbyint(static_cast<double>(bounce) / 2.0));
            SetPhase(41, 300);
        } else {
            bounce = 0;
            SetPhase(42, 300);
        }
        break;
    case 13:
        bounce = hit.tile->MaxBounceHeight();
        SetPhase(43, 600);
        break;
    default: Land(hit.tile); break;
    }
}

void objBall::PreHitCeiling() {
    const FaceHit hit = QueryFace(up);
    const int32_t effect = hit.tile ? hit.effect : 0;
    switch (effect) {
    case 0:
    case 3:
        SetPhase(9, 600);
        bounce -= 1;
        break;
    case 2:
        // Turned onto the ceiling: it becomes the floor.
        SetPhase(14, 320);
        side = heading;
        turnFrom = angles;
        turnTime = 350;
        up = -up;
        position += up * kCell;
        ChooseOrientation();
        break;
    case 8:
        SetPhase(24, 460);
        bounce -= 1;
        break;
    case 9: SetPhase(35, 320); break;
    case 10:
        SetPhase(11, 320);
        RemoveTile(hit);
        break;
    case 11: SetPhase(2, 400); break;
    default: SetPhase(11, 320); break;
    }
}

void objBall::PreHitWall() {
    // A contact like any other: a tile that counts its contacts (the
    // special breakable wall) counts this one and HitWall's both.
    const FaceHit hit = QueryFace(moveDir);
    if (!hit.tile) {
        SetPhase(37, 210);
        jumpRequest = false;
        return;
    }
    if (hit.effect == 2) {
        // Climb onto the wall ahead.
        SetPhase(15, 400);
        side = heading;
        turnFrom = angles;
        targetHeading = up;
        up = moveDir;
        viewUp = up;
        moveDir = targetHeading;
        up = -up;
        upAbs = VectorAbs(up);
        const float k = Dot(up, side);
        targetHeading = targetHeading * (-k);
        turnTime = 350;
        ChooseOrientation();
    } else if (hit.effect == 3) {
        // Carried over the edge by a gravity rotator.
        SetPhase(17, 400);
        side = heading;
        targetHeading = up;
        up = moveDir;
        viewUp = up;
        turnFrom = angles;
        upAbs = VectorAbs(up);
        moveDir = -targetHeading;
        const float k = Dot(up, side);
        targetHeading = targetHeading * (-k);
        turnTime = 350;
        ChooseOrientation();
    } else {
        SetPhase(37, 210);
    }
}

void objBall::HitWall() {
    jumpRequest = false;
    const FaceHit hit = QueryFace(moveDir);
    const int32_t effect = hit.tile ? hit.effect : 0;
    switch (effect) {
    case 1:
    case 4:
    case 6: SetPhase(7, 190); break;
    case 9:
        lostCount += 1;
        SetPhase(31, 2000);
        Endlevel();
        renderMode = 2;
        break;
    case 10:
        SetPhase(7, 190);
        RemoveTile(hit);
        break;
    case 11: SetPhase(39, 190); break;
    default: SetPhase(36, 190); break;
    }
}

} // namespace rdv
