// The main window: display modes, selection, background press, filter, hover icons.
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

QImage img(const QIcon &icon) { return icon.pixmap(16, 16).toImage(); }
bool showsIcon(const QIcon &icon, const QString &path) { return img(icon) == img(QIcon(path)); }

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
    static void clickAt(QAbstractItemView *v, int row)
    {
        v->doItemsLayout();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, v->visualRect(v->model()->index(row, 0)).center());
    }
    void clickIcon(int row) { clickAt(m_w->m_pBoxListWidget, row); }
    void clickRow(int row) { clickAt(m_w->m_pBoxTableView, row); }
    void toTable() { QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton); }
    void toIcons() { QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton); }
    int loads() const { return BoxDouble::callCount("box_get_list"); }

    void clickHeader(int section)
    {
        BoxTabelHeaderView *header = m_w->m_pHeaderView;
        const QPoint pos(header->sectionViewportPosition(section) + 5, 15);
        QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }

    int framePixels() // of the table's selection frame colour
    {
        const QImage img = m_w->m_pBoxTableView->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int i = 0; i < img.width() * img.height(); ++i)
            n += (img.pixel(i % img.width(), i / img.width()) & 0xFFFFFF) == 0x4CB6F4;
        return n;
    }
    void dropFirstBoxAndReload()
    {
        auto boxes = BoxDouble::boxes();
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->refreshBoxView();
    }

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
        QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty());
    }

    void construction()
    {
        QCOMPARE(m_w->m_mode, 0);
        QVERIFY(m_w->m_pBoxListWidget->isVisible());
        QVERIFY(!m_w->m_pBoxTableView->isVisible());
        QCOMPARE(m_w->m_pBoxListWidget->count(), 5);
        expectNothingSelected(5);

        // The boxes were loaded once, for the icons; the table fills when
        // it is first shown.
        QCOMPARE(loads(), 1);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 0);
        toTable();
        QCOMPARE(loads(), 2);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 5);
        toIcons();
        QTest::keyClick(m_w.get(), Qt::Key_Escape);
        QVERIFY(m_w->isVisible());
        QCOMPARE(m_w->result(), 0);
    }

    void selectingInIconMode()
    {
        const struct {
            int row;
            const char *text, *encrypt, *encryptIcon;
            bool shareVisible, enabled;
        } rows[] = {{0, "保护箱：plain", "", "", false, true},
                    {1, "保护箱：shared", "", "", true, true},
                    {2, "保护箱：mounted", "已挂载", ":/images/image/blue_unlock_icon.png", false, false},
                    {3, "保护箱：theirs (来自 anna)", "", "", false, false},
                    {4, "保护箱：locked", "已加密", ":/images/image/lock_icon.png", true, true}};
        for (const auto &r : rows) {
            clickIcon(2); // the mounted box first, so the indicator must change
            clickIcon(r.row);
            QCOMPARE(status(), QString(r.text));
            QCOMPARE(encryptShown() ? m_w->m_pEncryptAttrBtn->text() : QString(), QString(r.encrypt));
            QVERIFY(!*r.encrypt || showsIcon(m_w->m_pEncryptAttrBtn->icon(), r.encryptIcon));
            QCOMPARE(shareShown(), r.shareVisible);
            QCOMPARE(enabledOps(), r.enabled ? 3 : 0);
            QVERIFY(m_w->m_pNewBtn->isEnabled());
            BoxInfo box;
            QVERIFY(m_w->currentBox(box));
            QCOMPARE(box.name, QString::fromStdString(BoxDouble::boxes()[r.row].name));
        }
    }

    void modeSwitches()
    {
        clickIcon(0);
        toTable();
        QCOMPARE(m_w->m_mode, 1);
        QVERIFY(m_w->m_pBoxTableView->isVisible() && !m_w->m_pBoxListWidget->isVisible());
        expectNothingSelected(5);

        clickRow(4); // buttons follow; the label keeps the count, no indicators
        QCOMPARE(enabledOps(), 3);
        QCOMPARE(status(), QString("保护箱: 5 项"));
        QVERIFY(!encryptShown() && !shareShown());
        QVERIFY(framePixels() > 0);

        // The table again: reloaded, selection and frame gone.
        const int before = loads();
        toTable();
        QCOMPARE(loads(), before + 1);
        QCOMPARE(m_w->m_mode, 1);
        expectNothingSelected(5);
        QCOMPARE(framePixels(), 0);

        // Icons, then icons again with a selection and one more box: reloaded, cleared.
        toIcons();
        QCOMPARE(m_w->m_mode, 0);
        QVERIFY(m_w->m_pBoxListWidget->isVisible() && !m_w->m_pBoxTableView->isVisible());
        expectNothingSelected(5);
        clickIcon(1);
        BoxDouble::addBox(dbox("late", "tester", OWN | PLAIN | UNSHARED));
        toIcons();
        QCOMPARE(m_w->m_pBoxListWidget->count(), 6);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected(6);
    }

    void filterDropDown()
    {
        toTable();
        clickRow(0);
        // Choose 是 in the encryption drop-down; Escape changes nothing, a
        // press outside reloads with only the encrypted boxes.
        const int before = loads();
        auto choose = [&](std::function<void(QWidget *)> close) {
            TestSupport::onNextModal([=](QWidget *w) {
                TestSupport::childWithText<QRadioButton>(w, "是")->setChecked(true);
                close(w);
            });
            clickHeader(1);
            QVERIFY(TestSupport::modalHandlersDone());
        };
        choose([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
        QCOMPARE(loads(), before);
        QCOMPARE(qMakePair(m_w->m_pBoxTableModel->m_encryptFilter, m_w->m_pBoxTableModel->boxCount()), qMakePair(0, 5));
        QCOMPARE(enabledOps(), 3); // still selected

        choose([](QWidget *w) {
            sendMouse(w, QEvent::MouseButtonPress, QPoint(-20, -20), w->mapToGlobal(QPoint(-20, -20)),
                      Qt::LeftButton, Qt::LeftButton);
        });
        QCOMPARE(m_w->m_pBoxTableModel->m_encryptFilter, 1);
        QCOMPARE(loads(), before + 1);
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 2);
        expectNothingSelected(2);
        QCOMPARE(framePixels(), 0);

        // The filter is gone after a visit to the icons.
        toIcons();
        QCOMPARE(m_w->m_pBoxListWidget->count(), 5);
        toTable();
        QCOMPARE(qMakePair(m_w->m_pBoxTableModel->m_encryptFilter, m_w->m_pBoxTableModel->boxCount()), qMakePair(0, 5));
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
        toTable();
        clickRow(3);
        QVERIFY(framePixels() > 0);
        QTest::mouseClick(m_w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 300)); // left of the table
        expectNothingSelected(5);
        QCOMPARE(framePixels(), 0);
    }

    // A button disabled under the pointer (its box was just deleted) drops
    // the blue icon at once: no Leave arrives while it is disabled.
    void disabledButtonLosesItsHoverIcon()
    {
        clickIcon(0);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(m_w->m_pDelBtn, &enter);
        QVERIFY(showsIcon(m_w->m_pDelBtn->icon(), ":/images/image/icon_delete_blue.png"));
        dropFirstBoxAndReload();
        QVERIFY(!m_w->m_pDelBtn->isEnabled());
        QVERIFY(showsIcon(m_w->m_pDelBtn->icon(), ":/images/image/icon_delete.png"));
    }

    // The box view has the first focus; Enter and Space there leave the
    // window open; no title-bar button is a default button, and Tab goes
    // from the view to the tool bar. Focus on a button that turns grey
    // returns to the view.
    void keyboardStartsInTheBoxView()
    {
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pBoxListWidget));
        for (QPushButton *b : m_w->findChildren<QPushButton *>())
            QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->toolTip()));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
            QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(m_w->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pNewBtn));

        clickIcon(0);
        m_w->m_pLockedBtn->setFocus();
        dropFirstBoxAndReload();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pBoxListWidget));
    }

    void reloadInTableModeClearsTheSelection()
    {
        toTable();
        clickRow(0);
        QVERIFY(framePixels() > 0);
        dropFirstBoxAndReload(); // as after a delete: row 0 now holds "shared"
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
        dropFirstBoxAndReload();
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), 0);
        QCOMPARE(status(), QString("保护箱：shared"));
        QVERIFY(shareShown());
        QCOMPARE(enabledOps(), 3);

        dropFirstBoxAndReload(); // the selected box itself
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected(3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
