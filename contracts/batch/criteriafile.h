#pragma once

#include "batch_global.h"
#include "errors.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A criteria file: what the criteria controls of a report screen hold, so the same report can
// run without the window. UTF-8 text, one "name=value" per line; blank lines and lines that
// start with '#' are skipped. Blanks around the name and the value are dropped; the value is
// the rest of the line after the first '=', so it may hold '=', ',', ';' and quotes. Names are
// taken without regard to case.
//
// A value holds what a line cannot through backslash escapes: "\\" a backslash, "\n" a line
// feed, "\r" a carriage return, "\t" a tab, "\0" a NUL, "\s" a blank (written for blanks at
// either end, which the reader would drop), "\xHH" and "\uHHHH" any other character. Any
// other backslash sequence is an error of its line.
//
// A file is at most kMaxFileSize bytes and a line at most kMaxLineSize bytes; the reader never
// reads more than that.
struct CriteriaLine
{
    int line = 0; // 1-based line of the file; 0 for a line made in memory
    QString name;
    QString value;
};

// A criteria file that cannot be read, is malformed or does not fit the screen; the message
// names the line.
class BATCH_EXPORT ECriteriaError : public EAppError
{
public:
    ECriteriaError(int line, const QString &message);
    int line;
};

class BATCH_EXPORT CriteriaFile
{
public:
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    static constexpr qint64 kMaxLineSize = 64 * 1024;

    // Raises ECriteriaError naming the first malformed line (no '=', an empty or invalid name,
    // text that is not UTF-8, a bad escape, a line or a file too long).
    static CriteriaFile parse(const QByteArray &data);
    // Raises ECriteriaError (line 0) when the file cannot be read, naming it.
    static CriteriaFile load(const QString &path);

    QByteArray toUtf8() const;
    // Written to a temporary name and renamed; raises EAppError when it cannot be written.
    void save(const QString &path) const;

    // A value as a line holds it, and back; unescape raises ECriteriaError for the line.
    static QString escape(const QString &value);
    static QString unescape(const QString &text, int line);

    QStringList comments; // written first, one "# ..." line each
    QList<CriteriaLine> lines;
};

// A value as messages show it: escaped as in the file, and cut to its first few hundred
// characters with how long it is, so a message never carries a whole long value.
BATCH_EXPORT QString shownValue(const QString &value);

// The command that runs a report from a criteria file (what Ctrl+Shift+S writes and tells).
BATCH_EXPORT QString commandLineHint(const QString &reportCode, int layout,
                                     const QString &criteriaPath);
