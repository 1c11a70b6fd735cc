#include "mask.h"

#include <QList>

namespace {

// The three fields of a mask text: "mask;save-literals;blank".
struct MaskParts
{
    QString mask;
    bool saveLiterals = true; // the field is "1" unless it says "0"
    QChar blank = QLatin1Char('_');
};

// Splits at the unescaped semicolons. A missing save-literals field saves literals; a missing
// or empty blank field shows empty positions as '_'.
MaskParts splitMask(const QString &editMask)
{
    MaskParts parts;
    QList<int> separators;
    for (int i = 0; i < editMask.size(); ++i) {
        if (editMask.at(i) == QLatin1Char('\\')) {
            ++i; // the escaped character is never a separator
            continue;
        }
        if (editMask.at(i) == QLatin1Char(';'))
            separators << i;
    }
    if (separators.isEmpty()) {
        parts.mask = editMask;
        return parts;
    }
    parts.mask = editMask.left(separators.at(0));
    const int saveEnd = separators.size() > 1 ? separators.at(1) : editMask.size();
    const QString save = editMask.mid(separators.at(0) + 1, saveEnd - separators.at(0) - 1);
    parts.saveLiterals = !save.startsWith(QLatin1Char('0'));
    if (separators.size() > 1 && separators.at(1) + 1 < editMask.size())
        parts.blank = editMask.at(separators.at(1) + 1);
    return parts;
}

enum class CaseMode { Keep, Upper, Lower };

// One position of a parsed mask: an input position of a character class, or a literal.
struct MaskItem
{
    enum Kind { Input, Literal } kind;
    QChar ch;      // the class character (0 9 # L l A a C c) or the literal
    CaseMode mode; // case conversion in force at an input position
};

QList<MaskItem> parseMask(const QString &mask)
{
    QList<MaskItem> items;
    CaseMode mode = CaseMode::Keep;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        switch (c.unicode()) {
        case '\\':
            // A trailing backslash has nothing to escape and stands for itself.
            items.append({MaskItem::Literal, i + 1 < mask.size() ? mask.at(++i) : c, mode});
            break;
        case '<':
            if (i + 1 < mask.size() && mask.at(i + 1) == QLatin1Char('>')) {
                mode = CaseMode::Keep;
                ++i;
            } else {
                mode = CaseMode::Lower;
            }
            break;
        case '>':
            mode = CaseMode::Upper;
            break;
        case '!':
            break; // leading-blanks directive: no position of its own
        case '0':
        case '9':
        case '#':
        case 'L':
        case 'l':
        case 'A':
        case 'a':
        case 'C':
        case 'c':
            items.append({MaskItem::Input, c, mode});
            break;
        default:
            items.append({MaskItem::Literal, c, mode});
            break;
        }
    }
    return items;
}

bool isQtMaskMeta(QChar c)
{
    static const QString meta = QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\");
    return meta.contains(c);
}

QChar applyCase(QChar c, CaseMode mode)
{
    switch (mode) {
    case CaseMode::Upper:
        return c.toUpper();
    case CaseMode::Lower:
        return c.toLower();
    case CaseMode::Keep:
        break;
    }
    return c;
}

} // namespace

QString qtInputMask(const QString &editMask)
{
    const MaskParts parts = splitMask(editMask);
    if (parts.mask.isEmpty())
        return {};
    // The two languages swap the meaning of 0 and 9, and name the classes differently.
    static const QString ownClasses = QStringLiteral("09#LlAaCc>");
    static const QString qtClasses = QStringLiteral("90#AaNnXx>");
    QString out;
    for (int i = 0; i < parts.mask.size(); ++i) {
        const QChar c = parts.mask.at(i);
        if (const qsizetype k = ownClasses.indexOf(c); k >= 0) {
            out += qtClasses.at(k);
            continue;
        }
        switch (c.unicode()) {
        case '!':
            break; // leading-blanks directive, which Qt lacks: no position of its own
        case '<':
            if (i + 1 < parts.mask.size() && parts.mask.at(i + 1) == QLatin1Char('>')) {
                out += QLatin1Char('!');
                ++i;
            } else {
                out += QLatin1Char('<');
            }
            break;
        case '\\': {
            const QChar literal = i + 1 < parts.mask.size() ? parts.mask.at(++i) : c;
            // Qt takes the first ';' as its blank separator even when escaped: a literal
            // semicolon cannot be expressed and is left out.
            if (literal != QLatin1Char(';'))
                out += QLatin1Char('\\') + literal;
            break;
        }
        default:
            if (isQtMaskMeta(c))
                out += QLatin1Char('\\');
            out += c;
            break;
        }
    }
    out += QLatin1Char(';') + parts.blank;
    return out;
}

// Each character of the value fills the next input position, whatever its class, so nothing
// is ever dropped; case conversion applies to it. At a literal position a value character equal
// to the literal is taken as that literal (a value that already holds its literals comes out
// the same as one without them); otherwise the literal is inserted. Positions left when the
// value runs out show the blank character, as the masked edit shows them; an empty value gives
// the empty text. Characters beyond the mask are appended as they are.
QString FormatMaskText(const QString &editMask, const QString &value)
{
    const MaskParts parts = splitMask(editMask);
    const QList<MaskItem> items = parseMask(parts.mask);
    if (items.isEmpty() || value.isEmpty())
        return value;
    QString out;
    out.reserve(qMax(items.size(), value.size()) + 1);
    int v = 0;
    for (const MaskItem &item : items) {
        if (item.kind == MaskItem::Literal) {
            out += item.ch;
            if (v < value.size() && value.at(v) == item.ch)
                ++v;
            continue;
        }
        out += v < value.size() ? applyCase(value.at(v++), item.mode) : parts.blank;
    }
    out += QStringView(value).mid(v);
    return out;
}

// Nothing filled in: only blanks, the masks' blank character and the separators that masks
// and date edits put around empty positions ("  /  /    ", "//", "___.___.___-__").
bool EmptyString(const QString &text)
{
    static const QString separators = QStringLiteral("_/.-:,()");
    for (const QChar c : text) {
        if (!c.isSpace() && !separators.contains(c))
            return false;
    }
    return true;
}

// A blank text stays empty, so an optional field left empty is still empty after its edit is
// left. Otherwise the text is trimmed and left-padded with zeros to the width, so codes and
// numbers of different lengths compare in number order as texts ("9" < "10" once both are
// "0000000009" and "0000000010"). A text longer than the width is kept whole, never cut.
QString Ajusta(const QString &text, int width)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (trimmed.size() >= width)
        return trimmed;
    return QString(width - trimmed.size(), QLatin1Char('0')) + trimmed;
}

QString PictPess(const QString &personType)
{
    const QString type = personType.trimmed().toUpper();
    if (type == QLatin1String("F"))
        return QStringLiteral("000.000.000-00;0;_"); // CPF
    if (type == QLatin1String("J"))
        return QStringLiteral("00.000.000/0000-00;0;_"); // CNPJ
    return {};                                           // no mask: the number shows as it is
}

QString DBPict(TPictType type)
{
    switch (type) {
    case TPictType::ptArvProd:
        // Product tree: a one-digit group, a two-digit subgroup and a three-digit item, stored
        // as six digits ("101001" shows "1.01.001").
        return QStringLiteral("0.00.000;0;_");
    case TPictType::ptCodProd:
        break;
    }
    return {}; // plain product codes show as they are
}
