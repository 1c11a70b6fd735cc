#include "reportrender.h"

#include "errors.h"
#include "mask.h"

#include <QFont>
#include <QGlyphRun>
#include <QLocale>
#include <QPainter>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {

const QLocale &brazil()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

QString trimmedRight(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return end == text.size() ? text : text.left(end);
}

QDate dateOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    default:
        return QDate::fromString(value.toString().left(10), Qt::ISODate);
    }
}

QDateTime dateTimeOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay();
    QString text = value.toString().trimmed();
    text.replace(QLatin1Char(' '), QLatin1Char('T'));
    QDateTime dt = QDateTime::fromString(text.left(19), Qt::ISODate);
    if (!dt.isValid())
        dt = QDate::fromString(text.left(10), Qt::ISODate).startOfDay();
    return dt;
}

bool numberOf(const QVariant &value, double *number)
{
    bool ok = false;
    *number = value.toDouble(&ok);
    return ok && std::isfinite(*number);
}

qint64 power10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// An exact decimal (value / scale) in Brazilian notation.
QString scaledText(qint64 value, int decimals)
{
    const qint64 scale = power10(decimals);
    const bool negative = value < 0;
    const quint64 magnitude = negative ? quint64(-(value + 1)) + 1 : quint64(value);
    QString text = brazil().toString(qulonglong(magnitude / quint64(scale)));
    if (decimals > 0)
        text +=
            brazil().decimalPoint() +
            QString::number(magnitude % quint64(scale)).rightJustified(decimals, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + text : text;
}

// Drops trailing zeros of the decimals down to a minimum (and the separator with them).
QString trimDecimals(QString text, QChar point, int decimals, int minDecimals)
{
    int drop = 0;
    while (drop < decimals - minDecimals && text.at(text.size() - 1 - drop) == QLatin1Char('0'))
        ++drop;
    text.chop(drop);
    if (drop == decimals && decimals > 0 && text.endsWith(point))
        text.chop(1);
    return text;
}

// Replaces control characters, which a font has no glyph for, with blanks.
QString printable(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20) {
            QString copy = text;
            for (QChar &d : copy)
                if (d.unicode() < 0x20)
                    d = QLatin1Char(' ');
            return copy;
        }
    }
    return text;
}

} // namespace

QString reportDisplayValue(const QVariant &value, const ReportFormat &format,
                           const QString &personType)
{
    if (value.isNull())
        return {};
    switch (format.kind) {
    case ReportFormat::Text:
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
        return trimmedRight(value.toString());
    case ReportFormat::Date: {
        const QDate date = dateOf(value);
        return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy"))
                              : trimmedRight(value.toString());
    }
    case ReportFormat::DateTime: {
        const QDateTime dt = dateTimeOf(value);
        return dt.isValid() ? dt.toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                            : trimmedRight(value.toString());
    }
    case ReportFormat::Integer: {
        double d = 0;
        if (!numberOf(value, &d))
            return trimmedRight(value.toString());
        return brazil().toString(qlonglong(std::llround(d)));
    }
    case ReportFormat::Number: {
        double d = 0;
        if (!numberOf(value, &d))
            return trimmedRight(value.toString());
        return trimDecimals(
            scaledText(std::llround(d * double(power10(format.decimals))), format.decimals),
            brazil().decimalPoint().at(0), format.decimals, format.minDecimals);
    }
    case ReportFormat::Mask:
        return FormatMaskText(format.argument, trimmedRight(value.toString()));
    case ReportFormat::RegNum: {
        const QString number = trimmedRight(value.toString());
        const QString mask = PictPess(personType.trimmed());
        return mask.isEmpty() ? number : FormatMaskText(mask, number);
    }
    case ReportFormat::TreeCode: {
        const QString code = trimmedRight(value.toString());
        const QString mask = DBPict(TPictType::ptArvProd);
        return mask.isEmpty() ? code : FormatMaskText(mask, code);
    }
    }
    return value.toString();
}

