#include "CommandLine.h"

#include "BuildConfig.h"
#include "Startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace CommandLine {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine",
                                    "管理当前用户的文件保护箱：可加密、挂载、共享的私有文件夹。") +
        "\n\n" +
        QCoreApplication::translate("CommandLine",
                                    "环境变量 BOX_SERVICE_ROOT 指定保护箱根目录（默认 /box）。"));
    parser.addHelpOption();
    parser.addVersionOption();
}

namespace {

// Qt's own options (QGuiApplication and QApplication) that take a value in
// the next argument or after "=", and those that stand alone.
const QStringList kQtValueOptions{"platform", "platformpluginpath", "platformtheme", "plugin",
                                  "qwindowgeometry", "geometry", "qwindowicon", "icon",
                                  "qwindowtitle", "title", "display", "name", "session",
                                  "style", "stylesheet", "qmljsdebugger", "visual"};
const QStringList kQtFlagOptions{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
const QStringList kOwnOptions{"h", "help", "help-all", "v", "version"};

// What is wrong with the line before the application object exists, judged
// without a display: an option that neither this program nor Qt knows, or
// an argument nobody takes. Empty when the line looks right.
QString problemWithoutDisplay(const QStringList &arguments)
{
    QStringList stray;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith('-') || arg == QLatin1String("-")) {
            stray << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const int equals = name.indexOf('=');
        const bool hasValue = equals >= 0;
        if (hasValue)
            name.truncate(equals);
        if (kOwnOptions.contains(name) || kQtFlagOptions.contains(name))
            continue;
        if (kQtValueOptions.contains(name)) {
            if (!hasValue)
                ++i; // its value
            continue;
        }
        return QCoreApplication::translate("CommandLine", "未知的选项：%1").arg(arg);
    }
    if (!stray.isEmpty())
        return QCoreApplication::translate("CommandLine", "多余的参数：%1").arg(stray.join(' '));
    return QString();
}

void reportProblem(const QString &problem)
{
    std::fprintf(stderr, "%s\n%s\n", qPrintable(problem),
                 qPrintable(QCoreApplication::translate("CommandLine", "用 --help 查看可用的选项。")));
}

} // namespace

bool answerInformationOptions(int argc, char *argv[], int &exitCode)
{
    if (argc < 1)
        return false;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    describe(parser);
    // Unknown options are not an error yet: Qt's own are taken by the
    // application object later.
    parser.parse(arguments);
    const bool help = parser.isSet("help");
    const bool helpAll = parser.isSet("help-all");
    const bool version = parser.isSet("version");
    if (!help && !helpAll && !version) {
        if (problemWithoutDisplay(arguments).isEmpty())
            return false;
        // Refused here, where no display is needed, rather than by a
        // platform plugin that cannot start.
        QCoreApplication app(argc, argv);
        loadTranslator();
        reportProblem(problemWithoutDisplay(arguments));
        exitCode = usageErrorCode;
        return true;
    }

    QCoreApplication app(argc, argv); // the help text names the executable
    loadTranslator();
    QCommandLineParser answering; // described again, now in the user's language
    describe(answering);
    if (helpAll)
        answering.process(QStringList{arguments.first(), "--help-all"}); // prints and exits with 0
    if (help)
        std::fputs(qPrintable(answering.helpText()), stdout);
    else
        std::printf("vaultrane %s\n", VAULTRANE_VERSION);
    std::fflush(stdout);
    exitCode = 0;
    return true;
}

bool checkArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    QString problem;
    if (!parser.parse(arguments))
        problem = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        problem = QCoreApplication::translate("CommandLine", "多余的参数：%1")
                      .arg(parser.positionalArguments().join(' '));
    if (problem.isEmpty())
        return true;
    reportProblem(problem);
    return false;
}

} // namespace CommandLine
