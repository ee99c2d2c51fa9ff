// The OBJ importer: geometry, groups and settings read right; malformed files refused cleanly.
#include "dzapp.h"
#include "dzimportmgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzscene.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

class ObjImport : public ::testing::Test {
protected:
    DzApp app;
    QTemporaryDir dir;
    DzImporter *importer = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        importer = app.getImportMgr()->findImporterByClassName(QStringLiteral("DzObjImporter"));
        ASSERT_NE(importer, nullptr);
    }

    QString write(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }

    DzFacetMesh *meshOf(DzNode *node)
    {
        if (!node || !node->getObject())
            return nullptr;
        return qobject_cast<DzFacetMesh *>(node->getObject()->getCurrentGeometryForNode());
    }
};

// A unit quad and a pentagon, with groups, materials, uvs, normals, a negative index, a
// comment, CRLF line ends and tabs.
const QByteArray kSample =
    "# sample\r\n"
    "mtllib sample.mtl\r\n"
    "o thing\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "v 2 0 0\nv 3 0 0\nv 3 1 0\nv 2.5 2 0\nv 2 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n"
    "g left\n"
    "usemtl stone\n"
    "s off\n"
    "f 1/1/1 2/2/1 3/3/1 -6/4/1\n"
    "g right\n"
    "usemtl moss\n"
    "f\t5//1 6//1 7//1 8//1 9//1\n";

} // namespace

TEST_F(ObjImport, ReadsGeometryGroupsAndMaterialsIntoANamedNode)
{
    const QString file = write(QStringLiteral("rock.obj"), kSample);
    ASSERT_EQ(app.getImportMgr()->readGeometry(file, nullptr), DZ_NO_ERROR) << importer->getLastError().toStdString();

    DzNode *node = dzScene->findNode(QStringLiteral("rock"));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->getLabel(), QStringLiteral("rock"));
    EXPECT_EQ(dzScene->getNode(dzScene->getNumNodes() - 1), node);
    DzFacetMesh *mesh = meshOf(node);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNumVertices(), 9);
    EXPECT_EQ(mesh->getNumUVs(), 4);
    EXPECT_EQ(mesh->getNumNormals(), 1);
    ASSERT_EQ(mesh->getNumFacets(), 4);   // a quad, and the pentagon as a fan of three triangles
    EXPECT_EQ(mesh->getNumTriangles(), 5);

    const DzFacet quad = mesh->getFacet(0);
    EXPECT_TRUE(quad.isQuad());
    EXPECT_EQ(quad.m_vertIdx[3], 3);   // -6 counted back from nine vertices
    EXPECT_EQ(quad.m_uvwIdx[2], 2);
    EXPECT_EQ(quad.m_normIdx[0], 0);
    const DzFacet fan = mesh->getFacet(3);
    EXPECT_FALSE(fan.isQuad());
    EXPECT_EQ(fan.m_vertIdx[0], 4);
    EXPECT_EQ(fan.m_vertIdx[1], 7);
    EXPECT_EQ(fan.m_vertIdx[2], 8);
    EXPECT_EQ(fan.m_uvwIdx[0], -1);

    EXPECT_EQ(mesh->getFaceGroupName(fan.m_faceGroupIdx), QStringLiteral("right"));
    EXPECT_EQ(mesh->getFaceGroupName(quad.m_faceGroupIdx), QStringLiteral("left"));
    auto *shape = qobject_cast<DzFacetShape *>(node->getObject()->getCurrentShape());
    ASSERT_NE(shape, nullptr);
    ASSERT_EQ(shape->getNumMaterials(), 2);
    EXPECT_EQ(shape->getMaterial(quad.m_materialIdx)->getName(), QStringLiteral("stone"));
    EXPECT_EQ(shape->getMaterial(fan.m_materialIdx)->getName(), QStringLiteral("moss"));
    EXPECT_FLOAT_EQ(mesh->getVertex(7).m_y, 2.0f);
}

TEST_F(ObjImport, SettingsScaleSwapAndSkipParts)
{
    const QString file = write(QStringLiteral("rock.obj"), kSample);
    DzFileIOSettings s;
    s.setStringValue(QStringLiteral("Preset"), QStringLiteral("Lightwave (1 unit = 1m)"));
    s.setFloatValue(QStringLiteral("Scale"), 50.0);
    s.setBoolValue(QStringLiteral("SwapYZ"), true);
    s.setBoolValue(QStringLiteral("IncludeG"), false);
    s.setBoolValue(QStringLiteral("IncludeVT"), false);
    s.setBoolValue(QStringLiteral("IncludeUsemtl"), false);
    s.setBoolValue(QStringLiteral("IncludeMtllib"), false);
    s.setIntValue(QStringLiteral("RunSilent"), 1);
    ASSERT_EQ(importer->readGeometry(file, &s), DZ_NO_ERROR) << importer->getLastError().toStdString();
    DzFacetMesh *mesh = meshOf(importer->getLastNode());
    ASSERT_NE(mesh, nullptr);
    // One metre per unit is 100 cm, at 50 %: (2.5, 2, 0) → (125, 0, -100) after Z-up to Y-up.
    const DzVec3 v = mesh->getVertex(7);
    EXPECT_FLOAT_EQ(v.m_x, 125.0f);
    EXPECT_FLOAT_EQ(v.m_y, 0.0f);
    EXPECT_FLOAT_EQ(v.m_z, -100.0f);
    EXPECT_EQ(mesh->getNumUVs(), 0);
    EXPECT_EQ(mesh->getFacet(0).m_uvwIdx[0], -1);
    EXPECT_EQ(mesh->getNumFaceGroups(), 1);
    EXPECT_EQ(mesh->getNumMaterialGroups(), 1);
}

