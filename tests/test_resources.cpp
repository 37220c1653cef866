// Every image path the program looks up exists with the pixel size it is
// drawn at; the style sheet parses and colours the message-box buttons.
#include "Startup.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QToolButton>
#include <QStyle>
#include <QtTest>

namespace {

// Every resource the program opens by path, grouped by the size it is drawn at.
const struct {
    QSize size;
    const char *paths;
} kResources[] = {
    // The main window writes its icon path without the slash.
    {{32, 32}, ":images/logo/32.png :/images/logo/32.png"},
    {{16, 16}, ":/images/logo/16.png :/images/image/icon_scul.png :/images/image/icon_radio_checked.png "
               ":/images/image/icon_radio_unchecked.png :/images/style/Arrow_16px.png"},
    {{24, 24}, ":/images/logo/24.png"},
    {{48, 48}, ":/images/logo/48.png"},
    {{64, 64}, ":/images/logo/64.png"},
    {{96, 96}, ":/images/logo/96.png"},
    {{128, 128}, ":/images/logo/128.png"},
    {{256, 256}, ":/images/logo/256.png"},
    {{12, 12}, "icon_new icon_new_ icon_delete icon_delete_blue icon_code icon_code_blue icon_share "
               "icon_share_blue icon_down close_icon minimun_icon menu_icon"},
    {{14, 14}, "sahre_icon lock_icon blue_unlock_icon list_selected list_ icon_view icon_view_selected"},
    {{48, 48}, "share_48 sahre_unlock48 sahre_lock48 person_sahre_unlock_48 person_sahre_lock48 "
               "person_unlock_48 person_lock_48 person_share_48 person_48"},
    {{18, 16}, "share_16 share_lock16 share_unlock16 person_16 person_shre16 person_lock16 "
               "person_sahre_lock_16 person_unlock16 person_sahre_unlock_16 invisible visible"},
    {{56, 56}, "remind question_icon waring finish"},
    {{18, 18}, "return_icon1818px"},
};

// How many pixels of `img` have exactly the colour `c` (alpha ignored).
int countColour(const QImage &img, const QColor &c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (c.rgb() & 0xFFFFFF);
    return n;
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        qApp->setStyleSheet(QString());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void imagesExistWithTheirSizes()
    {
        for (const auto &r : kResources)
            for (QString path : QString(r.paths).split(' ')) {
                // Bare names are images under ":/images/image/".
                if (!path.startsWith(':'))
                    path = ":/images/image/" + path + ".png";
                QVERIFY2(QImage(path).size() == r.size, qPrintable(path));
                // Its twice-as-large twin for screens scaled by 2.
                const QString twin = path.left(path.size() - 4) + "@2x.png";
                QVERIFY2(QImage(twin).size() == r.size * 2, qPrintable(twin));
            }
    }

    void styleSheetParses()
    {
        TestSupport::DebugCapture capture;
        loadStyleSheet("blue.css");
        QVERIFY(!qApp->styleSheet().isEmpty());
        QPushButton b;
        b.ensurePolished();
        QVERIFY2(!capture.contains("Could not parse"), qPrintable(capture.lines().join('\n')));
    }

    // Grey at rest, blue under the pointer (a real pointer move: the :hover
    // rules follow the pointer, not the widget attribute); orange for the
    // other message types.
    void messageBoxButtonColours()
    {
        loadStyleSheet("blue.css");
        QWidget window;
        window.resize(300, 100);
        QPushButton b("A", &window);
        b.setObjectName("MessageBoxBtn");
        b.setProperty("MsgType", "Complete");
        b.setFixedSize(120, 36);
        b.move(50, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(&window, QPoint(5, 5));
        b.clearFocus();
        const int half = 120 * 36 / 2;
        QVERIFY(countColour(b.grab().toImage(), QColor("#D1D1D1")) > half);
        QCOMPARE(countColour(b.grab().toImage(), QColor("#1787F0")), 0);

        QTest::mouseMove(&b, QPoint(60, 18));
        QTRY_VERIFY(b.underMouse());
        QVERIFY(countColour(b.grab().toImage(), QColor("#1787F0")) > half);
        b.setProperty("MsgType", "Warning");
        b.style()->unpolish(&b);
        b.style()->polish(&b);
        QVERIFY(countColour(b.grab().toImage(), QColor("#FF8304")) > half);
    }

    // Buttons that Tab reaches show it: a blue frame around the unchanged
    // face (2 pixels for the dialogs' buttons, 1 for the tool buttons).
    void focusedButtonsShowAFrame_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("face");
        QTest::addColumn<int>("frameWidth");
        QTest::newRow("确认/取消 of the form dialogs") << "BoxCommonButton" << "#D1D1D1" << 2;
        QTest::newRow("message box buttons") << "MessageBoxBtn" << "#D1D1D1" << 2;
        QTest::newRow("main window tool buttons") << "PrivateBoxToolButton" << "" << 1;
    }

    void focusedButtonsShowAFrame()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, face);
        QFETCH(int, frameWidth);
        loadStyleSheet("blue.css");
        QWidget window;
        window.resize(300, 100);
        QAbstractButton *button = objectName.startsWith("Private") ? static_cast<QAbstractButton *>(new QToolButton(&window))
                                                                   : new QPushButton(&window);
        button->setText("A");
        button->setObjectName(objectName);
        button->setFixedSize(120, 36);
        button->move(50, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        button->clearFocus();
        QCOMPARE(countColour(button->grab().toImage(), QColor("#1787F0")), 0);
        button->setFocus(Qt::TabFocusReason);
        QVERIFY(button->hasFocus());
        const QImage focused = button->grab().toImage();
        const int framePixels = 2 * frameWidth * (120 + 36) - 4 * frameWidth * frameWidth;
        QVERIFY2(countColour(focused, QColor("#1787F0")) >= framePixels * 9 / 10,
                 qPrintable(QString::number(countColour(focused, QColor("#1787F0")))));
        if (!face.isEmpty())
            QVERIFY(countColour(focused, QColor(face)) > 120 * 36 / 2);
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
