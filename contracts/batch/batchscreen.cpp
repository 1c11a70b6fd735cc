#include "batchscreen.h"

#include "application.h"
#include "tform.h"

BatchScreen *BatchScreen::ofReport(const QString &reportCode)
{
    TApplication *app = TApplication::instance();
    if (!app)
        return nullptr;
    for (TForm *form : app->forms())
        if (auto *screen = dynamic_cast<BatchScreen *>(form))
            if (screen->reportCode() == reportCode)
                return screen;
    return nullptr;
}
