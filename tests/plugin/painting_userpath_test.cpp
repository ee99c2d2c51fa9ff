// Painting props as a user does it: a prop chosen in the library, clicks and Shift-clicks on the
// terrain in paint mode, selecting and editing in edit mode, the delete tools.
#include "userpathfixture.h"

namespace {

class Painting : public UserPathWithProps {
protected:
    static long long triangles() { return triangleLabel()->text().mid(11).toLongLong(); }
};

TEST_F(Painting, PaintingRocksThenEditingAndDeletingThem)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    click(find<QPushButton>(QStringLiteral("glEditButton")));
    const QImage bareInEditMode = look(preview());
    ASSERT_NO_FATAL_FAILURE(type("ecoMxScaleSpinBox", QStringLiteral("3000")));
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Rocks"), QStringLiteral("boulder.pp2")));
    QOpenGLWidget *gl = preview();
    const QPoint middle(gl->width() / 2, gl->height() / 2);
    const long long bare = triangles();
    const QImage before = look(gl);

    // One click, one boulder where the pointer is.
    QTest::mouseClick(gl, Qt::LeftButton, {}, middle);
    EXPECT_EQ(statusLine(), QStringLiteral("added item # 1"));
    const long long boulder = triangles() - bare;
    EXPECT_EQ(boulder, 320);
    const QImage one = look(gl);
    EXPECT_NE(one.pixel(middle), before.pixel(middle)) << "the rock covers the ground under the pointer";

    // Shift-click: five more in the brush around it.
    shiftClick(gl, middle);
    EXPECT_EQ(statusLine(), QStringLiteral("added items up to # 6"));
    EXPECT_EQ(triangles(), bare + 6 * boulder);

    // Over the sky nothing can be placed.
    answers.push_back({QStringLiteral("OK"), {}});
    shiftClick(gl, QPoint(10, 10));
    ASSERT_TRUE(waitFor([&] { return !shown.empty(); }, 5000));
    EXPECT_EQ(shown.back(), QStringLiteral("Error: The area where objects should be deployed seems to be completely "
                                           "masked. Try a larger radius or choose a different spot."));
    EXPECT_EQ(triangles(), bare + 6 * boulder);

    // Edit mode: a click on a rock selects it and shows its values; a new y angle turns it.
    click(find<QPushButton>(QStringLiteral("glEditButton")));
    QTest::mouseClick(gl, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(find<QFrame>(QStringLiteral("glEditTransformFrame"))->isVisible());
    const QImage selected = look(gl);
    ASSERT_NO_FATAL_FAILURE(type("glYRotCurrentSpinBox", QStringLiteral("90")));
    EXPECT_NE(look(gl), selected) << "the selected rock turned";
    ASSERT_NO_FATAL_FAILURE(type("glYOffsetSpinBox", QStringLiteral("-100000")));
    EXPECT_NE(look(gl).pixel(middle), selected.pixel(middle)) << "sunk far below the ground";

    // Delete (the key), delete last, delete all with Cancel and then Yes.
    gl->setFocus();
    QTest::keyClick(gl, Qt::Key_Delete);
    EXPECT_EQ(statusLine(), QStringLiteral("object deleted"));
    EXPECT_EQ(triangles(), bare + 5 * boulder);
    EXPECT_FALSE(find<QFrame>(QStringLiteral("glEditTransformFrame"))->isVisible());
    // A mistaken delete taken back and done again.
    QTest::keyClick(gl, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(statusLine(), QStringLiteral("undone: delete"));
    EXPECT_EQ(triangles(), bare + 6 * boulder);
    QTest::keyClick(gl, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(triangles(), bare + 5 * boulder);
    click(find<QPushButton>(QStringLiteral("glDeleteLastPaint")));
    EXPECT_EQ(statusLine(), QStringLiteral("object #5 deleted"));
    EXPECT_EQ(triangles(), bare + 4 * boulder);

    answers.push_back({QStringLiteral("Cancel"), {}});
    click(find<QPushButton>(QStringLiteral("glEditDeleteAllButton")));
    EXPECT_EQ(shown.back(), QStringLiteral("Warning: delete all the items?"));
    EXPECT_EQ(triangles(), bare + 4 * boulder);
    answers.push_back({QStringLiteral("Yes"), {}});
    click(find<QPushButton>(QStringLiteral("glEditDeleteAllButton")));
    EXPECT_EQ(statusLine(), QStringLiteral("all objects deleted"));
    EXPECT_EQ(triangleLabel()->text(), QStringLiteral("triangles: 522242"));
    EXPECT_EQ(look(gl), bareInEditMode);
    click(find<QPushButton>(QStringLiteral("glUndoButton")));
    EXPECT_EQ(statusLine(), QStringLiteral("undone: delete all"));
    EXPECT_EQ(triangles(), bare + 4 * boulder);
    EXPECT_NE(look(gl), bareInEditMode) << "the rocks are drawn again";
    click(find<QPushButton>(QStringLiteral("glRedoButton")));
    EXPECT_EQ(look(gl), bareInEditMode);

    // No prop is chosen any more: a click in paint mode places nothing.
    click(find<QPushButton>(QStringLiteral("glPaintButton")));
    const QImage unchosen = look(gl);
    QTest::mouseClick(gl, Qt::LeftButton, {}, middle);
    EXPECT_NE(statusLine(), QStringLiteral("added item # 1"));
    EXPECT_EQ(triangles(), 522242);
    EXPECT_EQ(look(gl), unchosen);
}

TEST_F(Painting, DraggingPaintsATrailKeptApartByTheMinimumDistance)
{
    ASSERT_NO_FATAL_FAILURE(terraform());
    ASSERT_NO_FATAL_FAILURE(chooseProp(QStringLiteral("Plants"), QStringLiteral("grass_tuft.pp2")));
    // A minimum distance far larger than the drag: only the first tuft lands.
    ASSERT_NO_FATAL_FAILURE(type("itemDistanceSpinBox", QStringLiteral("9999999")));
    QOpenGLWidget *gl = preview();
    const QPoint start(gl->width() / 2 - 40, gl->height() / 2);
    QTest::mousePress(gl, Qt::LeftButton, {}, start);
    for (int i = 1; i <= 20; ++i)
        dragTo(gl, start + QPoint(4 * i, 0));
    QTest::mouseRelease(gl, Qt::LeftButton, {}, start + QPoint(80, 0));
    EXPECT_EQ(statusLine(), QStringLiteral("added item # 1"));
    // A click that places nothing says why.
    QTest::mouseClick(gl, Qt::LeftButton, {}, start + QPoint(40, 0));
    EXPECT_EQ(statusLine(), QStringLiteral("nothing placed: another item is nearer than the minimum distance"));
    QTest::mouseClick(gl, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(statusLine(), QStringLiteral("nothing placed: the pointer is not over the terrain"));

    // Without a minimum distance the same drag lays a trail, one tuft per move.
    ASSERT_NO_FATAL_FAILURE(type("itemDistanceSpinBox", QStringLiteral("0")));
    const QPoint lower = start + QPoint(0, 40);
    QTest::mousePress(gl, Qt::LeftButton, {}, lower);
    for (int i = 1; i <= 20; ++i)
        dragTo(gl, lower + QPoint(4 * i, 0));
    QTest::mouseRelease(gl, Qt::LeftButton, {}, lower + QPoint(80, 0));
    EXPECT_EQ(statusLine(), QStringLiteral("added item # 22"));
}

}   // namespace
