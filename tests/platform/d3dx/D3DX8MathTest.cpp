// D3DX math against values worked out by hand in the row-vector,
// left-handed conventions.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/d3dx/D3DX8Math.h"

using namespace rdv;

namespace {

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectMatrix(const D3DXMATRIX& m, const float (&want)[4][4], float eps = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], want[i][j], eps) << "row " << i << " col " << j;
}

D3DXVECTOR3 Apply(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

const float kHalfPi = 1.5707963f;

} // namespace

TEST(D3DXVector, LengthDotCrossNormalize) {
    D3DXVECTOR3 a(3, 4, 12), b(1, 0, 0), c(0, 1, 0), out;
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a), 13.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&a), 169.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &a), 169.0f);
    // x cross y = z in either handedness; the order of arguments matters.
    ExpectVec(*D3DXVec3Cross(&out, &b, &c), 0, 0, 1);
    ExpectVec(*D3DXVec3Cross(&out, &c, &b), 0, 0, -1);
    ExpectVec(*D3DXVec3Normalize(&out, &a), 3.f / 13, 4.f / 13, 12.f / 13);
    // In place: out may alias the input.
    D3DXVECTOR3 d(0, 0, -5);
    D3DXVec3Normalize(&d, &d);
    ExpectVec(d, 0, 0, -1);
    // A zero vector stays zero instead of turning into NaN.
    D3DXVECTOR3 zero;
    ExpectVec(*D3DXVec3Normalize(&out, &zero), 0, 0, 0);
}

TEST(D3DXVector, ArithmeticAndLerp) {
    D3DXVECTOR3 a(1, 2, 3), b(5, -2, 7), out;
    ExpectVec(*D3DXVec3Add(&out, &a, &b), 6, 0, 10);
    ExpectVec(*D3DXVec3Subtract(&out, &a, &b), -4, 4, -4);
    ExpectVec(*D3DXVec3Scale(&out, &a, -2), -2, -4, -6);
    ExpectVec(*D3DXVec3Lerp(&out, &a, &b, 0.25f), 2, 1, 4);
    ExpectVec(*D3DXVec3Minimize(&out, &a, &b), 1, -2, 3);
    ExpectVec(*D3DXVec3Maximize(&out, &a, &b), 5, 2, 7);
}

TEST(D3DXMatrix, RotationsAreLeftHanded) {
    D3DXMATRIX m;
    // +90 degrees about z takes x to y, y to -x.
    D3DXMatrixRotationZ(&m, kHalfPi);
    ExpectVec(Apply({1, 0, 0}, m), 0, 1, 0);
    ExpectVec(Apply({0, 1, 0}, m), -1, 0, 0);
    // About x: y to z.
    D3DXMatrixRotationX(&m, kHalfPi);
    ExpectVec(Apply({0, 1, 0}, m), 0, 0, 1);
    // About y: z to x, x to -z.
    D3DXMatrixRotationY(&m, kHalfPi);
    ExpectVec(Apply({0, 0, 1}, m), 1, 0, 0);
    ExpectVec(Apply({1, 0, 0}, m), 0, 0, -1);
    // The axis form agrees with the fixed-axis ones.
    D3DXMATRIX ax, rx;
    D3DXVECTOR3 axis(2, 0, 0);
    D3DXMatrixRotationAxis(&ax, &axis, 0.7f);
    D3DXMatrixRotationX(&rx, 0.7f);
    ExpectMatrix(ax, rx.m);
}

TEST(D3DXMatrix, YawPitchRollAppliesRollThenPitchThenYaw) {
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, kHalfPi, kHalfPi, kHalfPi);
    // x --roll z--> y --pitch x--> z --yaw y--> x
    ExpectVec(Apply({1, 0, 0}, m), 1, 0, 0);
    // y --roll--> -x --pitch--> -x --yaw--> z
    ExpectVec(Apply({0, 1, 0}, m), 0, 0, 1);
    // z --roll--> z --pitch--> -y --yaw--> -y
    ExpectVec(Apply({0, 0, 1}, m), 0, -1, 0);

    // The same as the explicit product Rz * Rx * Ry for arbitrary angles.
    D3DXMATRIX rz, rx, ry;
    D3DXMatrixRotationZ(&rz, 0.3f);
    D3DXMatrixRotationX(&rx, -1.1f);
    D3DXMatrixRotationY(&ry, 2.0f);
    D3DXMatrixRotationYawPitchRoll(&m, 2.0f, -1.1f, 0.3f);
    ExpectMatrix(m, (rz * rx * ry).m);
}

