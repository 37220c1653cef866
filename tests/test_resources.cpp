// The compiled-in images and the application style sheet: every path the
// program looks up exists with the pixel size its painter expects, and the
// style sheet parses and gives the widgets their look.
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResource>
#include <QStyle>
#include <QtTest>

namespace {

struct Res {
    const char *path;
    int width;
    int height;
};

// Every resource the program opens by path, with the size it is drawn at.
const Res kResources[] = {
    // logos (the main window writes its icon path without the slash)
    {":images/logo/32.png", 32, 32},
    {":/images/logo/16.png", 16, 16},
    {":/images/logo/24.png", 24, 24},
    {":/images/logo/32.png", 32, 32},
    {":/images/logo/48.png", 48, 48},
    {":/images/logo/64.png", 64, 64},
    {":/images/logo/96.png", 96, 96},
    {":/images/logo/128.png", 128, 128},
    {":/images/logo/256.png", 256, 256},
    // tool bar and its hover twins
    {":/images/image/icon_new.png", 12, 12},
    {":/images/image/icon_new_.png", 12, 12},
    {":/images/image/icon_delete.png", 12, 12},
    {":/images/image/icon_delete_blue.png", 12, 12},
    {":/images/image/icon_code.png", 12, 12},
    {":/images/image/icon_code_blue.png", 12, 12},
    {":/images/image/icon_share.png", 12, 12},
    {":/images/image/icon_share_blue.png", 12, 12},
    // bottom bar
    {":/images/image/sahre_icon.png", 14, 14},
    {":/images/image/lock_icon.png", 14, 14},
    {":/images/image/blue_unlock_icon.png", 14, 14},
    {":/images/image/list_selected.png", 14, 14},
    {":/images/image/list_.png", 14, 14},
    {":/images/image/icon_view.png", 14, 14},
    {":/images/image/icon_view_selected.png", 14, 14},
    // icon view
    {":/images/image/share_48.png", 48, 48},
    {":/images/image/sahre_unlock48.png", 48, 48},
    {":/images/image/sahre_lock48.png", 48, 48},
    {":/images/image/person_sahre_unlock_48.png", 48, 48},
    {":/images/image/person_sahre_lock48.png", 48, 48},
    {":/images/image/person_unlock_48.png", 48, 48},
    {":/images/image/person_lock_48.png", 48, 48},
    {":/images/image/person_share_48.png", 48, 48},
    {":/images/image/person_48.png", 48, 48},
    // table view and its header
    {":/images/image/share_16.png", 18, 16},
    {":/images/image/share_lock16.png", 18, 16},
    {":/images/image/share_unlock16.png", 18, 16},
    {":/images/image/person_16.png", 18, 16},
    {":/images/image/person_shre16.png", 18, 16},
    {":/images/image/person_lock16.png", 18, 16},
    {":/images/image/person_sahre_lock_16.png", 18, 16},
    {":/images/image/person_unlock16.png", 18, 16},
    {":/images/image/person_sahre_unlock_16.png", 18, 16},
    {":/images/image/icon_down.png", 12, 12},
    // share dialog
    {":/images/image/icon_scul.png", 16, 16},
    // message box
    {":/images/image/remind.png", 56, 56},
    {":/images/image/question_icon.png", 56, 56},
    {":/images/image/waring.png", 56, 56},
    {":/images/image/finish.png", 56, 56},
    // password edit
    {":/images/image/invisible.png", 18, 16},
    {":/images/image/visible.png", 18, 16},
    // title bar
    {":/images/image/close_icon.png", 12, 12},
    {":/images/image/minimun_icon.png", 12, 12},
    {":/images/image/menu_icon.png", 12, 12},
    {":/images/image/return_icon1818px.png", 18, 18},
    // style sheet
    {":/images/image/icon_radio_checked.png", 16, 16},
    {":/images/image/icon_radio_unchecked.png", 16, 16},
    {":/images/style/Arrow_16px.png", 16, 16},
};

QString styleSheetPath()
{
    return QString(":/images/style/%1").arg("blue.css");
}

QString loadStyleSheet()
{
    QFile f(styleSheetPath());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// How many pixels of `img` have exactly the colour `c` (alpha ignored).
int countColour(const QImage &img, const QColor &c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (c.rgb() & 0xFFFFFF))
                ++n;
    return n;
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_css = loadStyleSheet();
        QVERIFY(!m_css.isEmpty());
    }

    void cleanup() { qApp->setStyleSheet(QString()); }

