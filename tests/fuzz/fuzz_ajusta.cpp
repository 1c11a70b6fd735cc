// Ajusta on any text and width. The first byte is the width (as a small signed number), the rest
// the text; the text cut at its first newline also gives two numbers whose order must survive.
#include "fuzzing.h"
#include "mask.h"

namespace {

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// Order of two digit strings as numbers: -1, 0 or 1.
int numberOrder(QString a, QString b)
{
    while (a.size() > 1 && a.startsWith(QLatin1Char('0')))
        a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(QLatin1Char('0')))
        b.remove(0, 1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = QString::compare(a, b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int sign(int value)
{
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

void check(const QString &text, int width)
{
    const QString result = Ajusta(text, width);
    const QString trimmed = text.trimmed();
    const QString what = QStringLiteral("Ajusta(%1, %2) -> %3")
                             .arg(fuzzShow(text), QString::number(width), fuzzShow(result));
    if (trimmed.isEmpty()) {
        FUZZ_CHECK(result.isEmpty(), what);
        return;
    }
    // The trimmed text, whole, padded on the left with zeros up to the width.
    FUZZ_CHECK(result.endsWith(trimmed), what);
    FUZZ_CHECK(result.size() == qMax(qsizetype(width), trimmed.size()), what);
    for (qsizetype i = 0; i < result.size() - trimmed.size(); ++i)
        FUZZ_CHECK(result.at(i) == QLatin1Char('0'), what);
    // Leaving the edit again changes nothing.
    FUZZ_CHECK(Ajusta(result, width) == result, what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int width = int(int8_t(data[0])) % 24; // -23 .. 23; the screens use 4 and 10
    const QString text = fuzzText(data + 1, size - 1);
    check(text, width);
    check(text, 4);
    check(text, 10);

    // Numbers that fit the width compare as texts in number order once normalised.
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    if (newline >= 0) {
        const QString a = text.left(newline);
        const QString b = text.mid(newline + 1);
        for (const int w : {4, 10, width}) {
            if (allDigits(a) && allDigits(b) && a.size() <= w && b.size() <= w) {
                const int asText = sign(QString::compare(Ajusta(a, w), Ajusta(b, w)));
                FUZZ_CHECK(asText == numberOrder(a, b),
                           QStringLiteral("%1 and %2 at width %3").arg(a, b, QString::number(w)));
            }
        }
    }
    return 0;
}
