#include "criteriafile.h"

#include "Dadosgerrel.h"
#include "dateedit.h"
#include "mask.h"
#include "pesquisalista.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const char kCriterionProperty[] = "Criterio";
const char kListChoiceProperty[] = "CriterioLista";

QString caption(const TRadioButton *radio)
{
    return radio->text().remove(QLatin1Char('&'));
}

// Enabled and shown in the selected layout, so a user could reach it.
bool available(const QWidget *control, const QWidget *form)
{
    return control->isEnabled() && control->isVisibleTo(form);
}

QString lineText(const QLineEdit *edit)
{
    return edit->text();
}

// A date edit's text with the blanks of the parts not typed dropped; empty when nothing is.
QString dateText(const TDateEditPlus *edit)
{
    const QString text = edit->Text();
    if (EmptyString(text))
        return {};
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

// Counts the error messages shown while criteria are entered (passing each on to the
// presenter in use), so entering stops at the first refusal even where the event boundary
// swallowed it.
class ErrorWatch final : public MessagePresenter
{
public:
    ErrorWatch()
        : m_previous(messagePresenter())
    {
        setMessagePresenter(this);
    }
    ~ErrorWatch() override { setMessagePresenter(m_previous); }
    ErrorWatch(const ErrorWatch &) = delete;
    ErrorWatch &operator=(const ErrorWatch &) = delete;

    void show(Kind kind, const QString &text) override
    {
        if (kind == Kind::Error)
            ++m_errors;
        m_previous->show(kind, text);
    }
    // Ends the entering once a message was shown; the message is the user's explanation.
    void stopOnError() const
    {
        if (m_errors > 0)
            throw EAbort{};
    }

private:
    MessagePresenter *m_previous;
    int m_errors = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The file

ECriteriaError::ECriteriaError(int line, const QString &message)
    : EAppError(line > 0 ? QStringLiteral("Linha %1: %2").arg(line).arg(message) : message)
    , line(line)
{}

CriteriaFile CriteriaFile::parse(const QByteArray &data)
{
    static const QRegularExpression namePattern(QStringLiteral("^[a-z0-9_]+(\\.[a-z0-9_]+)*$"));
    CriteriaFile file;
    const QList<QByteArray> rawLines = data.split('\n');
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        const int number = int(i + 1);
        QByteArray raw = rawLines.at(i);
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3); // byte order mark
        // Stateless: a sequence cut at the end of the line is an error, not pending input.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(raw);
        if (decoder.hasError())
            throw ECriteriaError(number, QStringLiteral("o texto não está em UTF-8."));
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw ECriteriaError(number, QStringLiteral("linha malformada, esperado nome=valor: "
                                                        "\"%1\".")
                                             .arg(trimmed));
        const QString name = trimmed.left(eq).trimmed().toLower();
        if (name.isEmpty())
            throw ECriteriaError(number, QStringLiteral("linha malformada, falta o nome do "
                                                        "critério antes de '='."));
        if (!namePattern.match(name).hasMatch())
            throw ECriteriaError(number,
                                 QStringLiteral("nome de critério inválido: \"%1\".").arg(name));
        file.lines << CriteriaLine{number, name, trimmed.mid(eq + 1).trimmed()};
    }
    return file;
}

CriteriaFile CriteriaFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ECriteriaError(0, QStringLiteral("Não foi possível ler o arquivo de critérios "
                                               "'%1': %2")
                                    .arg(QDir::toNativeSeparators(path), f.errorString()));
    return parse(f.readAll());
}

QByteArray CriteriaFile::toUtf8() const
{
    QString text;
    for (const QString &comment : comments)
        text += QStringLiteral("# %1\n").arg(comment);
    if (!comments.isEmpty())
        text += QLatin1Char('\n');
    for (const CriteriaLine &line : lines)
        text += QStringLiteral("%1=%2\n").arg(line.name, line.value);
    return text.toUtf8();
}

void CriteriaFile::save(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toUtf8()) < 0 || !f.commit())
        throw EAppError(QStringLiteral("Não foi possível gravar o arquivo de critérios '%1': %2")
                            .arg(QDir::toNativeSeparators(path), f.errorString()));
}

// ---------------------------------------------------------------------------------------------
// The criteria of a screen

QStringList ScreenCriteria::Criterion::choiceCaptions() const
{
    QStringList captions;
    for (const TRadioButton *radio : choices)
        captions << caption(radio);
    return captions;
}

