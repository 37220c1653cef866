// The program in each language: a walk through the main window in both
// display modes, its menus, the table filter, every dialog and message boxes,
// recording every text that is painted or offered to a screen reader. In
// English no Chinese character may appear, and in either language no text is
// cut without an ellipsis.
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

const unsigned OWN = BOX_FLAG_SELF, PLAIN = BOX_FLAG_PLAIN, ENC = BOX_FLAG_ENCRYPTED, SHARED = BOX_FLAG_SHARED,
               UNSHARED = BOX_FLAG_UNSHARED, MOUNTED = BOX_FLAG_MOUNTED, OTHER = BOX_FLAG_OTHER;

// Rows of the icon view, in the order the boxes are listed.
enum BoxRow { PlainRow = 0, LockedRow = 1, MountedRow = 2, TheirsRow = 3 };

void setBoxes()
{
    BoxDouble::setBoxes({{"plain", "/nonexistent/plain", "tester", OWN | PLAIN | SHARED},
                         {"locked", "/nonexistent/locked", "tester", OWN | ENC | UNSHARED},
                         {"open", "/nonexistent/open", "tester", OWN | ENC | UNSHARED | MOUNTED},
                         {"theirs", "/nonexistent/theirs", "anna", OTHER | ENC | SHARED}});
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

    static QPushButton *modeButton(Vaultrane *w, int index)
    {
        QList<QPushButton *> buttons;
        for (QPushButton *button : w->findChildren<QPushButton *>())
            if (button->size() == QSize(14, 14))
                buttons << button;
        return buttons.value(index);
    }

    static QStringList walk()
    {
        QStringList found;
        BoxDouble::reset();
        setBoxes();

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
        const struct {
            int row;
            const char *where;
        } boxes[] = {{PlainRow, "plain box"}, {LockedRow, "locked box"}, {MountedRow, "mounted box"},
                     {TheirsRow, "another user's box"}};
        for (const auto &box : boxes) {
            selectIcon(w.get(), box.row);
            found += textsOf(w.get(), QString("main window, %1 selected").arg(box.where));
            recordMenu(&found, QString("context menu of the %1").arg(box.where),
                       [&] { QTest::keyClick(icons, Qt::Key_Menu); });
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

        QTest::mouseClick(modeButton(w.get(), 0), Qt::LeftButton);
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

    static QStringList chineseIn(const QStringList &texts)
    {
        QStringList chinese;
        for (const QString &text : texts)
            if (text.section(": ", 1).contains(kHanCharacter))
                chinese << text;
        return chinese;
    }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QAccessible::setActive(true);
    }

    // The walk in the program's own texts: it sees a few texts of every
    // kind, and none of them is cut.
    void chineseWalk()
    {
        const QStringList texts = walk();
        QVERIFY(texts.size() > 100);
        for (const char *text : {"main window: 新建", "create dialog: 创建保护箱", "table: 是否加密",
                                 "context menu of the locked box: 挂载", "main menu: 关于"})
            QVERIFY2(texts.contains(text), text);
        QVERIFY2(cutIn(texts).isEmpty(), qPrintable(cutIn(texts).join('\n')));
    }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void englishShowsNoChinese()
    {
        TranslationChoice english;
        english.language = UiLanguage::English;
        english.qtLocale = QLocale("en_US");
        const QList<QTranslator *> installed = installTranslators(english);
        const QStringList texts = walk();
        qDeleteAll(installed);
        QVERIFY(texts.size() > 100); // the walk went all the way
        const QStringList chinese = chineseIn(texts);
        for (const QString &text : chinese)
            qWarning().noquote() << "Chinese under English:" << text;
        QVERIFY2(chinese.isEmpty(), qPrintable(QString("%1 Chinese texts, listed above").arg(chinese.size())));
        QVERIFY2(cutIn(texts).isEmpty(), qPrintable(cutIn(texts).join('\n')));
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