QString reportRawValue(const QVariant &value, const ReportFormat &format)
{
    if (value.isNull())
        return {};
    switch (format.kind) {
    case ReportFormat::Date: {
        const QDate date = dateOf(value);
        return date.isValid() ? date.toString(Qt::ISODate) : trimmedRight(value.toString());
    }
    case ReportFormat::DateTime: {
        const QDateTime dt = dateTimeOf(value);
        return dt.isValid() ? dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                            : trimmedRight(value.toString());
    }
    case ReportFormat::Integer: {
        double d = 0;
        return numberOf(value, &d) ? QString::number(std::llround(d))
                                   : trimmedRight(value.toString());
    }
    case ReportFormat::Number: {
        double d = 0;
        return numberOf(value, &d)
                   ? trimDecimals(QString::number(d, 'f', format.decimals), QLatin1Char('.'),
                                  format.decimals, format.minDecimals)
                   : trimmedRight(value.toString());
    }
    default:
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(Qt::ISODate);
        return trimmedRight(value.toString());
    }
}

ReportFieldMap::ReportFieldMap(const QSqlRecord &record, const QStringList &required,
                               const QString &report)
{
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i).toUpper();
        if (!m_index.contains(name))
            m_index.insert(name, i);
    }
    QStringList missing;
    for (const QString &field : required)
        if (!m_index.contains(field.toUpper()))
            missing.append(field);
    if (!missing.isEmpty())
        throw EAppError(
            QStringLiteral("O relatório \"%1\" usa %2 %3, que a consulta não "
                           "retorna.")
                .arg(report,
                     missing.size() == 1 ? QStringLiteral("o campo") : QStringLiteral("os campos"),
                     missing.join(QStringLiteral(", "))));
}

// ---------------------------------------------------------------------------------------------

ReportTextCache::ReportTextCache()
{
    static const qreal sizes[FontCount] = {7.5, 7.5, 13.0, 6.8};
    for (int f = 0; f < FontCount; ++f) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setHintingPreference(QFont::PreferNoHinting);
        font.setPixelSize(48);
        font.setBold(f == Bold || f == Title);
        m_fonts[f] = QRawFont::fromFont(font);
        m_fonts[f].setPixelSize(sizes[f]);
        quint32 glyph = 0;
        int n = 1;
        const QChar ellipsis(0x2026);
        if (!m_fonts[f].glyphIndexesForChars(&ellipsis, 1, &glyph, &n) || glyph == 0) {
            const QChar dot(QLatin1Char('.'));
            m_fonts[f].glyphIndexesForChars(&dot, 1, &glyph, &n);
        }
        QPointF advance;
        m_fonts[f].advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        m_ellipsis[f] = glyph;
        mapUnicode(Font(f), glyph, glyph == 0 ? U'.' : U'\u2026');
        m_ellipsisWidth[f] = float(advance.x());
    }
}

qreal ReportTextCache::pointSize(Font font) const
{
    return m_fonts[font].pixelSize();
}

void ReportTextCache::mapUnicode(Font font, quint32 glyph, char32_t c)
{
    std::vector<char32_t> &map = m_unicode[font];
    if (glyph >= map.size())
        map.resize(qMax<size_t>(glyph + 1, map.size() * 2), 0);
    if (map[glyph] == 0)
        map[glyph] = c;
}

int ReportTextCache::addSlot(Font font, qreal maxWidth)
{
    m_slots.push_back({font, maxWidth, {}});
    return int(m_slots.size() - 1);
}

int ReportTextCache::text(int slot, const QString &text)
{
    const int found = find(slot, text);
    return found >= 0 ? found : insert(slot, text, text);
}

int ReportTextCache::insert(int slot, const QString &key, const QString &text)
{
    Slot &s = m_slots[size_t(slot)];
    const int run = shape(s.font, text, s.maxWidth);
    s.cache.insert(key, run);
    return run;
}

