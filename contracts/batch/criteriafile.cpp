#include "criteriafile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// How much of a value a message quotes.
constexpr qsizetype kShownLength = 200;

QString hex(char16_t c, int width)
{
    return QStringLiteral("%1").arg(uint(c), width, 16, QLatin1Char('0'));
}

int hexValue(const QString &text, qsizetype from, int width)
{
    if (from + width > text.size())
        return -1;
    int value = 0;
    for (qsizetype i = from; i < from + width; ++i) {
        const char16_t c = text.at(i).unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

ECriteriaError::ECriteriaError(int line, const QString &message)
    : EAppError(line > 0 ? QStringLiteral("Linha %1: %2").arg(line).arg(message) : message)
    , line(line)
{}

QString CriteriaFile::escape(const QString &value)
{
    // Blanks at either end would be dropped by the reader: they are written escaped.
    qsizetype lead = 0;
    while (lead < value.size() && value.at(lead).isSpace())
        ++lead;
    qsizetype trail = value.size();
    while (trail > lead && value.at(trail - 1).isSpace())
        --trail;

    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        const bool edge = i < lead || i >= trail;
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == 0)
            out += QLatin1String("\\0");
        else if (c == u' ' && edge)
            out += QLatin1String("\\s");
        else if (c < 0x20 || c == 0x7f)
            out += QLatin1String("\\x") + hex(c, 2);
        else if (edge)
            out += QLatin1String("\\u") + hex(c, 4);
        else
            out += QChar(c);
    }
    return out;
}

QString CriteriaFile::unescape(const QString &text, int line)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (i + 1 >= text.size())
            throw ECriteriaError(line, QStringLiteral("barra invertida no fim do valor; escreva "
                                                      "\\\\ para uma barra invertida."));
        const QChar e = text.at(++i);
        switch (e.unicode()) {
        case u'\\':
            out += QLatin1Char('\\');
            break;
        case u'n':
            out += QLatin1Char('\n');
            break;
        case u'r':
            out += QLatin1Char('\r');
            break;
        case u't':
            out += QLatin1Char('\t');
            break;
        case u'0':
            out += QChar(0);
            break;
        case u's':
            out += QLatin1Char(' ');
            break;
        case u'x':
        case u'u': {
            const int width = e == QLatin1Char('x') ? 2 : 4;
            const int value = hexValue(text, i + 1, width);
            if (value < 0)
                throw ECriteriaError(line, QStringLiteral("\"\\%1\" deve ter %2 dígitos "
                                                          "hexadecimais.")
                                               .arg(e)
                                               .arg(width));
            out += QChar(char16_t(value));
            i += width;
            break;
        }
        default:
            throw ECriteriaError(line, QStringLiteral("sequência \"\\%1\" inválida no valor; "
                                                      "escreva \\\\ para uma barra invertida.")
                                           .arg(shownValue(QString(e))));
        }
    }
    return out;
}

CriteriaFile CriteriaFile::parse(const QByteArray &data)
{
    static const QRegularExpression namePattern(QStringLiteral("^[a-z0-9_]+(\\.[a-z0-9_]+)*$"));
    if (data.size() > kMaxFileSize)
        throw ECriteriaError(
            int(data.left(kMaxFileSize).count('\n') + 1),
            QStringLiteral("o arquivo de critérios passa de %1 KiB.").arg(kMaxFileSize / 1024));
    CriteriaFile file;
    int number = 0;
    for (qsizetype start = 0; start < data.size();) {
        ++number;
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        if (end - start > kMaxLineSize)
            throw ECriteriaError(
                number, QStringLiteral("a linha passa de %1 KiB.").arg(kMaxLineSize / 1024));
        QByteArrayView raw(data.constData() + start, end - start);
        start = end + 1;
        if (number == 1 && raw.startsWith("\xEF\xBB\xBF"))
            raw = raw.sliced(3); // byte order mark
        // Stateless: a sequence cut at the end of the line is an error, not pending input.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(raw);
        if (decoder.hasError())
            throw ECriteriaError(number, QStringLiteral("o texto não está em UTF-8."));
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw ECriteriaError(number, QStringLiteral("linha malformada, esperado nome=valor: "
                                                        "\"%1\".")
                                             .arg(shownValue(trimmed)));
        const QString name = trimmed.left(eq).trimmed().toLower();
        if (name.isEmpty())
            throw ECriteriaError(number, QStringLiteral("linha malformada, falta o nome do "
                                                        "critério antes de '='."));
        if (!namePattern.match(name).hasMatch())
            throw ECriteriaError(
                number, QStringLiteral("nome de critério inválido: \"%1\".").arg(shownValue(name)));
        file.lines << CriteriaLine{number, name, unescape(trimmed.mid(eq + 1).trimmed(), number)};
    }
    return file;
}

CriteriaFile CriteriaFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ECriteriaError(0,
                             QStringLiteral("Não foi possível ler o arquivo de critérios "
                                            "\"%1\": %2")
                                 .arg(shownValue(QDir::toNativeSeparators(path)), f.errorString()));
    // One byte more than a file may hold tells a file that is too long, whatever it is
    // (a device that never ends, a file that grows).
    const QByteArray data = f.read(kMaxFileSize + 1);
    if (f.error() != QFileDevice::NoError)
        throw ECriteriaError(0,
                             QStringLiteral("Não foi possível ler o arquivo de critérios "
                                            "\"%1\": %2")
                                 .arg(shownValue(QDir::toNativeSeparators(path)), f.errorString()));
    return parse(data);
}

QByteArray CriteriaFile::toUtf8() const
{
    QString text;
    for (QString comment : comments) {
        // A comment is one line whatever it holds.
        for (QChar &c : comment)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = QLatin1Char(' ');
        text += QStringLiteral("# %1\n").arg(comment);
    }
    if (!comments.isEmpty())
        text += QLatin1Char('\n');
    for (const CriteriaLine &line : lines)
        text += line.name + QLatin1Char('=') + escape(line.value) + QLatin1Char('\n');
    return text.toUtf8();
}

void CriteriaFile::save(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toUtf8()) < 0 || !f.commit())
        throw EAppError(QStringLiteral("Não foi possível gravar o arquivo de critérios \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), f.errorString()));
}

QString shownValue(const QString &value)
{
    QString shown = CriteriaFile::escape(value.left(kShownLength + 1));
    if (shown.size() <= kShownLength && value.size() <= kShownLength)
        return shown;
    shown.truncate(kShownLength);
    if (!shown.isEmpty() && shown.back().isHighSurrogate())
        shown.chop(1);
    return QStringLiteral("%1… (%2 caracteres)").arg(shown).arg(value.size());
}

QString commandLineHint(const QString &reportCode, int layout, const QString &criteriaPath)
{
    QString path = QDir::toNativeSeparators(criteriaPath);
    if (path.contains(QRegularExpression(QStringLiteral("[\\s\"'$`\\\\]"))))
        path = QLatin1Char('\'') + path.replace(QLatin1Char('\''), QLatin1String("'\\''")) +
               QLatin1Char('\'');
    return QStringLiteral("kmbhost --report %1 --layout %2 --criteria %3 --out RELATORIO.pdf")
        .arg(reportCode)
        .arg(layout)
        .arg(path);
}
