#include "reportpdf.h"

#include <QDateTime>
#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Compression of the page streams: fast, since report pages compress well at any level.
const int kCompression = 1;

quint16 u16(const QByteArray &data, qsizetype at)
{
    if (at + 2 > data.size())
        return 0;
    return quint16((quint8(data[at]) << 8) | quint8(data[at + 1]));
}

quint32 u32(const QByteArray &data, qsizetype at)
{
    return (quint32(u16(data, at)) << 16) | u16(data, at + 2);
}

void put16(QByteArray &data, qsizetype at, quint16 v)
{
    data[at] = char(v >> 8);
    data[at + 1] = char(v & 0xff);
}

void append32(QByteArray &data, quint32 v)
{
    data.append(char(v >> 24)).append(char((v >> 16) & 0xff));
    data.append(char((v >> 8) & 0xff)).append(char(v & 0xff));
}

quint32 tableChecksum(const QByteArray &table)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < table.size(); i += 4) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | (i + b < table.size() ? quint8(table[i + b]) : 0);
        sum += word;
    }
    return sum;
}

// A number with at most three decimals, as PDF content wants it.
void appendNumber(QByteArray &out, double value)
{
    qint64 v = std::llround(value * 1000.0);
    char buffer[32];
    char *end = buffer + sizeof(buffer);
    char *p = end;
    const bool negative = v < 0;
    if (negative)
        v = -v;
    int fraction = int(v % 1000);
    qint64 whole = v / 1000;
    if (fraction != 0) {
        int digits = 3;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        for (int i = 0; i < digits; ++i) {
            *--p = char('0' + fraction % 10);
            fraction /= 10;
        }
        *--p = '.';
    }
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    if (negative)
        *--p = '-';
    out.append(p, end - p);
}

void appendHex4(QByteArray &out, quint32 v)
{
    static const char hex[] = "0123456789ABCDEF";
    out.append(hex[(v >> 12) & 0xf]).append(hex[(v >> 8) & 0xf]);
    out.append(hex[(v >> 4) & 0xf]).append(hex[v & 0xf]);
}

// A text string: literal for ASCII, UTF-16 with a byte order mark otherwise.
QByteArray pdfString(const QString &text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii) {
        QByteArray out = "(";
        for (QChar c : text) {
            if (c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char('\\'))
                out.append('\\');
            out.append(char(c.unicode()));
        }
        return out + ")";
    }
    QByteArray out = "<FEFF";
    for (QChar c : text)
        appendHex4(out, c.unicode());
    return out + ">";
}

QByteArray deflate(const QByteArray &data)
{
    // qCompress prefixes the length; the rest is the zlib stream FlateDecode reads.
    return qCompress(data, kCompression).mid(4);
}

} // namespace

ReportPdfWriter::ReportPdfWriter(QIODevice *device, const ReportTextCache &text,
                                 const QSizeF &pageSize)
    : m_device(device)
    , m_text(text)
    , m_pageSize(pageSize)
{}

int ReportPdfWriter::typefaceOf(int font)
{
    return font == ReportTextCache::Bold || font == ReportTextCache::Title ? Bold : Regular;
}

bool ReportPdfWriter::canEmbed(const ReportTextCache &text)
{
    for (int f : {ReportTextCache::Body, ReportTextCache::Bold}) {
        const QRawFont &font = text.rawFont(ReportTextCache::Font(f));
        if (!font.isValid() || font.fontTable("glyf").isEmpty() ||
            font.fontTable("loca").isEmpty() || font.fontTable("head").size() < 54)
            return false;
    }
    return true;
}

int ReportPdfWriter::newObject()
{
    m_offsets.push_back(0);
    return int(m_offsets.size() - 1);
}

void ReportPdfWriter::startObject(int id)
{
    m_offsets[size_t(id)] = m_position;
    write(QByteArray::number(id) + " 0 obj\n");
}

void ReportPdfWriter::write(const QByteArray &data)
{
    if (!m_ok)
        return;
    if (m_device->write(data) != data.size())
        m_ok = false;
    m_position += data.size();
}

void ReportPdfWriter::writeStream(int id, const QByteArray &data, const QByteArray &extraDictionary)
{
    const QByteArray compressed = deflate(data);
    startObject(id);
    write("<< /Length " + QByteArray::number(compressed.size()) + " /Filter /FlateDecode" +
          extraDictionary + " >>\nstream\n");
    write(compressed);
    write("\nendstream\nendobj\n");
}

bool ReportPdfWriter::begin()
{
    m_offsets.assign(1, 0);
    m_catalog = newObject();
    m_pageTree = newObject();
    m_resources = newObject();
    m_info = newObject();
    for (int t = 0; t < TypefaceCount; ++t)
        m_used[t].assign(size_t(1), true); // glyph 0, .notdef, is always kept
    write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    return m_ok;
}

