#pragma once
// The fixture of the user-path tests: the studio loads the plug-in library, its create action
// opens the window, and from then on only mouse clicks and key presses on the real widgets reach
// it. Message boxes and text dialogs are the real ones, answered by pressing their buttons.
#include "dzaction.h"
#include "dzapp.h"
#include "dzcontentmgr.h"
#include "pluginloader.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFile>
#include <QInputDialog>
#include <QJSEngine>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QTimer>
#include <QToolTip>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

/// QStrings in failure messages as text.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace {

/// What the user does with the next modal dialog: press the button with this text, after typing
/// into the dialog's line edit when it has one.
struct Answer {
    QString button;
    QString typed;
};

class UserPath : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!dzApp)
            new DzApp(qApp);   // lives as long as the test program
        dzApp->setPluginsPath(QStringLiteral(OROVISTA_PLUGINS_DIR));
        engine = new QJSEngine;
        loader = new PluginLoader(engine);
        ASSERT_EQ(loader->loadFolder(QStringLiteral(OROVISTA_PLUGINS_DIR)), 1);
    }

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        documents = home.path() + QStringLiteral("/Studio");
        QDir().mkpath(documents);
        dzApp->setDocumentsPath(documents);
        QObject::connect(&dialogWatch, &QTimer::timeout, [this] { answerModalDialog(); });
        dialogWatch.start(20);
        beforeWindow();
        openWindow();
    }

    void TearDown() override
    {
        if (window()) {
            answers.push_back({QStringLiteral("Yes"), {}});
            if (QPushButton *quit = button(QStringLiteral("QUIT")))
                click(quit);
            waitFor([this] { return !window(); });
        }
        dialogWatch.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    /// What a test suite prepares in the host before the window opens.
    virtual void beforeWindow() {}

    void openWindow()
    {
        DzCreateItemAction *create = loader->findAction(QStringLiteral("New OROVISTA Scene Objects..."));
        ASSERT_NE(create, nullptr);
        create->trigger();
        ASSERT_NE(window(), nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
    }

    static QWidget *window()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("ecoWin") && w->isVisible())
                return w;
        return nullptr;
    }

    template <class T>
    static T *find(const QString &name)
    {
        QWidget *w = window();
        return w ? w->findChild<T *>(name) : nullptr;
    }

    /// The PRESETS tab's thumbnail of the preset with this name (shown under it).
    static QToolButton *presetButton(const QString &name)
    {
        QWidget *w = window();
        if (w)
            for (QToolButton *b : w->findChildren<QToolButton *>())
                if (b->text() == name && b->objectName().endsWith(name + QStringLiteral(".opf")))
                    return b;
        return nullptr;
    }

    /// The visible push button with this text.
    static QPushButton *button(const QString &text)
    {
        QWidget *w = window();
        if (!w)
            return nullptr;
        for (QPushButton *b : w->findChildren<QPushButton *>())
            if (b->text() == text && b->isVisible())
                return b;
        return nullptr;
    }

    static QString statusLine()
    {
        QWidget *w = window();
        if (!w)
            return {};
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->geometry().topLeft() == QPoint(1, 998 - 21))
                return l->text();
        return {};
    }

    static QLabel *triangleLabel()
    {
        QWidget *w = window();
        if (!w)
            return nullptr;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->text().startsWith(QLatin1String("triangles: ")))
                return l;
        return nullptr;
    }

    static void click(QWidget *widget)
    {
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
        ASSERT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }

    static QTabWidget *tabs() { return find<QTabWidget>(QStringLiteral("mainController")); }

    static void openTab(int index)
    {
        QTabBar *bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        EXPECT_EQ(tabs()->currentIndex(), index);
    }

    static QComboBox *input1Type(const char *panelName = "I1Panel")
    {
        auto *panel = find<QTabWidget>(QString::fromLatin1(panelName));
        return panel ? panel->findChild<QComboBox *>(QStringLiteral("I1TerrainType")) : nullptr;
    }

    /// A node change as the user makes it: INPUT 1's (or 2's) type chosen with the arrow keys.
    static void chooseInput1Type(const QString &type, const char *panelName = "I1Panel")
    {
        QComboBox *combo = input1Type(panelName);
        ASSERT_NE(combo, nullptr);
        const int target = combo->findText(type);
        ASSERT_GE(target, 0);
        combo->setFocus();
        while (combo->currentIndex() != target) {
            const int was = combo->currentIndex();
            QTest::keyClick(combo, target > was ? Qt::Key_Down : Qt::Key_Up);
            ASSERT_NE(combo->currentIndex(), was);
            waitFor([] { return !button(QStringLiteral("cancel")); });
        }
    }

    /// Another node change: the reseed button of INPUT 1 (its type must take a seed; the new seed
    /// may be the old one).
    static void reseedInput1()
    {
        auto *panel = find<QTabWidget>(QStringLiteral("I1Panel"));
        ASSERT_NE(panel, nullptr);
        click(panel->findChild<QPushButton *>(QStringLiteral("I1SeedButton")));
    }

    /// A move of the pointer with the left button (or the given buttons) held; QTest's own move
    /// carries no buttons and is dropped when the pointer is already there.
    static void dragTo(QWidget *widget, QPoint to, Qt::MouseButtons held = Qt::LeftButton)
    {
        QMouseEvent move(QEvent::MouseMove, to, widget->mapToGlobal(to), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    static bool waitFor(const std::function<bool()> &done, int ms = 20000)
    {
        for (int waited = 0; !done(); waited += 10) {
            if (waited > ms)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    /// Opens the final node's EROSION page with a click on its tab and picks @a type in the erosion
    /// combo with the arrow keys.
    static void chooseErosionType(const QString &type)
    {
        auto *finalPanel = find<QTabWidget>(QStringLiteral("FFPanel"));
        ASSERT_NE(finalPanel, nullptr);
        int erosionPage = -1;
        for (int i = 0; i < finalPanel->count(); ++i)
            if (finalPanel->tabText(i) == QLatin1String("EROSION"))
                erosionPage = i;
        ASSERT_GE(erosionPage, 0);
        QTabBar *pages = finalPanel->tabBar();
        QTest::mouseClick(pages, Qt::LeftButton, {}, pages->tabRect(erosionPage).center());
        ASSERT_EQ(finalPanel->currentIndex(), erosionPage);
        auto *combo = find<QComboBox>(QStringLiteral("FFErosionTypeComboBox"));
        ASSERT_NE(combo, nullptr);
        combo->setFocus();
        while (combo->currentText() != type) {
            const int was = combo->currentIndex();
            QTest::keyClick(combo, Qt::Key_Down);
            ASSERT_NE(combo->currentIndex(), was) << "no " << type.toStdString() << " in the combo";
        }
    }

    /// type() into a spin box the user can see, which then shows the value.
    static void typeInto(const char *name, const QString &value)
    {
        auto *box = find<QSpinBox>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr) << name;
        ASSERT_TRUE(box->isVisible()) << name;
        ASSERT_NO_FATAL_FAILURE(type(name, value));
        EXPECT_EQ(box->text(), value) << name;
    }

    /// TERRAFORM ! once the run in progress is over, and the POPULATE tab it ends on (within ms).
    static void terraformAgain(int ms = 20000)
    {
        QPushButton *terraform = find<QPushButton>(QStringLiteral("terraformButton"));
        ASSERT_TRUE(waitFor([&] { return terraform->isEnabled() && !button(QStringLiteral("cancel")); }));
        click(terraform);
        ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }, ms));
    }

    /// A node change, TERRAFORM !, and the POPULATE tab it ends on.
    static void terraform()
    {
        chooseInput1Type(QStringLiteral("Perlin"));
        click(find<QPushButton>(QStringLiteral("terraformButton")));
        ASSERT_TRUE(waitFor([] { return tabs()->currentIndex() == 1; }));
        EXPECT_EQ(statusLine(), QStringLiteral("terrain generated")) << "the status line follows TERRAFORM !";
    }

    // The prop library's tree on the POPULATE tab.
    static QTreeView *tree() { return find<QTreeView>(QStringLiteral("libTree")); }
    static QFileSystemModel *model() { return qobject_cast<QFileSystemModel *>(tree()->model()); }

    /// The tree's entry with this name under `parent`, once the file system model has read it.
    static QModelIndex entry(const QModelIndex &parent, const QString &name)
    {
        QModelIndex found;
        waitFor([&] {
            for (int r = 0; r < model()->rowCount(parent); ++r)
                if (model()->index(r, 0, parent).data().toString() == name)
                    found = model()->index(r, 0, parent);
            return found.isValid();
        }, 5000);
        return found;
    }

    /// A folder opened with a double-click, as the user does.
    static QModelIndex openFolder(const QString &name)
    {
        const QModelIndex folder = entry(tree()->rootIndex(), name);
        if (!folder.isValid())
            return folder;
        doubleClick(tree()->visualRect(folder).center());
        waitFor([&] { return tree()->isExpanded(folder); }, 2000);
        return folder;
    }

    /// Press, release, the second press that the system reports as a double-click, release.
    static void doubleClick(QPoint at)
    {
        QWidget *viewport = tree()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    static void clickEntry(const QModelIndex &index, bool twice)
    {
        tree()->scrollTo(index);
        const QPoint at = tree()->visualRect(index).center();
        if (twice)
            doubleClick(at);
        else
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at);
    }


    static QOpenGLWidget *preview() { return find<QOpenGLWidget>(QStringLiteral("GLTerrain")); }

    /// What the preview shows: the camera of one frame shows in the next, hence two frames.
    static QImage look(QOpenGLWidget *gl)
    {
        gl->grabFramebuffer();
        return gl->grabFramebuffer();
    }

    /// A prop of the sample library chosen with a double-click.
    static void chooseProp(const QString &category, const QString &name)
    {
        const QModelIndex folder = openFolder(category);
        ASSERT_TRUE(folder.isValid());
        const QModelIndex prop = entry(folder, name);
        ASSERT_TRUE(prop.isValid());
        clickEntry(prop, true);
        ASSERT_TRUE(statusLine().startsWith(QLatin1String("loaded prop: "))) << statusLine().toStdString();
    }

    /// A number typed into a spin box, as a user types it.
    static void type(const char *spinBox, const QString &text)
    {
        auto *box = find<QSpinBox>(QString::fromLatin1(spinBox));
        ASSERT_NE(box, nullptr);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    static void shiftClick(QWidget *gl, QPoint at)
    {
        gl->setFocus();
        QTest::keyPress(gl, Qt::Key_Shift);
        QTest::mouseClick(gl, Qt::LeftButton, Qt::ShiftModifier, at);
        QTest::keyRelease(gl, Qt::Key_Shift);
    }

    /// One wheel notch over the middle of the widget (forward for a positive delta).
    static void wheel(QWidget *widget, int delta)
    {
        const QPoint middle(widget->width() / 2, widget->height() / 2);
        QWheelEvent notch(middle, widget->mapToGlobal(middle), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &notch);
    }

    QString maps(const char *file) const { return documents + "/orovistaData/maps/" + file; }
    QString userPresets() const { return documents + "/orovistaData/presets/"; }

    static QByteArray digest(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1) : QByteArray();
    }

    /// Every dialog seen, as "title: text".
    std::vector<QString> shown;
    std::deque<Answer> answers;

    QTemporaryDir home;
    QString documents;

