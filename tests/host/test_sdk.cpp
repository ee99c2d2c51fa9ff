// The SDK's registration pieces: GUIDs, versions, plug-in definitions, class factories and
// their script registration, actions, settings.
#include "dzaction.h"
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzplugin.h"
#include "dzsettings.h"
#include <QImage>
#include <QJSEngine>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Gadget : public QObject {
    Q_OBJECT
public:
    enum Size { Small = 2, Large = 9 };
    Q_ENUM(Size)
    Gadget() { setObjectName(QStringLiteral("a gadget")); }
};

class TestAction : public DzCreateItemAction {
    Q_OBJECT
public:
    using DzCreateItemAction::DzCreateItemAction;
public slots:
    void executeAction() override { ++runs; }

public:
    int runs = 0;
};

// Counts how many factories are alive, to see who deletes them.
int liveFactories = 0;
class CountedFactory : public DzTClassFactory<Gadget> {
public:
    CountedFactory() : DzTClassFactory<Gadget>(QStringLiteral("Gadget"), DzGuid()) { ++liveFactories; }
    ~CountedFactory() override { --liveFactories; }
};

} // namespace

TEST(DzGuid, RoundTripsWithAndWithoutBraces)
{
    const QString text = QStringLiteral("CD69D1EC-2478-47E0-B702-00D53565D476");
    const DzGuid plain = DzGuid::fromString(text);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(plain.toString(), text);
    EXPECT_EQ(DzGuid::fromString(QLatin1Char('{') + text + QLatin1Char('}')), plain);
    EXPECT_EQ(DzGuid::fromString(text.toLower()), plain);
    EXPECT_EQ(DzGuid::fromString(plain.toString()), plain);
    EXPECT_FALSE(DzGuid::fromString(QStringLiteral("CD69D1EC-2478-47E0-B702-00D53565D477")) == plain);
}

TEST(DzGuid, RejectsAnythingElse)
{
    for (const char *bad : {"", "not a guid", "CD69D1EC-2478-47E0-B702", "CD69D1EC247847E0B70200D53565D476",
                            "{CD69D1EC-2478-47E0-B702-00D53565D476", "CD69D1EC-2478-47E0-B702-00D53565D476}",
                            "CD69D1EC-2478-47E0-B702-00D53565D4761", "GD69D1EC-2478-47E0-B702-00D53565D476",
                            " CD69D1EC-2478-47E0-B702-00D53565D476", "CD69D1EC-2478-47E0-B702-00D53565D476xyz"})
        EXPECT_TRUE(DzGuid::fromString(QString::fromLatin1(bad)).isNull()) << bad;
}

TEST(DzVersion, PrintsFourParts)
{
    EXPECT_EQ(DZ_SDK_VERSION.toString(), QStringLiteral("4.5.0.100"));
    EXPECT_EQ(DzVersion(5, 0, 0, 0).toString(), QStringLiteral("5.0.0.0"));
}

TEST(DzPlugin, OwnsItsFactories)
{
    {
        DzPlugin plugin(QStringLiteral("p"));
        auto *f = new CountedFactory;
        plugin.addClassFactory(f);
        plugin.addClassFactory(f);       // a second add of the same factory is ignored
        plugin.addClassFactory(nullptr);
        EXPECT_EQ(plugin.getNumClassFactories(), 1);
        EXPECT_EQ(liveFactories, 1);
    }
    EXPECT_EQ(liveFactories, 0);
}

TEST(DzClassFactory, RegisteredClassIsConstructibleFromScript)
{
    QJSEngine engine;
    DzTClassFactory<Gadget> factory(QStringLiteral("Gadget"), DzGuid());
    factory.registerClass(&engine);

    for (const char *call : {"Gadget()", "new Gadget()"}) {
        const QJSValue v = engine.evaluate(QString::fromLatin1(call));
        ASSERT_TRUE(v.isQObject()) << call << ": " << v.toString().toStdString();
        EXPECT_STREQ(v.toQObject()->metaObject()->className(), "Gadget");
        EXPECT_EQ(v.property(QStringLiteral("objectName")).toString(), QStringLiteral("a gadget"));
    }
    EXPECT_TRUE(engine.evaluate(QStringLiteral("Gadget() !== Gadget()")).toBool());
    EXPECT_EQ(engine.evaluate(QStringLiteral("Gadget.Large")).toInt(), 9);
    EXPECT_EQ(engine.evaluate(QStringLiteral("Gadget.Small")).toInt(), 2);
    // The meta type "Gadget*" is known, so scripts and C++ can pass instances.
    EXPECT_TRUE(QMetaType::fromName("Gadget*").isValid());
}