bool ReportPdfWriter::addPage(const ReportPageItems &items)
{
    const double height = m_pageSize.height();
    QByteArray &c = m_content;
    c.clear();
    c.reserve(64 * 1024);

    for (const ReportPageItems::Fill &fill : items.fills) {
        appendNumber(c, qRed(fill.color) / 255.0);
        c.append(' ');
        appendNumber(c, qGreen(fill.color) / 255.0);
        c.append(' ');
        appendNumber(c, qBlue(fill.color) / 255.0);
        c.append(" rg\n");
        appendNumber(c, fill.rect.x());
        c.append(' ');
        appendNumber(c, height - fill.rect.bottom());
        c.append(' ');
        appendNumber(c, fill.rect.width());
        c.append(' ');
        appendNumber(c, fill.rect.height());
        c.append(" re f\n");
    }
    if (!items.lines.empty()) {
        c.append("0 G ");
        appendNumber(c, ReportDocument::ruleWidth());
        c.append(" w\n");
        for (const QLineF &line : items.lines) {
            appendNumber(c, line.x1());
            c.append(' ');
            appendNumber(c, height - line.y1());
            c.append(" m ");
            appendNumber(c, line.x2());
            c.append(' ');
            appendNumber(c, height - line.y2());
            c.append(" l\n");
        }
        c.append("S\n");
    }

    // The texts, font by font: one string of glyph indices each, written straight into the
    // buffer (this loop runs for every cell of the report).
    c.append("0 g\nBT\n");
    const quint32 *glyphs = m_text.glyphs();
    static const char hex[] = "0123456789ABCDEF";
    for (int f = 0; f < ReportTextCache::FontCount; ++f) {
        const int typeface = typefaceOf(f);
        std::vector<bool> &used = m_used[typeface];
        bool selected = false;
        for (const ReportPageItems::Text &text : items.texts) {
            const ReportTextCache::Run &run = m_text.run(text.run);
            if (run.font != f || run.count == 0)
                continue;
            if (!selected) {
                c.append("/F").append(char('0' + typeface)).append(' ');
                appendNumber(c, m_text.pointSize(ReportTextCache::Font(f)));
                c.append(" Tf\n");
                selected = true;
            }
            c.append("1 0 0 1 ");
            appendNumber(c, text.x);
            c.append(' ');
            appendNumber(c, height - text.y);
            const qsizetype at = c.size();
            c.resize(at + 6 + 4 * qsizetype(run.count) + 5);
            char *out = c.data() + at;
            memcpy(out, " Tm <", 5);
            out += 5;
            for (quint32 i = 0; i < run.count; ++i) {
                const quint32 g = glyphs[run.first + i];
                out[0] = hex[(g >> 12) & 0xf];
                out[1] = hex[(g >> 8) & 0xf];
                out[2] = hex[(g >> 4) & 0xf];
                out[3] = hex[g & 0xf];
                out += 4;
                if (g >= used.size())
                    used.resize(g + 1, false);
                used[g] = true;
            }
            memcpy(out, "> Tj\n", 5);
            out += 5;
            c.resize(out - c.data());
        }
    }
    c.append("ET\n");

    const int page = newObject();
    const int content = newObject();
    m_pages.push_back(page);
    startObject(page);
    QByteArray dict =
        "<< /Type /Page /Parent " + QByteArray::number(m_pageTree) + " 0 R /MediaBox [0 0 ";
    appendNumber(dict, m_pageSize.width());
    dict.append(' ');
    appendNumber(dict, m_pageSize.height());
    dict += "] /Resources " + QByteArray::number(m_resources) + " 0 R /Contents " +
            QByteArray::number(content) + " 0 R >>\nendobj\n";
    write(dict);
    writeStream(content, c);
    return m_ok;
}

