// The main window: what follows the selection, the two views, presses on its
// background, the table's encryption filter and the keyboard.
#include "Vaultrane.h"

#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "Startup.h"
#include "box_service.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using TestSupport::sendMouse;

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;

    // How many of 删除, 密码设置 and 共享设置 are enabled.
    int enabledOps() const
    {
        return int(m_w->m_pDelBtn->isEnabled()) + int(m_w->m_pLockedBtn->isEnabled())
               + int(m_w->m_pSharedBtn->isEnabled());
    }
    bool encryptShown() const { return !m_w->m_pEncryptAttrBtn->isHidden(); }
    bool shareShown() const { return !m_w->m_pShareAttrBtn->isHidden(); }
    static void clickAt(QAbstractItemView *view, int row)
    {
        view->doItemsLayout();
        const QPoint centre = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    }
    void clickIcon(int row) { clickAt(m_w->m_pBoxListWidget, row); }
    void clickRow(int row) { clickAt(m_w->m_pBoxTableView, row); }
    void toTable() { QTest::mouseClick(m_w->m_pTableModeBtn, Qt::LeftButton); }
    void toIcons() { QTest::mouseClick(m_w->m_pIconModeBtn, Qt::LeftButton); }
    int loads() const { return BoxDouble::callCount("box_get_list"); }
    int framedRow() const { return m_w->m_pBoxItemDelegate->selectedRow(); }

    void expectNothingSelected()
    {
        BoxInfo box;
        QVERIFY(!m_w->currentBox(box));
        QCOMPARE(enabledOps(), 0);
        QVERIFY(!encryptShown() && !shareShown());
        QCOMPARE(framedRow(), -1);
        QVERIFY(m_w->m_pNewBtn->isEnabled());
    }

    void dropFirstBoxAndReload()
    {
        auto boxes = BoxDouble::boxes();
        boxes.erase(boxes.begin());
        BoxDouble::setBoxes(boxes);
        m_w->refreshBoxView();
    }

