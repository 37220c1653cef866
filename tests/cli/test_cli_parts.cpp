// The parts of vaultrane-box that need no box service. The terminal is
// tested with the real program; which passwords and names are allowed, in core.
#include "BoxCommandLine.h"
#include "PasswordBuffer.h"
#include "PasswordReader.h"
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

        QTest::newRow("list json before") << QStringList{"--json", "list"} << CliAction::List << QStringList{} << -1;
        QTest::newRow("create encrypt") << QStringList{"create", "a b", "--encrypt"} << CliAction::Create
                                        << QStringList{"a b"} << -1;
        QTest::newRow("fd separate") << QStringList{"mount", "--password-fd", "3", "x"} << CliAction::Mount
                                     << QStringList{"x"} << 3;
        QTest::newRow("fd joined") << QStringList{"passwd", "x", "--password-fd=0"} << CliAction::Passwd
                                   << QStringList{"x"} << 0;
        QTest::newRow("dash name after --") << QStringList{"delete", "--yes", "--", "-odd"} << CliAction::Delete
                                            << QStringList{"-odd"} << -1;
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

    // One password a line from a pipe; a line that cannot be a password is
    // refused and leaves nothing in the buffer.
    void readsPasswordLines_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<PasswordReader::Status>("then");

        const QByteArray longest(int(PasswordBuffer::kMaxLength), 'a');
        QTest::newRow("LF, the last line without one") << QByteArray("first one\nsecond\nlast without newline")
                                                       << QStringList{"first one", "second", "last without newline"}
                                                       << PasswordReader::Status::EndOfInput;
        QTest::newRow("CR LF") << QByteArray("first\r\nsecond\r\n") << QStringList{"first", "second"}
                               << PasswordReader::Status::EndOfInput;
        QTest::newRow("CR inside stays") << QByteArray("a\rb\n") << QStringList{"a\rb"}
                                         << PasswordReader::Status::EndOfInput;
        QTest::newRow("longest allowed") << longest + "\n" << QStringList{QString(longest)}
                                         << PasswordReader::Status::EndOfInput;
        QTest::newRow("too long") << longest + "b\n" << QStringList{} << PasswordReader::Status::TooLong;
        QTest::newRow("NUL inside") << QByteArray("ab\0cd\n", 6) << QStringList{} << PasswordReader::Status::NotText;
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9\n") << QStringList{} << PasswordReader::Status::NotText;
    }

    void readsPasswordLines()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, passwords);
        QFETCH(PasswordReader::Status, then);

        const int fd = pipeWith(input);
        PasswordReader reader = PasswordReader::descriptor(fd);
        QVERIFY(!reader.interactive());
        PasswordBuffer buffer;
        for (const QString &expected : passwords) {
            QCOMPARE(reader.readPassword("unused", buffer), PasswordReader::Status::Ok);
            QCOMPARE(bufferText(buffer), expected);
        }
        QCOMPARE(reader.readPassword("unused", buffer), then);
        QVERIFY(buffer.isEmpty());
        close(fd);
    }

    void stopsReadingAtTheLimit()
    {
        // Five megabytes without a line break, as from /dev/zero: refused
        // once the limit is passed, without reading the rest.
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(file.write(QByteArray(5 << 20, '\0')) == 5 << 20);
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

    void tableShowsHiddenCharactersEscaped_data()
    {
        QTest::addColumn<QString>("name");

        QTest::newRow("right-to-left override") << QString::fromUtf8("invoice\u202Efdp.exe");
        QTest::newRow("line separator") << QString::fromUtf8("one\u2028two");
        QTest::newRow("zero-width joiner and space") << QString::fromUtf8("pa\u200Dy\u200Bpal");
        QTest::newRow("escape and bell") << QString::fromUtf8("\x1b[2Jx\x07");
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
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "test_cli_parts.moc"
