// Opening Poser props through the content manager: every sample prop with its geometry, units,
// child nodes, embedded geometry, quoted and case-blind paths, morph targets and material
// colours; malformed files refused with the scene left as it was.
#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzimagemgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const QString kContent = QStringLiteral(OROVISTA_SOURCE_DIR "/data/content");
constexpr float kUnitCm = 243.84f;   // one Poser unit of the sample props (8 ft)

// What an OBJ file holds, counted the plain way: vertices, uvs, facets (a face of more than four
// corners is a fan of triangles) and the vertex bounds.
struct ObjCount {
    int vertices = 0, uvs = 0, facets = 0;
    DzVec3 min{1e30f, 1e30f, 1e30f}, max{-1e30f, -1e30f, -1e30f};
};

ObjCount countObjLines(const QStringList &lines)
{
    ObjCount c;
    for (const QString &raw : lines) {
        const QStringList w = raw.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty())
            continue;
        if (w[0] == QLatin1String("v") && w.size() >= 4) {
            ++c.vertices;
            const DzVec3 v(w[1].toFloat(), w[2].toFloat(), w[3].toFloat());
            c.min.setValue(std::min(c.min.m_x, v.m_x), std::min(c.min.m_y, v.m_y), std::min(c.min.m_z, v.m_z));
            c.max.setValue(std::max(c.max.m_x, v.m_x), std::max(c.max.m_y, v.m_y), std::max(c.max.m_z, v.m_z));
        } else if (w[0] == QLatin1String("vt")) {
            ++c.uvs;
        } else if (w[0] == QLatin1String("f")) {
            const int corners = int(w.size()) - 1;
            c.facets += corners <= 4 ? 1 : corners - 2;
        }
    }
    return c;
}

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
}

// The OBJ files a sample prop names, read the simple way (the samples use exact case).
QStringList geometryFilesOf(const QString &pp2)
{
    QStringList out;
    for (const QString &line : linesOf(pp2)) {
        const QString t = line.trimmed();
        if (!t.startsWith(QLatin1String("objFileGeom")))
            continue;
        QString ref = t.section(QLatin1Char(' '), 3);
        ref.remove(QLatin1Char('"'));
        out.append(kContent + ref.replace(QLatin1Char(':'), QLatin1Char('/')));
    }
    return out;
}

DzFacetMesh *meshOf(const DzNode *node)
{
    if (!node || !node->getObject())
        return nullptr;
    return qobject_cast<DzFacetMesh *>(node->getObject()->getCurrentGeometryForNode());
}

DzFacetShape *shapeOf(const DzNode *node)
{
    return node && node->getObject() ? qobject_cast<DzFacetShape *>(node->getObject()->getCurrentShape()) : nullptr;
}

QList<DzNode *> sceneNodes()
{
    QList<DzNode *> list;
    for (int i = 0; i < dzScene->getNumNodes(); ++i)
        list.append(dzScene->getNode(i));
    return list;
}

DzNode *lastNode() { return dzScene->getNode(dzScene->getNumNodes() - 1); }

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A prop file in Poser's layout around the given geometry lines and extra lines in the settings
// block (tab indented like the samples).
QByteArray propText(const QByteArray &name, const QByteArray &geometry, const QByteArray &settings = {},
                    const QByteArray &label = {})
{
    return "{\n\nversion\n\t{\n\tnumber 4.01\n\t}\nprop " + name + "\n\t{\n\tstorageOffset 0 0 0\n" + geometry
        + "\t}\n\nprop " + name + "\n\t{\n\tname " + (label.isEmpty() ? name : label) + "\n\ton\n\tchannels\n\t\t{\n"
        + settings + "\t\t}\n\t}\n\ndoc\n\t{\n\taddActor " + name + "\n\t}\n}\n";
}

const QByteArray kSquareObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0\n"
                              "usemtl wood\nf 1 2 3 4\nusemtl paint\nf 4 3 5\n";

class PropOpen : public ::testing::Test {
protected:
    DzApp app;
    DzContentMgr *content = nullptr;
    QTemporaryDir tmp;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_NE(dzScene, nullptr);
        content = app.getContentMgr();
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString tmpPath(const QString &rel) const { return tmp.path() + QLatin1Char('/') + rel; }
};

