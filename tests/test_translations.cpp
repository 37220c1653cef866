// Translations: which catalogues a locale gets, and the English catalogue.
#include "Startup.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// Uninstalls the translators it holds when it goes out of scope.
class InstalledTranslators
{
public:
    explicit InstalledTranslators(const TranslationChoice &choice) : m_translators(installTranslators(choice)) {}
    ~InstalledTranslators() { qDeleteAll(m_translators); }
    InstalledTranslators(const InstalledTranslators &) = delete;
    InstalledTranslators &operator=(const InstalledTranslators &) = delete;

private:
    QList<QTranslator *> m_translators;
};

TranslationChoice choiceFor(UiLanguage language, const QString &qtLocale)
{
    TranslationChoice choice;
    choice.language = language;
    choice.qtLocale = QLocale(qtLocale);
    return choice;
}

bool hasQtCatalogue(const QString &locale)
{
    return QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qtbase_" + locale + ".qm");
}

QString catalogueFile()
{
    return qEnvironmentVariable("VAULTRANE_SOURCE_DIR") + "/translations/vaultrane_en.ts";
}

// One entry of the catalogue file.
struct CatalogueEntry {
    QString context;
    QString source;
    QString translation;
    bool unfinished = false;
};

QList<CatalogueEntry> readCatalogue(const QString &path)
{
    QList<CatalogueEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    CatalogueEntry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = CatalogueEntry();
            entry.context = context;
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value("type").toString();
            entry.unfinished = type == QLatin1String("unfinished");
            entry.translation = xml.readElementText();
            if (type != QLatin1String("vanished") && type != QLatin1String("obsolete"))
                entries.append(entry);
        }
    }
    return entries;
}

// The placeholders %1, %2, ... of a text, sorted.
QStringList placeholders(const QString &text)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression("%\\d").globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    found.sort();
    return found;
}

const QRegularExpression kHanCharacter("\\p{Han}");

// A string literal of a source file: its text and where its opening quote is.
struct Literal {
    QString text;
    int start = 0; // offset of the opening quote in the source
    int end = 0;   // offset just after the closing quote
};

// Blanks out the comments of C++ source `code` (keeping line breaks) and
// collects its string literals. Character literals are skipped; raw string
// literals are not used in the program.
QString withoutComments(const QString &code, QList<Literal> *literals)
{
    QString out = code;
    int i = 0;
    const int n = code.size();
    while (i < n) {
        const QChar c = code[i];
        const QChar next = i + 1 < n ? code[i + 1] : QChar();
        if (c == '/' && next == '/') {
            while (i < n && code[i] != '\n')
                out[i++] = ' ';
        } else if (c == '/' && next == '*') {
            const int close = code.indexOf("*/", i + 2);
            const int stop = close < 0 ? n : close + 2;
            for (; i < stop; ++i)
                if (out[i] != '\n')
                    out[i] = ' ';
        } else if (c == '"' || c == '\'') {
            Literal literal;
            literal.start = i;
            ++i;
            while (i < n && code[i] != c) {
                if (code[i] == '\\' && i + 1 < n)
                    ++i; // the escaped character stands for itself
                literal.text += code[i];
                ++i;
            }
            ++i;
            literal.end = i;
            if (c == '"')
                literals->append(literal);
        } else {
            ++i;
        }
    }
    return out;
}

// Whether the literal starting at `start` is an argument of tr(),
// translate() or one of Qt's marking macros: walking back over blanks and
// the literals before it (adjacent pieces of one text, or the context of
// translate), the call's opening parenthesis must follow such a name.
bool isMarkedForTranslation(const QString &code, const QList<Literal> &literals, int start)
{
    static const QStringList kMarkers = {"tr", "translate", "QT_TR_NOOP", "QT_TRANSLATE_NOOP", "trUtf8"};
    int i = start - 1;
    for (;;) {
        while (i >= 0 && code[i].isSpace())
            --i;
        if (i < 0)
            return false;
        if (code[i] == '"' || code[i] == ',') {
            if (code[i] == ',') {
                --i;
                while (i >= 0 && code[i].isSpace())
                    --i;
            }
            auto before = std::find_if(literals.begin(), literals.end(),
                                       [i](const Literal &l) { return l.end == i + 1; });
            if (before == literals.end())
                return false;
            i = before->start - 1;
            continue;
        }
        if (code[i] != '(')
            return false;
        --i;
        while (i >= 0 && code[i].isSpace())
            --i;
        int nameEnd = i + 1;
        while (i >= 0 && (code[i].isLetterOrNumber() || code[i] == '_'))
            --i;
        return kMarkers.contains(code.mid(i + 1, nameEnd - i - 1));
    }
}

