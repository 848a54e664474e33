// The resize layout and the picture fitting in an 800 x 600 client area.

#include "picture/picture_fitting.h"
#include "shell/window_layout.h"

#include <QtTest>

using namespace glimmerby;

class TestLayoutArithmetic : public QObject {
    Q_OBJECT
  private slots:
    // Restored metrics on a 1600 x 1200 screen with a 30-pixel panel at its top, beside a
    // second 800 x 600 screen to its right.
    void restoredWindowStaysOnAScreen_data() {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("fits") << QRect(10, 40, 800, 600) << QRect(10, 40, 800, 600);
        QTest::newRow("huge") << QRect(0, 30, 32767, 32767) << QRect(0, 30, 1600, 1170);
        QTest::newRow("far above") << QRect(-1000000, -1000000, 500, 400) << QRect(0, 30, 500, 400);
        QTest::newRow("far right") << QRect(900000, 10, 500, 400) << QRect(2280, 10, 500, 400);
        QTest::newRow("tiny") << QRect(100, 100, 10, 10) << QRect(100, 100, 433, 307);
        QTest::newRow("second screen") << QRect(1700, 100, 700, 500) << QRect(1700, 100, 700, 500);
    }
    void restoredWindowStaysOnAScreen() {
        QFETCH(QRect, wanted);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 30, 1600, 1170), QRect(1600, 0, 800, 600)};
        QCOMPARE(restoredWindowGeometry(wanted, QSize(433, 307), screens), expected);
    }
    void centringKeepsTheCornerVisible() {
        const QRect area(0, 30, 1600, 1170);
        QCOMPARE(centredInArea(QSize(600, 400), area), QPoint(500, 415));
        QCOMPARE(centredInArea(QSize(3000, 2000), area), QPoint(0, 30));
    }
    void layoutAt800x600() {
        LayoutInput in;
        in.scaleWidth = 800;
        in.scaleHeight = 600;
        in.pb = QRect(340, 4, 100, 16);
        in.pb1 = QSize(60, 17);
        const LayoutResult r = computeLayout(in);
        QCOMPARE(r.mpWidth, 663);
        QCOMPARE(r.pbWidth, 800 - 340 - 2);
        QCOMPARE(r.pb1.topLeft(), QPoint(800 - 60 - 18, 600 - 17));
        QCOMPARE(r.hScroll.left(), 136);
        QCOMPARE(r.hScroll.width(), 650);
        QCOMPARE(r.vScroll.left(), 785);
        QCOMPARE(r.vScroll.top(), 23);
        QCOMPARE(r.vScroll.height(), 545);
        QCOMPARE(r.dirHeight, 156.6);
        QCOMPARE(r.fileHeight, 365.4);
        QCOMPARE(r.comboTop, 562);
        QCOMPARE(r.largePlayer, QSize(650, 535));
        QVERIFY(!r.scrollBarsVisible);
    }

    void damagedViewScrollBars() {
        LayoutInput in;
        in.scaleWidth = 800;
        in.scaleHeight = 600;
        in.picture1Visible = true;
        in.picture1 = QSize(300, 200);
        LayoutResult r = computeLayout(in);
        QVERIFY(!r.scrollBarsVisible);
        QVERIFY(r.resetScrollBars);
        in.scaleWidth = 452; // 452 - 153 < 300
        r = computeLayout(in);
        QVERIFY(r.scrollBarsVisible);
        in.scaleWidth = 453;
        QVERIFY(!computeLayout(in).scrollBarsVisible);
        in.scaleHeight = 254; // 254 - 55 < 200
        QVERIFY(computeLayout(in).scrollBarsVisible);
    }

    void fitting_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("small gif") << QSize(150, 120) << QRect(395, 245, 150, 120);
        QTest::newRow("landscape") << QSize(1600, 1200) << QRect(145, 51, 650, 487);
        QTest::newRow("portrait") << QSize(1200, 1600) << QRect(269, 27, 401, 535);
        QTest::newRow("199x300 by height")
            << QSize(199, 300) << QRect((800 - 354) / 2 + 70, 27, 354, 535);
        QTest::newRow("square is portrait")
            << QSize(400, 400) << QRect((800 - 535) / 2 + 70, 27, 535, 535);
    }
    void fitting() {
        QFETCH(QSize, picture);
        QFETCH(QRect, expected);
        QCOMPARE(fitPicture(picture.width(), picture.height(), 800, 600), expected);
    }
};

QTEST_APPLESS_MAIN(TestLayoutArithmetic)
#include "test_layout_arithmetic.moc"
