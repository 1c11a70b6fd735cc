#pragma once

#include <QString>
#include <QStringList>

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

// True when the command line asks for a report run; read before the application object
// exists, so the run can choose the offscreen platform.
bool requested(int argc, char **argv);
void addOptions(QCommandLineParser &parser);

// The run itself, once the application object and the data module exist. Messages go to
// standard error, the path written and its line count to standard output.
int run(const QCommandLineParser &parser, const QStringList &moduleDirs,
        const QString &databaseError);

} // namespace ReportCli
