#include "reportdesigner.h"

#include "pesquisalista.h"
#include "ptbr.h"
#include "reportdefinition.h"
#include "reportoutput.h"
#include "reportpreview.h"
#include "reportprogress.h"
#include "reportquery.h"
#include "reportrender.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QSqlError>

#include <cerrno>
#include <cstring>

EReportNotFound::EReportNotFound(const QString &code, const QString &directory)
    : EAppError(QStringLiteral("O arquivo contendo a definição do relatório de código '%1' não "
                               "foi encontrado no diretório '%2'.")
                    .arg(code, QDir::toNativeSeparators(directory)))
    , code(code)
    , directory(directory)
{}

struct TReportDesignerDialog::Private
{
    QList<ReportDefinition> definitions;
    QString code;
    QString directory;
    QString connectionName;
    qint64 lastLines = 0;
    int lastPages = 0;
    bool running = false;
    bool cancelRequested = false;
    QPointer<ReportPreviewDialog> lastPreview;
    QList<QPointer<ReportPreviewDialog>> previews;
    QString lastSaveDirectory;
};

struct TReportDesignerDialog::Run
{
    const ReportDefinition *definition = nullptr;
    QSqlDatabase db;
    std::unique_ptr<TParams> params;
    ReportHeaderInfo header;
};

// Marks an action as running for its whole length; refuses a second one meanwhile. The end is
// only recorded while the runner still exists (the screen may close under a run).
class TReportDesignerDialog::RunScope
{
public:
    explicit RunScope(TReportDesignerDialog *runner)
        : m_runner(runner)
    {
        if (runner->d->running)
            throw EAppError(QStringLiteral("Aguarde o fim do relatório em andamento."));
        runner->d->running = true;
        runner->d->cancelRequested = false;
    }
    ~RunScope()
    {
        if (m_runner) {
            m_runner->d->running = false;
            m_runner->d->cancelRequested = false;
            emit m_runner->runFinished();
        }
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    QPointer<TReportDesignerDialog> m_runner;
};

namespace {

QString number(qint64 n)
{
    return brazilianLocale().toString(qlonglong(n));
}

bool isDateParam(const TParam *param)
{
    const int type = param->AsVariant().typeId();
    return param->DataType() == TFieldType::ftDateTime || type == QMetaType::QDate ||
           type == QMetaType::QDateTime;
}

// A parameter as the criteria line shows it; the empty text for an open end.
QString paramText(const TParam *param)
{
    if (!param)
        return {};
    if (isDateParam(param)) {
        QDate date;
        if (param->DataType() == TFieldType::ftDateTime)
            date = dateTimeToDate(param->AsDateTime());
        else
            date = param->AsVariant().toDate();
        if (!date.isValid() || date == QDate(1899, 12, 30))
            return {};
        return date.toString(QStringLiteral("dd/MM/yyyy"));
    }
    return param->AsVariant().toString().trimmed();
}

QString criterionText(const ReportCriterion &c, const TParams *params, const QSqlDatabase &db,
                      const QString &reportName)
{
    const auto param = [params](const QString &name) {
        return params->FindParam(name);
    };
    switch (c.kind) {
    case ReportCriterion::Value: {
        const QString value = paramText(param(c.param));
        if (value.isEmpty())
            return QStringLiteral("não informado");
        if (c.lookup.isEmpty())
            return value;
        ReportQuery lookup(db, c.lookup, params, reportName);
        lookup.open();
        QString description;
        if (lookup.query().next())
            description = reportDisplayValue(lookup.query().value(0), ReportFormat());
        lookup.close();
        return description.isEmpty() ? value : value + QStringLiteral(" - ") + description;
    }
    case ReportCriterion::Range: {
        const TParam *all = param(c.all);
        if (all && all->AsVariant().toString() == QLatin1String("T"))
            return QStringLiteral("Todos");
        const QString from = paramText(param(c.from));
        const QString to = paramText(param(c.to));
        if (from.isEmpty() && to.isEmpty())
            return QStringLiteral("Todos");
        if (to.isEmpty())
            return QStringLiteral("a partir de %1").arg(from);
        if (from.isEmpty())
            return QStringLiteral("até %1").arg(to);
        return QStringLiteral("%1 a %2").arg(from, to);
    }
    case ReportCriterion::List: {
        const TParam *all = param(c.all);
        if (all && all->AsVariant().toString() == QLatin1String("T"))
            return QStringLiteral("Todos");
        const TParam *list = param(c.list);
        const QString picked = list ? list->AsVariant().toString() : QString();
        const qsizetype n = pickListKeys(picked).size();
        if (n == 0)
            return QStringLiteral("nenhum selecionado");
        // The rows by name when the pick list of this run named them: five, then "e mais N".
        if (pickListNames(picked).size() == n)
            return pickSummaryText(picked, 5, QStringLiteral(", "));
        if (n == 1)
            return QStringLiteral("1 selecionado");
        return QStringLiteral("%1 selecionados").arg(number(n));
    }
    }
    return {};
}

// A file name from a report's name: letters, digits and '_' only.
QString fileNameOf(const QString &code, const QString &name)
{
    QString base = name.normalized(QString::NormalizationForm_D);
    QString out;
    for (QChar c : base) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        out += c.isLetterOrNumber() ? c : QLatin1Char('_');
    }
    while (out.contains(QLatin1String("__")))
        out.replace(QLatin1String("__"), QLatin1String("_"));
    return code + QLatin1Char('_') + out;
}

[[noreturn]] void failWrite(const QString &path, const QString &detail)
{
    throw EAppError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2.")
                        .arg(QDir::toNativeSeparators(path), detail));
}

