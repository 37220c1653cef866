#include "MessageBox.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>

using TestSupport::childWithText;

namespace {

// Arms `act` for the next modal box; closes the box should a failed check leave it open.
void onNextBox(const std::function<void(QWidget *)> &act)
{
    TestSupport::onNextModal([act](QWidget *box) {
        QPointer<QWidget> alive = box;
        act(box);
        if (alive && alive->isVisible())
            alive->close();
    });
}

// execMessage's result, or -1 when the box outlived exec().
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

    void results()
    {
        // A question is answered yes only by 确认 or Return.
        const QList<std::tuple<int, QString, int>> table{
            {MessageBox::Question, "确认", 1}, {MessageBox::Question, "取消", 0},
            {MessageBox::Question, "escape", 0}, {MessageBox::Question, "return", 1},
            {MessageBox::Question, "close", 0}, {MessageBox::Warning, "escape", 0}};
        for (const auto &[type, how, expected] : table) {
            const int r = runMessage(type, "确定要删除保护箱“资料”吗？", [how = how](QWidget *box) {
                const QMap<QString, Qt::Key> keys{{"escape", Qt::Key_Escape}, {"return", Qt::Key_Return}};
                if (keys.contains(how))
                    QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, keys[how]);
                else if (how == "close")
                    QTest::mouseClick(box->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
                else
                    QTest::mouseClick(childWithText<QPushButton>(box, how), Qt::LeftButton);
            });
            QVERIFY2(r == expected, qPrintable(QString("%1 %2: %3").arg(type).arg(how).arg(r)));
        }
    }

    // A long text (a refusal with its cause and fix under it) stays clear
    // of the buttons: the box grows downwards.
    void longTextPushesTheButtonsDown()
    {
        const QString longText = "当前系统不支持Venmora文件保护箱相关功能！\n"
                                 "The box folder /box does not exist and cannot be created by this account. "
                                 "An administrator creates it with: install -d -m 1777 /box; "
                                 "or set BOX_SERVICE_ROOT to a folder of your own.";
        for (const QString &text : {QString("保护箱创建成功！"), longText}) {
            QSize size;
            int textBottom = 0;
            int buttonTop = 0;
            runMessage(MessageBox::Information, text, [&](QWidget *box) {
                size = box->size();
                for (QLabel *label : box->findChildren<QLabel *>())
                    if (label->wordWrap())
                        textBottom = label->geometry().bottom();
                buttonTop = childWithText<QPushButton>(box, "确认")->y();
                QTest::keyClick(box, Qt::Key_Escape);
            });
            QVERIFY2(textBottom < buttonTop, qPrintable(text));
            QVERIFY(buttonTop < size.height());
        }
    }

};

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
