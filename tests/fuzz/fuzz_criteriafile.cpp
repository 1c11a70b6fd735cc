// The criteria file on any input: it is read or refused with the line named, what was read
// is written and read back the same, and any value survives the escape unchanged on one line.
#include "criteriafile.h"
#include "fuzzing.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Any value: escaped it is one line without blanks at its ends, and reads back.
    const QString value = fuzzText(data, size);
    const QString escaped = CriteriaFile::escape(value);
    FUZZ_CHECK(!escaped.contains(QLatin1Char('\n')) && escaped.trimmed() == escaped,
               fuzzShow(value) + QStringLiteral(" -> ") + fuzzShow(escaped));
    FUZZ_CHECK(CriteriaFile::unescape(escaped, 1) == value,
               fuzzShow(value) + QStringLiteral(" -> ") + fuzzShow(escaped));
    const QString shown = shownValue(value);
    FUZZ_CHECK(shown.size() <= 240, fuzzShow(shown));

    // Any file: refused naming a line, or read; what is read writes and reads back the same.
    CriteriaFile file;
    try {
        file = CriteriaFile::parse(bytes);
    } catch (const ECriteriaError &e) {
        FUZZ_CHECK(e.line >= 1 && e.message().startsWith(QStringLiteral("Linha %1:").arg(e.line)),
                   e.message());
        FUZZ_CHECK(e.message().size() < 600, e.message());
        return 0;
    }
    const CriteriaFile back = CriteriaFile::parse(file.toUtf8());
    FUZZ_CHECK(back.lines.size() == file.lines.size(), fuzzShow(QString::fromUtf8(bytes)));
    for (qsizetype i = 0; i < file.lines.size(); ++i)
        FUZZ_CHECK(back.lines.at(i).name == file.lines.at(i).name &&
                       back.lines.at(i).value == file.lines.at(i).value,
                   fuzzShow(file.lines.at(i).value) + QStringLiteral(" -> ") +
                       fuzzShow(back.lines.at(i).value));
    return 0;
}