void ReportTextCache::glyphsOf(Font font, const QString &text)
{
    // Each character's glyph and each glyph's advance are asked of the font once; after that a
    // text is shaped from these tables alone.
    const QRawFont &raw = m_fonts[font];
    std::vector<quint32> &glyphOf = m_charGlyph[font];
    std::vector<float> &advanceOf = m_glyphAdvance[font];
    m_glyphBuffer.resize(text.size());
    m_advances.resize(size_t(text.size()));
    int count = 0;
    for (qsizetype c = 0; c < text.size(); ++c) {
        const char16_t unit = text.at(c).unicode();
        quint32 glyph = 0;
        if (QChar::isSurrogate(unit)) {
            // Outside the basic plane: ask the font every time (rare in reports).
            char32_t code = unit;
            int n = 1;
            if (QChar::isHighSurrogate(unit) && c + 1 < text.size() &&
                text.at(c + 1).isLowSurrogate()) {
                const QChar pair[2] = {text.at(c), text.at(c + 1)};
                code = QChar::surrogateToUcs4(pair[0], pair[1]);
                raw.glyphIndexesForChars(pair, 2, &glyph, &n);
                ++c;
            }
            mapUnicode(font, glyph, code);
        } else {
            if (glyphOf.empty())
                glyphOf.assign(0x10000, kUnknown);
            glyph = glyphOf[unit];
            if (glyph == kUnknown) {
                const QChar ch(unit);
                int n = 1;
                glyph = 0;
                raw.glyphIndexesForChars(&ch, 1, &glyph, &n);
                glyphOf[unit] = glyph;
                mapUnicode(font, glyph, unit);
            }
        }
        if (glyph >= advanceOf.size())
            advanceOf.resize(qMax<size_t>(glyph + 1, advanceOf.size() * 2), -1.0f);
        if (advanceOf[glyph] < 0) {
            QPointF advance;
            raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
            advanceOf[glyph] = float(advance.x());
        }
        m_glyphBuffer[count] = glyph;
        m_advances[size_t(count)] = advanceOf[glyph];
        ++count;
    }
    m_glyphBuffer.resize(count);
    m_advances.resize(size_t(count));
}

int ReportTextCache::shape(Font font, const QString &input, qreal maxWidth)
{
    glyphsOf(font, printable(input));
    const int count = int(m_glyphBuffer.size());
    Run run;
    run.first = quint32(m_glyphs.size());
    run.font = quint8(font);
    float x = 0;
    for (int i = 0; i < count; ++i) {
        const float advance = m_advances[size_t(i)];
        if (maxWidth > 0 && x + advance > maxWidth) {
            // Elide: drop glyphs until the ellipsis fits after them.
            qsizetype keep = qsizetype(m_glyphs.size()) - run.first;
            while (keep > 0 && m_offsets.back() + m_ellipsisWidth[font] > maxWidth) {
                x = m_offsets.back();
                m_glyphs.pop_back();
                m_offsets.pop_back();
                --keep;
            }
            m_glyphs.push_back(m_ellipsis[font]);
            m_offsets.push_back(x);
            x += m_ellipsisWidth[font];
            break;
        }
        m_glyphs.push_back(m_glyphBuffer[i]);
        m_offsets.push_back(x);
        x += advance;
    }
    run.count = quint32(m_glyphs.size()) - run.first;
    run.width = x;
    m_runs.push_back(run);
    return int(m_runs.size() - 1);
}

qreal ReportTextCache::width(Font font, const QString &text)
{
    glyphsOf(font, printable(text));
    qreal w = 0;
    for (float a : m_advances)
        w += a;
    return w;
}

qint64 ReportTextCache::memoryBytes() const
{
    qint64 bytes = qint64(m_runs.capacity() * sizeof(Run) + m_glyphs.capacity() * 4 +
                          m_offsets.capacity() * 4);
    for (const Slot &s : m_slots)
        bytes += s.cache.size() * 48;
    return bytes;
}

// ---------------------------------------------------------------------------------------------

namespace {
const qreal kRowHeight = 10.0;
const qreal kHeaderHeight = 14.0;
const qreal kFooterHeight = 14.0;
const qreal kGrandHeight = 16.0;
const qreal kCellPadding = 2.0;
const qreal kRule = 0.5;
} // namespace

ReportDocument::ReportDocument(const ReportDefinition &definition, const ReportHeaderInfo &header)
    : m_definition(definition)
    , m_header(header)
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    m_pageSize =
        definition.orientation == QPageLayout::Landscape ? QSizeF(a4.height(), a4.width()) : a4;
    layoutHeader();
}

