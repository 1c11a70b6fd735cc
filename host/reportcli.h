#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

class QCommandLineParser;

// Runs a report without a window: kmbhost --report CODE [--layout N] --criteria FILE
// --out PATH.pdf|.csv [--config FILE]. The report's screen module is loaded as the menu loads
// it, the criteria of the file are entered into the screen as a user would enter them, and the
// screen's own save-as writes the file, so the checks and the parameters are the screen's.
namespace ReportCli {

enum Status {
    Success = 0,
    UsageError = 2, // command line or criteria file
    Refused = 3,    // the screen refused a criterion (its own message)
    Failed = 4,     // database, module, report definition or output file
};

void addOptions(QCommandLineParser &parser);

// One line of text on a stream, whole (a NUL inside does not cut it) and at once.
void printLine(FILE *stream, const QString &text);

// The run itself, once the application object and the data module exist. Messages go to
// standard error, the path written and its line count to standard output.
int run(const QCommandLineParser &parser, const QStringList &moduleDirs,
        const QString &databaseError);

} // namespace ReportCli
