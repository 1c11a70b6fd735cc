#pragma once

#include "errors.h"
#include "forms_global.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class TButtonFlat;
class TfrmDadosGerRel;
class TRadioButton;

// A criteria file: what the criteria controls of a report screen hold, so the same report can
// run without the window. UTF-8 text, one "name=value" per line; blank lines and lines that
// start with '#' are skipped. Blanks around the name and the value are dropped; the value is
// the rest of the line after the first '=', so it may hold '=', ',', ';' and quotes. Names are
// taken without regard to case.
struct CriteriaLine
{
    int line = 0; // 1-based line of the file; 0 for a line made in memory
    QString name;
    QString value;
};

// A criteria file that cannot be read, is malformed or does not fit the screen; the message
// names the line.
class FORMS_EXPORT ECriteriaError : public EAppError
{
public:
    ECriteriaError(int line, const QString &message);
    int line;
};

class FORMS_EXPORT CriteriaFile
{
public:
    // Raises ECriteriaError naming the first malformed line (no '=', an empty or invalid name,
    // text that is not UTF-8).
    static CriteriaFile parse(const QByteArray &data);
    // Raises ECriteriaError (line 0) when the file cannot be read.
    static CriteriaFile load(const QString &path);

    QByteArray toUtf8() const;
    // Written to a temporary name and renamed; raises EAppError when it cannot be written.
    void save(const QString &path) const;

    QStringList comments; // written first, one "# ..." line each
    QList<CriteriaLine> lines;
};

// The criteria of a report screen: its controls that carry the dynamic property "Criterio",
// in tab order. Per kind of control:
// - a TEdit or TMaskEdit, or a TDateEditPlus, is a criterion of its own; its value is its text
//   (dates as dd/mm/yyyy, the empty text for none);
// - TRadioButtons of the same name are one choice; its value is the caption of the checked
//   button ("Todos", "Lista");
// - a TButtonFlat of the same name is the choice's list button; for the choice named in its
//   "CriterioLista" property it picks keys, one "<name>.chave=KEY" line per key.
class FORMS_EXPORT ScreenCriteria
{
public:
    struct Criterion
    {
        enum class Kind { Text, Date, Choice };
        QString name;
        Kind kind = Kind::Text;
        QWidget *control = nullptr;    // Text and Date
        QList<TRadioButton *> choices; // Choice, in tab order
        TButtonFlat *listButton = nullptr;
        QString listChoice; // the choice whose keys the list button picks
        QString keyName() const { return name + QStringLiteral(".chave"); }
        QStringList choiceCaptions() const;
    };

    explicit ScreenCriteria(TfrmDadosGerRel *form);

    const QList<Criterion> &criteria() const { return m_criteria; }
    const Criterion *find(const QString &name) const;

    // The criteria as they stand, of every criterion the selected layout offers (enabled and
    // shown); the keys of a picked list are read through its list button's handler, with the
    // pick list answered by a ScriptedPick that keeps the list. A failure of that handler
    // (an empty lookup, a database error) propagates.
    CriteriaFile current() const;

    // Selects a report layout as the user picks it in cbbReportNames. Raises ECriteriaError
    // (line 0) for an index the list does not hold.
    void selectLayout(int index);

    // Enters the file's criteria as a user would: in tab order, each control is focused, given
    // its value and left for the next one (the last one is left by the action that follows),
    // so the screen's own change and exit handlers run; a choice's radio button is clicked and
    // its keys go through its list button, with a ScriptedPick as the user's pick. The file is
    // checked against the screen first and ECriteriaError names the offending line: an unknown
    // name, a name given twice, a choice value the screen does not offer, keys without the
    // list choice, a criterion the selected layout does not offer, a value the control does
    // not take as given. Once a message was shown while entering (a refusal of the screen, a
    // database error), raises EAbort; failedLine() tells the line being entered.
    // Needs the screen's window to be active, so focus changes raise exits.
    void enter(const CriteriaFile &file);
    int failedLine() const { return m_failedLine; }

private:
    TfrmDadosGerRel *m_form;
    QList<Criterion> m_criteria;
    int m_failedLine = 0;
};
