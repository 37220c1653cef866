// The program's command line, run as a process: --help and --version answer
// without a display and never get as far as a window.
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "BuildConfig.h"

class TestCommandLine : public QObject
{
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_runtimeDir;

    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // Runs build/vaultrane with `arguments` on the Qt platform `platform`.
    // No display is set, so with "xcb" any attempt to open a window makes the
    // program abort instead of answering.
    Result run(const QStringList &arguments, const QString &platform)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("LD_PRELOAD");
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("XDG_RUNTIME_DIR", m_runtimeDir.path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(m_program, arguments);
        Result result;
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        if (process.exitStatus() == QProcess::NormalExit)
            result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private slots:
    void initTestCase()
    {
        m_program = QFileInfo(QCoreApplication::applicationDirPath() + "/../vaultrane").canonicalFilePath();
        if (m_program.isEmpty())
            QFAIL("the program build/vaultrane is missing: build the target vaultrane");
        QVERIFY(m_runtimeDir.isValid());
    }

    void answersWithoutWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expectedOut");
        QTest::addColumn<QString>("expectedErr");

        const QString versionLine = QString("vaultrane %1\n").arg(VAULTRANE_VERSION);
        QTest::newRow("--version") << QStringList{"--version"} << "xcb" << 0 << versionLine << "";
        QTest::newRow("-v") << QStringList{"-v"} << "xcb" << 0 << versionLine << "";
        QTest::newRow("--help") << QStringList{"--help"} << "xcb" << 0 << "--version" << "";
        QTest::newRow("-h") << QStringList{"-h"} << "xcb" << 0 << "BOX_SERVICE_ROOT" << "";
        QTest::newRow("--help-all") << QStringList{"--help-all"} << "xcb" << 0 << "--version" << "";
        QTest::newRow("--help beside a Qt option")
            << QStringList{"-platform", "xcb", "--help"} << "xcb" << 0 << "--version" << "";
        // Refused before any display is needed, and the same with one.
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "xcb" << 1 << "" << "bogus";
        QTest::newRow("unknown option beside a Qt option")
            << QStringList{"-style", "fusion", "-bogus"} << "xcb" << 1 << "" << "bogus";
        QTest::newRow("stray argument") << QStringList{"stray"} << "xcb" << 1 << "" << "stray";
        QTest::newRow("unknown option with a display") << QStringList{"--bogus"} << "offscreen" << 1 << "" << "bogus";
    }

    void answersWithoutWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QFETCH(int, exitCode);
        QFETCH(QString, expectedOut);
        QFETCH(QString, expectedErr);

        const Result result = run(arguments, platform);
        QCOMPARE(result.exitCode, exitCode);
        if (expectedOut.endsWith('\n'))
            QCOMPARE(result.out, expectedOut);
        else
            QVERIFY2(result.out.contains(expectedOut), qPrintable(result.out));
        if (expectedErr.isEmpty())
            QCOMPARE(result.err, QString());
        else
            QVERIFY2(result.err.contains(expectedErr), qPrintable(result.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