ScreenCriteria::ScreenCriteria(TfrmDadosGerRel *form)
    : m_form(form)
{
    QHash<QString, qsizetype> byName;
    auto criterionFor = [&](const QString &name, Criterion::Kind kind, QWidget *w) -> Criterion & {
        auto it = byName.constFind(name);
        if (it != byName.constEnd()) {
            Criterion &c = m_criteria[*it];
            if (c.kind != kind || kind != Criterion::Kind::Choice)
                throw EAppError(QStringLiteral("Critério '%1' declarado duas vezes no leiaute "
                                               "('%2').")
                                    .arg(name, w->objectName()));
            return c;
        }
        byName.insert(name, m_criteria.size());
        Criterion c;
        c.name = name;
        c.kind = kind;
        m_criteria << c;
        return m_criteria.last();
    };

    // The focus chain holds every widget of the form in tab order.
    QList<TButtonFlat *> buttons;
    for (QWidget *w = form->nextInFocusChain(); w && w != form; w = w->nextInFocusChain()) {
        const QString name = w->property(kCriterionProperty).toString().trimmed().toLower();
        if (name.isEmpty() || TForm::formOf(w) != form)
            continue;
        if (auto *button = qobject_cast<TButtonFlat *>(w)) {
            buttons << button; // attached once every choice is known
        } else if (auto *radio = qobject_cast<TRadioButton *>(w)) {
            criterionFor(name, Criterion::Kind::Choice, w).choices << radio;
        } else if (qobject_cast<TDateEditPlus *>(w)) {
            criterionFor(name, Criterion::Kind::Date, w).control = w;
        } else if (qobject_cast<QLineEdit *>(w) && dynamic_cast<TWinControl *>(w)) {
            criterionFor(name, Criterion::Kind::Text, w).control = w;
        } else {
            throw EAppError(
                QStringLiteral("O componente '%1' não pode ser um critério.").arg(w->objectName()));
        }
    }
    for (TButtonFlat *button : std::as_const(buttons)) {
        const QString name = button->property(kCriterionProperty).toString().trimmed().toLower();
        auto it = byName.constFind(name);
        Criterion *c = it == byName.constEnd() ? nullptr : &m_criteria[*it];
        const QString choice = button->property(kListChoiceProperty).toString();
        if (!c || c->kind != Criterion::Kind::Choice || c->listButton ||
            !c->choiceCaptions().contains(choice, Qt::CaseInsensitive))
            throw EAppError(QStringLiteral("Botão de lista '%1' sem escolha '%2' do critério "
                                           "'%3'.")
                                .arg(button->objectName(), choice, name));
        c->listButton = button;
        c->listChoice = choice;
    }
}

