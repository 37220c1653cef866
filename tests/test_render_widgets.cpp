// Renders every small widget, each message-box type and the switch in both
// states to PNG files, with the application style sheet applied, so that the
// look can be checked by eye. Set VAULTRANE_RENDER_DIR to a folder to get the
// files; without it the test only checks that every widget can be grabbed.

#include "BoxPswLineEdit.h"
#include "FlatDropWidget.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "SplitLine.h"
#include "SwitchButton.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestRenderWidgets : public QObject
{
    Q_OBJECT

private:
    QString m_dir;
    int m_saved = 0;

    // Grabs `w`, checks the picture has the widget's size and, when a render
    // folder was given, writes it there as <name>.png.
    void render(QWidget *w, const QString &name)
    {
        const QPixmap pix = w->grab();
        QVERIFY2(!pix.isNull(), qPrintable(name));
        QCOMPARE(pix.size(), w->size());
        if (m_dir.isEmpty())
            return;
        QVERIFY2(pix.save(QDir(m_dir).filePath(name + ".png")), qPrintable(name));
        ++m_saved;
        // Tiny widgets get a magnified copy too, pixel for pixel.
        if (pix.width() < 100 && pix.height() < 30) {
            const QPixmap big = pix.scaled(pix.size() * 8, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            QVERIFY(big.save(QDir(m_dir).filePath(name + "_x8.png")));
        }
    }

private slots:
    void initTestCase()
    {
        m_dir = qEnvironmentVariable("VAULTRANE_RENDER_DIR");
        if (!m_dir.isEmpty())
            QVERIFY(QDir().mkpath(m_dir));
        QFile css(":/images/style/blue.css");
        QVERIFY(css.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(css.readAll()));
    }

    void cleanupTestCase()
    {
        if (!m_dir.isEmpty())
            qInfo("%d pictures written to %s", m_saved, qPrintable(m_dir));
    }

    void cleanup() { QVERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    void titleBars()
    {
        // The main window's bar: everything but the return button.
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        win->resize(780, 100);
        auto *bar = new TitleBar(win.get());
        bar->setBackgroundColor("#EAEAEA");
        bar->m_pReturnBtn->hide();
        bar->setTitle("保护箱", 0, "");
        bar->resize(780, 40);
        win->show();
        render(bar, "titlebar_main");

        // A dialog's bar: logo, title and close button only.
        auto *dlgBar = new TitleBar(win.get());
        dlgBar->m_pMinBtn->hide();
        dlgBar->m_pMenuBtn->hide();
        dlgBar->m_pReturnBtn->hide();
        dlgBar->setTitle("新建保护箱", 0, "");
        dlgBar->resize(420, 40);
        dlgBar->move(0, 50);
        dlgBar->show();
        render(dlgBar, "titlebar_dialog");

        // All four buttons, as built.
        auto *fullBar = new TitleBar(win.get());
        fullBar->setTitle("标题", 0, "");
        fullBar->resize(780, 40);
        fullBar->show();
        render(fullBar, "titlebar_all_buttons");
    }

    void mainMenu()
    {
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        auto *menu = new MainMenu(win.get());
        menu->adjustSize();
        render(menu, "mainmenu");
    }

    void passwordEdit()
    {
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        win->resize(300, 80);
        auto *edit = new BoxPswLineEdit(win.get());
        edit->setObjectName("UnderLineEdit");
        edit->setFixedWidth(230);
        edit->move(20, 20);
        edit->setText("secret12");
        win->show();
        render(win.get(), "pswedit_masked");
        edit->slot_psw_visiable_btn_clicked();
        render(win.get(), "pswedit_clear");
    }

    void splitLine()
    {
        std::unique_ptr<FlatDropWidget> win(new FlatDropWidget);
        win->resize(780, 20);
        QPalette pal = win->palette();
        pal.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::white));
        win->setPalette(pal);
        win->setAutoFillBackground(true);
        auto *line = new SplitLine(false, win.get());
        line->move(30, 10);
        win->show();
        render(win.get(), "splitline");
    }

    void switches()
    {
        struct Look {
            const char *name;
            SwitchButton::ButtonStyle style;
        };
        const Look looks[] = {{"roundedrect", SwitchButton::RoundedRect},
                              {"pilltrack", SwitchButton::PillTrack},
                              {"insettrack", SwitchButton::InsetTrack},
                              {"imagepair", SwitchButton::ImagePair}};
        for (const Look &look : looks) {
            std::unique_ptr<SwitchButton> sw(new SwitchButton);
            sw->setButtonStyle(look.style);
            sw->show();
            render(sw.get(), QString("switch_%1_off").arg(look.name));
            QTest::mouseClick(sw.get(), Qt::LeftButton);
            QTRY_COMPARE(sw->sliderPosition(), sw->sliderTargetPosition());
            render(sw.get(), QString("switch_%1_on").arg(look.name));
        }

        // The create dialog's encryption switch.
        std::unique_ptr<SwitchButton> sw(new SwitchButton);
        sw->setButtonStyle(SwitchButton::PillTrack);
        sw->setFixedSize(30, 14);
        sw->setBgColor(QColor("#C3C9D0"), QColor("#0197EE"));
        sw->setText("", "");
        sw->show();
        render(sw.get(), "switch_create_off");
        QTest::mouseClick(sw.get(), Qt::LeftButton);
        QTRY_COMPARE(sw->sliderPosition(), 16);
        render(sw.get(), "switch_create_on");
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("information") << 0 << QString("保护箱“资料”已存在！");
        QTest::newRow("question") << 1 << QString("确定要删除保护箱“资料”吗？");
        QTest::newRow("warning") << 2 << QString("密码错误！");
        QTest::newRow("complete") << 3 << QString("操作成功！");
        QTest::newRow("long") << 0
                              << QString("这是一条很长的提示信息，用来检查文字在固定宽度的标签内是否能够正确换行，"
                                         "而消息框本身的大小保持不变，所有文字都应当完整可见！");
    }

    void messageBoxes()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        const QString name = QString("messagebox_%1").arg(QTest::currentDataTag());
        auto *box = new MessageBox(nullptr);
        TestSupport::onNextModal([&](QWidget *w) {
            render(w, name);
            w->close();
        });
        box->execMessage(type, text);
        QVERIFY(TestSupport::modalHandlersDone());
    }
};

QTEST_MAIN(TestRenderWidgets)
#include "test_render_widgets.moc"