ReportDocument::~ReportDocument() = default;

void ReportDocument::layoutHeader()
{
    using F = ReportTextCache;
    const qreal left = m_margin;
    const qreal right = m_pageSize.width() - m_margin;
    const qreal width = right - left;
    auto place = [this](int run, qreal x, qreal baseline) {
        m_headerRuns.push_back({QPointF(x, baseline), run});
    };

    qreal y = m_margin;
    const int code = m_text.shape(F::Title, m_header.code, 0);
    const qreal codeWidth = m_text.run(code).width;
    place(m_text.shape(F::Title, m_definition.title, width - codeWidth - 12), left,
          y + m_text.ascent(F::Title));
    place(code, right - codeWidth, y + m_text.ascent(F::Title));
    y += 17;

    const int emitted =
        m_text.shape(F::Small,
                     QStringLiteral("Emitido em %1")
                         .arg(m_header.emitted.toString(QStringLiteral("dd/MM/yyyy hh:mm"))),
                     0);
    const qreal emittedWidth = m_text.run(emitted).width;
    place(m_text.shape(F::Bold, m_definition.name, width - emittedWidth - 12), left,
          y + m_text.ascent(F::Bold));
    place(emitted, right - emittedWidth, y + m_text.ascent(F::Bold));
    y += 11;

    // The criteria, wrapped between their parts.
    const QString separator = QStringLiteral("   ·   ");
    const qreal sepWidth = m_text.width(F::Small, separator);
    QString line;
    qreal lineWidth = 0;
    auto flush = [&]() {
        if (line.isEmpty())
            return;
        place(m_text.shape(F::Small, line, width), left, y + m_text.ascent(F::Small));
        y += 9;
        line.clear();
        lineWidth = 0;
    };
    for (const QString &part : m_header.criteria) {
        const qreal w = m_text.width(F::Small, part);
        if (!line.isEmpty() && lineWidth + sepWidth + w > width)
            flush();
        if (!line.isEmpty()) {
            line += separator;
            lineWidth += sepWidth;
        }
        line += part;
        lineWidth += w;
    }
    flush();

    y += 3;
    m_headerRule1 = y;
    y += 3;

    // Column geometry: the widths are shares of the page's width.
    double total = 0;
    for (const ReportColumn &c : m_definition.columns)
        total += c.width;
    qreal x = left;
    for (const ReportColumn &c : m_definition.columns) {
        const qreal w = width * c.width / total;
        m_columnX.push_back(x);
        m_columnWidth.push_back(w);
        m_columnSlot.push_back(m_text.addSlot(F::Body, w - 2 * kCellPadding));
        m_columnTotalSlot.push_back(m_text.addSlot(F::Bold, w - 2 * kCellPadding));
        m_columnScale.push_back(c.format.kind == ReportFormat::Number ? power10(c.format.decimals)
                                                                      : 1);
        m_headingRuns.push_back(m_text.shape(F::Bold, c.heading, w - 2 * kCellPadding));
        x += w;
    }
    m_headingsBaseline = y + m_text.ascent(F::Bold);
    y += 11;
    m_headerRule2 = y;
    y += 2;
    m_bodyTop = y;
    m_bodyBottom = m_pageSize.height() - m_margin - 14;

    m_groupSlot = m_text.addSlot(F::Bold, width - 8);
    m_pageNumberSlot = m_text.addSlot(F::Small, 0);
    // A total's label ends where the first total column begins.
    qreal firstTotal = right;
    for (qsizetype c = 0; c < m_definition.columns.size(); ++c)
        if (m_definition.columns.at(c).total != ReportColumn::NoTotal)
            firstTotal = qMin(firstTotal, m_columnX[size_t(c)]);
    m_footerSlot = m_text.addSlot(F::Bold, qMax<qreal>(40, firstTotal - left - 3 * kCellPadding));
    m_footerLeftRun = m_text.shape(
        F::Small, QStringLiteral("%1 - %2").arg(m_header.code, m_definition.name), width * 0.6);
    if (!m_definition.grandTotal.isEmpty())
        m_grandRun = m_text.shape(F::Bold, m_definition.grandTotal, 0);
}

