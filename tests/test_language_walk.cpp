// The program in each language. Which catalogues a locale gets, and whether
// the English catalogue is complete. Then a walk through the main window in
// both display modes, its menus, the table filter, every dialog and message
// boxes, recording every text that is painted or offered to a screen reader:
// in English no Chinese character may appear, and in either language no text
// is cut without an ellipsis.
#include "Vaultrane.h"

#include "BoxListWidget.h"
#include "BoxTableView.h"
#include "Startup.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextItem>
#include <QTimer>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Marks a text painted wider than its room without "…".
const QString kCut = " (cut without an ellipsis): ";

QStringList cutIn(const QStringList &texts)
{
    return texts.filter(kCut);
}

// One box of each kind, in the order the icon view lists them.
enum BoxRow { PlainRow = 0, LockedRow = 1, MountedRow = 2 };

std::vector<BoxDouble::Box> walkedBoxes()
{
    const unsigned own = BOX_FLAG_SELF;
    const unsigned encrypted = BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED;
    return {{"plain", "/nonexistent/plain", "tester", own | BOX_FLAG_PLAIN | BOX_FLAG_SHARED},
            {"locked", "/nonexistent/locked", "tester", own | encrypted},
            {"open", "/nonexistent/open", "tester", own | encrypted | BOX_FLAG_MOUNTED},
            {"theirs", "/nonexistent/theirs", "anna", BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED}};
}

// A paint engine that keeps the text of every text item painted through it
// and draws nothing else.
class TextRecordingEngine : public QPaintEngine
{
public:
    TextRecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF &at, const QTextItem &item) override
    {
        m_texts.append(item.text());
        if (isCut(at, item) && !item.text().contains(QChar(0x2026)))
            m_cut.append(item.text());
    }
    Type type() const override { return QPaintEngine::User; }

    QStringList texts() const { return m_texts; }
    QStringList cutTexts() const { return m_cut; }

private:
    // Whether the text reaches past its room, across or down: the widget
    // being painted, and the painter's own clip (a table cell, say), by more
    // than a pixel.
    bool isCut(const QPointF &at, const QTextItem &item) const
    {
        const QFontMetricsF metrics(item.font());
        const QRectF text(at.x(), at.y() - metrics.ascent(), metrics.horizontalAdvance(item.text()), metrics.height());
        const QTransform toDevice = painter()->deviceTransform();
        QRectF room = systemClip().isEmpty() ? QRectF(0, 0, 1e6, 1e6) : QRectF(systemClip().boundingRect());
        if (painter()->hasClipping())
            room &= toDevice.map(painter()->clipRegion()).boundingRect();
        const QRectF painted = toDevice.mapRect(text);
        return painted.left() < room.left() - 1 || painted.right() > room.right() + 1
            || painted.top() < room.top() - 1 || painted.bottom() > room.bottom() + 1;
    }

    QStringList m_texts;
    QStringList m_cut;
};

class TextRecordingDevice : public QPaintDevice
{
public:
    explicit TextRecordingDevice(const QSize &size) : m_size(size) {}
    QPaintEngine *paintEngine() const override { return &m_engine; }
    QStringList texts() const { return m_engine.texts(); }
    QStringList cutTexts() const { return m_engine.cutTexts(); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmDepth: return 32;
        case PdmNumColors: return 0x7fffffff;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmWidthMM: return m_size.width() * 254 / 960;
        case PdmHeightMM: return m_size.height() * 254 / 960;
        }
        return 0;
    }

private:
    QSize m_size;
    mutable TextRecordingEngine m_engine;
};

