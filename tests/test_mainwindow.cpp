// The main window: the two display modes, the selection with its buttons and
// bottom bar, the background press, the table filter and the hover icons.
#include "Vaultrane.h"

#include "BoxListWidget.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "Startup.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const unsigned OWN = BOX_FLAG_SELF, PLAIN = BOX_FLAG_PLAIN, ENC = BOX_FLAG_ENCRYPTED, SHARED = BOX_FLAG_SHARED,
               UNSHARED = BOX_FLAG_UNSHARED;

BoxDouble::Box dbox(const std::string &name, const std::string &owner, unsigned flags)
{
    return {name, "/nonexistent/box/" + owner + "/" + name, owner, flags};
}

// Whether `icon` shows the picture of the resource `path`.
bool showsIcon(const QIcon &icon, const QString &path)
{
    return icon.pixmap(16, 16).toImage() == QIcon(path).pixmap(16, 16).toImage();
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;

    QString status() const { return m_w->m_pCountLabel->text(); }
    // How many of 删除, 密码设置 and 共享设置 are enabled (they move together).
    int enabledOps() const
    {
        return int(m_w->m_pDelBtn->isEnabled()) + int(m_w->m_pLockedBtn->isEnabled())
               + int(m_w->m_pSharedBtn->isEnabled());
    }
    bool encryptShown() const { return !m_w->m_pEncryptAttrBtn->isHidden(); }
    bool shareShown() const { return !m_w->m_pShareAttrBtn->isHidden(); }

    void clickIcon(int row)
    {
        BoxListWidget *list = m_w->m_pBoxListWidget;
        list->doItemsLayout();
        const QPoint centre = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }

    void clickRow(int row)
    {
        BoxTableView *table = m_w->m_pBoxTableView;
        const QRect rect = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    void clickHeader(int section)
    {
        BoxTabelHeaderView *header = m_w->m_pHeaderView;
        const QPoint pos(header->sectionViewportPosition(section) + 5, 15);
        QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }

    // Pixels of the table's selection frame colour.
    int framePixels()
    {
        const QImage img = m_w->m_pBoxTableView->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += (img.pixel(x, y) & 0xFFFFFF) == 0x4CB6F4;
        return n;
    }

    // With nothing selected: the count, no indicators, only 新建 enabled.
    void expectNothingSelected(int count)
    {
        BoxInfo box;
        QVERIFY(!m_w->currentBox(box));
        QCOMPARE(status(), QString("保护箱: %1 项").arg(count));
        QCOMPARE(enabledOps(), 0);
        QVERIFY(!encryptShown() && !shareShown());
        QVERIFY(m_w->m_pNewBtn->isEnabled());
    }

private slots:
    void initTestCase() { loadStyleSheet("blue.css"); }

    void init()
    {
        BoxDouble::reset();
        BoxDouble::setBoxes({dbox("plain", "tester", OWN | PLAIN | UNSHARED), dbox("shared", "tester", OWN | PLAIN | SHARED),
                             dbox("mounted", "tester", OWN | ENC | UNSHARED | BOX_FLAG_MOUNTED),
                             dbox("theirs", "anna", BOX_FLAG_OTHER | PLAIN | SHARED),
                             dbox("locked", "tester", OWN | ENC | SHARED)});
        m_w.reset(new Vaultrane);
        m_w->resize(800, 600);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    }

    void cleanup()
    {
        m_w.reset();
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(TestSupport::leftoverTopLevels().isEmpty());
    }

    void construction()
    {
        QCOMPARE(m_w->size(), QSize(780, 560)); // the resize to 800 × 600 does not stick
        QCOMPARE(m_w->m_mode, 0);
        QVERIFY(m_w->m_pBoxListWidget->isVisible() && !m_w->m_pBoxTableView->isVisible());
        QCOMPARE(m_w->m_pBoxListWidget->count(), 5);
        expectNothingSelected(5);
        // Escape means nothing to the main window.
        QTest::keyClick(m_w.get(), Qt::Key_Escape);
        QVERIFY(m_w->isVisible());
        QCOMPARE(m_w->result(), 0);
    }

    void selectingInIconMode_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encrypt"); // the indicator's text, empty while hidden
        QTest::addColumn<QString>("encryptIcon");
        QTest::addColumn<bool>("shareVisible");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("own plain") << 0 << "保护箱：plain" << "" << "" << false << true;
        QTest::newRow("own shared plain") << 1 << "保护箱：shared" << "" << "" << true << true;
        QTest::newRow("own encrypted mounted") << 2 << "保护箱：mounted" << "已挂载"
                                               << ":/images/image/blue_unlock_icon.png" << false << false;
        QTest::newRow("another user's") << 3 << "保护箱：theirs (来自 anna)" << "" << "" << false << false;
        QTest::newRow("own encrypted shared") << 4 << "保护箱：locked" << "已加密" << ":/images/image/lock_icon.png"
                                              << true << true;
    }

    void selectingInIconMode()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, encrypt);
        QFETCH(QString, encryptIcon);
        QFETCH(bool, shareVisible);
        QFETCH(bool, enabled);
        // The mounted box first, so that the indicator must change for the row under test.
        clickIcon(2);
        clickIcon(row);
        QCOMPARE(status(), text);
        QCOMPARE(encryptShown() ? m_w->m_pEncryptAttrBtn->text() : QString(), encrypt);
        if (!encrypt.isEmpty())
            QVERIFY(showsIcon(m_w->m_pEncryptAttrBtn->icon(), encryptIcon));
        QCOMPARE(shareShown(), shareVisible);
        QCOMPARE(enabledOps(), enabled ? 3 : 0);
        QVERIFY(m_w->m_pNewBtn->isEnabled());
        BoxInfo box;
        QVERIFY(m_w->currentBox(box));
        QCOMPARE(box.name, QString::fromStdString(BoxDouble::boxes()[row].name));
    }

    void modeSwitches()
    {
        clickIcon(0);
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        QCOMPARE(m_w->m_mode, 1);
        QVERIFY(m_w->m_pBoxTableView->isVisible() && !m_w->m_pBoxListWidget->isVisible());
        expectNothingSelected(5);

        // A row: the buttons follow, the label keeps the count, no indicators.
        clickRow(4);
        QCOMPARE(enabledOps(), 3);
        QCOMPARE(status(), QString("保护箱: 5 项"));
        QVERIFY(!encryptShown() && !shareShown());
        QVERIFY(framePixels() > 0);

        // The table again: reloaded, selection and frame gone.
        const int loads = BoxDouble::callCount("box_get_list");
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        QCOMPARE(BoxDouble::callCount("box_get_list"), loads + 1);
        QCOMPARE(m_w->m_mode, 1);
        expectNothingSelected(5);
        QCOMPARE(framePixels(), 0);

        // Back to icons, then icons again with a box selected and one more
        // box in the service: reloaded, the selection cleared.
        QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton);
        QCOMPARE(m_w->m_mode, 0);
        QVERIFY(m_w->m_pBoxListWidget->isVisible() && !m_w->m_pBoxTableView->isVisible());
        expectNothingSelected(5);
        clickIcon(1);
        BoxDouble::addBox(dbox("late", "tester", OWN | PLAIN | UNSHARED));
        QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton);
        QCOMPARE(m_w->m_pBoxListWidget->count(), 6);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected(6);
    }

    void filterDropDown()
    {
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        clickRow(0);

        // Choose 是 in the encryption drop-down, then Escape: nothing changes.
        const int loads = BoxDouble::callCount("box_get_list");
        TestSupport::onNextModal([&](QWidget *w) {
            TestSupport::childWithText<QRadioButton>(w, "是")->setChecked(true);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        clickHeader(1);
        QVERIFY(TestSupport::modalHandlersDone());
        QCOMPARE(BoxDouble::callCount("box_get_list"), loads);
        QCOMPARE(m_w->m_pBoxTableModel->m_encryptFilter, 0);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 5);
        QCOMPARE(enabledOps(), 3); // still selected

        // Choose 是 again and press outside: reloaded with only the encrypted
        // boxes, the selection gone.
        TestSupport::onNextModal([&](QWidget *w) {
            TestSupport::childWithText<QRadioButton>(w, "是")->setChecked(true);
            sendMouse(w, QEvent::MouseButtonPress, QPoint(-20, -20), w->mapToGlobal(QPoint(-20, -20)),
                      Qt::LeftButton, Qt::LeftButton);
        });
        clickHeader(1);
        QVERIFY(TestSupport::modalHandlersDone());
        QCOMPARE(m_w->m_pBoxTableModel->m_encryptFilter, 1);
        QCOMPARE(BoxDouble::callCount("box_get_list"), loads + 1);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 2);
        expectNothingSelected(2);
        QCOMPARE(framePixels(), 0);

        // The filter is gone after a visit to the icons.
        QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton);
        QCOMPARE(m_w->m_pBoxListWidget->count(), 5);
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        QCOMPARE(m_w->m_pBoxTableModel->m_encryptFilter, 0);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 5);
        expectNothingSelected(5);
    }

    void backgroundPress()
    {
        const QPoint background(400, 515); // between the box list and the bottom bar

        // A right press keeps the selection and only starts the drag.
        clickIcon(1);
        const QPoint start = m_w->pos();
        const QPoint global = m_w->mapToGlobal(background);
        sendMouse(m_w.get(), QEvent::MouseButtonPress, background, global, Qt::RightButton, Qt::RightButton);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), 1);
        QCOMPARE(status(), QString("保护箱：shared"));
        QVERIFY(shareShown());
        sendMouse(m_w.get(), QEvent::MouseMove, background, global + QPoint(5, 7), Qt::NoButton, Qt::RightButton);
        QCOMPARE(m_w->pos(), start + QPoint(5, 7));
        sendMouse(m_w.get(), QEvent::MouseButtonRelease, background, global + QPoint(5, 7), Qt::RightButton,
                  Qt::NoButton);

        // A left press clears the selection, in the table the highlight too.
        QTest::mouseClick(m_w.get(), Qt::LeftButton, Qt::NoModifier, background);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected(5);
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        clickRow(3);
        QVERIFY(framePixels() > 0);
        QTest::mouseClick(m_w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 300)); // left of the table
        expectNothingSelected(5);
        QCOMPARE(framePixels(), 0);
    }

    void hoverIcons()
    {
        // The icon shown while the pointer is over `b`, and after it left.
        auto hover = [](QToolButton *b) {
            QEvent enter(QEvent::Enter), leave(QEvent::Leave);
            QApplication::sendEvent(b, &enter);
            const QImage over = b->icon().pixmap(16, 16).toImage();
            QApplication::sendEvent(b, &leave);
            return qMakePair(over, b->icon().pixmap(16, 16).toImage());
        };
        // 新建 always changes; a disabled button keeps its icon.
        QCOMPARE(hover(m_w->m_pNewBtn), qMakePair(QIcon(":/images/image/icon_new_.png").pixmap(16, 16).toImage(),
                                                  QIcon(":/images/image/icon_new.png").pixmap(16, 16).toImage()));
        const QImage normal = m_w->m_pDelBtn->icon().pixmap(16, 16).toImage();
        QCOMPARE(hover(m_w->m_pDelBtn), qMakePair(normal, normal));
        // Enabled, they turn blue and back.
        clickIcon(0);
        QVERIFY(showsIcon(m_w->m_pDelBtn->icon(), ":/images/image/icon_delete.png"));
        for (QToolButton *b : {m_w->m_pDelBtn, m_w->m_pLockedBtn, m_w->m_pSharedBtn}) {
            const QImage before = b->icon().pixmap(16, 16).toImage();
            const auto seen = hover(b);
            QVERIFY(seen.first != before && seen.second == before);
        }
    }

    void reloadInTableModeClearsTheSelection()
    {
        QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton);
        clickRow(0);
        QVERIFY(framePixels() > 0);

        // "plain" went away (as after a delete): row 0 now holds "shared".
        auto boxes = BoxDouble::boxes();
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->refreshBoxView();
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 4);
        expectNothingSelected(4);
        QCOMPARE(framePixels(), 0);

        // A filter survives the reload.
        m_w->m_pBoxTableModel->m_shareFilter = 1;
        m_w->refreshBoxView();
        QCOMPARE(m_w->m_pBoxTableModel->m_shareFilter, 1);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 3); // shared, theirs, locked
    }

    void reloadInIconModeFollowsTheSelectedBox()
    {
        clickIcon(1);
        auto boxes = BoxDouble::boxes();
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->refreshBoxView();
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), 0);
        QCOMPARE(status(), QString("保护箱：shared"));
        QVERIFY(shareShown());
        QCOMPARE(enabledOps(), 3);

        // The selected box itself went away.
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->refreshBoxView();
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected(3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