qreal ReportDocument::lineHeight(LineKind kind) const
{
    switch (kind) {
    case RowLine:
        return kRowHeight;
    case HeaderLine:
        return kHeaderHeight;
    case FooterLine:
        return kFooterHeight;
    case GrandLine:
        return kGrandHeight;
    case EmptyLine:
        return kHeaderHeight;
    }
    return kRowHeight;
}

void ReportDocument::setRecord(const QSqlRecord &record)
{
    m_fields = ReportFieldMap(record, m_definition.fieldsUsed(), m_definition.name);
    m_columnField.clear();
    m_columnPersonField.clear();
    for (const ReportColumn &c : m_definition.columns) {
        m_columnField.push_back(m_fields.index(c.field));
        m_columnPersonField.push_back(
            c.format.kind == ReportFormat::RegNum ? m_fields.index(c.format.argument) : -1);
    }
    m_groupKeyField.clear();
    for (const ReportGroup &g : m_definition.groups)
        m_groupKeyField.push_back(m_fields.index(g.key));
    m_groupKeys.assign(m_definition.groups.size(), QVariant());
    m_footerLabels.assign(m_definition.groups.size(), QString());
    m_totals.assign(m_definition.groups.size() + 1, Totals());
    for (Totals &t : m_totals)
        t.sums.assign(m_definition.columns.size(), 0);
}

void ReportDocument::startPage()
{
    Page page;
    page.firstLine = page.endLine = int(m_lines.size());
    page.continued = m_openHeaders;
    m_used = 0;
    for (size_t i = 0; i < page.continued.size(); ++i)
        m_used += kHeaderHeight;
    m_pages.push_back(std::move(page));
}

void ReportDocument::appendLine(LineKind kind, int level, const std::vector<qint32> &cells)
{
    const qreal height = lineHeight(kind);
    qreal needed = height;
    if (kind == HeaderLine) // a group heading keeps its deeper headings and a row with it
        needed += kHeaderHeight * qreal(m_definition.groups.size() - 1 - level) + kRowHeight;
    if (m_pages.empty() || (m_used + needed > m_bodyBottom - m_bodyTop &&
                            m_pages.back().endLine > m_pages.back().firstLine))
        startPage();
    Line line{kind, quint8(level), qint32(m_cells.size())};
    m_cells.insert(m_cells.end(), cells.begin(), cells.end());
    m_lines.push_back(line);
    m_pages.back().endLine = int(m_lines.size());
    m_used += height;
}

QString ReportDocument::fieldText(const QSqlQuery &query, const QString &field, int level) const
{
    const int index = m_fields.index(field);
    if (index < 0)
        return {};
    const QVariant value = query.value(index);
    // The group's own format for the field, else a column's, else the text.
    const ReportFormat *format = nullptr;
    for (int l = level; l >= 0 && !format; --l)
        for (const ReportGroupField &f : m_definition.groups.at(l).fields)
            if (f.field == field) {
                format = &f.format;
                break;
            }
    if (!format)
        for (const ReportColumn &c : m_definition.columns)
            if (c.field == field) {
                format = &c.format;
                break;
            }
    static const ReportFormat text;
    const ReportFormat &fmt = format ? *format : text;
    QString personType;
    if (fmt.kind == ReportFormat::RegNum)
        personType = query.value(m_fields.index(fmt.argument)).toString();
    return reportDisplayValue(value, fmt, personType);
}

