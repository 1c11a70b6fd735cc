#include "batchrun.h"

#include "application.h"
#include "controls.h"
#include "messagecapture.h"
#include "screencriteria.h"
#include "tform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <optional>

namespace {

// Exits are raised by focus changes, which the platform reports only in the active window.
bool activate(QWidget *form)
{
    QWidget *window = form->window();
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QElapsedTimer timer;
    timer.start();
    while (!window->isActiveWindow() && timer.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    return window->isActiveWindow();
}

// The layout of a position or a name; raises ECriteriaError for a name the list lacks.
int layoutIndex(BatchScreen *screen, const QString &layout)
{
    bool numeric = false;
    const int index = layout.toInt(&numeric);
    if (numeric)
        return index;
    TComboBox *list = screen->layoutList();
    const int found = list->findText(layout, Qt::MatchFixedString);
    if (found >= 0)
        return found;
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << QStringLiteral("%1 = %2").arg(i).arg(list->itemText(i));
    throw ECriteriaError(
        0, QStringLiteral("O relatório %1 não tem o leiaute \"%2\". Leiautes: %3.")
               .arg(screen->reportCode(), shownValue(layout), names.join(QStringLiteral("; "))));
}

} // namespace

QString BatchRun::Result::summary() const
{
    return QStringLiteral("%1: %2 %3")
        .arg(QDir::toNativeSeparators(output.path))
        .arg(output.lines)
        .arg(output.lines == 1 ? QStringLiteral("linha") : QStringLiteral("linhas"));
}

QStringList BatchRun::outputSuffixes()
{
    return {QStringLiteral("pdf"), QStringLiteral("csv"), QStringLiteral("png")};
}

BatchRun::Result BatchRun::run(const Request &request, const MessageCapture &capture)
{
    Result result;
    std::optional<ScreenCriteria> criteria;
    auto finish = [&](Outcome outcome, const QString &text = {}) {
        // Warnings and information shown on the way do not stop the run, but are told.
        for (const MessageCapture::Message &m : capture.messages())
            if (!m.isError())
                result.messages << m.text;
        if (!text.isEmpty())
            result.messages << text;
        result.outcome = outcome;
        return result;
    };
    // The explanation of an action that stopped: the first message shown.
    auto stopped = [&]() {
        const MessageCapture::Message *error = capture.firstError();
        if (!error)
            return finish(Outcome::Failed, QStringLiteral("A operação foi interrompida sem "
                                                          "mensagem."));
        Result r = finish(error->kind == MessageCapture::Kind::Failure ? Outcome::Failed
                                                                       : Outcome::Refused,
                          error->text);
        if (criteria && criteria->failedLine() > 0)
            r.messages
                << QStringLiteral("(linha %1 do arquivo de critérios)").arg(criteria->failedLine());
        return r;
    };

    try {
        // A message while the screen was created (its report definitions) ends the run.
        if (const MessageCapture::Message *error = capture.firstError())
            return finish(Outcome::Failed, error->text);
        BatchScreen *screen = BatchScreen::ofReport(request.reportCode);
        if (!screen)
            return finish(
                Outcome::Failed,
                QStringLiteral("Nenhuma tela aberta do relatório %1.").arg(request.reportCode));
        if (!activate(screen->batchForm()))
            return finish(Outcome::Failed,
                          QStringLiteral("A janela da tela %1 não pôde ser ativada.")
                              .arg(screen->screenCode()));
        criteria.emplace(screen);
        criteria->selectLayout(layoutIndex(screen, request.layout));
        criteria->enter(request.criteria);

        result.output = screen->runInto(request.outPath);
        if (capture.firstError())
            return stopped();
        if (result.output.path.isEmpty())
            return finish(Outcome::Failed, QStringLiteral("O relatório não foi gravado."));
        return finish(Outcome::Success);
    } catch (const EAbort &) {
        return stopped();
    } catch (const ECriteriaError &e) {
        return finish(Outcome::BadInput, e.message());
    } catch (const EAppError &e) {
        return finish(Outcome::Failed, e.message());
    } catch (const std::exception &e) {
        return finish(Outcome::Failed, QString::fromLocal8Bit(e.what()));
    }
}