    void imagesExistWithTheirSizes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        for (const Res &r : kResources)
            QTest::newRow(r.path) << QString::fromUtf8(r.path) << QSize(r.width, r.height);
    }

    void imagesExistWithTheirSizes()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QImage img(path);
        QVERIFY2(!img.isNull(), qPrintable(path));
        QCOMPARE(img.size(), size);
        // Nothing is blank: every image draws something.
        bool painted = false;
        const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height() && !painted; ++y)
            for (int x = 0; x < argb.width() && !painted; ++x)
                painted = qAlpha(argb.pixel(x, y)) > 0;
        QVERIFY2(painted, qPrintable(path));
    }

    void hoverTwinsDiffer()
    {
        // The blue twin of each tool-bar icon must actually look different.
        const QList<QPair<QString, QString>> pairs = {
            {"icon_new.png", "icon_new_.png"},
            {"icon_delete.png", "icon_delete_blue.png"},
            {"icon_code.png", "icon_code_blue.png"},
            {"icon_share.png", "icon_share_blue.png"},
            {"icon_view.png", "icon_view_selected.png"},
            {"list_.png", "list_selected.png"},
            {"visible.png", "invisible.png"},
            {"icon_radio_checked.png", "icon_radio_unchecked.png"},
        };
        for (const auto &p : pairs) {
            QImage a(":/images/image/" + p.first), b(":/images/image/" + p.second);
            QVERIFY2(a.convertToFormat(QImage::Format_ARGB32) != b.convertToFormat(QImage::Format_ARGB32),
                     qPrintable(p.first));
        }
    }

    void absentPathsStayAbsent()
    {
        // Images that the program names but deliberately does not ship: the
        // switch button's image look and the files under ":/styles/".
        QVERIFY(!QFile::exists(":/images/image/关闭_状态.png"));
        QVERIFY(!QFile::exists(":/images/image/关闭_开启.png"));
        QVERIFY(!QFile::exists(":/styles/qt_zh_CN.qm"));
        QVERIFY(!QFile::exists(":/styles/add-line_vertical.png"));
    }

    void styleSheetIsCompressedPlainText()
    {
        QResource res(styleSheetPath());
        QVERIFY(res.isValid());
        QCOMPARE(res.compressionAlgorithm(), QResource::ZlibCompression);
        const QStringList selectors = {
            "QWidget#BoxListWidget", "QWidget#PrivateBoxToolBarWidget",
            "QToolButton#PrivateBoxToolButton:hover", "QToolButton#AttarToolBtn",
            "QPushButton#MenuBtn:hover", "QPushButton#MessageBoxBtn[MsgType=\"Complete\"]:hover",
            "QPushButton#MessageBoxBtn[MsgType=\"Warning\"]:pressed", "QPushButton#BoxCommonButton:hover",
            "QLineEdit#UnderLineEdit:enabled:focus", "QLabel#UnderLineLabel",
            "QRadioButton::indicator:checked", "QMenu::item:selected", "QMenu::separator",
            "QListWidget::item:selected", "QListWidget::item:hover", "QHeaderView::section",
            "QHeaderView::down-arrow", "QScrollBar::handle:vertical",
        };
        for (const QString &s : selectors)
            QVERIFY2(m_css.contains(s), qPrintable(s));
    }

    void styleSheetParses()
    {
        TestSupport::DebugCapture capture;
        qApp->setStyleSheet(m_css);
        QWidget w;
        QPushButton b(&w);
        b.ensurePolished();
        QVERIFY2(!capture.contains("Could not parse"), qPrintable(capture.lines().join('\n')));
    }

    void messageBoxButtonColours()
    {
        // Grey at rest, blue once the pointer is over it (a real pointer move:
        // the :hover rules follow the pointer, not the widget attribute).
        qApp->setStyleSheet(m_css);
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

        const int half = 120 * 36 / 2;
        QImage rest = b.grab().toImage();
        QVERIFY(countColour(rest, QColor("#D1D1D1")) > half);
        QCOMPARE(countColour(rest, QColor("#1787F0")), 0);

        QTest::mouseMove(&b, QPoint(60, 18));
        QTRY_VERIFY(b.underMouse());
        QImage hover = b.grab().toImage();
        QVERIFY(countColour(hover, QColor("#1787F0")) > half);
        QCOMPARE(countColour(hover, QColor("#D1D1D1")), 0);

        // The two other message types take orange under the pointer.
        b.setProperty("MsgType", "Warning");
        b.style()->unpolish(&b);
        b.style()->polish(&b);
        QVERIFY(countColour(b.grab().toImage(), QColor("#FF8304")) > half);
    }

    void underLineEditHasOnlyABottomBorder()
    {
        qApp->setStyleSheet(m_css);
        QLineEdit e;
        e.setObjectName("UnderLineEdit");
        e.setFixedSize(230, 30);
        const QImage img = e.grab().toImage();
        const QColor grey("#BFBFBF");
        QCOMPARE(QColor(img.pixel(115, img.height() - 1)), grey);
        QVERIFY(QColor(img.pixel(115, 0)) != grey);
        QVERIFY(QColor(img.pixel(0, 15)) != grey);
        QVERIFY(QColor(img.pixel(img.width() - 1, 15)) != grey);
    }

    void radioIndicatorUsesTheImages()
    {
        qApp->setStyleSheet(m_css);
        QRadioButton r("x");
        r.setAutoExclusive(false);
        r.resize(r.sizeHint());
        r.setChecked(true);
        QVERIFY(countColour(r.grab().toImage(), QColor("#1787F0")) > 20);
        r.setChecked(false);
        QCOMPARE(countColour(r.grab().toImage(), QColor("#1787F0")), 0);
    }

private:
    QString m_css;
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
