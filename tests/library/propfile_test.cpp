// Poser prop files: geometry references, case-blind resolution, embedded geometry, refusals.
#include "library/propfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace orovista;

namespace {

struct Library {
    QTemporaryDir dir;
    QString root() const { return dir.path() + QStringLiteral("/Poser Lib"); }
    QString props() const { return root() + QStringLiteral("/Runtime/Libraries/Props/Trees"); }
    QString maps() const { return dir.path() + QStringLiteral("/maps"); }

    Library()
    {
        QDir().mkpath(props());
        QDir().mkpath(root() + QStringLiteral("/Runtime/Geometries/Trees"));
        QDir().mkpath(maps());
        write(root() + QStringLiteral("/Runtime/Geometries/Trees/Oak.obj"), "v 0 0 0\n");
        write(root() + QStringLiteral("/Runtime/Geometries/Trees/leaves.obj"), "v 0 0 0\n");
    }
    static void write(const QString &path, const QByteArray &text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString prop(const QByteArray &text) const
    {
        const QString path = props() + QStringLiteral("/oak.pp2");
        write(path, "{\nversion\n\t{\n\tnumber 4.01\n\t}\nprop oak\n\t{\n" + text + "\t}\n}\n");
        return path;
    }
};

}   // namespace

TEST(PropFile, RuntimeRootIsThePathBeforeTheRuntimeFolder)
{
    EXPECT_EQ(runtimeRoot(QStringLiteral("/c/Poser/Runtime/Libraries/Props/a.pp2")), QStringLiteral("/c/Poser"));
    EXPECT_EQ(runtimeRoot(QStringLiteral("/c/Poser/RUNTIME/x.pp2")), QStringLiteral("/c/Poser"));
    // A folder that only starts with "runtime" is not the Runtime folder.
    EXPECT_EQ(runtimeRoot(QStringLiteral("/runtimes/Poser/Runtime/x.pp2")), QStringLiteral("/runtimes/Poser"));
    EXPECT_EQ(runtimeRoot(QStringLiteral("/c/x.pp2")), QStringLiteral("/c/x.pp2"));
}

TEST(PropFile, RuntimeRootKeepsPathsWhoseLowerCaseIsLonger)
{
    // "İ" (U+0130) lowers to two code units; the root must still end where the path's Runtime
    // folder starts.
    const QString home = QString::fromUtf8("/home/\xC4\xB0lker \xC4\xB0\xC4\xB0/Poser");
    EXPECT_EQ(runtimeRoot(home + QStringLiteral("/Runtime/Libraries/Props/a.pp2")).toStdString(), home.toStdString());
    EXPECT_EQ(runtimeRoot(home + QStringLiteral("/runtime")).toStdString(), home.toStdString());
}

TEST(PropFile, ReferencesResolveWithoutRegardToCaseAndQuotes)
{
    Library lib;
    const PropFile p = readPropFile(
        lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:trees:oak.obj\n"
                 "\tfigureResFile \":runtime:geometries:Trees:LEAVES.obj\"\n"),
        lib.maps());
    ASSERT_EQ(p.result, PropGeometryReady) << p.message.toStdString();
    ASSERT_EQ(p.geometry.size(), 2);
    EXPECT_EQ(p.geometry[0], lib.root() + QStringLiteral("/Runtime/Geometries/Trees/Oak.obj"));
    EXPECT_EQ(p.geometry[1], lib.root() + QStringLiteral("/Runtime/Geometries/Trees/leaves.obj"));
}

