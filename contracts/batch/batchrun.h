#pragma once

#include "batch_global.h"
#include "batchscreen.h"
#include "criteriafile.h"

#include <QString>
#include <QStringList>

class MessageCapture;

// One report run without a window, on the report's screen once its module has opened it: the
// screen's window is activated, the layout selected, the criteria entered as a user would, and
// the screen's own action writes the output.
class BATCH_EXPORT BatchRun
{
public:
    struct Request
    {
        QString reportCode;
        QString layout; // a position in the layout list, or a layout's name
        CriteriaFile criteria;
        QString outPath;
    };

    enum class Outcome {
        Success,
        BadInput, // the criteria file or the layout does not fit the screen
        Refused,  // the screen refused a criterion (its own message)
        Failed,   // database, report definition, output file, the screen itself
    };

    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QStringList messages; // for standard error, in order
        BatchScreen::Output output;
        // "PATH: N linhas", what a successful run tells.
        QString summary() const;
    };

    // The suffixes of the files a run writes: a picture of the preview (.png) or the save-as.
    static QStringList outputSuffixes();

    // Runs the request; the capture is the presenter in use since the module was opened.
    static Result run(const Request &request, const MessageCapture &capture);
};
