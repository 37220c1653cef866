// The message box: what each way of closing it returns, the look of each
// message type, self-deletion and placement by showInformation.

#include "FlatDropWidget.h"
#include "MessageBox.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <memory>

using TestSupport::childWithText;

namespace {

QPushButton *okButton(QWidget *box) { return childWithText<QPushButton>(box, "确认"); }
QPushButton *cancelButton(QWidget *box) { return childWithText<QPushButton>(box, "取消"); }

// The 56 × 56 icon label: the one label placed at the icon's spot.
QLabel *iconLabel(QWidget *box)
{
    for (QLabel *l : box->findChildren<QLabel *>())
        if (l->geometry() == QRect(222, 80, 56, 56))
            return l;
    return nullptr;
}

// The key goes where the keyboard focus is, as a real key press would.
void pressKey(QWidget *box, Qt::Key key)
{
    QWidget *target = box->focusWidget() ? box->focusWidget() : box;
    QTest::keyClick(target, key);
}

// A move with the left button held, as during a drag.
void dragMove(QWidget *w, const QPoint &local)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(local), QPointF(local), QPointF(w->mapToGlobal(local)),
                  Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Arms `act` for the next modal box and closes the box afterwards should
// `act` have left it open (a failed check inside `act` returns early).
void onNextBox(const std::function<void(QWidget *)> &act)
{
    TestSupport::onNextModal([act](QWidget *box) {
        QPointer<QWidget> alive = box;
        act(box);
        if (alive && alive->isVisible())
            alive->close();
    });
}

// Runs one message, hands the shown box to `act` (which must close it) and
// returns execMessage's result. Checks that the box is gone afterwards.
int runMessage(int type, const QString &text, const std::function<void(QWidget *)> &act,
               QWidget *parent = nullptr)
{
    QPointer<MessageBox> box = new MessageBox(parent);
    onNextBox(act);
    const int result = box->execMessage(type, text);
    if (!TestSupport::modalHandlersDone())
        qWarning("the modal handler did not run");
    // exec() itself deletes the box: it is gone before any event is processed.
    if (!box.isNull())
        qWarning("the message box outlived exec()");
    return box.isNull() && TestSupport::modalHandlersDone() ? result : -1;
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void results_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("expected");
        QTest::newRow("确认") << "ok" << 1;
        QTest::newRow("取消") << "cancel" << 0;
        QTest::newRow("Escape") << "escape" << 0;
        QTest::newRow("Return") << "return" << 1;
        QTest::newRow("Enter") << "enter" << 1;
        QTest::newRow("title bar close") << "close" << 0;
    }

    // A question answered in each possible way.
    void results()
    {
        QFETCH(QString, how);
        QFETCH(int, expected);
        const int r = runMessage(MessageBox::Question, "确定要删除保护箱“资料”吗？", [how](QWidget *box) {
            if (how == "ok")
                QTest::mouseClick(okButton(box), Qt::LeftButton);
            else if (how == "cancel")
                QTest::mouseClick(cancelButton(box), Qt::LeftButton);
            else if (how == "escape")
                pressKey(box, Qt::Key_Escape);
            else if (how == "return")
                pressKey(box, Qt::Key_Return);
            else if (how == "enter")
                pressKey(box, Qt::Key_Enter);
            else
                QTest::mouseClick(box->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
        });
        QCOMPARE(r, expected);
    }

    // A box with a single button gives 1 for it and 0 when closed otherwise.
    void informationResults()
    {
        QCOMPARE(runMessage(MessageBox::Information, "x",
                            [](QWidget *box) { QTest::mouseClick(okButton(box), Qt::LeftButton); }),
                 1);
        QCOMPARE(runMessage(MessageBox::Warning, "x", [](QWidget *box) { pressKey(box, Qt::Key_Escape); }), 0);
        QCOMPARE(runMessage(MessageBox::Complete, "x", [](QWidget *box) { pressKey(box, Qt::Key_Return); }), 1);
    }

    void types_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<bool>("question");
        QTest::newRow("Information") << 0 << "提示" << ":/images/image/remind.png" << false;
        QTest::newRow("Question") << 1 << "询问" << ":/images/image/question_icon.png" << true;
        QTest::newRow("Warning") << 2 << "警告" << ":/images/image/waring.png" << false;
        QTest::newRow("Complete") << 3 << "完成" << ":/images/image/finish.png" << false;
        QTest::newRow("4") << 4 << "完成" << ":/images/image/finish.png" << false;
        QTest::newRow("-1") << -1 << "完成" << ":/images/image/finish.png" << false;
    }

