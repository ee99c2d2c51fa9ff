// An imported terrain mesh: its terrain size, the far plane and first camera, the scale answer,
// and the model brought into scene units.

#include "terrain/customterrain.h"

#include "library/glm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using orovista::customTerrainCamera;
using orovista::customTerrainFarPlane;
using orovista::customTerrainScale;
using orovista::customTerrainSize;

/// minX, minY, minZ, maxX, maxY, maxZ
struct Bounds {
    float b[6];
};

std::unique_ptr<GLMmodel> readObj(const std::string &text)
{
    GLMreadError error;
    auto model = glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("test.obj"), &error);
    EXPECT_NE(model, nullptr) << error.message.toStdString();
    return model;
}

TEST(CustomTerrainSize, IsTheScaledHorizontalDiagonalTruncated)
{
    const Bounds square{{-50.0f, 0.0f, -50.0f, 50.0f, 10.0f, 50.0f}};
    EXPECT_EQ(customTerrainSize(square.b, 100.0), 141);   // 141.42…
    EXPECT_EQ(customTerrainSize(square.b, 50.0), 70);     // 70.71…
    EXPECT_EQ(customTerrainSize(square.b, 200.0), 282);   // 282.84…
    EXPECT_EQ(customTerrainSize(square.b, 5000.0), 7071);
}

TEST(CustomTerrainSize, TakesXAndZButNotTheHeight)
{
    // 3 × 4 on the ground: the diagonal is 5, whatever the height range.
    const Bounds flat{{10.0f, 0.0f, 20.0f, 13.0f, 0.0f, 24.0f}};
    const Bounds tall{{10.0f, -500.0f, 20.0f, 13.0f, 900.0f, 24.0f}};
    EXPECT_EQ(customTerrainSize(flat.b, 100.0), 5);
    EXPECT_EQ(customTerrainSize(tall.b, 100.0), 5);
    // A mesh standing in the x-y plane only spans its x width.
    const Bounds wall{{0.0f, 0.0f, 0.0f, 30.0f, 100.0f, 0.0f}};
    EXPECT_EQ(customTerrainSize(wall.b, 100.0), 30);
}

TEST(CustomTerrainSize, IsNeverBelowOne)
{
    const Bounds small{{0.0f, 0.0f, 0.0f, 0.3f, 0.0f, 0.4f}};   // diagonal 0.5
    EXPECT_EQ(customTerrainSize(small.b, 100.0), 1);
    const Bounds square{{-50.0f, 0.0f, -50.0f, 50.0f, 10.0f, 50.0f}};
    EXPECT_EQ(customTerrainSize(square.b, 0.1), 1);   // 0.14
    const Bounds point{{2.0f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0f}};
    EXPECT_EQ(customTerrainSize(point.b, 100.0), 1);
}

TEST(CustomTerrainSize, StaysInRangeForUnusableBounds)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Bounds withNan{{nan, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f}};
    const Bounds withInf{{-inf, 0.0f, 0.0f, inf, 0.0f, 1.0f}};
    const Bounds huge{{-3e38f, 0.0f, -3e38f, 3e38f, 0.0f, 3e38f}};
    EXPECT_EQ(customTerrainSize(withNan.b, 100.0), 1);
    EXPECT_EQ(customTerrainSize(withInf.b, 100.0), 1);
    EXPECT_EQ(customTerrainSize(huge.b, 10000.0), orovista::maximumCustomTerrainSize);
    // The far plane of the largest size is still a finite float.
    EXPECT_TRUE(std::isfinite(customTerrainFarPlane(orovista::maximumCustomTerrainSize)));
}

TEST(CustomTerrainSize, OfAModelReadFromAFile)
{
    // A 2 × 2 cell grid from −50 to 50 in x and z, with a hill in the middle.
    const auto model = readObj("v -50 0 -50\nv 0 0 -50\nv 50 0 -50\n"
                               "v -50 0 0\nv 0 20 0\nv 50 0 0\n"
                               "v -50 0 50\nv 0 0 50\nv 50 0 50\n"
                               "f 1 4 5 2\nf 2 5 6 3\nf 4 7 8 5\nf 5 8 9 6\n");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->numtriangles, 8u);
    EXPECT_EQ(customTerrainSize(model->bounds, 100.0), 141);
    EXPECT_EQ(customTerrainSize(model->bounds, 50.0), 70);
}

