// The resource collection: every image in it loads and has its twice-as-large
// twin, every image the program names is in it, and the style sheet parses.
#include "Startup.h"
#include "testsupport.h"

#include <QApplication>
#include <QDirIterator>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

namespace {

QString sourceDir()
{
    return qEnvironmentVariable("VAULTRANE_SOURCE_DIR");
}

// The images listed in resources/resources.qrc, as resource paths.
QStringList collectedImages()
{
    QFile qrc(sourceDir() + "/resources/resources.qrc");
    if (!qrc.open(QIODevice::ReadOnly))
        return {};
    QStringList images;
    QRegularExpressionMatchIterator it = QRegularExpression("<file>([^<]+\\.png)</file>").globalMatch(qrc.readAll());
    while (it.hasNext())
        images << ":/" + it.next().captured(1);
    return images;
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

    // For screens scaled by 2, each image has a twin of twice its size.
    void everyImageLoadsWithItsTwin()
    {
        const QStringList images = collectedImages();
        QVERIFY2(images.size() > 50, qPrintable(sourceDir()));
        for (const QString &path : images) {
            if (path.endsWith("@2x.png"))
                continue;
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            const QString twin = path.left(path.size() - 4) + "@2x.png";
            QVERIFY2(images.contains(twin), qPrintable(twin));
            QVERIFY2(QImage(twin).size() == image.size() * 2, qPrintable(twin));
        }
    }

    // Every image path written in the program's sources is in the collection.
    void everyNamedImageExists()
    {
        const QRegularExpression named("\"(:/?images/[^\"%]+\\.png)\""); // not the "%1" patterns
        // The switch's image-style placeholders: it draws nothing until its
        // owner sets real images.
        const QStringList placeholders{":/images/image/关闭_状态.png", ":/images/image/关闭_开启.png"};
        int found = 0;
        for (const char *folder : {"app", "mainwindow", "views", "dialogs", "widgets", "agent"}) {
            QDirIterator it(sourceDir() + "/" + folder, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                QRegularExpressionMatchIterator match = named.globalMatch(QString::fromUtf8(file.readAll()));
                while (match.hasNext()) {
                    const QString path = match.next().captured(1);
                    if (placeholders.contains(path))
                        continue;
                    ++found;
                    QVERIFY2(QFile::exists(path), qPrintable(file.fileName() + ": " + path));
                }
            }
        }
        QVERIFY(found > 20);
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

    // Buttons that Tab reaches show that they have the focus.
    void focusedButtonsLookFocused()
    {
        loadStyleSheet("blue.css");
        for (const QString objectName : {"BoxCommonButton", "MessageBoxBtn", "PrivateBoxToolButton"}) {
            QWidget window;
            window.resize(300, 100);
            QAbstractButton *button = objectName.startsWith("Private")
                                          ? static_cast<QAbstractButton *>(new QToolButton(&window))
                                          : new QPushButton(&window);
            button->setText("A");
            button->setObjectName(objectName);
            button->setFixedSize(120, 36);
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            button->clearFocus();
            const QImage unfocused = button->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QVERIFY(button->hasFocus());
            QVERIFY2(button->grab().toImage() != unfocused, qPrintable(objectName));
        }
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
