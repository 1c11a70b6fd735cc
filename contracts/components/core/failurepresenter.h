#pragma once

#include "components_global.h"
#include "errors.h"

// A presenter that tells failures apart from refusals. reportException (a failure reported at
// the event boundary: the database, a file, a report definition) calls showFailure on a
// presenter of this kind; any other presenter shows the failure as an error.
class COMPONENTS_EXPORT FailurePresenter : public MessagePresenter
{
public:
    ~FailurePresenter() override;
    virtual void showFailure(const QString &text) = 0;
};