TEST_F(ObjImport, BadSettingsAreRefused)
{
    const QString file = write(QStringLiteral("rock.obj"), kSample);
    DzFileIOSettings s;
    s.setStringValue(QStringLiteral("Preset"), QStringLiteral("Imperial (1 unit = 1 furlong)"));
    EXPECT_EQ(importer->readGeometry(file, &s), DZ_ILLEGAL_ARGUMENT);
    s.setStringValue(QStringLiteral("Preset"), QString());
    s.setFloatValue(QStringLiteral("Scale"), 0.0);
    EXPECT_EQ(importer->readGeometry(file, &s), DZ_ILLEGAL_ARGUMENT);
    EXPECT_EQ(dzScene->getNumNodes(), 0);
}

TEST_F(ObjImport, MalformedFilesAreRefusedWithALineNumber)
{
    const struct { const char *text; const char *where; } cases[] = {
        {"v 1 2\nf 1 1 1\n", "line 1"},
        {"v 0 0 0\nv 1 x 0\n", "line 2"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf -5 1 2\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/a 2 3\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2/1 3/1\n", "line 4"},   // no vt lines
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1/ 2 3\n", "line 4"},
        {"v nan 0 0\n", "line 1"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99999999999999999999\n", "line 4"},
        {"v 0 0 0\nv 1 0 0\n", "no faces"},
        {"", "no faces"},
        {"\x7f" "ELF\x02\x01\x01\0\0\0\0\n\xff\xfe garbage \x01\x02", "no faces"},
    };
    int i = 0;
    for (const auto &c : cases) {
        const QString file = write(QStringLiteral("bad%1.obj").arg(i++), QByteArray(c.text));
        EXPECT_EQ(importer->readGeometry(file, nullptr), DZ_FORMAT_ERROR) << c.text;
        EXPECT_TRUE(importer->getLastError().contains(QLatin1String(c.where)))
            << c.text << " → " << importer->getLastError().toStdString();
        EXPECT_EQ(importer->getLastNode(), nullptr);
    }
    EXPECT_EQ(dzScene->getNumNodes(), 0);

    EXPECT_EQ(importer->readGeometry(dir.filePath(QStringLiteral("absent.obj")), nullptr), DZ_OPEN_FILE_ERROR);
    EXPECT_EQ(importer->readGeometry(dir.path(), nullptr), DZ_OPEN_FILE_ERROR);
    EXPECT_EQ(app.getImportMgr()->readGeometry(dir.filePath(QStringLiteral("x.fbx")), nullptr), DZ_UNSUPPORTED_FILE_ERROR);
}

TEST_F(ObjImport, ReadsATerrainSizedGridWithBackslashPath)
{
    // A 512 × 512 grid of quads, the size the terrain export writes.
    const int n = 512;
    QByteArray text;
    text.reserve(26 * 1024 * 1024);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            text += "v " + QByteArray::number(c - 256) + " 0 " + QByteArray::number(r - 256) + "\n";
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            text += "vt " + QByteArray::number(c / 511.0f) + " " + QByteArray::number(1.0 - r / 511.0) + "\n";
    for (int r = 0; r < n - 1; ++r)
        for (int c = 0; c < n - 1; ++c) {
            const QByteArray a = QByteArray::number(r * n + c + 1), b = QByteArray::number((r + 1) * n + c + 1),
                             d = QByteArray::number((r + 1) * n + c + 2), e = QByteArray::number(r * n + c + 2);
            text += "f " + a + "/" + a + " " + b + "/" + b + " " + d + "/" + d + " " + e + "/" + e + "\n";
        }
    QString file = write(QStringLiteral("terrain.obj"), text);
    file.replace(QLatin1Char('/'), QLatin1Char('\\'));
    ASSERT_EQ(importer->readGeometry(file, nullptr), DZ_NO_ERROR) << importer->getLastError().toStdString();
    DzFacetMesh *mesh = meshOf(dzScene->findNode(QStringLiteral("terrain")));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->getNumVertices(), n * n);
    EXPECT_EQ(mesh->getNumUVs(), n * n);
    ASSERT_EQ(mesh->getNumFacets(), (n - 1) * (n - 1));
    const DzFacet last = mesh->getFacet(mesh->getNumFacets() - 1);
    EXPECT_EQ(last.m_vertIdx[0], n * (n - 1) - 2);
    EXPECT_EQ(last.m_vertIdx[2], n * n - 1);
    DzVec3 min, max;
    ASSERT_TRUE(mesh->getBoundingBox(min, max));
    EXPECT_FLOAT_EQ(min.m_x, -256.0f);
    EXPECT_FLOAT_EQ(max.m_z, 255.0f);
}