QByteArray ReportPdfWriter::subsetTrueType(const QRawFont &font, const std::vector<bool> &wanted)
{
    QByteArray head = font.fontTable("head");
    const QByteArray loca = font.fontTable("loca");
    const QByteArray glyf = font.fontTable("glyf");
    const QByteArray maxp = font.fontTable("maxp");
    if (head.size() < 54 || loca.isEmpty() || glyf.isEmpty() || maxp.size() < 6)
        return {};
    const int glyphCount = u16(maxp, 4);
    const bool longOffsets = u16(head, 50) == 1;
    auto offset = [&](int g) -> quint32 {
        return longOffsets ? u32(loca, qsizetype(g) * 4) : quint32(u16(loca, qsizetype(g) * 2)) * 2;
    };

    // The wanted glyphs and, through composite glyphs, the glyphs they are built of.
    std::vector<bool> keep(size_t(glyphCount), false);
    std::vector<int> pending;
    for (size_t g = 0; g < wanted.size() && g < size_t(glyphCount); ++g)
        if (wanted[g])
            pending.push_back(int(g));
    if (glyphCount > 0)
        pending.push_back(0);
    while (!pending.empty()) {
        const int g = pending.back();
        pending.pop_back();
        if (keep[size_t(g)])
            continue;
        keep[size_t(g)] = true;
        const quint32 start = offset(g);
        const quint32 end = offset(g + 1);
        if (end <= start + 10 || end > quint32(glyf.size()))
            continue;
        if (qint16(u16(glyf, start)) >= 0)
            continue; // a simple glyph
        qsizetype at = start + 10;
        while (at + 4 <= qsizetype(end)) {
            const quint16 flags = u16(glyf, at);
            const quint16 component = u16(glyf, at + 2);
            if (component < glyphCount && !keep[component])
                pending.push_back(component);
            at += 4 + ((flags & 0x0001) ? 4 : 2); // ARG_1_AND_2_ARE_WORDS
            if (flags & 0x0008)
                at += 2; // WE_HAVE_A_SCALE
            else if (flags & 0x0040)
                at += 4; // WE_HAVE_AN_X_AND_Y_SCALE
            else if (flags & 0x0080)
                at += 8; // WE_HAVE_A_TWO_BY_TWO
            if (!(flags & 0x0020))
                break; // MORE_COMPONENTS
        }
    }

    // Glyph data of the kept glyphs only; the others become empty, their numbers unchanged.
    QByteArray newGlyf;
    QByteArray newLoca;
    for (int g = 0; g < glyphCount; ++g) {
        append32(newLoca, quint32(newGlyf.size()));
        const quint32 start = offset(g);
        const quint32 end = offset(g + 1);
        if (keep[size_t(g)] && end > start && end <= quint32(glyf.size())) {
            newGlyf.append(glyf.constData() + start, end - start);
            while (newGlyf.size() % 4)
                newGlyf.append('\0');
        }
    }
    append32(newLoca, quint32(newGlyf.size()));
    put16(head, 50, 1); // long loca offsets
    for (int i = 8; i < 12; ++i)
        head[i] = 0; // checksum adjustment, which readers do not check

    struct Table
    {
        const char *tag;
        QByteArray data;
    };
    std::vector<Table> tables;
    for (const char *tag :
         {"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"}) {
        QByteArray data;
        if (qstrcmp(tag, "glyf") == 0)
            data = newGlyf;
        else if (qstrcmp(tag, "loca") == 0)
            data = newLoca;
        else if (qstrcmp(tag, "head") == 0)
            data = head;
        else
            data = font.fontTable(tag);
        if (!data.isEmpty())
            tables.push_back({tag, data});
    }
    const int n = int(tables.size());
    int power = 1;
    int log = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log;
    }
    QByteArray out;
    append32(out, 0x00010000);
    out.append(char(n >> 8)).append(char(n & 0xff));
    out.append(char((power * 16) >> 8)).append(char((power * 16) & 0xff));
    out.append(char(log >> 8)).append(char(log & 0xff));
    out.append(char((n * 16 - power * 16) >> 8)).append(char((n * 16 - power * 16) & 0xff));
    quint32 at = quint32(12 + 16 * n);
    for (const Table &t : tables) {
        out.append(t.tag, 4);
        append32(out, tableChecksum(t.data));
        append32(out, at);
        append32(out, quint32(t.data.size()));
        at += quint32((t.data.size() + 3) & ~3);
    }
    for (const Table &t : tables) {
        out.append(t.data);
        while (out.size() % 4)
            out.append('\0');
    }
    return out;
}