// --- The samples --------------------------------------------------------------------------

TEST_F(PropOpen, EverySampleOpensWithItsGeometryAtPreviewSize)
{
    QStringList props;
    QDirIterator it(kContent + QStringLiteral("/Runtime/Libraries/Props"), {QStringLiteral("*.pp2")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        props.append(it.next());
    props.sort();
    ASSERT_GE(props.size(), 14);

    for (const QString &pp2 : std::as_const(props)) {
        SCOPED_TRACE(pp2.toStdString());
        const QString name = QFileInfo(pp2).completeBaseName();
        const int before = dzScene->getNumNodes();
        ASSERT_TRUE(content->openFile(pp2));
        DzNode *node = lastNode();
        EXPECT_EQ(node->getName(), name);
        EXPECT_EQ(node->getLabel(), name);
        EXPECT_EQ(node->getNodeParent(), nullptr);

        const QStringList files = geometryFilesOf(pp2);
        ObjCount want;
        if (files.isEmpty()) {   // embedded geometry
            QStringList body;
            for (const QString &l : linesOf(pp2))
                if (l.startsWith(QLatin1String("\t\tv ")) || l.startsWith(QLatin1String("\t\tvt "))
                    || l.startsWith(QLatin1String("\t\tf ")))
                    body.append(l);
            want = countObjLines(body);
        } else {
            want = countObjLines(linesOf(files.first()));
        }
        ASSERT_GT(want.vertices, 0);
        EXPECT_EQ(dzScene->getNumNodes(), before + int(std::max<qsizetype>(files.size(), 1)));
        EXPECT_EQ(node->getNumNodeChildren(), int(std::max<qsizetype>(files.size(), 1)) - 1);
        DzFacetMesh *mesh = meshOf(node);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->getNumVertices(), want.vertices);
        EXPECT_EQ(mesh->getNumFacets(), want.facets);

        // One file unit is 243.84 cm, the size the plug-in's preview draws at 100 %.
        DzVec3 lo, hi;
        ASSERT_TRUE(mesh->getBoundingBox(lo, hi));
        EXPECT_NEAR(hi.y() - lo.y(), (want.max.y() - want.min.y()) * kUnitCm, 0.05);
        EXPECT_NEAR(hi.x() - lo.x(), (want.max.x() - want.min.x()) * kUnitCm, 0.05);
        EXPECT_NEAR(lo.z(), want.min.z() * kUnitCm, 0.05);
        EXPECT_GT(shapeOf(node)->getNumMaterials(), 0);
    }
}

TEST_F(PropOpen, PineIsTreeSizedWithItsPoserColour)
{
    ASSERT_TRUE(content->openFile(kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/pine.pp2")));
    DzFacetMesh *mesh = meshOf(lastNode());
    ASSERT_NE(mesh, nullptr);
    DzVec3 lo, hi;
    ASSERT_TRUE(mesh->getBoundingBox(lo, hi));
    // A pine of a few metres, not of a few centimetres or a few hundred metres.
    EXPECT_GT(hi.y() - lo.y(), 300.0f);
    EXPECT_LT(hi.y() - lo.y(), 3000.0f);
    // The OBJ has no usemtl: its one material takes the prop's "Preview" colour.
    DzFacetShape *shape = shapeOf(lastNode());
    ASSERT_EQ(shape->getNumMaterials(), 1);
    EXPECT_TRUE(dynamic_cast<DzDefaultMaterial *>(shape->getMaterial(0)));
    EXPECT_EQ(shape->getMaterial(0)->getDiffuseColor(), QColor::fromRgbF(0.23f, 0.44f, 0.27f));
}

TEST_F(PropOpen, CabinGetsItsRoofAsAChildAndStaysTheLastNode)
{
    dzScene->addNode(new DzNode);
    ASSERT_TRUE(content->openFile(kContent + QStringLiteral("/Runtime/Libraries/Props/Buildings/cabin.pp2")));
    ASSERT_EQ(dzScene->getNumNodes(), 3);
    DzNode *cabin = lastNode();
    EXPECT_EQ(cabin->getName(), QStringLiteral("cabin"));
    ASSERT_EQ(cabin->getNumNodeChildren(), 1);
    DzNode *roof = cabin->getNodeChild(0);
    EXPECT_EQ(roof->getName(), QStringLiteral("cabin_cabin_roof"));
    EXPECT_EQ(roof->getLabel(), QStringLiteral("cabin_cabin_roof"));
    EXPECT_EQ(roof->getNodeParent(), cabin);
    EXPECT_EQ(roof->getScene(), dzScene);
    EXPECT_EQ(dzScene->getNode(1), roof);

    const QString geom = kContent + QStringLiteral("/Runtime/Geometries/buildings/");
    const ObjCount walls = countObjLines(linesOf(geom + QStringLiteral("cabin_walls.obj")));
    const ObjCount roofObj = countObjLines(linesOf(geom + QStringLiteral("cabin_roof.obj")));
    ASSERT_NE(meshOf(cabin), nullptr);
    ASSERT_NE(meshOf(roof), nullptr);
    EXPECT_EQ(meshOf(cabin)->getNumVertices(), walls.vertices);
    EXPECT_EQ(meshOf(cabin)->getNumFacets(), walls.facets);
    EXPECT_EQ(meshOf(roof)->getNumVertices(), roofObj.vertices);
    EXPECT_EQ(meshOf(roof)->getNumFacets(), roofObj.facets);

    // Removing the cabin takes the roof with it.
    ASSERT_TRUE(dzScene->removeNode(cabin));
    EXPECT_EQ(dzScene->getNumNodes(), 1);
}

TEST_F(PropOpen, EmbeddedGeometryAndQuotedPath)
{
    ASSERT_TRUE(content->openFile(kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/stump.pp2")));
    DzFacetMesh *stump = meshOf(lastNode());
    ASSERT_NE(stump, nullptr);
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("stump"));
    EXPECT_EQ(stump->getNumVertices(), 209);   // numbVerts
    EXPECT_EQ(stump->getNumUVs(), 123);        // numbTVerts
    EXPECT_EQ(stump->getNumFacets(), 374);     // numbElems
    EXPECT_NEAR(stump->getVertex(0).x(), 0.20107f * kUnitCm, 1e-3);
    EXPECT_NEAR(stump->getVertex(0).y(), -0.04101f * kUnitCm, 1e-3);

    ASSERT_TRUE(content->openFile(kContent + QStringLiteral("/Runtime/Libraries/Props/Rocks/slab.pp2")));
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("slab"));
    ASSERT_NE(meshOf(lastNode()), nullptr);
    EXPECT_EQ(meshOf(lastNode())->getNumVertices(),
              countObjLines(linesOf(kContent + QStringLiteral("/Runtime/Geometries/rocks/slab.obj"))).vertices);
}

TEST_F(PropOpen, FenceMaterialsTakeTheirLibraryColours)
{
    ASSERT_TRUE(content->openFile(kContent + QStringLiteral("/Runtime/Libraries/Props/Buildings/fence.pp2")));
    DzFacetShape *shape = shapeOf(lastNode());
    ASSERT_NE(shape, nullptr);
    ASSERT_EQ(shape->getNumMaterials(), 3);
    const struct { const char *name; float r, g, b; } want[] = {
        {"posts", 0.502f, 0.408f, 0.314f}, {"rails", 0.557f, 0.455f, 0.345f}, {"pickets", 0.627f, 0.525f, 0.408f}};
    for (const auto &w : want) {
        DzMaterial *m = shape->findMaterial(QString::fromLatin1(w.name));
        ASSERT_NE(m, nullptr) << w.name;
        EXPECT_EQ(m->getLabel(), QString::fromLatin1(w.name));
        EXPECT_EQ(m->getDiffuseColor(), QColor::fromRgbF(w.r, w.g, w.b)) << w.name;
        EXPECT_EQ(m->getColorMap(), nullptr);
    }
}

TEST_F(PropOpen, SampleTreesCarryTheirMorphTargets)
{
    const struct { const char *prop, *morph; } trees[] = {{"pine", "Lean"}, {"oak", "Wind"}};
    for (const auto &t : trees) {
        SCOPED_TRACE(t.prop);
        const QString pp2 = kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/%1.pp2").arg(QLatin1String(t.prop));
        // The delta lines as written: index and offset in Poser units.
        QList<QStringList> lines;
        for (const QString &l : linesOf(pp2))
            if (l.trimmed().startsWith(QLatin1String("d ")))
                lines.append(l.simplified().split(QLatin1Char(' ')));
        ASSERT_GT(lines.size(), 100);

        ASSERT_TRUE(content->openFile(pp2));
        DzObject *object = lastNode()->getObject();
        ASSERT_EQ(object->getNumModifiers(), 1);
        auto *morph = qobject_cast<DzMorph *>(object->getModifier(0));
        ASSERT_NE(morph, nullptr);
        EXPECT_EQ(morph->getName(), QString::fromLatin1(t.morph));
        EXPECT_FLOAT_EQ(morph->getValueChannel()->getValue(), 0.0f);
        const DzMorphDeltas *deltas = morph->getDeltas();
        ASSERT_NE(deltas, nullptr);
        ASSERT_EQ(deltas->getNumDeltas(), lines.size());
        const int vertices = meshOf(lastNode())->getNumVertices();
        for (const QStringList &w : std::as_const(lines)) {
            const int index = w[1].toInt();
            ASSERT_LT(index, vertices);
            const DzVec3 d = deltas->findDelta(index);
            EXPECT_NEAR(d.x(), w[2].toFloat() * kUnitCm, 1e-3);
            EXPECT_NEAR(d.z(), w[4].toFloat() * kUnitCm, 1e-3);
        }
    }
}

// --- Files of our own ---------------------------------------------------------------------

TEST_F(PropOpen, ColourMapAndCaseBlindMaterialLibrary)
{
    // map_Kd after options, the library and the map named in another case than on disk.
    const QString geom = tmpPath(QStringLiteral("lib/Runtime/Geometries/box/"));
    ASSERT_TRUE(writeFile(geom + QStringLiteral("box.obj"), "mtllib Box.MTL\n" + kSquareObj));
    ASSERT_TRUE(writeFile(geom + QStringLiteral("box.mtl"),
                          "newmtl wood\nKd 0.5 0.25 1\nmap_Kd -s 1 1 1 Maps/Grain.PNG\n"
                          "newmtl paint\nKd 2 -1 0.5\nmap_Kd missing.png\n"));
    QImage img(4, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    QDir().mkpath(geom + QStringLiteral("maps"));
    ASSERT_TRUE(img.save(geom + QStringLiteral("maps/grain.png")));
    const QString pp2 = tmpPath(QStringLiteral("lib/Runtime/Libraries/Props/box.pp2"));
    ASSERT_TRUE(writeFile(pp2, propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box:box.obj\n", {}, "Little Box")));

    ASSERT_TRUE(content->openFile(pp2));
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("box"));
    EXPECT_EQ(lastNode()->getLabel(), QStringLiteral("Little Box"));
    DzFacetShape *shape = shapeOf(lastNode());
    ASSERT_NE(shape, nullptr);
    DzMaterial *wood = shape->findMaterial(QStringLiteral("wood"));
    DzMaterial *paint = shape->findMaterial(QStringLiteral("paint"));
    ASSERT_NE(wood, nullptr);
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(wood->getDiffuseColor(), QColor::fromRgbF(0.5f, 0.25f, 1.0f));
    ASSERT_NE(wood->getColorMap(), nullptr);
    EXPECT_EQ(QFileInfo(wood->getColorMap()->getFilename()).canonicalFilePath(),
              QFileInfo(geom + QStringLiteral("maps/grain.png")).canonicalFilePath());
    EXPECT_TRUE(wood->getColorMap()->isValid());
    EXPECT_EQ(wood->getColorMap(), app.getImageMgr()->getImage(geom + QStringLiteral("maps/grain.png")));
    EXPECT_EQ(paint->getDiffuseColor(), QColor::fromRgbF(1.0f, 0.0f, 0.5f));   // clamped
    EXPECT_EQ(paint->getColorMap(), nullptr);                                  // no such file
    // The mesh: a quad and a triangle, in Poser units.
    ASSERT_NE(meshOf(lastNode()), nullptr);
    EXPECT_EQ(meshOf(lastNode())->getNumFacets(), 2);
    EXPECT_NEAR(meshOf(lastNode())->getVertex(4).y(), 2.0f * kUnitCm, 1e-3);
}

TEST_F(PropOpen, NamesAreMatchedWithoutRegardToCase)
{
    // A sample prop copied into a library written in other cases than its references.
    const QByteArray pine = readAll(kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/pine.pp2"));
    ASSERT_FALSE(pine.isEmpty());
    const QString obj = kContent + QStringLiteral("/Runtime/Geometries/trees/pine.obj");
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("Lib/RUNTIME/libraries/PROPS/Trees/Pine.pp2")), pine));
    ASSERT_TRUE(QDir().mkpath(tmpPath(QStringLiteral("Lib/RUNTIME/geometries/TREES"))));
    ASSERT_TRUE(QFile::copy(obj, tmpPath(QStringLiteral("Lib/RUNTIME/geometries/TREES/PINE.OBJ"))));

    ASSERT_TRUE(content->openFile(tmpPath(QStringLiteral("Lib/RUNTIME/libraries/PROPS/Trees/Pine.pp2"))));
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("pine"));
    ASSERT_NE(meshOf(lastNode()), nullptr);
    EXPECT_EQ(meshOf(lastNode())->getNumVertices(), countObjLines(linesOf(obj)).vertices);

    // A prop outside any Runtime folder finds its geometry through the Poser directories only.
    const QString loose = tmpPath(QStringLiteral("loose/pine.pp2"));
    ASSERT_TRUE(writeFile(loose, pine));
    const int before = dzScene->getNumNodes();
    EXPECT_FALSE(content->openFile(loose));
    EXPECT_EQ(dzScene->getNumNodes(), before);
    content->setPoserDirectories({QStringLiteral("/no/such/folder"), tmpPath(QStringLiteral("Lib"))});
    ASSERT_TRUE(content->openFile(loose));
    EXPECT_EQ(dzScene->getNumNodes(), before + 1);
    ASSERT_NE(meshOf(lastNode()), nullptr);
    EXPECT_EQ(meshOf(lastNode())->getNumVertices(), countObjLines(linesOf(obj)).vertices);
    // A Poser directory given as the Runtime folder itself works as well.
    content->setPoserDirectories({tmpPath(QStringLiteral("Lib/RUNTIME"))});
    ASSERT_TRUE(content->openFile(loose));
    EXPECT_EQ(dzScene->getNumNodes(), before + 2);
}

TEST_F(PropOpen, LinksAreJudgedByWhereTheyReallyLead)
{
    // Outside the library: a material library that would paint the box red, a picture, and a
    // folder of geometry.
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("outside/red.mtl")), "newmtl wood\nKd 1 0 0\n"));
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(tmpPath(QStringLiteral("outside/grain.png"))));
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("outside/geometry/box.obj")), kSquareObj));

    const QString runtime = tmpPath(QStringLiteral("lib/Runtime/"));
    const QString box = runtime + QStringLiteral("Geometries/box/");
    ASSERT_TRUE(writeFile(box + QStringLiteral("box.obj"), "mtllib wood.mtl paint.mtl\n" + kSquareObj));
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("outside/red.mtl")), box + QStringLiteral("wood.mtl")));
    ASSERT_TRUE(writeFile(box + QStringLiteral("paint.mtl"), "newmtl paint\nKd 0 1 0\nmap_Kd grain.png\n"));
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("outside/grain.png")), box + QStringLiteral("grain.png")));
    ASSERT_TRUE(QFile::link(box + QStringLiteral("box.obj"), runtime + QStringLiteral("Geometries/alias.obj")));
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("outside/geometry")), runtime + QStringLiteral("Geometries/shared")));
    auto prop = [&](const QString &pp2, const QByteArray &reference) {
        return writeFile(pp2, propText("box", "\tobjFileGeom 0 0 " + reference + "\n"));
    };
    ASSERT_TRUE(prop(runtime + QStringLiteral("Libraries/Props/box.pp2"), ":Runtime:Geometries:box:box.obj"));
    ASSERT_TRUE(prop(runtime + QStringLiteral("Libraries/Props/alias.pp2"), ":Runtime:Geometries:alias.obj"));
    ASSERT_TRUE(prop(runtime + QStringLiteral("Libraries/Props/shared.pp2"), ":Runtime:Geometries:shared:box.obj"));

    // The geometry is read; the material library and the colour map that lead out are not.
    ASSERT_TRUE(content->openFile(runtime + QStringLiteral("Libraries/Props/box.pp2")));
    DzFacetShape *shape = shapeOf(lastNode());
    ASSERT_NE(shape, nullptr);
    ASSERT_NE(shape->findMaterial(QStringLiteral("wood")), nullptr);
    EXPECT_NE(shape->findMaterial(QStringLiteral("wood"))->getDiffuseColor(), QColor(Qt::red));
    DzMaterial *paint = shape->findMaterial(QStringLiteral("paint"));
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(paint->getDiffuseColor(), QColor::fromRgbF(0.0f, 1.0f, 0.0f)) << "the library inside is read";
    EXPECT_EQ(paint->getColorMap(), nullptr);

    // A link that stays in the Runtime folder is followed; a folder linked from outside is not.
    EXPECT_TRUE(content->openFile(runtime + QStringLiteral("Libraries/Props/alias.pp2")));
    const int before = dzScene->getNumNodes();
    EXPECT_FALSE(content->openFile(runtime + QStringLiteral("Libraries/Props/shared.pp2")));
    EXPECT_EQ(dzScene->getNumNodes(), before);

    // The library reached through a link, and a Runtime folder that is a link itself: the
    // folder the user chose is where the prop's files are.
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("lib")), tmpPath(QStringLiteral("linked"))));
    EXPECT_TRUE(content->openFile(tmpPath(QStringLiteral("linked/Runtime/Libraries/Props/box.pp2"))));
    ASSERT_TRUE(QDir().mkpath(tmpPath(QStringLiteral("other"))));
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("lib/Runtime")), tmpPath(QStringLiteral("other/Runtime"))));
    EXPECT_TRUE(content->openFile(tmpPath(QStringLiteral("other/Runtime/Libraries/Props/alias.pp2"))));
    EXPECT_EQ(dzScene->getNumNodes(), before + 2);
}