// Every text `window` paints, and every tip and accessible text of its shown
// widgets, each as "where: text".
QStringList textsOf(QWidget *window, const QString &where)
{
    QStringList found;
    window->ensurePolished();
    // Layouts follow changed texts, as they do before a window paints.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    TextRecordingDevice device(window->size());
    window->render(&device);
    for (const QString &text : device.texts())
        if (!text.trimmed().isEmpty())
            found << where + ": " + text;
    for (const QString &text : device.cutTexts())
        found << where + kCut + text;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *widget : widgets) {
        if (widget != window && !widget->isVisibleTo(window))
            continue;
        const QString texts[] = {widget->windowTitle(), widget->toolTip(), widget->statusTip(),
                                 widget->whatsThis()};
        for (const QString &text : texts)
            if (!text.isEmpty())
                found << where + " (tip or title): " + text;
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget)) {
            found << where + " (screen reader): " + iface->text(QAccessible::Name);
            found << where + " (screen reader): " + iface->text(QAccessible::Description);
            for (int i = 0; i < iface->childCount(); ++i) {
                QAccessibleInterface *child = iface->child(i);
                if (child && !child->object()) // items of views: no widget of their own
                    found << where + " (screen reader item): " + child->text(QAccessible::Name) + " / "
                                 + child->text(QAccessible::Description);
            }
        }
    }
    return found;
}

// Runs `action`, which opens a pop-up menu, and records the menu.
void recordMenu(QStringList *found, const QString &where, const std::function<void()> &action)
{
    bool seen = false;
    std::function<void()> poll = [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu) {
            QTimer::singleShot(0, poll);
            return;
        }
        seen = true;
        *found += textsOf(menu, where);
        menu->close();
    };
    QTimer::singleShot(0, poll);
    action();
    QTRY_VERIFY(seen);
}

// Runs `action`, which opens a modal dialog or message box, and records it
// before closing it unanswered.
void recordModal(QStringList *found, const QString &where, const std::function<void()> &action)
{
    TestSupport::onNextModal([=](QWidget *dialog) {
        *found += textsOf(dialog, where);
        dialog->close();
    });
    action();
    QTRY_VERIFY(TestSupport::modalHandlersDone());
}

const QRegularExpression kHanCharacter("\\p{Han}");

// The placeholders %1, %2, ... of a text, sorted.
QStringList placeholders(const QString &text)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression("%\\d").globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    found.sort();
    return found;
}

TranslationChoice choiceFor(UiLanguage language, const QString &qtLocale)
{
    TranslationChoice choice;
    choice.language = language;
    choice.qtLocale = QLocale(qtLocale);
    return choice;
}

} // namespace

class TestLanguageWalk : public QObject
{
    Q_OBJECT


    // Makes `row` the current box of the icon view through the keyboard.
    static void selectIcon(Vaultrane *w, int row)
    {
        auto *view = w->findChild<BoxListWidget *>();
        view->setFocus();
        view->setCurrentRow(row);
    }

