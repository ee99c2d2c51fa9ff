#pragma once
// The window opened with the six node panels, and small helpers to work them as a user would.
#include "plugin/pluginfixture.h"

#include "graph/c1.h"
#include "graph/d1.h"
#include "graph/ff.h"
#include "graph/i1.h"
#include "plugin/statics.h"

#include <QDir>
#include <QSlider>

class PanelsTest : public PluginFixture {
protected:
    /// Opens the window; AUTO as asked (the window starts with it on).
    void open(bool autoNoise = true)
    {
        action->executeAction();
        ASSERT_TRUE(orovista::state().ui.mainWindow);
        orovista::state().autoNoiseUpdate = autoNoise;
    }

    orovista::Statics &nodes() { return orovista::statics(); }
    I1 &input1() { return orovista::statics().input1; }
    D1 &deformer1() { return orovista::statics().deformer1; }
    C1 &combiner() { return orovista::statics().combiner; }
    FF &finalNode() { return orovista::statics().finalNode; }

    /// How often the noise machine was asked to run since the log was opened.
    int runs() const { return logText().count(QStringLiteral("generating noise maps...\n")); }

    /// Pictures in the "maps" folder.
    QStringList pictures() const
    {
        return QDir(workFolder() + QStringLiteral("/maps")).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    }
    void removePictures() const
    {
        QDir maps(workFolder() + QStringLiteral("/maps"));
        for (const QString &f : pictures())
            maps.remove(f);
    }

    /// Moves a slider and lets it go.
    static void release(QSlider *slider, int value)
    {
        slider->setValue(value);
        emit slider->sliderReleased();
    }

    /// From now on file dialogs answer path ("" = cancel); other dialogs answer OK. All are recorded.
    void answerFiles(const QString &path)
    {
        orovista::dialogs::setResponder([this, path](const orovista::dialogs::Request &r) {
            asked.push_back(r);
            return r.kind == orovista::dialogs::Request::OpenFile ? path : QString::number(int(QMessageBox::Ok));
        });
    }

    /// The boxes titled "Error" shown so far, by text.
    QStringList errors() const
    {
        QStringList texts;
        for (const auto &r : asked)
            if (r.kind == orovista::dialogs::Request::Warning && r.title == QLatin1String("Error"))
                texts << r.text;
        return texts;
    }
};
