#pragma once

class QCommandLineParser;
class QStringList;

// The program's command-line options. --help and --version answer on
// standard output and end the process before any window exists, so they
// work without a display.
namespace CommandLine {

// Declares the program's options and its description on `parser`.
void describe(QCommandLineParser &parser);

// Answers --help or --version, when asked for, before the application
// object exists, and refuses an option that neither the program nor Qt
// knows, so that neither needs a display; returns true when the process
// should end, with its code in `exitCode`. Anything else on the line is left
// for checkArguments.
bool answerInformationOptions(int argc, char *argv[], int &exitCode);

// Called once the application object has taken Qt's own options (-platform,
// -style, ...): an unknown option or an unexpected argument is reported on
// standard error and gives false; the process then ends with usageErrorCode.
bool checkArguments(const QStringList &arguments);

constexpr int usageErrorCode = 1;

} // namespace CommandLine