    void types()
    {
        QFETCH(int, type);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        QFETCH(bool, question);
        const QString text = "保护箱“资料”已存在！ <b>not bold</b>";
        bool checked = false;
        runMessage(type, text, [&](QWidget *box) {
            QCOMPARE(box->size(), QSize(500, 320));
            auto *bar = box->findChild<TitleBar *>();
            QVERIFY(bar);
            QCOMPARE(bar->geometry(), QRect(0, 0, 500, 40));
            QCOMPARE(bar->m_pTitleLabel->text(), title);
            QVERIFY(bar->m_pCloseBtn->isVisible());
            QVERIFY(!bar->m_pMinBtn->isVisible());
            QVERIFY(!bar->m_pMenuBtn->isVisible());
            QVERIFY(!bar->m_pReturnBtn->isVisible());

            QLabel *iconLbl = iconLabel(box);
            QVERIFY(iconLbl);
            QCOMPARE(iconLbl->pixmap(Qt::ReturnByValue).toImage(), QPixmap(icon).toImage());

            QLabel *textLabel = childWithText<QLabel>(box, text);
            QVERIFY(textLabel);
            QVERIFY(textLabel->isVisible());
            QCOMPARE(textLabel->pos(), QPoint(60, 154));

            QPushButton *ok = okButton(box);
            QPushButton *cancel = cancelButton(box);
            QVERIFY(ok && cancel);
            QVERIFY(ok->isDefault());
            QVERIFY(ok->isVisible());
            QCOMPARE(cancel->isVisible(), question);
            QCOMPARE(ok->geometry(), QRect(question ? 100 : 180, 238, 140, 34));
            if (question)
                QCOMPARE(cancel->geometry(), QRect(260, 238, 140, 34));
            // Both buttons share one look, whatever the type.
            QCOMPARE(ok->objectName(), cancel->objectName());
            QCOMPARE(ok->property("MsgType"), cancel->property("MsgType"));
            checked = true;
            box->close();
        });
        QVERIFY(checked);
    }

    // Text is shown as given, never as markup, and a long one wraps inside
    // the fixed-width label without the box growing.
    void longTextWraps()
    {
        QString text;
        for (int i = 0; i < 6; ++i)
            text += "保护箱“项目资料”中的文件正在被使用，";
        text += "请关闭后重试！";
        bool checked = false;
        runMessage(MessageBox::Warning, text, [&](QWidget *box) {
            QCOMPARE(box->size(), QSize(500, 320));
            QLabel *label = childWithText<QLabel>(box, text);
            QVERIFY(label);
            QCOMPARE(label->width(), 380);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QVERIFY(label->wordWrap());
            // All lines fit: the label is at least as tall as the wrapped text.
            QVERIFY2(label->height() >= label->heightForWidth(380),
                     qPrintable(QString("%1 < %2").arg(label->height()).arg(label->heightForWidth(380))));
            QVERIFY(label->heightForWidth(380) > 2 * label->fontMetrics().height());
            checked = true;
            box->close();
        });
        QVERIFY(checked);
    }

    void showInformationCentresOnParent()
    {
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        win->setFixedSize(780, 560);
        win->move(101, 53);
        win->show();
        QPoint where;
        QString title;
        QString shown;
        onNextBox([&](QWidget *box) {
            where = box->pos();
            title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
            shown = childWithText<QLabel>(box, "保护箱服务不可用！") ? "yes" : "no";
            QTest::mouseClick(okButton(box), Qt::LeftButton);
        });
        showInformation("保护箱服务不可用！", win.get());
        QVERIFY(TestSupport::modalHandlersDone());
        QCOMPARE(where, QPoint(101 + 140, 53 + 120));
        QCOMPARE(title, QString("提示"));
        QCOMPARE(shown, QString("yes"));
        // Only the parent is left; the box went with exec().
        QCOMPARE(TestSupport::leftoverTopLevels(), QWidgetList() << win.get());

        // Odd sizes halve with integer division on both sides.
        win->setFixedSize(301, 201);
        win->move(-50, 7);
        onNextBox([&](QWidget *box) {
            where = box->pos();
            box->close();
        });
        showInformation("x", win.get());
        QCOMPARE(where, QPoint(-50 + 150 - 250, 7 + 100 - 160));
    }

    void showInformationWithoutParent()
    {
        bool shown = false;
        onNextBox([&](QWidget *box) {
            shown = box->inherits("MessageBox");
            pressKey(box, Qt::Key_Escape);
        });
        showInformation("不支持保护箱功能！", nullptr);
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(shown);
    }

    // The box itself can be dragged by its background but not by its buttons.
    void boxDragsByBackground()
    {
        QPoint moved(-1, -1);
        QPoint stayed(-1, -1);
        runMessage(MessageBox::Information, "x", [&](QWidget *box) {
            const QPoint start = box->pos();
            QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(30, 100));
            dragMove(box, QPoint(60, 110));
            QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(60, 110));
            moved = box->pos() - start;
            QWidget *ok = okButton(box);
            const QPoint before = box->pos();
            QTest::mousePress(ok, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
            dragMove(ok, QPoint(40, 20));
            stayed = box->pos() - before;
            box->close();
        });
        QCOMPARE(moved, QPoint(30, 10));
        QCOMPARE(stayed, QPoint(0, 0));
    }
};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
