// Renders the small widgets, the about dialog and each message-box type with
// the application style sheet to VAULTRANE_RENDER_DIR/<name>.png, for checking
// the look by eye. Without that variable it only renders.

#include "AboutDialog.h"
#include "BoxPswLineEdit.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "SplitLine.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

class TestRenderWidgets : public QObject
{
    Q_OBJECT

    static void render(QWidget *w, const QString &name)
    {
        const QPixmap pix = w->grab();
        const QString dir = qEnvironmentVariable("VAULTRANE_RENDER_DIR");
        if (!dir.isEmpty() && QDir().mkpath(dir))
            pix.save(dir + "/" + name + ".png");
    }

private slots:
    void initTestCase()
    {
        QFile css(":/images/style/blue.css");
        QVERIFY(css.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(css.readAll()));
    }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void widgets()
    {
        QWidget win;
        win.resize(780, 200);
        auto *bar = new TitleBar(&win);
        bar->setTitle("保护箱", 0, "");
        bar->resize(780, 40);
        auto *menu = new MainMenu(&win);
        menu->adjustSize();
        auto *edit = new BoxPswLineEdit(&win);
        edit->setObjectName("UnderLineEdit");
        edit->setGeometry(20, 60, 230, 30);
        edit->setText("secret12");
        auto *line = new SplitLine(false, &win);
        line->move(30, 120);
        auto *sw = new SwitchButton(&win);
        sw->setButtonStyle(SwitchButton::PillTrack);
        sw->setFixedSize(30, 14);
        sw->move(300, 68);
        sw->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
        sw->setText("", "");
        AboutDialog about(&win);
        win.show();
        render(&win, "widgets_off");
        render(menu, "mainmenu");
        render(&about, "aboutdialog");
        edit->slot_psw_visiable_btn_clicked();
        QTest::mouseClick(sw, Qt::LeftButton);
        QTRY_COMPARE(sw->sliderPosition(), sw->sliderTargetPosition());
        render(&win, "widgets_on");
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("information") << 0;
        QTest::newRow("question") << 1;
        QTest::newRow("warning") << 2;
        QTest::newRow("complete") << 3;
    }

    void messageBoxes()
    {
        QFETCH(int, type);
        TestSupport::onNextModal([&](QWidget *w) {
            render(w, QString("messagebox_") + QTest::currentDataTag());
            w->close();
        });
        (new MessageBox(nullptr))->execMessage(type, "保护箱“资料”中的文件正在被使用，请关闭后重试！");
        QVERIFY(TestSupport::modalHandlersDone());
    }
};

QTEST_MAIN(TestRenderWidgets)
#include "test_render_widgets.moc"
