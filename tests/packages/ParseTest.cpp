#include <gtest/gtest.h>

#include <cmath>

#include "core/Engine.h"
#include "packages/Parse.h"

namespace rdv {
namespace {

TEST(Val, TakesTheLongestNumberPrefix) {
    EXPECT_EQ(Val("42"), 42.0);
    EXPECT_EQ(Val("  -3.25xyz"), -3.25);
    EXPECT_EQ(Val("+7"), 7.0);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("5."), 5.0);
    EXPECT_EQ(Val("1.5.3"), 1.5);
    EXPECT_EQ(Val("2e3"), 2000.0);
    EXPECT_EQ(Val("2E-1"), 0.2);
    EXPECT_EQ(Val("2e"), 2.0);     // an exponent needs digits
    EXPECT_EQ(Val("2e+x"), 2.0);
    EXPECT_EQ(Val("1,5"), 1.0);    // never a decimal comma
    EXPECT_EQ(Val("abc"), 0.0);
    EXPECT_EQ(Val(""), 0.0);
    EXPECT_EQ(Val("-"), 0.0);
    EXPECT_EQ(Val("."), 0.0);
    EXPECT_EQ(Val("inf"), 0.0);
    EXPECT_EQ(Val("nan"), 0.0);
    EXPECT_EQ(Val("1e999"), std::numeric_limits<double>::max());
    EXPECT_EQ(Val("1e-999"), 0.0);
}

TEST(Val, IntegerFieldsRoundHalvesToEven) {
    EXPECT_EQ(ValLong("2.5"), 2);
    EXPECT_EQ(ValLong("3.5"), 4);
    EXPECT_EQ(ValLong("-2.5"), -2);
    EXPECT_EQ(ValLong("2.51"), 3);
    EXPECT_EQ(ValLong("1e20"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ValLong("-1e20"), std::numeric_limits<int32_t>::min());
}

TEST(ParseAngle, UnitsAndTheEnginesPi) {
    EXPECT_FLOAT_EQ(ParseAngle("90deg"), 1.570795f);
    EXPECT_FLOAT_EQ(ParseAngle("2PI"), 6.28318f);
    EXPECT_FLOAT_EQ(ParseAngle(" pi "), 3.14159f);
    EXPECT_FLOAT_EQ(ParseAngle("-pi"), -3.14159f);
    EXPECT_FLOAT_EQ(ParseAngle("0.5pi"), 1.570795f);
    EXPECT_FLOAT_EQ(ParseAngle("-180DEG"), -3.14159f);
    EXPECT_FLOAT_EQ(ParseAngle("1.25"), 1.25f);
    EXPECT_EQ(ParseAngle("abc"), 0.0f);
    EXPECT_EQ(ParseAngle("deg"), 0.0f);
    EXPECT_EQ(ParseAngle(""), 0.0f);
}

TEST(ParseVector, AxisWordsAndThreeNumberForms) {
    Engine e;
    EXPECT_TRUE(ParseVector(e, "X"));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(1, 0, 0));
    EXPECT_TRUE(ParseVector(e, " -z "));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(0, 0, -1));
    for (const char* text : {"(1, 2.5, -3)", "1,2.5,-3", "1 2.5 -3", " (1,2.5,-3) "}) {
        e.ParsedVector = {};
        EXPECT_TRUE(ParseVector(e, text)) << text;
        EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(1, 2.5f, -3)) << text;
    }
    // Commas win over blanks once one is present.
    EXPECT_TRUE(ParseVector(e, "1 2,3 4"));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(1, 3, 4));
}

TEST(ParseVector, TooFewNumbersFailAfterWritingWhatWasRead) {
    Engine e;
    e.ParsedVector = {9, 9, 9};
    EXPECT_FALSE(ParseVector(e, "(1,2)"));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(1, 9, 9));
    e.ParsedVector = {9, 9, 9};
    EXPECT_FALSE(ParseVector(e, "5"));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(9, 9, 9));
    EXPECT_FALSE(ParseVector(e, ""));
    EXPECT_FALSE(ParseVector(e, "()"));
    // Words that are not axes read as numbers, giving 0.
    EXPECT_TRUE(ParseVector(e, "a,b,c"));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(0, 0, 0));
}