TEST_F(PropOpen, ReplacingOpenOfAnObjKeepsTheSceneWhenTheFileFails)
{
    dzScene->addNode(new DzNode);
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("bad.obj")), "v 0 0 0\nf 1 2 3\n"));
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("good.obj")), kSquareObj));
    EXPECT_FALSE(content->openFile(tmpPath(QStringLiteral("bad.obj")), false));
    EXPECT_EQ(dzScene->getNumNodes(), 1);
    ASSERT_TRUE(content->openFile(tmpPath(QStringLiteral("good.obj")), false));
    ASSERT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("good"));
}

TEST_F(PropOpen, MorphTargetsBecomeMorphsInMeshUnits)
{
    const QString root = tmpPath(QStringLiteral("lib/Runtime/"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("Geometries/box.obj"), kSquareObj));
    const QByteArray targets = "\t\ttargetGeom Lean\n\t\t\t{\n\t\t\tname Lean\n\t\t\tinitValue 0\n"
                               "\t\t\tkeys\n\t\t\t\t{\n\t\t\t\tk 0 0\n\t\t\t\t}\n"
                               "\t\t\tnumbDeltas 5\n\t\t\tdeltas\n\t\t\t\t{\n"
                               "\t\t\t\td 4 0.1 0 -0.05\n\t\t\t\td 0 0 0.5 0\n"
                               "\t\t\t\td 5 1 1 1\n\t\t\t\td -1 1 1 1\n\t\t\t\td 99999999999 1 1 1\n"
                               "\t\t\t\t}\n\t\t\t}\n"
                               "\t\ttargetGeom Empty\n\t\t\t{\n\t\t\tname Empty\n\t\t\t}\n"
                               "\t\ttargetGeom Wind\n\t\t\t{\n\t\t\tdeltas\n\t\t\t\t{\n\t\t\t\td 2 0 0 1\n"
                               "\t\t\t\t}\n\t\t\t}\n";
    const QString pp2 = root + QStringLiteral("Libraries/Props/box.pp2");
    ASSERT_TRUE(writeFile(pp2, propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box.obj\n", targets)));

    ASSERT_TRUE(content->openFile(pp2));
    DzObject *object = lastNode()->getObject();
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->getNumModifiers(), 2);   // "Empty" has no deltas
    auto *lean = qobject_cast<DzMorph *>(object->getModifier(0));
    auto *wind = qobject_cast<DzMorph *>(object->getModifier(1));
    ASSERT_NE(lean, nullptr);
    ASSERT_NE(wind, nullptr);
    EXPECT_EQ(lean->getName(), QStringLiteral("Lean"));
    EXPECT_EQ(lean->getLabel(), QStringLiteral("Lean"));
    EXPECT_EQ(wind->getName(), QStringLiteral("Wind"));
    EXPECT_FLOAT_EQ(lean->getValueChannel()->getValue(), 0.0f);
    ASSERT_NE(lean->getDeltas(), nullptr);
    // Indices 5, -1 and 99999999999 name no vertex of the five: dropped.
    ASSERT_EQ(lean->getDeltas()->getNumDeltas(), 2);
    EXPECT_EQ(lean->getDeltas()->getDeltaIndex(0), 4);
    const DzVec3 d4 = lean->getDeltas()->findDelta(4);
    EXPECT_NEAR(d4.x(), 0.1f * kUnitCm, 1e-3);
    EXPECT_NEAR(d4.y(), 0.0f, 1e-6);
    EXPECT_NEAR(d4.z(), -0.05f * kUnitCm, 1e-3);
    EXPECT_NEAR(lean->getDeltas()->findDelta(0).y(), 0.5f * kUnitCm, 1e-3);
    EXPECT_NEAR(wind->getDeltas()->findDelta(2).z(), kUnitCm, 1e-3);
}

TEST_F(PropOpen, SeveralPropsInOneFileAndCountsThatLie)
{
    // Two props; the second embeds a triangle with counts far beyond what it holds and a face
    // with a relative index.
    const QString root = tmpPath(QStringLiteral("lib/Runtime/"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("Geometries/box.obj"), kSquareObj));
    const QByteArray text = "{\nprop first\n{\nobjFileGeom 0 0 :Runtime:Geometries:box.obj\nname First One\n}\n"
                            "prop second\n{\ngeomCustom\n{\nnumbVerts 99999999999999\nnumbTVerts -5\n"
                            "numbElems 1e400\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 -1\n}\n}\n}\n";
    const QString pp2 = root + QStringLiteral("Libraries/Props/two.pp2");
    ASSERT_TRUE(writeFile(pp2, text));
    ASSERT_TRUE(content->openFile(pp2));
    ASSERT_EQ(dzScene->getNumNodes(), 2);
    EXPECT_EQ(dzScene->getNode(0)->getName(), QStringLiteral("first"));
    EXPECT_EQ(dzScene->getNode(0)->getLabel(), QStringLiteral("First One"));
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("second"));
    EXPECT_EQ(lastNode()->getLabel(), QStringLiteral("second"));
    ASSERT_NE(meshOf(lastNode()), nullptr);
    EXPECT_EQ(meshOf(lastNode())->getNumVertices(), 3);
    EXPECT_EQ(meshOf(lastNode())->getNumFacets(), 1);
    EXPECT_EQ(meshOf(lastNode())->getFacet(0).m_vertIdx[2], 2);
}

