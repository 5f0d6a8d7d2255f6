// Access keys shared by several entries of a menu, some of them disabled.
#include "ui/MenuMnemonics.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

using plastora::ui::reachEnabledEntriesByAccessKey;

// The Edit menu of image editing: 切出し領域削除(D) is disabled above
// 遠近設定(D); Qt alone stayed on the disabled entry at every press.
TEST(MenuMnemonics, SharedKeyReachesTheEnabledEntries) {
    QMenu menu;
    QAction* removeRegion = menu.addAction(QStringLiteral("切出し領域削除(&D)"));
    QAction* depth = menu.addAction(QStringLiteral("遠近設定(&D)"));
    QAction* undo = menu.addAction(QStringLiteral("元に戻す(&R)"));
    QAction* adjust = menu.addAction(QStringLiteral("画質調整(&R)"));
    QAction* only = menu.addAction(QStringLiteral("画像の回転(&T)"));
    removeRegion->setEnabled(false);
    reachEnabledEntriesByAccessKey(&menu);
    int depthRuns = 0, rotateRuns = 0;
    QObject::connect(depth, &QAction::triggered, [&] { ++depthRuns; });
    QObject::connect(only, &QAction::triggered, [&] { ++rotateRuns; });

    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    // The only enabled entry with D is highlighted, not run: a shared
    // letter runs nothing by itself (R must not rotate the photo in a mode
    // where 画像回転 is the only enabled R entry). Enter runs it.
    QTest::keyClick(&menu, Qt::Key_D);
    EXPECT_EQ(menu.activeAction(), depth);
    EXPECT_EQ(depthRuns, 0);
    QTest::keyClick(&menu, Qt::Key_Return);
    EXPECT_EQ(depthRuns, 1);
    EXPECT_FALSE(menu.isVisible());

    // Two enabled entries share R: each press moves between them, running neither.
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_R);
    EXPECT_EQ(menu.activeAction(), undo);
    QTest::keyClick(&menu, Qt::Key_R);
    EXPECT_EQ(menu.activeAction(), adjust);
    QTest::keyClick(&menu, Qt::Key_R);
    EXPECT_EQ(menu.activeAction(), undo);
    // A key of one entry is Qt's own: it runs the entry.
    QTest::keyClick(&menu, Qt::Key_T);
    EXPECT_EQ(rotateRuns, 1);
    EXPECT_EQ(depthRuns, 1);
}
