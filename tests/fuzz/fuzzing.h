#pragma once

// What every fuzz target shares: the entry point libFuzzer calls (the random driver calls the
// same one), the text of an input, and the check of a property that must hold for any input.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// A property that does not hold: says which and aborts, so the engine keeps the input.
[[noreturn]] inline void fuzzFailure(const char *property, const QString &detail)
{
    std::fprintf(stderr, "fuzz: property does not hold: %s\n%s\n", property,
                 detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzFailure(#condition, (detail));                                                     \
    } while (0)

// The input as text: UTF-8, invalid sequences replaced (as a text box or a file would give it).
inline QString fuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A text for a failure message, with its invisible characters shown.
inline QString fuzzShow(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c.isPrint() && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}
