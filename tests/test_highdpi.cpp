// On a screen scaled by 2 (as the program runs there, with high-DPI pixmaps)
// the logo and the tool-bar and title-bar icons draw from their "@2x"
// images: sharp, with as many pixels as the screen has.
#include "TitleBar.h"
#include "testsupport.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QtTest>

namespace {

// The largest difference of any colour channel between two images of the
// same size (premultiplied pixmaps round the colours of translucent pixels);
// 255 when the sizes differ.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QColor p = x.pixelColor(column, row);
            const QColor q = y.pixelColor(column, row);
            if (p.alpha() == 0 && q.alpha() == 0)
                continue;
            for (int d : {p.red() - q.red(), p.green() - q.green(), p.blue() - q.blue(), p.alpha() - q.alpha()})
                largest = qMax(largest, qAbs(d));
        }
    return largest;
}

// Within rounding of the "@2x" image, and far from the small one enlarged.
const int kRounding = 8;

} // namespace

class TestHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void titleBarLogoIsSharp()
    {
        QWidget window;
        auto *bar = new TitleBar(&window);
        const QPixmap logo = bar->m_pLogoLabel->pixmap(Qt::ReturnByValue);
        QCOMPARE(logo.devicePixelRatio(), 2.0);
        QCOMPARE(logo.size(), QSize(48, 48));
        QVERIFY(largestDifference(logo.toImage(), QImage(":/images/logo/24@2x.png")) <= kRounding);
        const QImage enlarged = QImage(":/images/logo/24.png").scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(largestDifference(logo.toImage(), enlarged) > kRounding);
    }
};

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_highdpi.moc"
