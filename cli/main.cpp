#include "BoxCli.h"
#include "BoxRootSetting.h"
#include "CoreDumps.h"
#include "NameEncoding.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QLocale>

#include <clocale>
#include <memory>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Failures reach the user as the one line the command prints; the debug
// lines of the box operations stay out of standard error.
void dropDebugMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    CoreDumps::disable(); // before any password is read
    g_previousHandler = qInstallMessageHandler(dropDebugMessages);
    std::setlocale(LC_ALL, "");
    BoxRootSetting::apply(); // the box root chosen in the window, if any

    // The language the window would speak. The source texts are Chinese;
    // only another language needs a catalogue, and only a catalogue needs
    // the application object (which costs a noticeable part of a short
    // command's run, such as list).
    const TranslationChoice choice = chooseTranslation(QLocale::system().uiLanguages());
    std::unique_ptr<QCoreApplication> app;
    if (choice.language != UiLanguage::Chinese) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        installTranslators(choice, CatalogueSet::ProgramOnly);
    }

    // Box names reach the box service as UTF-8, whatever the locale, and
    // bytes that are not UTF-8 are refused rather than replaced.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        QString text;
        if (!NameEncoding::decode(bytes, text))
            return int(BoxCli::refuseArgument(bytes));
        arguments << text;
    }
    return int(BoxCli::run(arguments));
}