TEST(DzClassFactory, ScriptCallAfterTheFactoryIsGoneIsHarmless)
{
    QJSEngine engine;
    {
        DzTClassFactory<Gadget> factory(QStringLiteral("Gadget"), DzGuid());
        factory.registerClass(&engine);
    }
    const QJSValue v = engine.evaluate(QStringLiteral("Gadget()"));
    EXPECT_TRUE(v.isUndefined());
}

TEST(DzAction, IconFromFileAndMenuPlacement)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("icon.png"))));

    TestAction action(QStringLiteral("Do It"), QStringLiteral("does it"));
    EXPECT_EQ(action.getActionGroup(), QStringLiteral("Create"));
    EXPECT_EQ(action.getDefaultMenuPath(), QStringLiteral("&Create"));
    EXPECT_EQ(action.getDescription(), QStringLiteral("does it"));

    action.setIcon(dir.filePath(QStringLiteral("missing.png")));
    EXPECT_TRUE(action.icon().isNull());
    action.setIcon(dir.filePath(QStringLiteral("icon.png")));
    EXPECT_FALSE(action.icon().isNull());
    // A file that is not an image leaves the icon as it was.
    QFile junk(dir.filePath(QStringLiteral("junk.png")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();
    action.setIcon(junk.fileName());
    EXPECT_FALSE(action.icon().isNull());
}

TEST(DzApp, FindsHostAndAddedClassFactories)
{
    DzApp app;
    EXPECT_EQ(dzApp, &app);
    ASSERT_NE(app.findClassFactory(QStringLiteral("DzImageBrick")), nullptr);
    EXPECT_EQ(app.findClassFactory(QStringLiteral("NoSuchClass")), nullptr);
    {
        DzTClassFactory<Gadget> factory(QStringLiteral("Gadget"),
                                        DzGuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555")));
        EXPECT_TRUE(app.addClassFactory(&factory));
        EXPECT_FALSE(app.addClassFactory(&factory));
        EXPECT_EQ(app.findClassFactory(factory.getClassID()), &factory);
        EXPECT_EQ(app.findClassFactory(QStringLiteral("Gadget")), &factory);
    }
    // A destroyed factory is no longer found.
    EXPECT_EQ(app.findClassFactory(QStringLiteral("Gadget")), nullptr);
}

TEST(DzSettings, TypedValuesConvertOrFallBack)
{
    DzFileIOSettings s;
    s.setStringValue(QStringLiteral("Preset"), QStringLiteral("Lightwave (1 unit = 1m)"));
    s.setFloatValue(QStringLiteral("Scale"), 100.0);
    s.setIntValue(QStringLiteral("RunSilent"), 1);
    s.setBoolValue(QStringLiteral("SwapYZ"), false);
    s.setStringValue(QStringLiteral("Odd"), QStringLiteral("banana"));
    EXPECT_EQ(s.getStringValue(QStringLiteral("Preset")), QStringLiteral("Lightwave (1 unit = 1m)"));
    EXPECT_DOUBLE_EQ(s.getFloatValue(QStringLiteral("Scale")), 100.0);
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("RunSilent")));
    EXPECT_FALSE(s.getBoolValue(QStringLiteral("SwapYZ"), true));
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("Missing"), true));
    EXPECT_TRUE(s.getBoolValue(QStringLiteral("Odd"), true));
    EXPECT_DOUBLE_EQ(s.getFloatValue(QStringLiteral("Odd"), 3.5), 3.5);
    EXPECT_EQ(s.getIntValue(QStringLiteral("Missing"), -4), -4);
}

#include "test_sdk.moc"
