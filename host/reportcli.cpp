#include "reportcli.h"

#include "application.h"
#include "batchrun.h"
#include "errors.h"
#include "messagecapture.h"
#include "moduleloader.h"
#include "tform.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace ReportCli {

namespace {

const QString kReportOption = QStringLiteral("report");
const QString kLayoutOption = QStringLiteral("layout");
const QString kCriteriaOption = QStringLiteral("criteria");
const QString kOutOption = QStringLiteral("out");

int usage(const QString &text)
{
    printLine(stderr, text);
    return UsageError;
}

int statusOf(BatchRun::Outcome outcome)
{
    switch (outcome) {
    case BatchRun::Outcome::Success:
        return Success;
    case BatchRun::Outcome::BadInput:
        return UsageError;
    case BatchRun::Outcome::Refused:
        return Refused;
    case BatchRun::Outcome::Failed:
        break;
    }
    return Failed;
}

QString suffixList()
{
    QStringList suffixes;
    for (const QString &suffix : BatchRun::outputSuffixes())
        suffixes << QLatin1Char('.') + suffix;
    const QString last = suffixes.takeLast();
    return suffixes.join(QStringLiteral(", ")) + QStringLiteral(" ou ") + last;
}

} // namespace

void printLine(FILE *stream, const QString &text)
{
    // Written whole: a NUL inside the text does not cut it.
    const QByteArray bytes = text.toUtf8() + '\n';
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    fflush(stream);
}

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {kReportOption,
         QCoreApplication::translate(
             "ReportCli",
             "Gera o relatório do código sem abrir a janela (com --criteria e --out)."),
         QStringLiteral("CODE")},
        {kLayoutOption,
         QCoreApplication::translate(
             "ReportCli", "Leiaute do relatório, pela posição na lista (0 = o primeiro) ou pelo "
                          "nome."),
         QStringLiteral("N"), QStringLiteral("0")},
        {kCriteriaOption,
         QCoreApplication::translate("ReportCli", "Arquivo de critérios (nome=valor por linha)."),
         QStringLiteral("FILE")},
        {kOutOption, QStringLiteral("Arquivo a gravar: %1.").arg(suffixList()),
         QStringLiteral("PATH")},
    });
}

int run(const QCommandLineParser &parser, const QStringList &moduleDirs,
        const QString &databaseError)
{
    MessageCapture capture;

    BatchRun::Request request;
    request.reportCode = parser.value(kReportOption).trimmed().toUpper();
    static const QRegularExpression codePattern(QStringLiteral("^[A-Z0-9_]{1,32}$"));
    if (!codePattern.match(request.reportCode).hasMatch())
        return usage(QCoreApplication::translate(
                         "ReportCli", "Código de relatório inválido em --report: \"%1\".")
                         .arg(shownValue(parser.value(kReportOption))));
    if (!parser.isSet(kCriteriaOption) || parser.value(kCriteriaOption).isEmpty())
        return usage(QCoreApplication::translate("ReportCli",
                                                 "Informe o arquivo de critérios em --criteria."));
    if (!parser.isSet(kOutOption) || parser.value(kOutOption).isEmpty())
        return usage(QStringLiteral("Informe o arquivo a gravar em --out (%1).").arg(suffixList()));
    const QFileInfo out(parser.value(kOutOption));
    if (!BatchRun::outputSuffixes().contains(out.suffix().toLower()))
        return usage(QStringLiteral("O arquivo de --out deve terminar em %1: \"%2\".")
                         .arg(suffixList(), shownValue(parser.value(kOutOption))));
    request.outPath = out.absoluteFilePath();
    request.layout = parser.value(kLayoutOption).trimmed();
    try {
        request.criteria = CriteriaFile::load(parser.value(kCriteriaOption));
    } catch (const ECriteriaError &e) {
        return usage(e.message());
    }

    if (!databaseError.isEmpty()) {
        printLine(stderr, databaseError);
        return Failed;
    }

    int status = Failed;
    {
        // The screen module of the report: the one whose manifest names the code.
        ModuleLoader loader(moduleDirs);
        const ModuleManifest *module = loader.catalog().moduleOfReport(request.reportCode);
        if (!module) {
            QStringList dirs;
            for (const QString &dir : moduleDirs)
                dirs << QDir::toNativeSeparators(dir);
            return usage(QCoreApplication::translate(
                             "ReportCli", "Relatório desconhecido: %1. Nenhum módulo em %2 o "
                                          "declara.")
                             .arg(request.reportCode, dirs.join(QStringLiteral(", "))));
        }
        try {
            loader.open(module->code);
            const BatchRun::Result result = BatchRun::run(request, capture);
            for (const QString &line : result.messages)
                printLine(stderr, line);
            if (result.outcome == BatchRun::Outcome::Success)
                printLine(stdout, result.summary());
            status = statusOf(result.outcome);
        } catch (const EAppError &e) {
            printLine(stderr, e.message());
            status = Failed;
        } catch (const EAbort &) {
            const MessageCapture::Message *error = capture.firstError();
            printLine(stderr, error
                                  ? error->text
                                  : QCoreApplication::translate(
                                        "ReportCli", "A operação foi interrompida sem mensagem."));
            status = Failed;
        }
        // Screens go before the modules that made them are unloaded. Their windows are hidden
        // first, so no focus change reaches a screen while it is being destroyed.
        if (TApplication *app = TApplication::instance()) {
            for (TForm *form : app->forms())
                form->window()->hide();
            app->destroyForms();
        }
        loader.unloadAll();
    }
    return status;
}

} // namespace ReportCli
