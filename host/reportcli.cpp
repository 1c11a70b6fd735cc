#include "reportcli.h"

#include "Dadosgerrel.h"
#include "application.h"
#include "criteriafile.h"
#include "errors.h"
#include "moduleloader.h"
#include "reportdesigner.h"
#include "reportpreview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <cstring>
#include <optional>

namespace ReportCli {

namespace {

const QString kReportOption = QStringLiteral("report");
const QString kLayoutOption = QStringLiteral("layout");
const QString kCriteriaOption = QStringLiteral("criteria");
const QString kOutOption = QStringLiteral("out");

void printLine(FILE *stream, const QString &text)
{
    fprintf(stream, "%s\n", text.toUtf8().constData());
    fflush(stream);
}

// Records the messages of the run instead of showing boxes. An error shown while an exception
// other than the silent abort is being handled is the report of a failure (the database, a
// file, a report definition); any other error is a refusal of the screen.
class CliPresenter final : public MessagePresenter
{
public:
    struct Entry
    {
        QString text;
        bool failure = false;
    };

    CliPresenter() { setMessagePresenter(this); }
    ~CliPresenter() override { setMessagePresenter(nullptr); }
    CliPresenter(const CliPresenter &) = delete;
    CliPresenter &operator=(const CliPresenter &) = delete;

    void show(Kind kind, const QString &text) override
    {
        if (kind != Kind::Error) {
            printLine(stderr, text); // warnings and information do not stop the run
            return;
        }
        bool failure = false;
        if (const std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const EAbort &) {
            } catch (...) {
                failure = true;
            }
        }
        errors << Entry{text, failure};
    }

    const Entry *firstError() const { return errors.isEmpty() ? nullptr : &errors.first(); }

    QList<Entry> errors;
};

TfrmDadosGerRel *screenOf(const QString &reportCode)
{
    TApplication *app = TApplication::instance();
    if (!app)
        return nullptr;
    for (TForm *form : app->forms())
        if (auto *screen = qobject_cast<TfrmDadosGerRel *>(form))
            if (screen->lblCodRel && screen->lblCodRel->text() == reportCode)
                return screen;
    return nullptr;
}

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

struct Request
{
    QString reportCode;
    QString layout; // a position in the layout list, or a layout's name
    QString outPath;
    CriteriaFile criteria;
};

int usage(const QString &text)
{
    printLine(stderr, text);
    return UsageError;
}

int runScreen(const Request &request, const QString &moduleCode, ModuleLoader &loader,
              CliPresenter &presenter)
{
    std::optional<ScreenCriteria> criteria;
    auto refusal = [&]() {
        const CliPresenter::Entry *entry = presenter.firstError();
        if (!entry) {
            printLine(stderr, QCoreApplication::translate(
                                  "ReportCli", "A operação foi interrompida sem mensagem."));
            return int(Failed);
        }
        printLine(stderr, entry->text);
        if (criteria && criteria->failedLine() > 0)
            printLine(stderr,
                      QCoreApplication::translate("ReportCli", "(linha %1 do arquivo de critérios)")
                          .arg(criteria->failedLine()));
        return int(entry->failure ? Failed : Refused);
    };
    try {
        loader.open(moduleCode);
        // A message while the screen was created (its report definitions) ends the run.
        if (const CliPresenter::Entry *entry = presenter.firstError()) {
            printLine(stderr, entry->text);
            return Failed;
        }
        TfrmDadosGerRel *form = screenOf(request.reportCode);
        if (!form) {
            printLine(stderr, QCoreApplication::translate(
                                  "ReportCli", "O módulo %1 não abriu a tela do relatório %2.")
                                  .arg(moduleCode, request.reportCode));
            return Failed;
        }
        if (!activate(form)) {
            printLine(stderr, QCoreApplication::translate(
                                  "ReportCli", "A janela da tela %1 não pôde ser ativada.")
                                  .arg(form->lblCodTela->text()));
            return Failed;
        }
        criteria.emplace(form);
        bool numeric = false;
        int layout = request.layout.toInt(&numeric);
        if (!numeric) {
            layout = form->cbbReportNames->findText(request.layout, Qt::MatchFixedString);
            if (layout < 0) {
                QStringList names;
                for (int i = 0; i < form->cbbReportNames->count(); ++i)
                    names << QStringLiteral("%1 = %2").arg(i).arg(
                        form->cbbReportNames->itemText(i));
                return usage(
                    QCoreApplication::translate(
                        "ReportCli", "O relatório %1 não tem o leiaute \"%2\". Leiautes: %3.")
                        .arg(request.reportCode, request.layout, names.join(QStringLiteral("; "))));
            }
        }
        criteria->selectLayout(layout);
        criteria->enter(request.criteria);

        if (request.outPath.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
            // A picture of the preview as the user would see it: the screen's own preview
            // action, then its window once the first page is painted.
            if (!form->sbtPreview || !form->sbtPreview->OnClick)
                throw EAppError(QCoreApplication::translate(
                    "ReportCli", "A tela não tem a ação de visualizar."));
            form->sbtPreview->OnClick(form->sbtPreview);
            if (presenter.firstError())
                return refusal();
            QWidget *preview = form->rpddPadrao->lastPreview();
            if (!preview)
                throw EAppError(
                    QCoreApplication::translate("ReportCli", "A visualização não foi aberta."));
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 1500)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (!preview->grab().save(request.outPath))
                throw EAppError(QCoreApplication::translate(
                                    "ReportCli", "Não foi possível gravar o arquivo \"%1\".")
                                    .arg(QDir::toNativeSeparators(request.outPath)));
            printLine(stdout, QDir::toNativeSeparators(request.outPath));
            return Success;
        }

        // The screen's own save-as: its checks, then the base action writing to the path.
        if (!form->sbtSalvarComo || !form->sbtSalvarComo->OnClick)
            throw EAppError(
                QCoreApplication::translate("ReportCli", "A tela não tem a ação de salvar como."));
        form->setSaveAsPath(request.outPath);
        form->sbtSalvarComo->OnClick(form->sbtSalvarComo);
        if (presenter.firstError())
            return refusal();
        const QString written = form->lastSavedPath();
        if (written.isEmpty()) {
            printLine(stderr,
                      QCoreApplication::translate("ReportCli", "O relatório não foi gravado."));
            return Failed;
        }
        const qint64 lines = form->rpddPadrao->lastLineCount();
        printLine(stdout,
                  QStringLiteral("%1: %2 %3")
                      .arg(QDir::toNativeSeparators(written))
                      .arg(lines)
                      .arg(lines == 1 ? QStringLiteral("linha") : QStringLiteral("linhas")));
        return Success;
    } catch (const EAbort &) {
        return refusal();
    } catch (const ECriteriaError &e) {
        printLine(stderr, e.message());
        return UsageError;
    } catch (const EAppError &e) {
        printLine(stderr, e.message());
        return Failed;
    } catch (const std::exception &e) {
        printLine(stderr, QString::fromLocal8Bit(e.what()));
        return Failed;
    }
}

} // namespace