// Gives up a save that failed, removing its temporary file, and says why. QSaveFile names the
// system's reason (a full disk, a size limit) only when it refuses to commit a file with a
// write error; a write that fell short leaves no error at all, only errno, read first here.
QString abandonSave(QSaveFile &file)
{
    const int lastError = errno;
    if (file.error() != QFileDevice::NoError && !file.commit())
        return file.errorString();
    file.cancelWriting();
    if (lastError == ENOSPC || lastError == EFBIG || lastError == EDQUOT || lastError == EIO)
        return QString::fromLocal8Bit(std::strerror(lastError));
    return QStringLiteral("erro ao gravar o arquivo");
}

} // namespace

TReportDesignerDialog::TReportDesignerDialog(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{}

TReportDesignerDialog::~TReportDesignerDialog()
{
    // Previews parented elsewhere must not read on after their runner is gone.
    for (const QPointer<ReportPreviewDialog> &preview : std::as_const(d->previews))
        if (preview)
            preview->stopReading();
}

TEventSource::BindResult TReportDesignerDialog::bindEvent(const QString &event,
                                                          const std::any &handler)
{
    if (event == QLatin1String("BeforeGetQueryParams"))
        return assign(BeforeGetQueryParams, handler);
    return BindResult::NoSuchEvent;
}

QStringList TReportDesignerDialog::loadDefinitions(const QString &reportCode,
                                                   const QString &directory)
{
    d->definitions.clear();
    d->code = reportCode;
    d->directory = directory;
    d->definitions = loadReportDefinitions(reportCode, directory);
    return reportNames();
}

QStringList TReportDesignerDialog::reportNames() const
{
    QStringList names;
    for (const ReportDefinition &def : std::as_const(d->definitions))
        names.append(def.name);
    return names;
}

int TReportDesignerDialog::count() const
{
    return int(d->definitions.size());
}

const ReportDefinition &TReportDesignerDialog::definition(int index) const
{
    if (index < 0 || index >= d->definitions.size())
        throw EAppError(QStringLiteral("O relatório %1 não tem a definição de número %2.")
                            .arg(d->code)
                            .arg(index + 1));
    return d->definitions.at(index);
}

QString TReportDesignerDialog::reportCode() const
{
    return d->code;
}

QString TReportDesignerDialog::directory() const
{
    return d->directory;
}

void TReportDesignerDialog::setConnectionName(const QString &connectionName)
{
    d->connectionName = connectionName;
}

qint64 TReportDesignerDialog::lastLineCount() const
{
    return d->lastLines;
}

int TReportDesignerDialog::lastPageCount() const
{
    return d->lastPages;
}

ReportPreviewDialog *TReportDesignerDialog::lastPreview() const
{
    return d->lastPreview.data();
}

bool TReportDesignerDialog::isRunning() const
{
    if (d->running)
        return true;
    for (const QPointer<ReportPreviewDialog> &preview : std::as_const(d->previews))
        if (preview && preview->isReading())
            return true;
    return false;
}

void TReportDesignerDialog::cancel()
{
    if (d->running)
        d->cancelRequested = true;
    for (const QPointer<ReportPreviewDialog> &preview : std::as_const(d->previews))
        if (preview)
            preview->stopReading();
}

bool TReportDesignerDialog::prepareRun(int index, Run &run)
{
    run.definition = &definition(index);
    const ReportDefinition &def = *run.definition;
    if (!d->connectionName.isEmpty()) {
        run.db = QSqlDatabase::database(d->connectionName);
    } else {
        TdtmDBGeral *dtm = dtmDBGeral();
        if (!dtm)
            throw EAppError(QStringLiteral("Não há conexão com o banco de dados."));
        run.db = dtm->database();
    }
    if (!run.db.isOpen())
        throw EDatabaseError(QStringLiteral("A conexão com o banco de dados não está aberta: %1")
                                 .arg(run.db.lastError().text()));
    sqlDialect(run.db); // refuses an unsupported database before anything runs

    run.params = std::make_unique<TParams>();
    for (const QString &name : def.parameters)
        run.params->Add(name);
    bool go = true;
    if (BeforeGetQueryParams)
        BeforeGetQueryParams(run.params.get(), go);
    if (!go)
        return false;
    for (int i = 0; i < run.params->Count(); ++i) {
        const TParam *param = run.params->at(i);
        if (!param->isAssigned())
            throw EAppError(QStringLiteral("O parâmetro %1 do relatório \"%2\" não recebeu valor; "
                                           "o relatório não foi gerado.")
                                .arg(param->Name(), def.name));
    }
    // Just before the report's statements run: a session the server ended since the
    // criteria were checked is opened again instead of failing the report.
    if (d->connectionName.isEmpty())
        run.db = dtmDBGeral()->liveDatabase();

    run.header.code = d->code.isEmpty() ? def.code : d->code;
    run.header.emitted = QDateTime::currentDateTime();
    for (const ReportCriterion &c : def.criteria)
        run.header.criteria.append(QStringLiteral("%1: %2").arg(
            c.label, criterionText(c, run.params.get(), run.db, def.name)));
    return true;
}

std::unique_ptr<ReportDocument> TReportDesignerDialog::buildDocument(Run &run,
                                                                     ReportProgress &progress)
{
    const ReportDefinition &def = *run.definition;
    auto document = std::make_unique<ReportDocument>(def, run.header);
    ReportQuery query(run.db, def.sql, run.params.get(), def.name);
    progress.setPhase(QStringLiteral("Consultando o banco de dados..."), 0);
    query.open();
    document->setRecord(query.record());
    progress.setPhase(QStringLiteral("Lendo os dados do relatório..."), 0);
    ReportDocument *doc = document.get();
    while (!query.read([doc](const QSqlQuery &q) { doc->addRow(q); }, 30, 2048)) {
        if (!progress.step(query.rows()))
            return nullptr;
    }
    document->finish();
    d->lastLines = document->rowCount();
    d->lastPages = document->pageCount();
    return document;
}

void TReportDesignerDialog::Preview(int index, QWidget *parent)
{
    RunScope scope(this);
    Run run;
    if (!prepareRun(index, run))
        return;
    const ReportDefinition &def = *run.definition;
    auto document = std::make_shared<ReportDocument>(def, run.header);
    auto query = std::make_unique<ReportQuery>(run.db, def.sql, run.params.get(), def.name);
    ReportProgress progress(parent, this, def.title, &d->cancelRequested);
    progress.onStep = [this](qint64 value) {
        emit this->progress(value);
    };
    progress.setPhase(QStringLiteral("Consultando o banco de dados..."), 0);
    query->open();
    document->setRecord(query->record());
    // The window opens as soon as its first page is complete; it reads the rest itself.
    ReportDocument *doc = document.get();
    while (document->completePageCount() < 1) {
        if (query->read([doc](const QSqlQuery &q) { doc->addRow(q); }, 30, 32)) {
            document->finish();
            break;
        }
        if (!progress.step(query->rows()))
            return;
    }
    if (document->isFinished())
        query.reset();
    d->lastLines = document->rowCount();
    d->lastPages = document->pageCount();

    auto *preview = new ReportPreviewDialog(document, std::move(query), parent);
    connect(preview, &ReportPreviewDialog::readingFinished, this, [this, doc]() {
        d->lastLines = doc->rowCount();
        d->lastPages = doc->pageCount();
    });
    d->previews.removeAll(nullptr);
    d->previews.append(preview);
    d->lastPreview = preview;
    preview->show();
    preview->raise();
    preview->activateWindow();
}

void TReportDesignerDialog::Print(int index, QWidget *parent)
{
    RunScope scope(this);
    Run run;
    if (!prepareRun(index, run))
        return;
    ReportProgress progress(parent, this, run.definition->title, &d->cancelRequested);
    progress.onStep = [this](qint64 value) {
        emit this->progress(value);
    };
    std::unique_ptr<ReportDocument> document = buildDocument(run, progress);
    if (!document)
        return;
    progress.pause();
    QPrinter printer(QPrinter::HighResolution);
    setupReportPrinter(&printer, *document);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setMinMax(1, document->pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    progress.setPhase(QStringLiteral("Imprimindo..."), document->pageCount());
    if (!printReportDocument(*document, &printer, &progress) && !progress.cancelled())
        throw EAppError(QStringLiteral("Não foi possível imprimir o relatório."));
}

void TReportDesignerDialog::PrintTo(int index, QPrinter *printer, QWidget *parent)
{
    RunScope scope(this);
    Run run;
    if (!prepareRun(index, run))
        return;
    ReportProgress progress(parent, this, run.definition->title, &d->cancelRequested);
    progress.onStep = [this](qint64 value) {
        emit this->progress(value);
    };
    std::unique_ptr<ReportDocument> document = buildDocument(run, progress);
    if (!document)
        return;
    setupReportPrinter(printer, *document);
    progress.setPhase(QStringLiteral("Imprimindo..."), document->pageCount());
    if (!printReportDocument(*document, printer, &progress) && !progress.cancelled())
        throw EAppError(QStringLiteral("Não foi possível imprimir o relatório."));
}

QString TReportDesignerDialog::SaveAs(int index, QWidget *parent, const QString &path)
{
    RunScope scope(this);
    Run run;
    if (!prepareRun(index, run))
        return {};
    const ReportDefinition &def = *run.definition;

    QString target = path;
    if (target.isEmpty()) {
        const QString pdfFilter = QStringLiteral("Documento PDF (*.pdf)");
        const QString csvFilter = QStringLiteral("Arquivo CSV (*.csv)");
        QString selected = pdfFilter;
        const QString start =
            d->lastSaveDirectory.isEmpty() ? QDir::homePath() : d->lastSaveDirectory;
        target = QFileDialog::getSaveFileName(
            parent, QStringLiteral("Salvar relatório como"),
            QDir(start).filePath(fileNameOf(run.header.code, def.name) + QStringLiteral(".pdf")),
            pdfFilter + QStringLiteral(";;") + csvFilter, &selected);
        if (target.isEmpty())
            return {};
        if (QFileInfo(target).suffix().isEmpty())
            target += selected == csvFilter ? QStringLiteral(".csv") : QStringLiteral(".pdf");
        d->lastSaveDirectory = QFileInfo(target).absolutePath();
    }
    const QString suffix = QFileInfo(target).suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("csv"))
        throw EAppError(QStringLiteral("O arquivo \"%1\" deve terminar em .pdf ou .csv.")
                            .arg(QDir::toNativeSeparators(target)));
    if (QFileInfo(target).isDir())
        failWrite(target, QStringLiteral("é uma pasta"));

    // Written under a temporary name beside the target and renamed at the end, so a failure
    // or a cancel leaves no partial file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        const QFileInfo dir(QFileInfo(target).absolutePath());
        failWrite(target, !dir.exists()       ? QStringLiteral("a pasta não existe")
                          : !dir.isWritable() ? QStringLiteral("sem permissão para gravar na pasta")
                                              : file.errorString());
    }
    ReportProgress progress(parent, this, def.title, &d->cancelRequested);
    progress.onStep = [this](qint64 value) {
        emit this->progress(value);
    };

    if (suffix == QLatin1String("csv")) {
        ReportQuery query(run.db, def.sql, run.params.get(), def.name);
        progress.setPhase(QStringLiteral("Consultando o banco de dados..."), 0);
        query.open();
        ReportCsvWriter writer(def, &file);
        writer.setRecord(query.record());
        progress.setPhase(QStringLiteral("Gravando o arquivo CSV..."), 0);
        while (!query.read([&writer](const QSqlQuery &q) { writer.addRow(q); }, 30, 2048)) {
            if (!progress.step(query.rows())) {
                file.cancelWriting();
                return {};
            }
        }
        if (!writer.flush())
            failWrite(target, abandonSave(file));
        d->lastLines = query.rows();
        d->lastPages = 0;
    } else {
        std::unique_ptr<ReportDocument> document = buildDocument(run, progress);
        if (!document) {
            file.cancelWriting();
            return {};
        }
        progress.setPhase(QStringLiteral("Gerando o PDF..."), document->pageCount());
        if (!writeReportPdf(*document, &file, &progress)) {
            if (progress.cancelled()) {
                file.cancelWriting();
                return {};
            }
            failWrite(target, abandonSave(file));
        }
    }
    if (!file.commit())
        failWrite(target, file.errorString());
    return target;
}
