#pragma once
// Opens the tool window in a fresh documents folder, with the user's answers to dialogs given by
// the test.
#include "dzapp.h"
#include "dzcontentmgr.h"
#include "graph/nodesettings.h"
#include "plugin/afirstpluginaction.h"
#include "plugin/dialogs.h"
#include "plugin/programstate.h"
#include "plugin/screeninfo.h"
#include "viewport/glterrain.h"

#include <QPushButton>
#include <QTabWidget>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

class PluginFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!dzApp)
            new DzApp(qApp);   // lives as long as the test program
        ASSERT_TRUE(home.isValid());
        documents = home.path() + QStringLiteral("/Studio");
        QDir().mkpath(documents);
        dzApp->setPluginsPath(QStringLiteral(OROVISTA_PLUGINS_DIR));
        dzApp->setDocumentsPath(documents);
        orovista::screen::setDesktopSizeOverride(QSize(1920, 1200));
        orovista::screen::setColourDepthOverride(24);
        answer(QMessageBox::Yes);
        action = std::make_unique<DzOrovistaPluginAction>();
    }

    void TearDown() override
    {
        auto &ui = orovista::state().ui;
        if (ui.mainWindow)
            delete ui.mainWindow.data();
        orovista::state().ui = {};
        orovista::state().resetWorkingFlags();
        action.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        orovista::dialogs::setResponder({});
        orovista::screen::setDesktopSizeOverride(std::nullopt);
        orovista::screen::setColourDepthOverride(std::nullopt);
    }

    /// Opens the window with the two inputs set to these noise types (no noise run on the way).
    void openWindowWithInputs(orovista::NoiseType input1, orovista::NoiseType input2)
    {
        action->executeAction();
        orovista::NoiseSettings s = orovista::readNodeSettings();
        s.input[0].type = int(input1);
        s.input[1].type = int(input2);
        orovista::state().suppressNoise = true;
        orovista::applyNodeSettings(s);
        orovista::state().suppressNoise = false;
    }

    /// Every dialog from now on is answered with button, and recorded.
    void answer(QMessageBox::StandardButton button)
    {
        orovista::dialogs::setResponder([this, button](const orovista::dialogs::Request &r) {
            asked.push_back(r);
            return QString::number(int(button));
        });
    }

    QString workFolder() const { return documents + QStringLiteral("/orovistaData"); }

    QString logText() const
    {
        QFile f(workFolder() + QStringLiteral("/logFile.txt"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    /// The log with only the lines that are among keep, in their order.
    QString logLinesAmong(const QString &keep) const
    {
        const QStringList wanted = keep.split(QLatin1Char('\n'));
        QString out;
        for (const QString &line : logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (wanted.contains(line))
                out += line + QLatin1Char('\n');
        return out;
    }

    template <class T>
    T *find(const char *objectName) const
    {
        auto *w = orovista::state().ui.mainWindow.data();
        return w ? w->findChild<T *>(QString::fromLatin1(objectName)) : nullptr;
    }

    QTemporaryDir home;
    QString documents;
    std::unique_ptr<DzOrovistaPluginAction> action;
    std::vector<orovista::dialogs::Request> asked;
};