QString ReportDocument::expandTemplate(const QString &text, const QSqlQuery &query, int level) const
{
    QString out;
    out.reserve(text.size() + 32);
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('{')) {
            const int close = int(text.indexOf(QLatin1Char('}'), i + 1));
            if (close > i) {
                const QString name = text.mid(i + 1, close - i - 1);
                if (!templateFields(text.mid(i, close - i + 1)).isEmpty()) {
                    out += fieldText(query, name.toUpper(), level);
                    i = close + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

void ReportDocument::openGroup(int level, const QSqlQuery &query)
{
    const ReportGroup &group = m_definition.groups.at(level);
    const QString heading = expandTemplate(group.heading, query, level);
    m_footerLabels[size_t(level)] = expandTemplate(group.footer, query, level);
    m_groupKeys[size_t(level)] = query.value(m_groupKeyField[size_t(level)]);
    m_totals[size_t(level)].count = 0;
    std::fill(m_totals[size_t(level)].sums.begin(), m_totals[size_t(level)].sums.end(), 0);
    m_scratch.clear();
    m_scratch.push_back(m_text.shape(ReportTextCache::Bold, heading, 0));
    m_scratch.push_back(
        m_text.shape(ReportTextCache::Bold, heading + QStringLiteral(" (continuação)"), 0));
    appendLine(HeaderLine, level, m_scratch);
    m_openHeaders.resize(size_t(level));
    m_openHeaders.push_back(int(m_lines.size() - 1));
}

int ReportDocument::totalCells(int level, const Totals &totals, std::vector<qint32> &cells,
                               int labelRun)
{
    Q_UNUSED(level);
    cells.clear();
    cells.push_back(labelRun);
    for (size_t c = 0; c < m_definition.columns.size(); ++c) {
        const ReportColumn &column = m_definition.columns.at(qsizetype(c));
        QString text;
        if (column.total == ReportColumn::Sum)
            text = column.format.kind == ReportFormat::Number
                       ? trimDecimals(scaledText(totals.sums[c], column.format.decimals),
                                      brazil().decimalPoint().at(0), column.format.decimals,
                                      column.format.minDecimals)
                       : brazil().toString(qlonglong(totals.sums[c]));
        else if (column.total == ReportColumn::Count)
            text = brazil().toString(qlonglong(totals.count));
        cells.push_back(text.isEmpty() ? -1 : m_text.text(m_columnTotalSlot[c], text));
    }
    return int(cells.size());
}

void ReportDocument::closeGroup(int level)
{
    const ReportGroup &group = m_definition.groups.at(level);
    bool hasTotals = false;
    for (const ReportColumn &c : m_definition.columns)
        hasTotals = hasTotals || c.total != ReportColumn::NoTotal;
    if (group.totals && (!group.footer.isEmpty() || hasTotals)) {
        const QString label = m_footerLabels[size_t(level)];
        totalCells(level, m_totals[size_t(level)], m_scratch,
                   label.isEmpty() ? -1 : m_text.text(m_footerSlot, label));
        appendLine(FooterLine, level, m_scratch);
    }
    m_openHeaders.resize(size_t(level));
}

void ReportDocument::addTotals(const QSqlQuery &query)
{
    for (Totals &t : m_totals)
        ++t.count;
    for (size_t c = 0; c < m_definition.columns.size(); ++c) {
        if (m_definition.columns.at(qsizetype(c)).total != ReportColumn::Sum)
            continue;
        double d = 0;
        if (!numberOf(query.value(m_columnField[c]), &d))
            continue;
        const qint64 scaled = std::llround(d * double(m_columnScale[c]));
        for (Totals &t : m_totals)
            t.sums[c] += scaled;
    }
}

void ReportDocument::addRow(const QSqlQuery &query)
{
    const int groups = int(m_definition.groups.size());
    int changed = m_started ? groups : 0;
    if (m_started) {
        for (int l = 0; l < groups; ++l) {
            if (query.value(m_groupKeyField[size_t(l)]) != m_groupKeys[size_t(l)]) {
                changed = l;
                break;
            }
        }
        for (int l = groups - 1; l >= changed; --l)
            closeGroup(l);
    }
    m_started = true;
    for (int l = changed; l < groups; ++l)
        openGroup(l, query);

    m_scratch.clear();
    const size_t columns = m_definition.columns.size();
    for (size_t c = 0; c < columns; ++c) {
        const ReportColumn &column = m_definition.columns.at(qsizetype(c));
        const QVariant value = query.value(m_columnField[c]);
        if (value.isNull()) {
            m_scratch.push_back(-1);
            continue;
        }
        QString key = value.toString();
        QString personType;
        if (column.format.kind == ReportFormat::RegNum) {
            personType = query.value(m_columnPersonField[c]).toString();
            key = personType + QChar(0x1f) + key;
        }
        const int slot = m_columnSlot[c];
        int run = m_text.find(slot, key);
        if (run < 0)
            run = m_text.insert(slot, key, reportDisplayValue(value, column.format, personType));
        m_scratch.push_back(run);
    }
    addTotals(query);
    appendLine(RowLine, 0, m_scratch);
    ++m_rowCount;
}

void ReportDocument::finish()
{
    if (m_finished)
        return;
    if (m_started) {
        for (int l = int(m_definition.groups.size()) - 1; l >= 0; --l)
            closeGroup(l);
        if (m_grandRun >= 0) {
            totalCells(-1, m_totals.back(), m_scratch, m_grandRun);
            appendLine(GrandLine, 0, m_scratch);
        }
        m_finished = true;
    } else {
        startEmpty();
    }
}

void ReportDocument::finishInterrupted(const QString &reason)
{
    if (m_finished)
        return;
    m_scratch.assign(1, m_text.shape(ReportTextCache::Bold, reason, 0));
    appendLine(EmptyLine, 0, m_scratch);
    m_finished = true;
}

void ReportDocument::startEmpty()
{
    m_scratch.assign(1, m_text.shape(ReportTextCache::Body,
                                     QStringLiteral("Nenhum registro atende aos critérios "
                                                    "informados."),
                                     0));
    appendLine(EmptyLine, 0, m_scratch);
    m_finished = true;
}

int ReportDocument::completePageCount() const
{
    return m_finished ? pageCount() : qMax(0, pageCount() - 1);
}

qint64 ReportDocument::memoryBytes() const
{
    return m_text.memoryBytes() + qint64(m_lines.capacity() * sizeof(Line)) +
           qint64(m_cells.capacity() * sizeof(qint32)) + qint64(m_pages.size() * sizeof(Page));
}

void ReportDocument::collectPage(int pageIndex, ReportPageItems &items)
{
    items.clear();
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    using F = ReportTextCache;
    const Page &page = m_pages[size_t(pageIndex)];
    const qreal left = m_margin;
    const qreal right = m_pageSize.width() - m_margin;

    auto put = [&](int runIndex, qreal x, qreal baseline) {
        if (runIndex >= 0)
            items.texts.push_back({float(x), float(baseline), runIndex});
    };
    auto putIn = [&](int runIndex, size_t column, qreal baseline) {
        if (runIndex < 0)
            return;
        const qreal w = m_text.run(runIndex).width;
        const qreal x0 = m_columnX[column];
        const qreal cw = m_columnWidth[column];
        qreal x = x0 + kCellPadding;
        switch (m_definition.columns.at(qsizetype(column)).align) {
        case ReportColumn::Left:
            break;
        case ReportColumn::Right:
            x = x0 + cw - kCellPadding - w;
            break;
        case ReportColumn::Center:
            x = x0 + (cw - w) / 2;
            break;
        }
        put(runIndex, x, baseline);
    };
    auto rule = [&](qreal x1, qreal y1, qreal x2, qreal y2) {
        items.lines.push_back(QLineF(x1, y1, x2, y2));
    };

    // Page frame: header texts, rules, column headings, footer.
    for (const auto &[pos, run] : m_headerRuns)
        put(run, pos.x(), pos.y());
    rule(left, m_headerRule1, right, m_headerRule1);
    for (size_t c = 0; c < m_headingRuns.size(); ++c)
        putIn(m_headingRuns[c], c, m_headingsBaseline);
    rule(left, m_headerRule2, right, m_headerRule2);
    const qreal footerRule = m_pageSize.height() - m_margin - 10;
    rule(left, footerRule, right, footerRule);
    const qreal footerBaseline = footerRule + 2 + m_text.ascent(F::Small);
    put(m_footerLeftRun, left, footerBaseline);
    const QString pageText =
        QStringLiteral("Página %1 de %2")
            .arg(pageIndex + 1)
            .arg(m_finished ? QString::number(pageCount()) : QStringLiteral("…"));
    const int pageRun = m_text.text(m_pageNumberSlot, pageText);
    put(pageRun, right - m_text.run(pageRun).width, footerBaseline);

    static const QRgb shades[] = {qRgb(0xe4, 0xe4, 0xe4), qRgb(0xf0, 0xf0, 0xf0)};
    qreal y = m_bodyTop;
    auto header = [&](const Line &line, bool continued) {
        const qreal indent = 6.0 * line.level;
        items.fills.push_back(
            {QRectF(left + indent, y + 2, right - left - indent, kHeaderHeight - 3),
             shades[qMin<int>(line.level, 1)]});
        put(m_cells[size_t(line.data) + (continued ? 1 : 0)], left + indent + 3,
            y + 2 + 1.6 + m_text.ascent(F::Bold));
        y += kHeaderHeight;
    };
    for (int headerLine : page.continued)
        header(m_lines[size_t(headerLine)], true);

    const size_t columns = m_definition.columns.size();
    for (int i = page.firstLine; i < page.endLine; ++i) {
        const Line &line = m_lines[size_t(i)];
        const qint32 *cells = m_cells.data() + line.data;
        switch (line.kind) {
        case RowLine: {
            const qreal baseline = y + 1.5 + m_text.ascent(F::Body);
            for (size_t c = 0; c < columns; ++c)
                putIn(cells[c], c, baseline);
            y += kRowHeight;
            break;
        }
        case HeaderLine:
            header(line, false);
            break;
        case FooterLine:
        case GrandLine: {
            const bool grand = line.kind == GrandLine;
            const qreal top = y + (grand ? 3 : 1.5);
            // Rules over the totals (a double rule over the whole width for the grand total).
            if (grand) {
                rule(left, top, right, top);
                rule(left, top + 1.2, right, top + 1.2);
            }
            qreal firstTotalX = right;
            for (size_t c = 0; c < columns; ++c) {
                if (cells[c + 1] < 0)
                    continue;
                firstTotalX = qMin(firstTotalX, m_columnX[c]);
                if (!grand)
                    rule(m_columnX[c] + kCellPadding, top,
                         m_columnX[c] + m_columnWidth[c] - kCellPadding, top);
            }
            const qreal baseline = top + 2 + m_text.ascent(F::Bold);
            if (cells[0] >= 0) {
                const F::Run &label = m_text.run(cells[0]);
                // The label ends where the first total begins, or starts at the margin.
                qreal x = firstTotalX - kCellPadding * 2 - label.width;
                x = qMax(x, left + kCellPadding + 6.0 * line.level);
                put(cells[0], x, baseline);
            }
            for (size_t c = 0; c < columns; ++c)
                putIn(cells[c + 1], c, baseline);
            y += lineHeight(line.kind);
            break;
        }
        case EmptyLine:
            put(cells[0], left + kCellPadding, y + 4 + m_text.ascent(F::Body));
            y += kHeaderHeight;
            break;
        }
    }
}

void ReportDocument::paintPage(QPainter *painter, int pageIndex)
{
    using F = ReportTextCache;
    collectPage(pageIndex, m_items);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    for (const ReportPageItems::Fill &fill : m_items.fills)
        painter->fillRect(fill.rect, QColor(fill.color));
    painter->setPen(QPen(Qt::black, kRule));
    for (const QLineF &line : m_items.lines)
        painter->drawLine(line);

    // One glyph run per font for the whole page.
    QList<quint32> glyphs[F::FontCount];
    QList<QPointF> positions[F::FontCount];
    for (const ReportPageItems::Text &text : m_items.texts) {
        const F::Run &run = m_text.run(text.run);
        const quint32 *g = m_text.glyphs() + run.first;
        const float *o = m_text.offsets() + run.first;
        QList<quint32> &gl = glyphs[run.font];
        QList<QPointF> &pl = positions[run.font];
        for (quint32 i = 0; i < run.count; ++i) {
            gl.append(g[i]);
            pl.append(QPointF(qreal(text.x) + qreal(o[i]), qreal(text.y)));
        }
    }
    painter->setPen(Qt::black);
    for (int f = 0; f < F::FontCount; ++f) {
        if (glyphs[f].isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(m_text.rawFont(F::Font(f)));
        run.setGlyphIndexes(glyphs[f]);
        run.setPositions(positions[f]);
        painter->drawGlyphRun(QPointF(0, 0), run);
    }
    painter->restore();
}