TEST(ParseVectorValue, ScalesToWorldUnitsAndNormalises) {
    Engine e;
    EXPECT_TRUE(ParseVectorValue(e, "(2, 0, 4)", false));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(3, 0, 6));
    EXPECT_TRUE(ParseVectorValue(e, "(2, 0, 4)", true));
    EXPECT_NEAR(e.ParsedVector.x, 0.4472f, 1e-4);
    EXPECT_EQ(e.ParsedVector.y, 0.0f);
    EXPECT_NEAR(e.ParsedVector.z, 0.8944f, 1e-4);
    // A failed parse still scales what the vector holds, and is not normalised.
    e.ParsedVector = {2, 2, 2};
    EXPECT_FALSE(ParseVectorValue(e, "7", true));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(3, 3, 3));
    // A zero direction stays zero instead of becoming NaN.
    EXPECT_TRUE(ParseVectorValue(e, "0,0,0", true));
    EXPECT_EQ(e.ParsedVector, D3DXVECTOR3(0, 0, 0));
}

TEST(AxisName, OnlyExactUnitAxes) {
    EXPECT_EQ(AxisName({0, 0, 1}), "z");
    EXPECT_EQ(AxisName({0, 0, -1}), "-z");
    EXPECT_EQ(AxisName({0, 1, 0}), "y");
    EXPECT_EQ(AxisName({0, -1, 0}), "-y");
    EXPECT_EQ(AxisName({1, 0, 0}), "x");
    EXPECT_EQ(AxisName({-1, 0, 0}), "-x");
    EXPECT_EQ(AxisName({0, 0.999f, 0}), "");
    EXPECT_EQ(AxisName({0, 0, 0}), "");
    // Every axis word parses back to the vector it names.
    Engine e;
    for (D3DXVECTOR3 v : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, -1, 0), D3DXVECTOR3(0, 0, 1)}) {
        ASSERT_TRUE(ParseVector(e, AxisName(v)));
        EXPECT_EQ(e.ParsedVector, v);
    }
}

TEST(GetOption, PlainTextSearchForKeyEquals) {
    const std::string line = "size=2 alpha=0.5";
    EXPECT_EQ(GetOption(line, "alpha", "1"), "0.5");
    EXPECT_EQ(GetOption(line, "lpha", "1"), "0.5");
    EXPECT_EQ(GetOption(line, "size", "1"), "2");
    EXPECT_EQ(GetOption(line, "Size", "1"), "1");
    EXPECT_EQ(GetOption(line, "beta", "def"), "def");
    EXPECT_EQ(GetOption("a=", "a", "d"), "");
    EXPECT_EQ(GetOption("a= b", "a", "d"), "");
}

TEST(VectorHelpers, FlagsMasksAndComparisons) {
    EXPECT_TRUE(HasFlags(0b1011, 0b0011));
    EXPECT_FALSE(HasFlags(0b1001, 0b0011));
    EXPECT_TRUE(HasFlags(5, 0));
    EXPECT_EQ(MakeVector(1, 2, 3), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(MakeColor(0.1f, 0.2f, 0.3f, 0.4f), (FloatColor{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_TRUE(VectorEquals({1, 2, 3}, {1, 2, 3}));
    EXPECT_FALSE(VectorEquals({1, 2, 3}, {1, 2, 3.0001f}));
    EXPECT_EQ(VectorAbs({-1, 2, -0.5f}), D3DXVECTOR3(1, 2, 0.5f));
    EXPECT_EQ(MaskVectorNonZero({4, 5, 6}, {0, -1, 2}), D3DXVECTOR3(0, 5, 6));
    EXPECT_EQ(MaskVectorZero({4, 5, 6}, {0, -1, 2}), D3DXVECTOR3(4, 0, 0));
}

} // namespace
} // namespace rdv
