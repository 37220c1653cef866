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
    if (!help && !helpAll && !version)
        return false;

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
    std::fprintf(stderr, "%s\n%s\n", qPrintable(problem),
                 qPrintable(QCoreApplication::translate("CommandLine", "用 --help 查看可用的选项。")));
    return false;
}

} // namespace CommandLine
