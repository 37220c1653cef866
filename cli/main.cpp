#include "BoxCli.h"
#include "Translations.h"

#include <QCoreApplication>

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
    g_previousHandler = qInstallMessageHandler(dropDebugMessages);
    QCoreApplication app(argc, argv);
    loadTranslator(); // the language the window would speak
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return int(BoxCli::run(arguments));
}