TEST(D3DXMatrix, TranslationScalingAndMultiplyOrder) {
    D3DXMATRIX t, s, m;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXMatrixScaling(&s, 2, 3, 4);
    EXPECT_EQ(t.m[3][0], 1.0f);
    EXPECT_EQ(t.m[3][2], 3.0f);
    // Scale first, then translate.
    D3DXMatrixMultiply(&m, &s, &t);
    ExpectVec(Apply({1, 1, 1}, m), 3, 5, 7);
    // Translate first, then scale.
    D3DXMatrixMultiply(&m, &t, &s);
    ExpectVec(Apply({1, 1, 1}, m), 4, 9, 16);
    // Normals ignore the translation.
    D3DXVECTOR3 n(1, 1, 1), out;
    ExpectVec(*D3DXVec3TransformNormal(&out, &n, &m), 2, 3, 4);
    D3DXVECTOR4 v4;
    D3DXVec3Transform(&v4, &n, &t);
    EXPECT_FLOAT_EQ(v4.w, 1.0f);
    EXPECT_FLOAT_EQ(v4.y, 3.0f);
    // Multiply in place.
    D3DXMatrixMultiply(&s, &s, &t);
    ExpectMatrix(s, (MatrixIdentity() * s).m);
}

TEST(D3DXMatrix, InverseAndDeterminant) {
    D3DXMATRIX a, b, m, inv;
    D3DXMatrixRotationYawPitchRoll(&a, 0.4f, 1.2f, -0.5f);
    D3DXMatrixTranslation(&b, 3, -2, 5);
    D3DXMatrixMultiply(&m, &a, &b);
    m.m[0][0] *= 2.0f;   // not orthogonal any more
    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    EXPECT_NEAR(det, D3DXMatrixDeterminant(&m), 1e-5f);
    D3DXMATRIX p = m * inv;
    ExpectMatrix(p, MatrixIdentity().m, 1e-4f);
    D3DXMATRIX s;
    D3DXMatrixScaling(&s, 2, 3, 4);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&s), 24.0f);
    // A singular matrix has no inverse and leaves out alone.
    D3DXMatrixScaling(&s, 1, 0, 1);
    D3DXMATRIX untouched = MatrixIdentity();
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &s), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&untouched));
    D3DXMATRIX tr;
    D3DXMatrixTranspose(&tr, &b);
    EXPECT_EQ(tr.m[0][3], 3.0f);
    EXPECT_EQ(tr.m[3][0], 0.0f);
}

TEST(D3DXMatrix, LookAtLH) {
    // The engine's default camera: from (-4, 0, 0) at the origin, z up.
    D3DXVECTOR3 eye(-4, 0, 0), at(0, 0, 0), up(0, 0, 1);
    D3DXMATRIX v;
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    // z axis = (1,0,0); x axis = up x z = (0,1,0); y axis = z x x = (0,0,1).
    const float want[4][4] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 4, 1}};
    ExpectMatrix(v, want);
    // The looked-at point lies straight ahead; +y of the world is to the right.
    ExpectVec(Apply(at, v), 0, 0, 4);
    ExpectVec(Apply({0, 1, 0}, v), 1, 0, 4);
}

TEST(D3DXMatrix, PerspectiveAndOrtho) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveLH(&p, 0.1f * 4.0f / 3.0f, 0.1f, 0.1f, 100.0f);
    EXPECT_NEAR(p.m[0][0], 1.5f, 1e-5f);
    EXPECT_NEAR(p.m[1][1], 2.0f, 1e-5f);
    EXPECT_NEAR(p.m[2][2], 100.0f / 99.9f, 1e-5f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -10.0f / 99.9f, 1e-5f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    // Depth runs 0 at the near plane to 1 at the far plane.
    EXPECT_NEAR(Apply({0, 0, 0.1f}, p).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Apply({0, 0, 100.0f}, p).z, 1.0f, 1e-5f);

    // A vertical field of view of 2 atan 0.5 is the same volume.
    D3DXMATRIX f;
    D3DXMatrixPerspectiveFovLH(&f, 2.0f * std::atan(0.5f), 4.0f / 3.0f, 0.1f, 100.0f);
    ExpectMatrix(f, p.m, 1e-4f);

    D3DXMATRIX o;
    D3DXMatrixOrthoLH(&o, 4, 2, 1, 11);
    ExpectVec(Apply({2, 1, 1}, o), 1, 1, 0);
    ExpectVec(Apply({-2, -1, 11}, o), -1, -1, 1);
}
