#pragma once

#include "forms_global.h"

#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

// How a value of a column or group field is shown. Text is the value with trailing blanks
// trimmed; Date shows dd/mm/yyyy; Integer and Number use the Brazilian separators; Mask formats
// the text with an edit mask; RegNum formats a registration number with the mask of the person
// type held in another field of the same row; TreeCode formats a product tree code.
struct FORMS_EXPORT ReportFormat
{
    enum Kind { Text, Date, DateTime, Integer, Number, Mask, RegNum, TreeCode };
    Kind kind = Text;
    int decimals = 0;    // Number: the decimals kept
    int minDecimals = 0; // Number: trailing zeros are dropped down to this many decimals
    QString argument;    // the mask (Mask) or the person-type field (RegNum)

    bool isNumeric() const { return kind == Integer || kind == Number; }
    // Parses "text", "date", "datetime", "integer", "number", "number:N", "number:MIN-MAX",
    // "mask:M",
    // "regnum:FIELD", "treecode"; false when the text is none of them.
    static bool parse(const QString &text, ReportFormat *format);
};

struct FORMS_EXPORT ReportColumn
{
    enum Align { Left, Center, Right };
    enum Total { NoTotal, Sum, Count };
    QString field;
    QString heading;
    double width = 10; // relative: the columns share the page's width in these proportions
    Align align = Left;
    ReportFormat format;
    Total total = NoTotal;
};

// A field shown by a group: in its heading template and as a column of the CSV output.
struct FORMS_EXPORT ReportGroupField
{
    QString field;
    QString heading;
    ReportFormat format;
};

// A grouping level: a new group starts when the key field changes between rows (the query's
// ORDER BY must keep a group's rows together). Headings and footers are templates in which
// {FIELD} stands for a field's value.
struct FORMS_EXPORT ReportGroup
{
    QString key;
    QString heading;
    QString footer;
    bool totals = true; // false: the group has no footer line
    QList<ReportGroupField> fields;
};

// One part of the criteria line, computed from the parameters the report ran with.
struct FORMS_EXPORT ReportCriterion
{
    enum Kind { Value, Range, List };
    Kind kind = Value;
    QString label;
    QString param;  // Value: the parameter shown
    QString lookup; // Value: optional SQL whose first column describes the value
    QString all;    // Range, List: the all-flag ("T" means every row)
    QString from;   // Range
    QString to;     // Range
    QString list;   // List: the pick-list parameter
};

struct FORMS_EXPORT ReportDefinition
{
    QString file;
    QString code;
    int order = 0;
    QString name;
    QString title;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString sql;
    QList<ReportColumn> columns;
    QList<ReportGroup> groups;
    QList<ReportCriterion> criteria;
    QString grandTotal; // label of the grand total line; empty for none
    // Parameters of the SQL and of the criteria lookups, in order of first use.
    QStringList parameters;

    // Every field the report reads from the query's rows.
    QStringList fieldsUsed() const;
};

// Reads one definition file. Raises EAppError naming the file and the fault.
FORMS_EXPORT ReportDefinition parseReportDefinition(const QString &filePath);

// The definitions of a report code in a directory: the files <dir>/<code>*.json and
// <dir>/<code>/*.json, in their order. Raises EReportNotFound when there is none and
// EAppError for a malformed one.
FORMS_EXPORT QList<ReportDefinition> loadReportDefinitions(const QString &code,
                                                           const QString &directory);

// The field names that a heading template refers to ({FIELD}).
FORMS_EXPORT QStringList templateFields(const QString &text);
