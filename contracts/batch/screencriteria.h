#pragma once

#include "batch_global.h"
#include "criteriafile.h"

#include <QList>
#include <QString>
#include <QStringList>

class BatchScreen;
class QWidget;
class TButtonFlat;
class TForm;
class TRadioButton;

// The criteria of a report screen: its controls that carry the dynamic property "Criterio",
// in tab order. Per kind of control:
// - a TEdit or TMaskEdit, or a TDateEditPlus, is a criterion of its own; its value is its text
//   (dates as dd/mm/yyyy from 01/01/1900 on, the empty text for none). An edit whose property
//   "CriterioFormato" is "digitos" takes only digits from a file;
// - TRadioButtons of the same name are one choice; its value is the caption of the checked
//   button ("Todos", "Lista");
// - a TButtonFlat of the same name is the choice's list button; for the choice named in its
//   "CriterioLista" property it picks keys, one "<name>.chave=KEY" line per key.
class BATCH_EXPORT ScreenCriteria
{
public:
    struct Criterion
    {
        enum class Kind { Text, Date, Choice };
        QString name;
        Kind kind = Kind::Text;
        bool digitsOnly = false;
        QWidget *control = nullptr;    // Text and Date
        QList<TRadioButton *> choices; // Choice, in tab order
        TButtonFlat *listButton = nullptr;
        QString listChoice; // the choice whose keys the list button picks
        QString keyName() const { return name + QStringLiteral(".chave"); }
        QStringList choiceCaptions() const;
    };

    explicit ScreenCriteria(BatchScreen *screen);

    const QList<Criterion> &criteria() const { return m_criteria; }
    const Criterion *find(const QString &name) const;

    // The criteria as they stand, of every criterion the selected layout offers (enabled and
    // shown); the keys of a picked list are the ones its list button would hand to the pick
    // list, read without opening it.
    CriteriaFile current() const;

    // Selects a report layout as the user picks it in the layout list. Raises ECriteriaError
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
    BatchScreen *m_screen;
    TForm *m_form;
    QList<Criterion> m_criteria;
    int m_failedLine = 0;
};
