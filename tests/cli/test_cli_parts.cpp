// The parts of vaultrane-box that need no box service: the command line,
// the password reader on pipes, the table and the progress bar. The
// terminal is tested with the real program (test_cli_box).
#include "BoxCommandLine.h"
#include "PasswordBuffer.h"
#include "PasswordReader.h"
#include "ProgressBar.h"
#include "TextTable.h"

#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

Q_DECLARE_METATYPE(CliAction)
Q_DECLARE_METATYPE(PasswordReader::Status)

namespace {

// Writes `text` into a new pipe and returns its read end; the write end is
// closed, so the reader sees the end of input after the text.
int pipeWith(const QByteArray &text)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    if (write(fds[1], text.constData(), std::size_t(text.size())) != text.size())
        return -1;
    close(fds[1]);
    return fds[0];
}

QString bufferText(const PasswordBuffer &buffer)
{
    return QString::fromUtf8(buffer.data(), int(buffer.size()));
}

QByteArray readAll(int fd)
{
    QByteArray all;
    char chunk[256];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0)
        all.append(chunk, int(got));
    return all;
}

} // namespace

class TestCliParts : public QObject
{
    Q_OBJECT

private slots:
    void parsesValidCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CliAction>("action");
        QTest::addColumn<QStringList>("operands");
        QTest::addColumn<int>("passwordFd");