TEST(PropFile, MissingNoneAndRefusedReferences)
{
    Library lib;
    PropFile p = readPropFile(lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:trees:oak.obj\n"
                                       "\tobjFileGeom 0 0 :Runtime:Geometries:trees:pine.obj\n"),
                              lib.maps());
    EXPECT_EQ(p.result, PropGeometryMissing);
    EXPECT_EQ(p.geometry.size(), 2);

    p = readPropFile(lib.prop("\tname oak\n"), lib.maps());
    EXPECT_EQ(p.result, PropNoGeometry);

    for (const QByteArray &escape : {QByteArray("\tobjFileGeom 0 0 :Runtime:..:..:secret.obj\n"),
                                     QByteArray("\tobjFileGeom 0 0 /etc/passwd\n")}) {
        p = readPropFile(lib.prop(escape), lib.maps());
        EXPECT_EQ(p.result, PropRefused) << escape.toStdString();
        EXPECT_TRUE(p.message.contains(QStringLiteral("Runtime folder"))) << p.message.toStdString();
    }

    // A folder that only starts with "Runtime" lies beside the Runtime folder, even when the
    // file is there.
    QDir().mkpath(lib.root() + QStringLiteral("/RuntimeOld/Geometries/Trees"));
    Library::write(lib.root() + QStringLiteral("/RuntimeOld/Geometries/Trees/Oak.obj"), "v 0 0 0\n");
    p = readPropFile(lib.prop("\tobjFileGeom 0 0 :RuntimeOld:Geometries:trees:oak.obj\n"), lib.maps());
    EXPECT_EQ(p.result, PropRefused);
    EXPECT_TRUE(p.geometry.isEmpty());
    EXPECT_TRUE(p.message.contains(QStringLiteral("Runtime folder"))) << p.message.toStdString();

    p = readPropFile(lib.props() + QStringLiteral("/nothing.pp2"), lib.maps());
    EXPECT_EQ(p.result, PropRefused);
    EXPECT_TRUE(p.message.startsWith(QStringLiteral("cannot read ")));
}