private:
    /// Clicks the button with this text (mnemonics aside); a missing one fails and closes the dialog.
    void press(QDialog *dialog, const QList<QAbstractButton *> &buttons, const QString &text)
    {
        for (QAbstractButton *b : buttons)
            if (b->text().remove(QLatin1Char('&')) == text)
                return QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        ADD_FAILURE() << "no button " << text.toStdString() << " on " << shown.back().toStdString();
        dialog->reject();
    }

    void answerModalDialog()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (answers.empty()) {
            // A dialog the test did not expect would wait for ever: the test fails instead.
            if (auto *dialog = qobject_cast<QDialog *>(modal);
                dialog && (qobject_cast<QMessageBox *>(modal) || qobject_cast<QInputDialog *>(modal) || qobject_cast<QFileDialog *>(modal))) {
                const auto *box = qobject_cast<QMessageBox *>(modal);
                shown.push_back(dialog->windowTitle() + QStringLiteral(": ") + (box ? box->text() : QString()));
                ADD_FAILURE() << "a dialog no answer was given for: " << shown.back().toStdString();
                dialog->done(QDialog::Rejected);
            }
            return;
        }
        const Answer a = answers.front();
        answers.pop_front();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            shown.push_back(box->windowTitle() + QStringLiteral(": ") + box->text());
            return press(box, box->buttons(), a.button);
        }
        if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            shown.push_back(input->windowTitle() + QStringLiteral(": ") + input->labelText());
            auto *edit = input->findChild<QLineEdit *>();
            edit->selectAll();
            QTest::keyClicks(edit, a.typed);
            return press(input, input->findChild<QDialogButtonBox *>()->buttons(), a.button);
        }
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            shown.push_back(files->windowTitle() + QStringLiteral(": ") + files->nameFilters().join(QLatin1Char(';')));
            auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            edit->setFocus();
            edit->setText(a.typed);
            // The completer's list would take the Return for itself.
            if (QCompleter *completer = edit->completer(); completer && completer->popup()->isVisible())
                completer->popup()->hide();
            QTest::keyClick(edit, Qt::Key_Return);
            return;
        }
        ADD_FAILURE() << "unexpected dialog " << modal->metaObject()->className();
        modal->close();
    }

    QTimer dialogWatch;
    static inline QJSEngine *engine = nullptr;
    static inline PluginLoader *loader = nullptr;
};

/// The same, with the sample prop library as the host's content folder.
class UserPathWithProps : public UserPath {
protected:
    void beforeWindow() override
    {
        dzApp->getContentMgr()->setPoserDirectories({QStringLiteral(OROVISTA_BINARY_DIR "/content")});
    }
    void TearDown() override
    {
        UserPath::TearDown();
        dzApp->getContentMgr()->setPoserDirectories({});
    }
};

}   // namespace