    static QStringList walkThrough()
    {
        QStringList found;
        BoxDouble::reset();
        BoxDouble::setBoxes(walkedBoxes());

        StartupEnvironment refusing;
        refusing.boxEnabled = [] { return 0; };
        refusing.unavailableReason = [] { return QString(); };
        recordModal(&found, "start-up refusal", [&] { checkStartup(refusing); });

        std::unique_ptr<Vaultrane> w(new Vaultrane);
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get()))
            return {"the main window never became active"};
        found += textsOf(w.get(), "main window");

        auto *icons = w->findChild<BoxListWidget *>();
        const std::vector<BoxDouble::Box> boxes = walkedBoxes();
        for (int row = 0; row < int(boxes.size()); ++row) {
            selectIcon(w.get(), row);
            const QString box = QString::fromStdString(boxes[row].name);
            found += textsOf(w.get(), QString("main window, box %1 selected").arg(box));
            recordMenu(&found, QString("context menu of box %1").arg(box), [&] { QTest::keyClick(icons, Qt::Key_Menu); });
        }
        recordMenu(&found, "main menu", [&] { w->slot_showmenu(); });

        recordModal(&found, "create dialog", [&] { w->slot_newBtnClicked(true); });
        recordModal(&found, "about dialog", [&] { w->slot_about_us(); });
        recordModal(&found, "settings dialog", [&] { w->slot_showSettings(); });
        selectIcon(w.get(), PlainRow);
        recordModal(&found, "add password dialog", [&] { w->slot_lockedBtnClicked(true); });
        recordModal(&found, "share dialog", [&] { w->slot_sharedBtnClicked(true); });
        recordModal(&found, "rename dialog", [&] { w->slot_rename_box(); });
        recordModal(&found, "delete question", [&] { w->slot_delBtnClicked(true); });
        selectIcon(w.get(), LockedRow);
        recordModal(&found, "change password dialog", [&] { w->slot_lockedBtnClicked(true); });
        recordModal(&found, "mount dialog", [&] { w->slot_crypto_mount_box(); });
        recordModal(&found, "delete password dialog", [&] { w->slot_delBtnClicked(true); });
        selectIcon(w.get(), MountedRow);
        recordModal(&found, "rename refusal", [&] { w->slot_rename_box(); });
        icons->clearCurrentItem();
        recordModal(&found, "nothing selected", [&] { w->slot_crypto_umount_box(); });

        w->slot_show_table_mode(true);
        auto *table = w->findChild<BoxTableView *>();
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        found += textsOf(w.get(), "table");
        recordMenu(&found, "table context menu", [&] { QTest::keyClick(table, Qt::Key_Menu); });
        for (int column = 1; column <= 3; ++column) {
            QTest::keyClick(table, Qt::Key_Right);
            recordModal(&found, QString("filter of column %1").arg(column),
                        [&] { QTest::keyClick(table, Qt::Key_Down, Qt::AltModifier); });
        }
        return found;
    }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QAccessible::setActive(true);
    }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void localeChoosesCatalogues_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("qtLocale");
        QTest::newRow("Simplified Chinese") << QStringList{"zh-CN", "zh", "zh-Hans-CN"} << false << "zh_CN";
        QTest::newRow("Traditional Chinese") << QStringList{"zh-TW", "zh"} << false << "zh_CN";
        QTest::newRow("C locale") << QStringList{"C"} << true << "en_US";
        QTest::newRow("German") << QStringList{"de-DE", "de"} << true << "de_DE";
        QTest::newRow("French before Chinese") << QStringList{"fr", "zh-CN"} << true << "fr_FR";
        QTest::newRow("Chinese before English") << QStringList{"zh-CN", "en-US"} << false << "zh_CN";
    }

    void localeChoosesCatalogues()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(bool, english);
        QFETCH(QString, qtLocale);
        const TranslationChoice choice = chooseTranslation(uiLanguages);
        QCOMPARE(choice.language == UiLanguage::English, english);
        QCOMPARE(choice.qtLocale.name(), qtLocale);
    }

    // Every entry of translations/vaultrane_en.ts has an English translation
    // that keeps the placeholders and contains no Chinese.
    void englishCatalogueIsComplete()
    {
        QFile file(qEnvironmentVariable("VAULTRANE_SOURCE_DIR") + "/translations/vaultrane_en.ts");
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        QXmlStreamReader xml(&file);
        QString source;
        int entries = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            if (xml.name() != QLatin1String("translation"))
                continue;
            const QString type = xml.attributes().value("type").toString();
            const QString translation = xml.readElementText();
            if (type == QLatin1String("vanished") || type == QLatin1String("obsolete"))
                continue;
            ++entries;
            QVERIFY2(type != QLatin1String("unfinished"), qPrintable("unfinished: " + source));
            QVERIFY2(!translation.trimmed().isEmpty(), qPrintable("untranslated: " + source));
            QVERIFY2(!translation.contains(kHanCharacter), qPrintable("Chinese in: " + source));
            QCOMPARE(placeholders(translation), placeholders(source));
        }
        QVERIFY(entries > 0);
    }

    void walk_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("Chinese") << false;
        QTest::newRow("English") << true;
    }

    // The walk goes all the way, sees no text cut, and in English no Chinese.
    void walk()
    {
        QFETCH(bool, english);
        QList<QTranslator *> installed;
        if (english)
            installed = installTranslators(choiceFor(UiLanguage::English, "en_US"));
        const QStringList texts = walkThrough();
        qDeleteAll(installed);
        QVERIFY(texts.size() > 100);
        QVERIFY2(cutIn(texts).isEmpty(), qPrintable(cutIn(texts).join('\n')));
        if (!english) {
            QVERIFY(texts.contains("create dialog: 创建保护箱")); // it reads the program's own texts
            return;
        }
        QStringList chinese;
        for (const QString &text : texts)
            if (text.section(": ", 1).contains(kHanCharacter))
                chinese << text;
        QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join('\n')));
    }
};

int main(int argc, char *argv[])
{
    TestSupport::useTestPasswdDatabase(argc, argv); // the share dialog lists accounts
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestLanguageWalk test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_language_walk.moc"
