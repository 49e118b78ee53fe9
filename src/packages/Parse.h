#pragma once
// Parsing utilities for level properties, model options and camera
// settings: lenient numbers, angles, vectors, axis words, key=value options,
// and a few vector helpers.
#include <cstdint>
#include <string>

#include "core/Number.h"  // Val, ValLong, RoundHalfEven
#include "packages/Package.h"  // FloatColor
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;

// One grid unit of a level file in world units.
inline constexpr float kWorldScale = 1.5f;
// The engine's value of pi (and half of it), used by angle parsing.
inline constexpr double kPi = 3.14159;
inline constexpr double kHalfPi = 1.570795;

// A player number counted from 1 as an index from 0: ValLong less one,
// held to the 32-bit range.
int32_t ValIndex(const std::string& text);

// Blanks trimmed from both ends.
std::string Trim(const std::string& text);

// "pi", "-pi", "Npi", "Ndeg" or plain radians.
float ParseAngle(const std::string& text);
// Axis word or "(x, y, z)" / "x,y,z" / "x y z" into engine.ParsedVector;
// false when the text has fewer than three numbers (x may already be written).
bool ParseVector(Engine& engine, const std::string& text);
// ParseVector, then ParsedVector * 1.5 (always), normalised if asked and parsed.
bool ParseVectorValue(Engine& engine, const std::string& text, bool normalise);
// "x", "-x", "y", "-y", "z", "-z" for exact unit axes, else "".
std::string AxisName(const D3DXVECTOR3& v);
// Value after "key=" up to the next blank, or `defaultValue`.
std::string GetOption(const std::string& text, const std::string& key, const std::string& defaultValue);
// True when every bit of mask is set in value.
bool HasFlags(uint32_t value, uint32_t mask);

D3DXVECTOR3 MakeVector(float x, float y, float z);
FloatColor MakeColor(float r, float g, float b, float a);
bool VectorEquals(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
D3DXVECTOR3 VectorAbs(const D3DXVECTOR3& v);
// Per component: a where b is non-zero (MaskVectorNonZero) / zero (MaskVectorZero), else 0.
D3DXVECTOR3 MaskVectorNonZero(const D3DXVECTOR3& a, const D3DXVECTOR3& b);
D3DXVECTOR3 MaskVectorZero(const D3DXVECTOR3& a, const D3DXVECTOR3& b);

} // namespace rdv