// The folders of the program's own sources.
const char *const kProgramFolders[] = {"app", "boxservice", "core", "cli", "agent",
                                       "mainwindow", "views", "dialogs", "widgets"};

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void localeChoosesCatalogues_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("qtLocale");
        QTest::newRow("Simplified Chinese") << QStringList{"zh-CN", "zh", "zh-Hans-CN"} << false << "zh_CN";
        QTest::newRow("Traditional Chinese") << QStringList{"zh-TW", "zh"} << false << "zh_CN";
        QTest::newRow("bare zh") << QStringList{"zh"} << false << "zh_CN";
        QTest::newRow("C locale") << QStringList{"C"} << true << "en_US";
        QTest::newRow("POSIX locale") << QStringList{"POSIX"} << true << "en_US";
        QTest::newRow("nothing known") << QStringList() << true << "en_US";
        QTest::newRow("US English") << QStringList{"en-US", "en"} << true << "en_US";
        QTest::newRow("German") << QStringList{"de-DE", "de"} << true << "de_DE";
        QTest::newRow("French before Chinese") << QStringList{"fr", "zh-CN"} << true << "fr_FR";
        QTest::newRow("Chinese before English") << QStringList{"zh-CN", "en-US"} << false << "zh_CN";
    }

    void localeChoosesCatalogues()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(bool, english);
        QFETCH(QString, qtLocale);
        const TranslationChoice choice = chooseTranslation(uiLanguages);
        QCOMPARE(choice.language == UiLanguage::English, english);
        QCOMPARE(choice.qtLocale.name(), qtLocale);
    }

    // The test environment runs in the C locale and asks for Chinese through
    // LANGUAGE: the program's own texts.
    void testEnvironmentAsksForTheSourceTexts()
    {
        QCOMPARE(chooseTranslation(QLocale::system().uiLanguages()).language, UiLanguage::Chinese);
    }

    void ownTextsFollowTheChoice_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("newButton");
        QTest::addColumn<QString>("closeButton");
        QTest::newRow("Chinese") << int(UiLanguage::Chinese) << "新建" << "关闭";
        QTest::newRow("English") << int(UiLanguage::English) << "New" << "Close";
    }

    void ownTextsFollowTheChoice()
    {
        QFETCH(int, language);
        QFETCH(QString, newButton);
        QFETCH(QString, closeButton);
        InstalledTranslators installed(choiceFor(UiLanguage(language), "en_US"));
        QCOMPARE(QCoreApplication::translate("Vaultrane", "新建"), newButton);
        QCOMPARE(QCoreApplication::translate("TitleBar", "关闭"), closeButton);
    }

    void qtTextsFollowTheLocale_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("qtLocale");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Chinese") << int(UiLanguage::Chinese) << "zh_CN" << "取消";
        QTest::newRow("English") << int(UiLanguage::English) << "en_US" << "Cancel";
        QTest::newRow("German") << int(UiLanguage::English) << "de_DE" << "Abbrechen";
    }

    void qtTextsFollowTheLocale()
    {
        QFETCH(int, language);
        QFETCH(QString, qtLocale);
        QFETCH(QString, cancel);
        if (!hasQtCatalogue(QLocale(qtLocale).name().left(2)) && !hasQtCatalogue(qtLocale))
            QSKIP("Qt's catalogue for this locale is not installed (qttranslations5-l10n)");
        InstalledTranslators installed(choiceFor(UiLanguage(language), qtLocale));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    }

    // Every Chinese text of the program's sources goes through tr() or
    // translate(); resource paths (":/...") are names, not texts.
    void noBareChineseLiterals()
    {
        const QString root = qEnvironmentVariable("VAULTRANE_SOURCE_DIR");
        QStringList bare;
        int files = 0;
        for (const char *folder : kProgramFolders) {
            QDirIterator it(root + "/" + folder, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                ++files;
                const QString source = QString::fromUtf8(file.readAll());
                QList<Literal> literals;
                const QString code = withoutComments(source, &literals);
                for (const Literal &literal : literals) {
                    if (!literal.text.contains(kHanCharacter) || literal.text.startsWith(":/"))
                        continue;
                    if (isMarkedForTranslation(code, literals, literal.start))
                        continue;
                    const int line = source.left(literal.start).count('\n') + 1;
                    bare << QString("%1:%2: \"%3\"").arg(file.fileName().mid(root.size() + 1)).arg(line).arg(literal.text);
                }
            }
        }
        QVERIFY2(files > 50, qPrintable(QString("only %1 source files found under %2").arg(files).arg(root)));
        for (const QString &text : bare)
            qWarning().noquote() << "outside tr():" << text;
        QVERIFY2(bare.isEmpty(), qPrintable(QString("%1 texts outside tr(), listed above").arg(bare.size())));
    }

    // The scanner itself, on the shapes of code the program uses.
    void scannerTellsMarkedFromBare_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("marked");
        QTest::newRow("tr") << "label->setText(tr(\"名称\"));" << true;
        QTest::newRow("tr with blanks") << "tr (  \"名称\" )" << true;
        QTest::newRow("translate") << "QCoreApplication::translate(\"Box\", \"名称\")" << true;
        QTest::newRow("translate over lines") << "translate(\"Box\",\n    \"名称\")" << true;
        QTest::newRow("adjacent pieces") << "tr(\"第一行\"\n   \"第二行\")" << true;
        QTest::newRow("marking macro") << "QT_TRANSLATE_NOOP(\"Box\", \"名称\")" << true;
        QTest::newRow("bare") << "label->setText(\"名称\");" << false;
        QTest::newRow("QString") << "QString(\"名称\").arg(x)" << false;
        QTest::newRow("other function named like tr") << "attr(\"名称\")" << false;
        QTest::newRow("second argument of something else") << "make(\"x\", \"名称\")" << false;
    }

    void scannerTellsMarkedFromBare()
    {
        QFETCH(QString, code);
        QFETCH(bool, marked);
        QList<Literal> literals;
        const QString stripped = withoutComments(code, &literals);
        QVERIFY(!literals.isEmpty());
        QCOMPARE(isMarkedForTranslation(stripped, literals, literals.last().start), marked);
    }

    void scannerSkipsComments()
    {
        QList<Literal> literals;
        withoutComments("// \"名称\"\n/* \"是否\" */ x = 'a'; y = \"\\\"q\\\"\";", &literals);
        QCOMPARE(literals.size(), 1);
        QCOMPARE(literals.first().text, QString("\"q\""));
    }

    // Every entry has an English translation that keeps the placeholders and
    // contains no Chinese.
    void englishCatalogueIsComplete()
    {
        const QList<CatalogueEntry> entries = readCatalogue(catalogueFile());
        QVERIFY2(!entries.isEmpty(), qPrintable("no entries read from " + catalogueFile()));
        for (const CatalogueEntry &entry : entries) {
            const QString where = entry.context + ": " + entry.source;
            QVERIFY2(!entry.unfinished, qPrintable("unfinished: " + where));
            QVERIFY2(!entry.translation.trimmed().isEmpty(), qPrintable("untranslated: " + where));
            QVERIFY2(!entry.translation.contains(kHanCharacter), qPrintable("Chinese in: " + where));
            QCOMPARE(placeholders(entry.translation), placeholders(entry.source));
        }
    }
};

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
