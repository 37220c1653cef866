// The message box: what each way of closing it returns, each message type,
// self-deletion and placement by showInformation.

#include "FlatDropWidget.h"
#include "MessageBox.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <memory>

using TestSupport::childWithText;

namespace {

// The key goes where the keyboard focus is, as a real key press would.
void pressKey(QWidget *box, Qt::Key key)
{
    QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
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
// returns execMessage's result, or -1 when the box outlived exec().
int runMessage(int type, const QString &text, const std::function<void(QWidget *)> &act)
{
    QPointer<MessageBox> box = new MessageBox(nullptr);
    onNextBox(act);
    const int result = box->execMessage(type, text);
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
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("expected");
        QTest::newRow("确认") << int(MessageBox::Question) << "确认" << 1;
        QTest::newRow("取消") << int(MessageBox::Question) << "取消" << 0;
        QTest::newRow("Escape") << int(MessageBox::Question) << "escape" << 0;
        QTest::newRow("Return") << int(MessageBox::Question) << "return" << 1;
        QTest::newRow("Enter") << int(MessageBox::Question) << "enter" << 1;
        QTest::newRow("title bar close") << int(MessageBox::Question) << "close" << 0;
        // A box with a single button gives 1 for it and 0 when closed otherwise.
        QTest::newRow("Information, 确认") << int(MessageBox::Information) << "确认" << 1;
        QTest::newRow("Warning, Escape") << int(MessageBox::Warning) << "escape" << 0;
    }

    void results()
    {
        QFETCH(int, type);
        QFETCH(QString, how);
        QFETCH(int, expected);
        const int r = runMessage(type, "确定要删除保护箱“资料”吗？", [how](QWidget *box) {
            if (how == "escape")
                pressKey(box, Qt::Key_Escape);
            else if (how == "return")
                pressKey(box, Qt::Key_Return);
            else if (how == "enter")
                pressKey(box, Qt::Key_Enter);
            else if (how == "close")
                QTest::mouseClick(box->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
            else
                QTest::mouseClick(childWithText<QPushButton>(box, how), Qt::LeftButton);
        });
        QCOMPARE(r, expected);
    }

    void types_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::newRow("Information") << 0 << "提示" << "remind.png";
        QTest::newRow("Question") << 1 << "询问" << "question_icon.png";
        QTest::newRow("Warning") << 2 << "警告" << "waring.png";
        QTest::newRow("Complete") << 3 << "完成" << "finish.png";
        QTest::newRow("4") << 4 << "完成" << "finish.png";
        QTest::newRow("-1") << -1 << "完成" << "finish.png";
    }

    // Title, icon and buttons per type; the text is shown as given, never as markup.
    void types()
    {
        QFETCH(int, type);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        const QString text = "保护箱“资料”已存在！ <b>not bold</b>";
        QString seenTitle;
        bool iconShown = false, plain = false, cancelShown = true;
        runMessage(type, text, [&](QWidget *box) {
            seenTitle = box->findChild<TitleBar *>()->m_pTitleLabel->text();
            const QImage wanted = QPixmap(":/images/image/" + icon).toImage();
            for (QLabel *l : box->findChildren<QLabel *>())
                iconShown = iconShown || (l->isVisible() && l->pixmap(Qt::ReturnByValue).toImage() == wanted);
            QLabel *label = childWithText<QLabel>(box, text);
            plain = label && label->isVisible() && label->textFormat() == Qt::PlainText;
            cancelShown = childWithText<QPushButton>(box, "取消")->isVisible();
            box->close();
        });
        QCOMPARE(seenTitle, title);
        QVERIFY(iconShown);
        QVERIFY(plain);
        QCOMPARE(cancelShown, type == MessageBox::Question);
    }

    // Centred on the parent, odd sizes halved with integer division; without
    // a parent it still shows.
    void showInformationCentresOnParent()
    {
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        win->setFixedSize(301, 201);
        win->move(-50, 7);
        win->show();
        QPoint where;
        QString title;
        onNextBox([&](QWidget *box) {
            where = box->pos();
            if (childWithText<QLabel>(box, "保护箱服务不可用！"))
                title = box->findChild<TitleBar *>()->m_pTitleLabel->text();
            QTest::mouseClick(childWithText<QPushButton>(box, "确认"), Qt::LeftButton);
        });
        showInformation("保护箱服务不可用！", win.get());
        QVERIFY(TestSupport::modalHandlersDone());
        QCOMPARE(where, QPoint(-50 + 150 - 250, 7 + 100 - 160));
        QCOMPARE(title, QString("提示"));
        // Only the parent is left; the box went with exec().
        QCOMPARE(TestSupport::leftoverTopLevels(), QWidgetList() << win.get());

        bool shown = false;
        onNextBox([&](QWidget *box) {
            shown = box->inherits("MessageBox");
            pressKey(box, Qt::Key_Escape);
        });
        showInformation("不支持保护箱功能！", nullptr);
        QVERIFY(TestSupport::modalHandlersDone());
        QVERIFY(shown);
    }
};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