TEST_F(PropOpen, MalformedFilesAreRefusedAndLeaveTheSceneAlone)
{
    const QString root = tmpPath(QStringLiteral("lib/Runtime/"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("Geometries/box.obj"), kSquareObj));
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("lib/secret.obj")), kSquareObj));   // outside Runtime
    ASSERT_TRUE(writeFile(tmpPath(QStringLiteral("outside/Runtime/Geometries/box.obj")), kSquareObj));
    ASSERT_TRUE(QFile::link(tmpPath(QStringLiteral("lib/secret.obj")), root + QStringLiteral("Geometries/link.obj")));
    const QByteArray good = propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box.obj\n");
    const QByteArray sample = readAll(kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/oak.pp2"));
    const QByteArray stump = readAll(kContent + QStringLiteral("/Runtime/Libraries/Props/Trees/stump.pp2"));
    ASSERT_FALSE(sample.isEmpty());
    ASSERT_FALSE(stump.isEmpty());
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919 + 13) % 251);

    const struct { const char *what; QByteArray text; } cases[] = {
        {"empty", ""},
        {"no prop", "{\nversion\n\t{\n\tnumber 4.01\n\t}\n}\n"},
        {"garbage", garbage},
        {"truncated sample", sample.left(sample.size() / 2)},
        {"truncated embedded geometry", stump.left(stump.indexOf("\t\tf ") + 200)},
        {"unbalanced close", good + "}\n}\n"},
        {"no geometry", propText("box", "")},
        {"missing geometry", propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:nothere.obj\n")},
        {"second file missing",
         propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box.obj\n\tobjFileGeom 0 0 :Runtime:Geometries:gone.obj\n")},
        {"dot-dot escape", propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:..:..:secret.obj\n")},
        {"escape into another Runtime",
         propText("box", "\tobjFileGeom 0 0 :Runtime:..:..:outside:Runtime:Geometries:box.obj\n")},
        {"absolute path",
         propText("box", "\tobjFileGeom 0 0 " + tmpPath(QStringLiteral("lib/secret.obj")).toUtf8() + "\n")},
        {"drive letter", propText("box", "\tfigureResFile C:\\Runtime\\Geometries\\box.obj\n")},
        {"not from Runtime", propText("box", "\tobjFileGeom 0 0 :Geometries:box.obj\n")},
        {"link out of Runtime", propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:link.obj\n")},
        {"geomCustom face out of range", propText("box", "\tgeomCustom\n\t\t{\n\t\tv 0 0 0\n\t\tv 1 0 0\n\t\tv 0 1 0\n"
                                                         "\t\tf 1 2 4\n\t\t}\n")},
        {"geomCustom negative index", propText("box", "\tgeomCustom\n\t\t{\n\t\tv 0 0 0\n\t\tv 1 0 0\n\t\tv 0 1 0\n"
                                                      "\t\tf 1 2 -7\n\t\t}\n")},
        {"geomCustom bad number", propText("box", "\tgeomCustom\n\t\t{\n\t\tv 0 0 zero\n\t\tv 1 0 0\n\t\tv 0 1 0\n"
                                                  "\t\tf 1 2 3\n\t\t}\n")},
        {"geomCustom without faces", propText("box", "\tgeomCustom\n\t\t{\n\t\tnumbVerts 3\n\t\t}\n")},
        {"bad delta", propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box.obj\n",
                               "\t\ttargetGeom T\n\t\t\t{\n\t\t\tdeltas\n\t\t\t\t{\n\t\t\t\td 1 0.1 nan 0\n"
                               "\t\t\t\t}\n\t\t\t}\n")},
        {"short delta", propText("box", "\tobjFileGeom 0 0 :Runtime:Geometries:box.obj\n",
                                 "\t\ttargetGeom T\n\t\t\t{\n\t\t\tdeltas\n\t\t\t\t{\n\t\t\t\td 1 0.1\n"
                                 "\t\t\t\t}\n\t\t\t}\n")},
        {"deep nesting", QByteArray(100000, '{') + QByteArray(100000, '}')},
    };

    DzNode *terrain = new DzNode;
    terrain->setName(QStringLiteral("terrain"));
    dzScene->addNode(terrain);
    ASSERT_TRUE(writeFile(root + QStringLiteral("Libraries/Props/good.pp2"), good));
    ASSERT_TRUE(content->openFile(root + QStringLiteral("Libraries/Props/good.pp2")));
    const QList<DzNode *> before = sceneNodes();
    ASSERT_EQ(before.size(), 2);

    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString pp2 = root + QStringLiteral("Libraries/Props/bad%1.pp2").arg(n++);
        ASSERT_TRUE(writeFile(pp2, c.text));
        EXPECT_FALSE(content->openFile(pp2));
        EXPECT_FALSE(content->openFile(pp2, false));   // not even the replacing open clears the scene
        EXPECT_EQ(sceneNodes(), before);
    }
    EXPECT_FALSE(content->openFile(root + QStringLiteral("Libraries/Props/nosuch.pp2")));
    EXPECT_EQ(sceneNodes(), before);
    EXPECT_EQ(terrain->getNumNodeChildren(), 0);

    // The good file still opens, and a replacing open leaves only it.
    ASSERT_TRUE(content->openFile(root + QStringLiteral("Libraries/Props/good.pp2"), false));
    ASSERT_EQ(dzScene->getNumNodes(), 1);
    EXPECT_EQ(lastNode()->getName(), QStringLiteral("box"));
}

}   // namespace