const ScreenCriteria::Criterion *ScreenCriteria::find(const QString &name) const
{
    for (const Criterion &c : m_criteria)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

CriteriaFile ScreenCriteria::current() const
{
    CriteriaFile file;
    const QString code = m_form->lblCodRel->text();
    const int layout = m_form->cbbReportNames->currentIndex();
    file.comments << QStringLiteral("Critérios do relatório %1, leiaute %2 (%3).")
                         .arg(code)
                         .arg(layout)
                         .arg(m_form->cbbReportNames->currentText())
                  << QStringLiteral("Gravados em %1.")
                         .arg(QDateTime::currentDateTime().toString(
                             QStringLiteral("dd/MM/yyyy HH:mm")))
                  << QStringLiteral("Para gerar o relatório sem a janela:")
                  << QStringLiteral("  kmbhost --report %1 --layout %2 --criteria ESTE_ARQUIVO "
                                    "--out RELATORIO.pdf (ou .csv)")
                         .arg(code)
                         .arg(layout);

    for (const Criterion &c : m_criteria) {
        switch (c.kind) {
        case Criterion::Kind::Text:
            if (available(c.control, m_form))
                file.lines << CriteriaLine{0, c.name,
                                           lineText(qobject_cast<QLineEdit *>(c.control))};
            break;
        case Criterion::Kind::Date:
            if (available(c.control, m_form))
                file.lines << CriteriaLine{0, c.name,
                                           dateText(qobject_cast<TDateEditPlus *>(c.control))};
            break;
        case Criterion::Kind::Choice: {
            const TRadioButton *checked = nullptr;
            for (const TRadioButton *radio : c.choices)
                if (radio->isChecked())
                    checked = radio;
            if (!checked || !available(checked, m_form))
                break;
            const QString value = caption(checked);
            file.lines << CriteriaLine{0, c.name, value};
            if (!c.listButton || value.compare(c.listChoice, Qt::CaseInsensitive) != 0)
                break;
            // The pick-list string belongs to the screen's module: its list button's handler
            // hands it to the pick list, which here leaves it as it is and tells its keys. The
            // handler is called even while the button is disabled: the pick still counts then.
            if (!c.listButton->OnClick)
                throw EAppError(QStringLiteral("O botão de lista '%1' não tem manipulador.")
                                    .arg(c.listButton->objectName()));
            ScriptedPick keep(ScriptedPick::Mode::Keep);
            c.listButton->OnClick(c.listButton);
            if (keep.calls() == 0)
                throw EAppError(QStringLiteral("O botão de lista '%1' não abriu a lista.")
                                    .arg(c.listButton->objectName()));
            for (const QString &key : keep.receivedKeys())
                file.lines << CriteriaLine{0, c.keyName(), key};
            break;
        }
        }
    }
    return file;
}

void ScreenCriteria::selectLayout(int index)
{
    TComboBox *combo = m_form->cbbReportNames;
    if (index < 0 || index >= combo->count()) {
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << QStringLiteral("%1 = %2").arg(i).arg(combo->itemText(i));
        throw ECriteriaError(0, QStringLiteral("O relatório %1 não tem o leiaute %2. Leiautes: %3.")
                                    .arg(m_form->lblCodRel->text())
                                    .arg(index)
                                    .arg(names.isEmpty() ? QStringLiteral("nenhum")
                                                         : names.join(QStringLiteral("; "))));
    }
    ErrorWatch watch;
    m_form->focusControl(combo);
    watch.stopOnError();
    combo->setCurrentIndex(index);
    emit combo->activated(index); // as a pick in the list raises it
    watch.stopOnError();
}

namespace {

// What the file asks of one criterion.
struct Entry
{
    const CriteriaLine *line = nullptr; // the value line, if any
    const CriteriaLine *firstKeyLine = nullptr;
    QStringList keys;
    TRadioButton *radio = nullptr; // the choice asked for
    bool skip = false;             // asks for what the control already holds
};

} // namespace

void ScreenCriteria::enter(const CriteriaFile &file)
{
    m_failedLine = 0;
    if (!m_form->window()->isActiveWindow())
        throw EAppError(QStringLiteral("A janela da tela %1 não está ativa: os critérios não "
                                       "podem ser informados.")
                            .arg(m_form->lblCodTela->text()));

    // The whole file is checked against the screen before anything is entered.
    QStringList known;
    for (const Criterion &c : m_criteria) {
        known << c.name;
        if (c.listButton)
            known << c.keyName();
    }
    QHash<const Criterion *, Entry> entries;
    for (const CriteriaLine &line : file.lines) {
        const Criterion *c = find(line.name);
        bool isKey = false;
        if (!c && line.name.endsWith(QLatin1String(".chave"))) {
            c = find(line.name.chopped(6));
            isKey = c && c->listButton;
            if (!isKey)
                c = nullptr;
        }
        if (!c)
            throw ECriteriaError(line.line, QStringLiteral("critério desconhecido \"%1\". "
                                                           "Critérios desta tela: %2.")
                                                .arg(line.name, known.join(QStringLiteral(", "))));
        Entry &entry = entries[c];
        if (isKey) {
            if (line.value.isEmpty())
                throw ECriteriaError(line.line,
                                     QStringLiteral("chave vazia em \"%1\".").arg(line.name));
            if (!entry.firstKeyLine)
                entry.firstKeyLine = &line;
            entry.keys << line.value;
            continue;
        }
        if (entry.line)
            throw ECriteriaError(line.line, QStringLiteral("o critério \"%1\" já foi informado "
                                                           "na linha %2.")
                                                .arg(line.name)
                                                .arg(entry.line->line));
        entry.line = &line;
        if (c->kind == Criterion::Kind::Choice) {
            for (TRadioButton *radio : c->choices)
                if (caption(radio).compare(line.value, Qt::CaseInsensitive) == 0)
                    entry.radio = radio;
            if (!entry.radio)
                throw ECriteriaError(line.line,
                                     QStringLiteral("valor \"%1\" inválido para \"%2\"; use %3.")
                                         .arg(line.value, c->name,
                                              c->choiceCaptions().join(QStringLiteral(" ou "))));
        }
    }
    const QString layoutName = m_form->cbbReportNames->currentText();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const Criterion *c = it.key();
        Entry &entry = it.value();
        if (entry.firstKeyLine &&
            (!entry.radio || caption(entry.radio).compare(c->listChoice, Qt::CaseInsensitive) != 0))
            throw ECriteriaError(
                entry.firstKeyLine->line,
                QStringLiteral("chaves de \"%1\" só valem com %1=%2.").arg(c->name, c->listChoice));
        if (!entry.line)
            continue;
        QWidget *target = c->kind == Criterion::Kind::Choice ? entry.radio : c->control;
        if (available(target, m_form))
            continue;
        // A criterion this layout does not offer is accepted only when it asks for what the
        // control holds already.
        bool same = false;
        if (c->kind == Criterion::Kind::Text)
            same = lineText(qobject_cast<QLineEdit *>(c->control))
                       .compare(entry.line->value, Qt::CaseInsensitive) == 0;
        else if (c->kind == Criterion::Kind::Date)
            same = dateText(qobject_cast<TDateEditPlus *>(c->control)) == entry.line->value;
        else
            same = entry.radio->isChecked() && entry.keys.isEmpty();
        if (!same)
            throw ECriteriaError(entry.line->line,
                                 QStringLiteral("o critério \"%1\" não está disponível no "
                                                "leiaute \"%2\".")
                                     .arg(c->name, layoutName));
        entry.skip = true;
    }

    // Then each criterion in tab order, as the user would enter it.
    ErrorWatch watch;
    auto focus = [&](QWidget *control) {
        m_form->focusControl(control);
        watch.stopOnError(); // leaving the previous control may have been refused
        if (m_form->controlOf(QApplication::focusWidget()) != control)
            throw EAppError(
                QStringLiteral("O controle '%1' não recebeu o foco.").arg(control->objectName()));
    };
    for (const Criterion &c : m_criteria) {
        auto it = entries.constFind(&c);
        if (it == entries.constEnd() || !it->line || it->skip)
            continue;
        const Entry &entry = *it;
        const QString &value = entry.line->value;
        m_failedLine = entry.line->line;
        switch (c.kind) {
        case Criterion::Kind::Text: {
            auto *edit = qobject_cast<QLineEdit *>(c.control);
            focus(edit);
            edit->setText(value); // raises the change event, as typing does
            watch.stopOnError();
            if (edit->text().compare(value, Qt::CaseInsensitive) != 0)
                throw ECriteriaError(entry.line->line,
                                     QStringLiteral("o campo de \"%1\" não aceita \"%2\" (ficaria "
                                                    "\"%3\").")
                                         .arg(c.name, value, edit->text()));
            break;
        }
        case Criterion::Kind::Date: {
            auto *edit = qobject_cast<TDateEditPlus *>(c.control);
            focus(edit);
            if (value.isEmpty())
                edit->Clear();
            else
                edit->setText(value);
            watch.stopOnError();
            if (dateText(edit) != value)
                throw ECriteriaError(entry.line->line,
                                     QStringLiteral("o campo de \"%1\" não aceita \"%2\" (ficaria "
                                                    "\"%3\"); use dd/mm/aaaa.")
                                         .arg(c.name, value, dateText(edit)));
            break;
        }
        case Criterion::Kind::Choice: {
            focus(entry.radio);
            entry.radio->click(); // checks it and raises its click event
            watch.stopOnError();
            if (entry.keys.isEmpty())
                break;
            m_failedLine = entry.firstKeyLine->line;
            if (!c.listButton->isEnabled())
                throw ECriteriaError(
                    entry.firstKeyLine->line,
                    QStringLiteral("o botão de lista de \"%1\" está desabilitado.").arg(c.name));
            ScriptedPick pick(ScriptedPick::Mode::Pick, entry.keys);
            c.listButton->click();
            watch.stopOnError();
            if (pick.calls() == 0)
                throw EAppError(QStringLiteral("O botão de lista '%1' não abriu a lista.")
                                    .arg(c.listButton->objectName()));
            break;
        }
        }
    }
    m_failedLine = 0;
}