bool requested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--report") == 0 || std::strncmp(argv[i], "--report=", 9) == 0)
            return true;
    }
    return false;
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
        {kOutOption, QCoreApplication::translate("ReportCli", "Arquivo a gravar: .pdf ou .csv."),
         QStringLiteral("PATH")},
    });
}

int run(const QCommandLineParser &parser, const QStringList &moduleDirs,
        const QString &databaseError)
{
    CliPresenter presenter;

    Request request;
    request.reportCode = parser.value(kReportOption).trimmed().toUpper();
    static const QRegularExpression codePattern(QStringLiteral("^[A-Z0-9_]+$"));
    if (!codePattern.match(request.reportCode).hasMatch())
        return usage(QCoreApplication::translate(
                         "ReportCli", "Código de relatório inválido em --report: \"%1\".")
                         .arg(parser.value(kReportOption)));
    if (!parser.isSet(kCriteriaOption) || parser.value(kCriteriaOption).isEmpty())
        return usage(QCoreApplication::translate("ReportCli",
                                                 "Informe o arquivo de critérios em --criteria."));
    if (!parser.isSet(kOutOption) || parser.value(kOutOption).isEmpty())
        return usage(QCoreApplication::translate(
            "ReportCli", "Informe o arquivo a gravar em --out (.pdf ou .csv)."));
    const QFileInfo out(parser.value(kOutOption));
    const QString suffix = out.suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("csv") &&
        suffix != QLatin1String("png"))
        return usage(
            QCoreApplication::translate(
                "ReportCli", "O arquivo de --out deve terminar em .pdf, .csv ou .png: \"%1\".")
                .arg(parser.value(kOutOption)));
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
        const QString moduleCode = module->code;
        status = runScreen(request, moduleCode, loader, presenter);
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