TEST(PropFile, EmbeddedGeometryIsCopiedIntoNumberedObjFiles)
{
    Library lib;
    const PropFile p = readPropFile(
        lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:trees:oak.obj\n"
                 "\tgeomCustom\n\t\t{\n\t\tnumbVerts 3\n\t\tnumbTVerts 0\n\t\tnumbTSets 0\n\t\tnumbElems 1\n"
                 "\t\tnumbSets 3\n\t\tv 0 0 0\n\t\tv 1 0 0\n\t\tv 0 1 0\n\t\tf 1 2 3\n\t\t}\n"
                 "\tgeomCustom {}\n"),
        lib.maps());
    ASSERT_EQ(p.result, PropGeometryReady) << p.message.toStdString();
    ASSERT_EQ(p.geometry.size(), 3);
    EXPECT_EQ(p.geometry[1], lib.maps() + QStringLiteral("/tmpObj2.obj"));
    QFile f(p.geometry[1]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("o tmpObj2\ng default\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    QFile brace(p.geometry[2]);
    ASSERT_TRUE(brace.open(QIODevice::ReadOnly));
    EXPECT_EQ(brace.readAll(), QByteArray("o tmpObj3\ng default\n"));

    const PropFile unwritable = readPropFile(lib.prop("\tgeomCustom\n\t{\n\t}\n"), lib.dir.path() + QStringLiteral("/no/such"));
    EXPECT_EQ(unwritable.result, PropRefused);
    EXPECT_TRUE(unwritable.message.startsWith(QStringLiteral("cannot write ")));
}

TEST(PropFile, EmbeddedGeometryReplacesALinkAtItsNameInsteadOfWritingThroughIt)
{
    Library lib;
    const QString outside = lib.dir.path() + QStringLiteral("/precious.txt");
    Library::write(outside, "the user's own text\n");
    ASSERT_TRUE(QFile::link(outside, lib.maps() + QStringLiteral("/tmpObj1.obj")));

    const PropFile p = readPropFile(lib.prop("\tgeomCustom\n\t\t{\n\t\tv 0 0 0\n\t\tf 1 1 1\n\t\t}\n"), lib.maps());
    ASSERT_EQ(p.result, PropGeometryReady) << p.message.toStdString();
    QFile kept(outside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the user's own text\n"));
    const QFileInfo copy(lib.maps() + QStringLiteral("/tmpObj1.obj"));
    EXPECT_FALSE(copy.isSymLink());
    EXPECT_TRUE(copy.isFile());
    QFile obj(copy.filePath());
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.readAll(), QByteArray("o tmpObj1\ng default\nv 0 0 0\nf 1 1 1\n"));
    // Nothing but the copy is left in the folder (no temporary files).
    EXPECT_EQ(QDir(lib.maps()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("tmpObj1.obj")});
}

TEST(PropFile, GeometryAndThumbnailsMustReallyLieInTheRuntimeFolder)
{
    Library lib;
    const QString runtime = lib.root() + QStringLiteral("/Runtime");
    const QString geometries = runtime + QStringLiteral("/Geometries/Trees");
    QDir().mkpath(lib.dir.path() + QStringLiteral("/elsewhere"));
    const QString secret = lib.dir.path() + QStringLiteral("/elsewhere/secret.obj");
    Library::write(secret, "v 9 9 9\n");
    ASSERT_TRUE(QFile::link(secret, geometries + QStringLiteral("/escape.obj")));
    ASSERT_TRUE(QFile::link(lib.dir.path() + QStringLiteral("/elsewhere"), runtime + QStringLiteral("/Geometries/Away")));
    ASSERT_TRUE(QFile::link(geometries + QStringLiteral("/Oak.obj"), geometries + QStringLiteral("/alias.obj")));
    ASSERT_TRUE(QFile::link(lib.dir.path() + QStringLiteral("/gone.obj"), geometries + QStringLiteral("/dangling.obj")));

    // Out through a linked file or a linked folder: refused, naming the prop and the file.
    for (const QByteArray &reference : {QByteArray(":Runtime:Geometries:Trees:ESCAPE.obj"),
                                        QByteArray(":Runtime:Geometries:away:secret.obj")}) {
        const PropFile p = readPropFile(lib.prop("\tobjFileGeom 0 0 " + reference + "\n"), lib.maps());
        EXPECT_EQ(p.result, PropRefused) << reference.toStdString();
        EXPECT_TRUE(p.geometry.isEmpty());
        EXPECT_TRUE(p.message.contains(lib.props() + QStringLiteral("/oak.pp2"))) << p.message.toStdString();
        EXPECT_TRUE(p.message.contains(QStringLiteral("leads out of the library's Runtime folder"))) << p.message.toStdString();
        EXPECT_FALSE(p.message.contains(QLatin1Char('\n')));
    }
    // A link that stays inside is followed; one to nothing is a missing file.
    PropFile p = readPropFile(lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:Trees:alias.obj\n"), lib.maps());
    EXPECT_EQ(p.result, PropGeometryReady) << p.message.toStdString();
    p = readPropFile(lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:Trees:dangling.obj\n"), lib.maps());
    EXPECT_EQ(p.result, PropGeometryMissing);

    // The library reached through a link, and a Runtime folder that is a link itself, are the
    // folders the user chose: their props load as from the real ones.
    const QString linked = lib.dir.path() + QStringLiteral("/Linked Lib");
    ASSERT_TRUE(QFile::link(lib.root(), linked));
    const QString viaLink = linked + QStringLiteral("/Runtime/Libraries/Props/Trees/oak.pp2");
    lib.prop("\tobjFileGeom 0 0 :Runtime:Geometries:trees:oak.obj\n");
    p = readPropFile(viaLink, lib.maps());
    ASSERT_EQ(p.result, PropGeometryReady) << p.message.toStdString();
    EXPECT_EQ(p.geometry, QStringList{linked + QStringLiteral("/Runtime/Geometries/Trees/Oak.obj")});
    const QString shared = lib.dir.path() + QStringLiteral("/Shared Lib");
    QDir().mkpath(shared);
    ASSERT_TRUE(QFile::link(runtime, shared + QStringLiteral("/Runtime")));
    p = readPropFile(shared + QStringLiteral("/Runtime/Libraries/Props/Trees/oak.pp2"), lib.maps());
    EXPECT_EQ(p.result, PropGeometryReady) << p.message.toStdString();

    // Thumbnails: the ".png", else the ".jpg", each taken only when it really lies inside.
    const QString pp2 = lib.props() + QStringLiteral("/oak.pp2");
    EXPECT_EQ(propThumbnail(pp2).path, QString());
    Library::write(lib.props() + QStringLiteral("/oak.jpg"), "jpg");
    EXPECT_EQ(propThumbnail(pp2).path, lib.props() + QStringLiteral("/oak.jpg"));
    EXPECT_EQ(propThumbnail(viaLink).path, linked + QStringLiteral("/Runtime/Libraries/Props/Trees/oak.jpg"));
    ASSERT_TRUE(QFile::link(lib.dir.path() + QStringLiteral("/elsewhere/secret.obj"), lib.props() + QStringLiteral("/oak.png")));
    const PropThumbnail refused = propThumbnail(pp2);
    EXPECT_EQ(refused.path, QString());
    EXPECT_EQ(refused.refusal, QStringLiteral("the thumbnail ") + lib.props() + QStringLiteral("/oak.png of ") + pp2 +
                                   QStringLiteral(" leads out of the library's Runtime folder"));
    QFile::remove(lib.props() + QStringLiteral("/oak.png"));
    ASSERT_TRUE(QFile::link(lib.props() + QStringLiteral("/oak.jpg"), lib.props() + QStringLiteral("/oak.png")));
    EXPECT_EQ(propThumbnail(pp2).path, lib.props() + QStringLiteral("/oak.png"));
    EXPECT_EQ(propThumbnail(pp2).refusal, QString());
}