TEST(CustomTerrainScale, IsTheAnswerOnlyWhenAcceptedAndAboveZero)
{
    EXPECT_DOUBLE_EQ(customTerrainScale(true, 250.0), 250.0);
    EXPECT_DOUBLE_EQ(customTerrainScale(true, 0.1), 0.1);
    EXPECT_DOUBLE_EQ(customTerrainScale(false, 250.0), 100.0);   // cancelled
    EXPECT_DOUBLE_EQ(customTerrainScale(true, 0.0), 100.0);
    EXPECT_DOUBLE_EQ(customTerrainScale(true, -5.0), 100.0);
    EXPECT_DOUBLE_EQ(customTerrainScale(true, std::numeric_limits<double>::quiet_NaN()), 100.0);
    EXPECT_DOUBLE_EQ(customTerrainScale(true, std::numeric_limits<double>::infinity()), 100.0);
}

TEST(CustomTerrainView, FarPlaneIsSixteenTimesTheSize)
{
    EXPECT_FLOAT_EQ(customTerrainFarPlane(141), 2256.0f);
    EXPECT_FLOAT_EQ(customTerrainFarPlane(1), 16.0f);
}

TEST(CustomTerrainView, CameraStandsAtTwiceTheSizeAtTheMeshsMiddleHeight)
{
    const Bounds b{{-50.0f, 10.0f, -50.0f, 50.0f, 30.0f, 50.0f}};
    const auto full = customTerrainCamera(b.b, 100.0, 141);
    EXPECT_DOUBLE_EQ(full.x, 0.0);
    EXPECT_DOUBLE_EQ(full.y, 20.0);
    EXPECT_DOUBLE_EQ(full.z, 282.0);
    EXPECT_FLOAT_EQ(full.yaw, 0.0f);
    EXPECT_FLOAT_EQ(full.pitch, 20.0f);
    EXPECT_FLOAT_EQ(full.roll, 0.0f);
    // The height scales with the import; the distance follows the size it is given.
    const auto half = customTerrainCamera(b.b, 50.0, 70);
    EXPECT_DOUBLE_EQ(half.y, 10.0);
    EXPECT_DOUBLE_EQ(half.z, 140.0);
    // A mesh lying below zero puts the camera below zero.
    const Bounds low{{0.0f, -40.0f, 0.0f, 1.0f, -20.0f, 1.0f}};
    EXPECT_DOUBLE_EQ(customTerrainCamera(low.b, 100.0, 1).y, -30.0);
}

TEST(CustomTerrainModel, ScalingBringsVerticesAndBoundsIntoSceneUnits)
{
    auto model = readObj("v -50 2 -50\nv 50 8 -50\nv 0 4 50\nf 1 2 3\n");
    ASSERT_NE(model, nullptr);
    glmFacetNormals(model.get());
    glmVertexNormals(model.get(), 90.0f);
    const std::vector<float> normals = model->vertexNormals;
    orovista::scaleCustomTerrainModel(*model, 50.0);
    EXPECT_FLOAT_EQ(model->vertices[3 * 1 + 0], -25.0f);
    EXPECT_FLOAT_EQ(model->vertices[3 * 2 + 1], 4.0f);
    EXPECT_FLOAT_EQ(model->vertices[3 * 3 + 2], 25.0f);
    const float expected[6] = {-25.0f, 1.0f, -25.0f, 25.0f, 4.0f, 25.0f};
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(model->bounds[i], expected[i]) << i;
    EXPECT_EQ(model->vertexNormals, normals);   // a uniform scale turns no normal
    // The scaled bounds give the size the unscaled ones give at that scale.
    EXPECT_EQ(customTerrainSize(model->bounds, 100.0), 70);
}

TEST(CustomTerrainModel, AtOneHundredPercentNothingMoves)
{
    auto model = readObj("v -1.5 2 3\nv 4 5 6\nv 7 8 9.25\nf 1 2 3\n");
    ASSERT_NE(model, nullptr);
    const std::vector<float> before = model->vertices;
    orovista::scaleCustomTerrainModel(*model, 100.0);
    EXPECT_EQ(model->vertices, before);
}

}   // namespace
