// FormatMaskText and the Qt input mask of an edit mask, on any mask and value. The input is the
// mask, a NUL byte and the value; an input without NUL is a mask tried with a few values.
#include "fuzzing.h"
#include "mask.h"

#include <QStringList>

namespace {

// Every character of the value is in the text, in order (the mask may change its case).
bool keepsEveryCharacter(const QString &value, const QString &text)
{
    qsizetype j = 0;
    for (const QChar c : value) {
        while (j < text.size() && text.at(j) != c && text.at(j) != c.toUpper() &&
               text.at(j) != c.toLower())
            ++j;
        if (j == text.size())
            return false;
        ++j;
    }
    return true;
}

void check(const QString &mask, const QString &value)
{
    const QString text = FormatMaskText(mask, value);
    const QString what = QStringLiteral("mask %1, value %2 -> %3")
                             .arg(fuzzShow(mask), fuzzShow(value), fuzzShow(text));
    if (value.isEmpty())
        FUZZ_CHECK(text.isEmpty(), what);
    FUZZ_CHECK(text.size() >= value.size(), what);
    FUZZ_CHECK(keepsEveryCharacter(value, text), what);
    // A formatted text holds its literals already: formatting it again changes nothing. (With
    // a blank of its own the blank may be a letter the mask would change the case of.)
    if (!mask.contains(QLatin1Char(';')))
        FUZZ_CHECK(FormatMaskText(mask, text) == text, what);
}

void checkQtMask(const QString &mask)
{
    const QString qt = qtInputMask(mask);
    // Either no mask at all, or a mask that ends with the blank separator and one blank.
    if (!qt.isEmpty())
        FUZZ_CHECK(qt.size() >= 2 && qt.at(qt.size() - 2) == QLatin1Char(';'),
                   QStringLiteral("mask %1 -> %2").arg(fuzzShow(mask), fuzzShow(qt)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzzText(data, size);
    const qsizetype nul = input.indexOf(QChar(0));
    if (nul >= 0) {
        const QString mask = input.left(nul);
        check(mask, input.mid(nul + 1));
        checkQtMask(mask);
        return 0;
    }
    static const QStringList values = {QString(),
                                       QStringLiteral("1"),
                                       QStringLiteral("52998224725"),
                                       QStringLiteral("11222333000181"),
                                       QStringLiteral("abcXYZçÃ"),
                                       QStringLiteral("1.01.001"),
                                       QStringLiteral("  7  ")};
    for (const QString &value : values)
        check(input, value);
    check(input, input);
    checkQtMask(input);
    return 0;
}
