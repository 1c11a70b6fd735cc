#include "screencriteria.h"

#include "batchscreen.h"
#include "controls.h"
#include "dateedit.h"
#include "failurepresenter.h"
#include "mask.h"
#include "pesquisalista.h"
#include "scriptedpick.h"
#include "tform.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

namespace {

const char kCriterionProperty[] = "Criterio";
const char kListChoiceProperty[] = "CriterioLista";
const char kFormatProperty[] = "CriterioFormato";

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
class ErrorWatch final : public FailurePresenter
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
    void showFailure(const QString &text) override
    {
        ++m_errors;
        if (auto *failures = dynamic_cast<FailurePresenter *>(m_previous))
            failures->showFailure(text);
        else
            m_previous->show(Kind::Error, text);
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

QStringList ScreenCriteria::Criterion::choiceCaptions() const
{
    QStringList captions;
    for (const TRadioButton *radio : choices)
        captions << caption(radio);
    return captions;
}

ScreenCriteria::ScreenCriteria(BatchScreen *screen)
    : m_screen(screen)
    , m_form(screen->batchForm())
{
    TForm *form = m_form;
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
            Criterion &c = criterionFor(name, Criterion::Kind::Text, w);
            c.control = w;
            const QString format = w->property(kFormatProperty).toString().trimmed();
            if (format == QLatin1String("digitos"))
                c.digitsOnly = true;
            else if (!format.isEmpty())
                throw EAppError(QStringLiteral("Formato de critério '%1' desconhecido em '%2'.")
                                    .arg(format, w->objectName()));
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
    const QString code = m_screen->reportCode();
    const int layout = m_screen->layoutList()->currentIndex();
    file.comments << QStringLiteral("Critérios do relatório %1, leiaute %2 (%3).")
                         .arg(code)
                         .arg(layout)
                         .arg(m_screen->layoutList()->currentText())
                  << QStringLiteral("Gravados em %1.")
                         .arg(QDateTime::currentDateTime().toString(
                             QStringLiteral("dd/MM/yyyy HH:mm")))
                  << QStringLiteral("Para gerar o relatório sem a janela:")
                  << QStringLiteral("  ") +
                         commandLineHint(code, layout, QStringLiteral("ESTE_ARQUIVO"));

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
            // The pick-list string the list button would hand to its pick list; it counts even
            // while the button is disabled.
            const std::optional<QString> list = m_screen->pickedList(c.listButton);
            if (!list)
                throw EAppError(QStringLiteral("O botão de lista '%1' não tem lista.")
                                    .arg(c.listButton->objectName()));
            for (const QString &key : pickListKeys(*list))
                file.lines << CriteriaLine{0, c.keyName(), key};
            break;
        }
        }
    }
    return file;
}

void ScreenCriteria::selectLayout(int index)
{
    TComboBox *combo = m_screen->layoutList();
    if (index < 0 || index >= combo->count()) {
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << QStringLiteral("%1 = %2").arg(i).arg(combo->itemText(i));
        throw ECriteriaError(0, QStringLiteral("O relatório %1 não tem o leiaute %2. Leiautes: %3.")
                                    .arg(m_screen->reportCode())
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
                            .arg(m_screen->screenCode()));

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
            throw ECriteriaError(line.line,
                                 QStringLiteral("critério desconhecido \"%1\". "
                                                "Critérios desta tela: %2.")
                                     .arg(shownValue(line.name), known.join(QStringLiteral(", "))));
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
                                         .arg(shownValue(line.value), c->name,
                                              c->choiceCaptions().join(QStringLiteral(" ou "))));
        }
        if (c->digitsOnly) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]*$"));
            if (!digits.match(line.value).hasMatch())
                throw ECriteriaError(line.line, QStringLiteral("o valor \"%1\" de \"%2\" deve ter "
                                                               "só dígitos.")
                                                    .arg(shownValue(line.value), c->name));
        }
        if (c->kind == Criterion::Kind::Date && !line.value.isEmpty()) {
            // Earlier dates are the edits' "no date": a range would silently open.
            const QDate date = QDate::fromString(line.value, QStringLiteral("dd/MM/yyyy"));
            if (date.isValid() && date.year() < 1900)
                throw ECriteriaError(line.line, QStringLiteral("a data \"%1\" de \"%2\" é anterior "
                                                               "a 01/01/1900.")
                                                    .arg(shownValue(line.value), c->name));
        }
    }
    const QString layoutName = m_screen->layoutList()->currentText();
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
                                         .arg(c.name, shownValue(value), shownValue(edit->text())));
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
                throw ECriteriaError(
                    entry.line->line,
                    QStringLiteral("o campo de \"%1\" não aceita \"%2\" (ficaria "
                                   "\"%3\"); use dd/mm/aaaa.")
                        .arg(c.name, shownValue(value), shownValue(dateText(edit))));
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
            ScriptedPick pick(entry.keys);
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