private slots:
    void initTestCase() { loadStyleSheet("blue.css"); }

    void init()
    {
        m_w = TestSupport::openMainWindow(TestSupport::boxOfEachKind());
    }

    void cleanup()
    {
        m_w.reset();
        QVERIFY(TestSupport::modalHandlersDone() && TestSupport::leftoverTopLevels().isEmpty());
    }

    // The tool buttons offer what core allows for the selected icon, and
    // the bottom bar shows its encryption and share state.
    void buttonsAndIndicatorsFollowTheSelection_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<QString>("encryption");
        QTest::addColumn<bool>("shareShown");
        QTest::newRow("plain") << 0 << 3 << "" << false;
        QTest::newRow("locked and shared") << 1 << 3 << "已加密" << true;
        QTest::newRow("mounted") << 2 << 0 << "已挂载" << false;
        QTest::newRow("another's") << 3 << 0 << "" << false;
    }

    void buttonsAndIndicatorsFollowTheSelection()
    {
        QFETCH(int, row);
        QFETCH(int, enabled);
        QFETCH(QString, encryption);
        QFETCH(bool, shareShown);
        clickIcon(row);
        QCOMPARE(enabledOps(), enabled);
        QCOMPARE(encryptShown() ? m_w->m_pEncryptAttrBtn->text() : QString(), encryption);
        QCOMPARE(this->shareShown(), shareShown);
    }

    // A click on a mode button, even the active one, reloads that view and
    // leaves nothing selected.
    void modeButtonsReloadAndClearTheSelection()
    {
        clickIcon(0);
        toTable();
        QVERIFY(m_w->m_pBoxTableView->isVisible() && !m_w->m_pBoxListWidget->isVisible());
        expectNothingSelected();

        clickRow(4);
        QCOMPARE(framedRow(), 4);
        BoxDouble::addBox(TestSupport::doubleBox("late", BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED));
        toTable();
        QCOMPARE(m_w->m_pBoxTableModel->boxCount(), 6);
        expectNothingSelected();

        toIcons();
        QVERIFY(m_w->m_pBoxListWidget->isVisible() && !m_w->m_pBoxTableView->isVisible());
        clickIcon(1);
        toIcons();
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected();
    }

    // The table's encryption filter opens from a press on its header or
    // from the keyboard (Alt+Down on its column). Escape changes nothing;
    // Return or a press outside applies the choice, and the table reloads
    // with nothing selected. The filter survives a reload and is gone after
    // a visit to the icons.
    void encryptionFilter()
    {
        toTable();
        clickRow(0);
        BoxTableModel *model = m_w->m_pBoxTableModel;
        const int before = loads();
        const auto pressHeader = [this] {
            const QPoint pos(m_w->m_pHeaderView->sectionViewportPosition(1) + 5, 15);
            QTest::mousePress(m_w->m_pHeaderView->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
            QTest::mouseRelease(m_w->m_pHeaderView->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        };
        TestSupport::onNextModal([](QWidget *w) {
            TestSupport::childWithText<QRadioButton>(w, "是")->setChecked(true);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        pressHeader();
        QCOMPARE(loads(), before);
        QCOMPARE(model->boxCount(), 5);
        QCOMPARE(enabledOps(), 3); // still selected

        TestSupport::onNextModal([](QWidget *) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // to 是
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(m_w->m_pBoxTableView, Qt::Key_Right); // to the encryption column
        QTest::keyClick(m_w->m_pBoxTableView, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(loads(), before + 1);
        QStringList shown;
        for (int row = 0; row < model->boxCount(); ++row)
            shown << model->boxAt(row).name;
        QCOMPARE(shown, QStringList({"locked", "mounted", "their safe"}));
        QCOMPARE(model->boxAt(model->boxCount()).name, QString()); // past the end: no box
        expectNothingSelected();
        m_w->slot_reload_boxes();
        QCOMPARE(model->boxCount(), 3);

        toIcons();
        QCOMPARE(m_w->m_pBoxListWidget->count(), 5);
        toTable();
        QCOMPARE(model->boxCount(), 5);
        TestSupport::onNextModal([](QWidget *w) {
            TestSupport::childWithText<QRadioButton>(w, "是")->setChecked(true);
            sendMouse(w, QEvent::MouseButtonPress, QPoint(-20, -20));
        });
        pressHeader();
        QCOMPARE(model->boxCount(), 3);
        QVERIFY(TestSupport::modalHandlersDone());
    }

    // A right press on the window's background keeps the selection and
    // drags the window; a left press clears the selection in either view.
    void backgroundPress()
    {
        const QPoint background(400, 515); // between the box list and the bottom bar
        clickIcon(1);
        const QPoint start = m_w->pos();
        sendMouse(m_w.get(), QEvent::MouseButtonPress, background, Qt::RightButton);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), 1);
        QVERIFY(shareShown());
        sendMouse(m_w.get(), QEvent::MouseMove, background, Qt::NoButton, Qt::RightButton, QPoint(5, 7));
        QCOMPARE(m_w->pos(), start + QPoint(5, 7));
        sendMouse(m_w.get(), QEvent::MouseButtonRelease, background, Qt::RightButton, Qt::NoButton, QPoint(5, 7));

        QTest::mouseClick(m_w.get(), Qt::LeftButton, Qt::NoModifier, background);
        QCOMPARE(m_w->m_pBoxListWidget->currentRow(), -1);
        expectNothingSelected();

        toTable();
        clickRow(3);
        QCOMPARE(framedRow(), 3);
        QTest::mouseClick(m_w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 300)); // left of the table
        expectNothingSelected();
    }

    // No button is a default button: Return, Enter, Space and Escape leave
    // the window open. A button that turns grey under the keyboard focus
    // hands the focus back to the view, and under the pointer drops its
    // blue icon at once (no Leave arrives while it is disabled).
    void keyboardAndButtonsThatTurnGrey()
    {
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        for (QPushButton *button : m_w->findChildren<QPushButton *>())
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->toolTip()));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape})
            QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(m_w->isVisible());
        QCOMPARE(m_w->result(), 0);

        clickIcon(0);
        m_w->m_pLockedBtn->setFocus();
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(m_w->m_pDelBtn, &enter);
        const auto picture = [](const QIcon &icon) { return icon.pixmap(16, 16).toImage(); };
        QCOMPARE(picture(m_w->m_pDelBtn->icon()), picture(QIcon(":/images/image/icon_delete_blue.png")));
        dropFirstBoxAndReload();
        QVERIFY(!m_w->m_pDelBtn->isEnabled());
        QCOMPARE(picture(m_w->m_pDelBtn->icon()), picture(QIcon(":/images/image/icon_delete.png")));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_w->m_pBoxListWidget));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
