#pragma once

#include "batch_global.h"

#include <QString>

#include <optional>

class TButtonFlat;
class TComboBox;
class TForm;

// What a batch run needs of a report screen; the base report screen provides it, so the batch
// layer never names a screen class.
class BATCH_EXPORT BatchScreen
{
public:
    // What a run into a path wrote.
    struct Output
    {
        QString path;      // empty when nothing was written
        qint64 lines = -1; // the report's lines
    };

    virtual TForm *batchForm() = 0;
    virtual QString reportCode() const = 0;
    virtual QString screenCode() const = 0;
    // The report layouts, the first being the standard one.
    virtual TComboBox *layoutList() const = 0;
    // The pick-list string a list button hands to its pick list, without opening it; nullopt
    // for a button that has no list.
    virtual std::optional<QString> pickedList(const TButtonFlat *listButton) const = 0;
    // Runs the screen's own action (its checks first) into the path without asking: a picture
    // of the preview for a .png, the save-as for any other file. A refusal or a failure is
    // shown as a message, or leaves EAbort or EAppError; nothing written gives an empty path.
    virtual Output runInto(const QString &path) = 0;

    // The open screen of a report code, or null.
    static BatchScreen *ofReport(const QString &reportCode);

protected:
    ~BatchScreen() = default;
};
