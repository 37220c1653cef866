// Translations: which catalogues a locale gets, and the English catalogue.
#include "Startup.h"

#include <QApplication>
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
        QTest::newRow("C locale") << QStringList{"C"} << true << "en_US";
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

    void qtTextsFollowTheLocale_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("qtLocale");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Chinese") << int(UiLanguage::Chinese) << "zh_CN" << "取消";
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