        QTest::newRow("list") << QStringList{"list"} << CliAction::List << QStringList{} << -1;
        QTest::newRow("list json before") << QStringList{"--json", "list"} << CliAction::List << QStringList{} << -1;
        QTest::newRow("create encrypt") << QStringList{"create", "a b", "--encrypt"} << CliAction::Create
                                        << QStringList{"a b"} << -1;
        QTest::newRow("fd separate") << QStringList{"mount", "--password-fd", "3", "x"} << CliAction::Mount
                                     << QStringList{"x"} << 3;
        QTest::newRow("fd joined") << QStringList{"passwd", "x", "--password-fd=0"} << CliAction::Passwd
                                   << QStringList{"x"} << 0;
        QTest::newRow("dash name after --") << QStringList{"delete", "--yes", "--", "-odd"} << CliAction::Delete
                                            << QStringList{"-odd"} << -1;
        QTest::newRow("share") << QStringList{"share", "box", "bob", "--read-write"} << CliAction::Share
                               << QStringList{"box", "bob"} << -1;
        QTest::newRow("owner/name") << QStringList{"unmount", "alice/box"} << CliAction::Unmount
                                    << QStringList{"alice/box"} << -1;
        QTest::newRow("help alone") << QStringList{"--help"} << CliAction::Help << QStringList{} << -1;
        QTest::newRow("subcommand help") << QStringList{"rename", "-h"} << CliAction::Help << QStringList{} << -1;
        QTest::newRow("help word") << QStringList{"help", "share"} << CliAction::Help << QStringList{} << -1;
        QTest::newRow("version") << QStringList{"--version"} << CliAction::Version << QStringList{} << -1;
    }

    void parsesValidCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CliAction, action);
        QFETCH(QStringList, operands);
        QFETCH(int, passwordFd);

        const BoxCommandLine line = BoxCommandLine::parse(arguments);
        QVERIFY2(line.ok(), qPrintable(line.error()));
        QCOMPARE(line.action(), action);
        QCOMPARE(line.operands(), operands);
        QCOMPARE(line.passwordFd(), passwordFd);
    }

    void refusesWrongCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");

        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown subcommand") << QStringList{"frobnicate"};
        QTest::newRow("unknown option") << QStringList{"list", "--all"};
        QTest::newRow("option of another subcommand") << QStringList{"list", "--encrypt"};
        QTest::newRow("password fd where none is read") << QStringList{"unmount", "x", "--password-fd", "3"};
        QTest::newRow("missing operand") << QStringList{"rename", "old"};
        QTest::newRow("extra operand") << QStringList{"mount", "a", "b"};
        QTest::newRow("empty operand") << QStringList{"create", ""};
        QTest::newRow("share without access") << QStringList{"share", "box", "bob"};
        QTest::newRow("share with both") << QStringList{"share", "box", "bob", "--read-only", "--read-write"};
        QTest::newRow("fd without number") << QStringList{"mount", "x", "--password-fd"};
        QTest::newRow("fd not a number") << QStringList{"mount", "x", "--password-fd", "three"};
        QTest::newRow("fd negative") << QStringList{"mount", "x", "--password-fd=-1"};
        QTest::newRow("value on a flag") << QStringList{"list", "--json=yes"};
        QTest::newRow("json and names") << QStringList{"list", "--json", "--names"};
    }

    void refusesWrongCommandLines()
    {
        QFETCH(QStringList, arguments);

        const BoxCommandLine line = BoxCommandLine::parse(arguments);
        QVERIFY(!line.ok());
        QVERIFY(!line.error().isEmpty());
        QVERIFY(line.usage().contains(QLatin1String("vaultrane-box")));
    }

    void errorUsageNamesTheSubcommand()
    {
        const BoxCommandLine line = BoxCommandLine::parse({"share", "box", "bob"});
        QVERIFY(line.usage().contains(QLatin1String("vaultrane-box share")));
        QVERIFY(!line.usage().contains(QLatin1String("vaultrane-box list")));
    }

    void readsOnePasswordPerLine_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("passwords");

        QTest::newRow("LF, the last line without one")
            << QByteArray("first one\nsecond\nlast without newline")
            << QStringList{"first one", "second", "last without newline"};
        QTest::newRow("CR LF") << QByteArray("first\r\nsecond\r\n") << QStringList{"first", "second"};
        QTest::newRow("CR LF without a last LF") << QByteArray("only\r") << QStringList{"only"};
        QTest::newRow("CR inside stays") << QByteArray("a\rb\n") << QStringList{"a\rb"};
        QTest::newRow("mixed endings") << QByteArray("lf\ncrlf\r\n\r\n") << QStringList{"lf", "crlf", ""};
    }

    void readsOnePasswordPerLine()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, passwords);

        const int fd = pipeWith(input);
        PasswordReader reader = PasswordReader::descriptor(fd);
        QVERIFY(!reader.interactive());
        PasswordBuffer buffer;
        for (const QString &expected : passwords) {
            QCOMPARE(reader.readPassword("unused", buffer), PasswordReader::Status::Ok);
            QCOMPARE(bufferText(buffer), expected);
        }
        QCOMPARE(reader.readPassword("unused", buffer), PasswordReader::Status::EndOfInput);
        QVERIFY(buffer.isEmpty());
        close(fd);
    }

    void readsANewPasswordOnceFromAPipe()
    {
        const int fd = pipeWith("newpass\nnext line\n");
        PasswordReader reader = PasswordReader::descriptor(fd);
        PasswordBuffer buffer;

        QCOMPARE(reader.readNewPassword("new", "again", buffer), PasswordReader::Status::Ok);
        QCOMPARE(bufferText(buffer), QString("newpass"));
        // The second line was not consumed by the new password.
        QCOMPARE(reader.readPassword("unused", buffer), PasswordReader::Status::Ok);
        QCOMPARE(bufferText(buffer), QString("next line"));
        close(fd);
    }

    void stopsReadingAtTheLimit_data()
    {
        QTest::addColumn<char>("filler");

        QTest::newRow("a line of letters") << 'a';
        QTest::newRow("NUL bytes, as from /dev/zero") << '\0';
    }

    void stopsReadingAtTheLimit()
    {
        QFETCH(char, filler);

        // Five megabytes without a line break: refused once the limit is
        // passed, without reading the rest.
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(file.write(QByteArray(5 << 20, filler)) == 5 << 20);
        QVERIFY(file.flush());
        const int fd = open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);

        PasswordReader reader = PasswordReader::descriptor(fd);
        PasswordBuffer buffer;
        QCOMPARE(reader.readPassword("unused", buffer), PasswordReader::Status::TooLong);
        QVERIFY(buffer.isEmpty());
        QVERIFY(lseek(fd, 0, SEEK_CUR) <= off_t(2 * PasswordBuffer::kMaxLength));
        close(fd);
    }

    void refusesUnusablePasswordLines_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<PasswordReader::Status>("status");

        const QByteArray longest(int(PasswordBuffer::kMaxLength), 'a');
        QTest::newRow("nothing") << QByteArray() << PasswordReader::Status::EndOfInput;
        QTest::newRow("too long") << longest + "b\n" << PasswordReader::Status::TooLong;
        QTest::newRow("NUL inside") << QByteArray("ab\0cd\n", 6) << PasswordReader::Status::NotText;
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9\n") << PasswordReader::Status::NotText;
        QTest::newRow("longest allowed") << longest + "\n" << PasswordReader::Status::Ok;
    }

    void refusesUnusablePasswordLines()
    {
        QFETCH(QByteArray, input);
        QFETCH(PasswordReader::Status, status);

        const int fd = pipeWith(input);
        PasswordReader reader = PasswordReader::descriptor(fd);
        PasswordBuffer buffer;
        QCOMPARE(reader.readPassword("unused", buffer), status);
        if (status != PasswordReader::Status::Ok) {
            QVERIFY(buffer.isEmpty());
            QVERIFY(!PasswordReader::describe(status).isEmpty());
        }
        close(fd);
    }

    void passwordBufferChecksText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");

        QTest::newRow("ascii") << QByteArray("Secret_1") << true;
        QTest::newRow("chinese") << QByteArray("密码很长") << true;
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x94\x92") << true;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
        QTest::newRow("truncated") << QByteArray("\xe5\xaf") << false;
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("beyond unicode") << QByteArray("\xf4\x90\x80\x80") << false;
    }

    void passwordBufferChecksText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);

        PasswordBuffer buffer;
        for (char byte : bytes)
            QVERIFY(buffer.append(byte));
        QCOMPARE(buffer.isValidText(), valid);
    }

    // What a password buffer held must not stay in memory once it is cleared.
    void clearedPasswordBufferHoldsNoBytes()
    {
        PasswordBuffer buffer;
        const QByteArray secret("Secret_to_forget");
        for (char byte : secret)
            QVERIFY(buffer.append(byte));
        buffer.clear();
        QVERIFY(buffer.isEmpty());
        QCOMPARE(QByteArray(buffer.data(), secret.size()), QByteArray(secret.size(), '\0'));
    }

    void tableAlignsWideCharacters()
    {
        TextTable table({"名称", "state"});
        table.addRow({"资料", "plain"});
        table.addRow({"abc", "encrypted"});
        const QStringList lines = table.toString().split('\n', Qt::SkipEmptyParts);

        QCOMPARE(lines.size(), 3);
        // The second column starts at the same terminal column in every row.
        for (const QString &line : lines) {
            const int secondColumn = TextTable::displayWidth(line.left(line.indexOf(QRegularExpression("[a-z]+$"))));
            QCOMPARE(secondColumn, 6);
        }
        QCOMPARE(TextTable::displayWidth("保护箱 box"), 10);
    }

    void tableShowsHiddenCharactersEscaped_data()
    {
        QTest::addColumn<QString>("name");

        QTest::newRow("right-to-left override") << QString::fromUtf8("invoice\u202Efdp.exe");
        QTest::newRow("line separator") << QString::fromUtf8("one\u2028two");
        QTest::newRow("paragraph separator") << QString::fromUtf8("one\u2029two");
        QTest::newRow("zero-width joiner and space") << QString::fromUtf8("pa\u200Dy\u200Bpal");
        QTest::newRow("isolates and marks") << QString::fromUtf8("\u2066a\u2069\u200F");
        QTest::newRow("escape and bell") << QString::fromUtf8("\x1b[2Jx\x07");
        QTest::newRow("C1 control") << QString::fromUtf8("a\u009Bb");
    }

    void tableShowsHiddenCharactersEscaped()
    {
        QFETCH(QString, name);

        const auto hidden = [](QChar c) {
            return c.category() == QChar::Other_Format || c.category() == QChar::Other_Control
                || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
        };
        // The name's look-alike in plain text: a backslash and the escape that
        // a hidden character shows as. The two must still look different.
        QString lookalike = name;
        for (const QChar c : name)
            if (hidden(c))
                lookalike.replace(c, QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));

        TextTable table({"name", "state"});
        table.addRow({name, "plain"});
        table.addRow({lookalike, "plain"});
        const QString text = table.toString();

        for (const QChar c : text)
            QVERIFY(c == QLatin1Char('\n') || !hidden(c));
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(1) != lines.at(2));
    }

    // The bar stays inside a terminal of ordinary width (running past its
    // last column would wrap it onto a new line at every update), and fills
    // as the work goes on.
    void progressBarFitsItsWidth()
    {
        for (int columns : {40, 80, 200}) {
            int filledBefore = -1;
            for (int percent : {0, 50, 100, 130}) {
                const QString bar = ProgressBar::render("enc", percent, columns);
                QVERIFY2(bar.size() < columns, qPrintable(bar));
                const int filled = int(bar.count(QLatin1Char('#')));
                QVERIFY2(filled >= filledBefore, qPrintable(bar));
                filledBefore = filled;
            }
            QVERIFY(ProgressBar::render("enc", 0, columns).count(QLatin1Char('#')) == 0);
            QCOMPARE(ProgressBar::render("enc", 130, columns), ProgressBar::render("enc", 100, columns));
        }
    }

    void progressBarWritesNothingWithoutATerminal()
    {
        int fds[2];
        QVERIFY(pipe(fds) == 0);
        {
            ProgressBar bar("enc", fds[1]);
            QVERIFY(!bar.enabled());
            bar.update(40);
            bar.finish(true);
        }
        close(fds[1]);
        QCOMPARE(readAll(fds[0]), QByteArray());
        close(fds[0]);
    }
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "test_cli_parts.moc"