int ReportPdfWriter::writeFont(int typeface)
{
    const ReportTextCache::Font primary =
        typeface == Bold ? ReportTextCache::Bold : ReportTextCache::Body;
    const QRawFont &font = m_text.rawFont(primary);
    const std::vector<bool> &used = m_used[typeface];
    const QByteArray program = subsetTrueType(font, used);
    const QByteArray head = font.fontTable("head");
    const double unitsPerEm = qMax(1, int(u16(head, 18)));
    const double scale = 1000.0 / unitsPerEm;

    QString family = font.familyName();
    family.remove(QLatin1Char(' '));
    const QByteArray baseName =
        (typeface == Bold ? QByteArrayLiteral("KMBAAB+") : QByteArrayLiteral("KMBAAA+")) +
        family.toLatin1() + (typeface == Bold ? "-Bold" : "");

    // Widths in thousandths of an em of the glyphs used.
    QRawFont metrics = font;
    metrics.setPixelSize(1000);
    QByteArray widths = "[";
    for (size_t g = 0; g < used.size(); ++g) {
        if (!used[g])
            continue;
        quint32 glyph = quint32(g);
        QPointF advance;
        metrics.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        widths += QByteArray::number(qulonglong(g)) + " [";
        appendNumber(widths, advance.x());
        widths += "] ";
    }
    widths += "]";

    // Text extraction: each glyph back to the character it was shaped from.
    QByteArray pairs;
    int pairCount = 0;
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    auto flushPairs = [&]() {
        if (pairCount == 0)
            return;
        cmap += QByteArray::number(pairCount) + " beginbfchar\n" + pairs + "endbfchar\n";
        pairs.clear();
        pairCount = 0;
    };
    for (size_t g = 1; g < used.size(); ++g) {
        if (!used[g])
            continue;
        char32_t c = 0;
        for (int f = 0; f < ReportTextCache::FontCount && c == 0; ++f)
            if (typefaceOf(f) == typeface)
                c = m_text.unicodeOf(ReportTextCache::Font(f), quint32(g));
        if (c == 0)
            continue;
        pairs.append('<');
        appendHex4(pairs, quint32(g));
        pairs.append("> <");
        if (c > 0xffff) {
            appendHex4(pairs, QChar::highSurrogate(c));
            appendHex4(pairs, QChar::lowSurrogate(c));
        } else {
            appendHex4(pairs, quint32(c));
        }
        pairs.append(">\n");
        if (++pairCount == 100)
            flushPairs();
    }
    flushPairs();
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

    const int fontFile = newObject();
    const int descriptor = newObject();
    const int cidFont = newObject();
    const int toUnicode = newObject();
    const int type0 = newObject();
    writeStream(fontFile, program, " /Length1 " + QByteArray::number(program.size()));

    QByteArray d = "<< /Type /FontDescriptor /FontName /" + baseName + " /Flags 32 /FontBBox [";
    for (int i = 0; i < 4; ++i) {
        appendNumber(d, qint16(u16(head, 36 + 2 * i)) * scale);
        d.append(i < 3 ? " " : "");
    }
    d += "] /ItalicAngle 0 /Ascent ";
    appendNumber(d, metrics.ascent());
    d += " /Descent ";
    appendNumber(d, -metrics.descent());
    d += " /CapHeight ";
    appendNumber(d, metrics.capHeight());
    d += QByteArray(" /StemV ") + (typeface == Bold ? "120" : "80") + " /FontFile2 " +
         QByteArray::number(fontFile) + " 0 R >>\nendobj\n";
    startObject(descriptor);
    write(d);

    startObject(cidFont);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + baseName +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
          " /FontDescriptor " +
          QByteArray::number(descriptor) + " 0 R /CIDToGIDMap /Identity /DW 1000 /W " + widths +
          " >>\nendobj\n");
    writeStream(toUnicode, cmap);
    startObject(type0);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + baseName +
          " /Encoding /Identity-H /DescendantFonts [" + QByteArray::number(cidFont) +
          " 0 R] /ToUnicode " + QByteArray::number(toUnicode) + " 0 R >>\nendobj\n");
    return type0;
}

bool ReportPdfWriter::finish()
{
    int fonts[TypefaceCount];
    for (int t = 0; t < TypefaceCount; ++t)
        fonts[t] = writeFont(t);

    startObject(m_resources);
    write("<< /ProcSet [/PDF /Text] /Font << /F0 " + QByteArray::number(fonts[Regular]) +
          " 0 R /F1 " + QByteArray::number(fonts[Bold]) + " 0 R >> >>\nendobj\n");

    QByteArray kids;
    for (int page : m_pages)
        kids += QByteArray::number(page) + " 0 R ";
    startObject(m_pageTree);
    write("<< /Type /Pages /Count " + QByteArray::number(qsizetype(m_pages.size())) + " /Kids [" +
          kids + "] >>\nendobj\n");

    startObject(m_catalog);
    write("<< /Type /Catalog /Pages " + QByteArray::number(m_pageTree) + " 0 R >>\nendobj\n");

    const QByteArray now =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    startObject(m_info);
    write("<< /Title " + pdfString(m_title) + " /Creator " + pdfString(m_creator) + " /Producer " +
          pdfString(m_creator) + " /CreationDate (D:" + now + ") >>\nendobj\n");

    const qint64 xref = m_position;
    QByteArray table =
        "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n";
    for (size_t i = 1; i < m_offsets.size(); ++i)
        table += QByteArray::number(m_offsets[i]).rightJustified(10, '0') + " 00000 n \n";
    table += "trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size())) + " /Root " +
             QByteArray::number(m_catalog) + " 0 R /Info " + QByteArray::number(m_info) +
             " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    write(table);
    return m_ok;
}
