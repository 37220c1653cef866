// The lock settings: what is stored, and the 设置 dialog that writes them.
#include "LockSettings.h"
#include "LockSettingsDialog.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <sys/stat.h>

class TestLockSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config;

private slots:
    void init()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QFile::remove(LockSettings::filePath());
    }

    void cleanup() { QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty()); }

    // Nothing stored: lock on screen lock, sleep and logout; no idle lock.
    // What is stored comes back, the idle time kept within a day.
    void defaultsAndStoredChoices()
    {
        const LockSettings defaults = LockSettings::load();
        QVERIFY(defaults.lockOnScreenLock && defaults.lockBeforeSleep && defaults.lockOnLogout);
        QCOMPARE(defaults.idleSeconds(), 0u);
        QVERIFY(LockSettings::filePath().startsWith(m_config.path()));

        LockSettings stored;
        stored.lockOnScreenLock = false;
        stored.lockWhenIdle = true;
        stored.idleMinutes = 100000;
        QVERIFY(stored.save());
        const LockSettings loaded = LockSettings::load();
        QVERIFY(!loaded.lockOnScreenLock && loaded.lockBeforeSleep && loaded.lockWhenIdle);
        QCOMPARE(loaded.idleSeconds(), unsigned(LockSettings::kMaxIdleMinutes * 60));
    }

    // A FIFO in place of the file would block an open for good: the
    // choices stay at their defaults and nothing is written through it.
    void fifoInPlaceOfTheFileNeitherBlocksNorTakesWrites()
    {
        QVERIFY(QDir().mkpath(QFileInfo(LockSettings::filePath()).absolutePath()));
        QVERIFY(mkfifo(QFile::encodeName(LockSettings::filePath()).constData(), 0600) == 0);
        QVERIFY(LockSettings::load().lockOnScreenLock);
        LockSettings changed;
        changed.lockOnScreenLock = false;
        QVERIFY(!changed.save());
        QVERIFY(!QFileInfo(LockSettings::filePath()).isFile());
    }

    // 确认 stores what the dialog shows; 取消 stores nothing.
    void dialogStoresOnlyWhenConfirmed()
    {
        for (const bool confirm : {false, true}) {
            QFile::remove(LockSettings::filePath());
            auto *dialog = new LockSettingsDialog;
            dialog->show();
            QList<QCheckBox *> boxes = dialog->findChildren<QCheckBox *>();
            QCOMPARE(boxes.size(), 4);
            auto *minutes = dialog->findChild<QSpinBox *>();
            QVERIFY(!minutes->isEnabled());
            boxes.at(0)->setChecked(false); // 锁屏时卸载
            boxes.at(3)->setChecked(true);  // 空闲后自动卸载
            QVERIFY(minutes->isEnabled());
            minutes->setValue(5);
            TestSupport::childWithText<QPushButton>(dialog, confirm ? "确认" : "取消")->click();

            const LockSettings loaded = LockSettings::load();
            QCOMPARE(loaded.lockOnScreenLock, !confirm);
            QCOMPARE(loaded.idleSeconds(), confirm ? 300u : 0u);
        }
    }
};

QTEST_MAIN(TestLockSettings)
#include "test_locksettings.moc"
