// The terrain OBJ file: its lines, numbers and index order.
#include "noise/noisemap.h"
#include "scene/terrainobj.h"
#include "terrain/terrainarrays.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace orovista;

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends in a line feed";
    return out;
}

class TerrainObj : public ::testing::Test {
protected:
    void SetUp() override
    {
        map.SetSize(512, 512);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                map.SetValue(x, y, float((x + y) % 7) / 7.0f);
    }
    TerrainArrays mesh(int size)
    {
        TerrainSource source;
        source.heightMap = &map;
        source.terrainSize = size;
        source.elevationLow = 0;
        source.elevationHigh = 15;
        return buildTerrainArrays(source);
    }
    noise::utils::NoiseMap map;
};

TEST_F(TerrainObj, LinesComeInTheirBlocksAndOrder)
{
    std::string text;
    appendTerrainObj(mesh(1000), text);
    const auto l = lines(text);
    const std::size_t n = 512, vertices = n * n, faces = (n - 1) * (n - 1);
    ASSERT_EQ(l.size(), 2 * vertices + faces);
    EXPECT_EQ(l[0].rfind("v -500 ", 0), 0u) << l[0];
    EXPECT_TRUE(l[0].ends_with(" -500")) << l[0];
    EXPECT_EQ(l[vertices - 1].rfind("v 500 ", 0), 0u) << l[vertices - 1];
    EXPECT_TRUE(l[vertices - 1].ends_with(" 500")) << l[vertices - 1];
    EXPECT_EQ(l[vertices], "vt 0 1");
    EXPECT_EQ(l[vertices + 1], "vt 0.00195695 1");
    EXPECT_EQ(l[2 * vertices - 1], "vt 1 0");
    EXPECT_EQ(l[2 * vertices], "f 1/1 513/513 514/514 2/2");
    EXPECT_EQ(l[2 * vertices + 1], "f 2/2 514/514 515/515 3/3");
    EXPECT_EQ(l.back(), "f 261631/261631 262143/262143 262144/262144 261632/261632");
}

TEST_F(TerrainObj, NumbersUseSixSignificantDigits)
{
    std::string text;
    appendTerrainObj(mesh(100), text);
    const auto l = lines(text);
    // Column 1 of row 0: x = -50 + 100/511; the height of cell (1, 0) is 1/7 of the range.
    EXPECT_EQ(l[1].substr(0, 12), "v -49.8043 2");
    for (std::size_t i = 0; i < 2000; ++i)
        EXPECT_EQ(l[i].find('e'), std::string::npos) << l[i];
}

TEST_F(TerrainObj, WritesTheFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("my Terrain 1.obj");
    ASSERT_TRUE(writeTerrainObj(mesh(100), path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::string expected;
    appendTerrainObj(mesh(100), expected);
    EXPECT_EQ(file.readAll().toStdString(), expected);

    QString error;
    EXPECT_FALSE(writeTerrainObj(mesh(100), dir.filePath("missing/folder/t.obj"), &error));
    EXPECT_TRUE(error.contains("missing/folder/t.obj"));
}

}   // namespace
