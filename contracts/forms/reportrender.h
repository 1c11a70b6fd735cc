#pragma once

#include "forms_global.h"
#include "reportdefinition.h"

#include <QDateTime>
#include <QHash>
#include <QLineF>
#include <QRawFont>
#include <QRectF>
#include <QRgb>
#include <QSizeF>
#include <QStringList>
#include <QVariant>

#include <vector>

class QPainter;
class QSqlQuery;
class QSqlRecord;

// Display text of a value ("dd/mm/yyyy" dates, "1.234,56" numbers); personType feeds RegNum.
FORMS_EXPORT QString reportDisplayValue(const QVariant &value, const ReportFormat &format,
                                        const QString &personType = {});
// Raw text of a value for files: ISO dates, numbers with a point and fixed decimals, texts
// with trailing blanks trimmed.
FORMS_EXPORT QString reportRawValue(const QVariant &value, const ReportFormat &format);

// Column positions of a query's result, looked up by name without regard to case. Raises
// EAppError naming a field the report needs and the query does not return.
class FORMS_EXPORT ReportFieldMap
{
public:
    ReportFieldMap() = default;
    ReportFieldMap(const QSqlRecord &record, const QStringList &required, const QString &report);
    int index(const QString &field) const { return m_index.value(field.toUpper(), -1); }

private:
    QHash<QString, int> m_index;
};

// Shapes each distinct text once into glyphs of a fixed font, so pages are drawn from cached
// glyph runs instead of laying out text again for every cell of every page.
class FORMS_EXPORT ReportTextCache
{
public:
    enum Font { Body, Bold, Title, Small, FontCount };
    struct Run
    {
        quint32 first = 0; // into glyphs() / offsets()
        quint32 count = 0;
        float width = 0;
        quint8 font = Body;
    };

    ReportTextCache();
    const QRawFont &rawFont(Font font) const { return m_fonts[font]; }
    qreal pointSize(Font font) const;
    qreal ascent(Font font) const { return m_fonts[font].ascent(); }

    // A cache slot for texts of one font fitted to one width (0: no limit).
    int addSlot(Font font, qreal maxWidth);
    // The run of a text in a slot, shaped (and elided to the slot's width) on first use.
    int text(int slot, const QString &text);
    // The run of a text under a key of the caller's choosing (the raw value of a cell), so a
    // value already seen is neither formatted nor shaped again.
    int find(int slot, const QString &key) const { return m_slots[slot].cache.value(key, -1); }
    int insert(int slot, const QString &key, const QString &text);
    // Shapes a text without caching (texts seen once, such as page numbers).
    int shape(Font font, const QString &text, qreal maxWidth);
    qreal width(Font font, const QString &text);

    const Run &run(int index) const { return m_runs[size_t(index)]; }
    // The character a glyph of a font was shaped from (0 when none was), for text extraction.
    char32_t unicodeOf(Font font, quint32 glyph) const
    {
        const std::vector<char32_t> &map = m_unicode[font];
        return glyph < map.size() ? map[glyph] : 0;
    }
    const quint32 *glyphs() const { return m_glyphs.data(); }
    const float *offsets() const { return m_offsets.data(); }
    qint64 memoryBytes() const;

private:
    struct Slot
    {
        Font font;
        qreal maxWidth;
        QHash<QString, int> cache;
    };
    QRawFont m_fonts[FontCount];
    void mapUnicode(Font font, quint32 glyph, char32_t c);
    // Fills m_glyphBuffer and m_advances with the glyphs of a text.
    void glyphsOf(Font font, const QString &text);
    static constexpr quint32 kUnknown = 0xffffffffu;

    std::vector<quint32> m_charGlyph[FontCount];  // by UTF-16 unit of the basic plane
    std::vector<float> m_glyphAdvance[FontCount]; // by glyph, negative when not asked yet
    std::vector<float> m_advances;

    std::vector<char32_t> m_unicode[FontCount];
    quint32 m_ellipsis[FontCount] = {};
    float m_ellipsisWidth[FontCount] = {};
    std::vector<Slot> m_slots;
    std::vector<Run> m_runs;
    std::vector<quint32> m_glyphs;
    std::vector<float> m_offsets;
    QList<quint32> m_glyphBuffer;
};

// What a page shows, in points: texts (cached runs placed at their baseline), rules and shaded
// bars. The painter and the PDF writer both draw from it, so every output has the same pages.
struct FORMS_EXPORT ReportPageItems
{
    struct Text
    {
        float x;
        float y; // baseline
        qint32 run;
    };
    struct Fill
    {
        QRectF rect;
        QRgb color;
    };
    std::vector<Text> texts;
    std::vector<QLineF> lines;
    std::vector<Fill> fills;
    void clear()
    {
        texts.clear();
        lines.clear();
        fills.clear();
    }
};

// What the page header shows besides the definition's title.
struct FORMS_EXPORT ReportHeaderInfo
{
    QString code;
    QStringList criteria; // "Filial: 0001 - Matriz", "Orçamento: Todos", ...
    QDateTime emitted;
};

// The report laid out on pages of a fixed size in points (A4), built row by row as the query
// is read and painted page by page on any QPainter: the same pages on screen, paper and PDF.
class FORMS_EXPORT ReportDocument
{
public:
    ReportDocument(const ReportDefinition &definition, const ReportHeaderInfo &header);
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    // Maps the fields of the query's result; raises EAppError for a missing one.
    void setRecord(const QSqlRecord &record);
    // Adds the current row of the query.
    void addRow(const QSqlQuery &query);
    // Closes the open groups and adds the grand total; the page count is then final.
    void finish();
    // Ends a run that stopped early: a closing line gives the reason, and there are no totals.
    void finishInterrupted(const QString &reason);
    bool isFinished() const { return m_finished; }

    QSizeF pageSize() const { return m_pageSize; }
    QPageLayout::Orientation orientation() const { return m_definition.orientation; }
    const ReportDefinition &definition() const { return m_definition; }
    // Pages laid out so far; every page but the last is complete until finish().
    int pageCount() const { return int(m_pages.size()); }
    int completePageCount() const;
    qint64 rowCount() const { return m_rowCount; }
    qint64 memoryBytes() const;

    // Paints a page at the painter's origin in points (scale the painter for other devices).
    void paintPage(QPainter *painter, int page);
    // The items of a page, for other back ends (the PDF writer).
    void collectPage(int page, ReportPageItems &items);
    const ReportTextCache &textCache() const { return m_text; }
    static constexpr qreal ruleWidth() { return 0.5; }

private:
    enum LineKind : quint8 { RowLine, HeaderLine, FooterLine, GrandLine, EmptyLine };
    struct Line
    {
        LineKind kind;
        quint8 level;
        qint32 data; // into m_cells
    };
    struct Page
    {
        int firstLine = 0;
        int endLine = 0;
        std::vector<int> continued; // header lines of the groups running on from before
    };
    struct Totals
    {
        std::vector<qint64> sums; // scaled by 10^decimals of their column
        qint64 count = 0;
    };

    void layoutHeader();
    qreal lineHeight(LineKind kind) const;
    void appendLine(LineKind kind, int level, const std::vector<qint32> &cells);
    void startPage();
    void startEmpty();
    void openGroup(int level, const QSqlQuery &query);
    void addTotals(const QSqlQuery &query);
    void closeGroup(int level);
    int totalCells(int level, const Totals &totals, std::vector<qint32> &cells, int labelRun);
    QString expandTemplate(const QString &text, const QSqlQuery &query, int level) const;
    QString fieldText(const QSqlQuery &query, const QString &field, int level) const;

    ReportDefinition m_definition;
    ReportHeaderInfo m_header;
    ReportTextCache m_text;
    QSizeF m_pageSize;
    qreal m_margin = 28.35;
    qreal m_bodyTop = 0;
    qreal m_bodyBottom = 0;
    std::vector<qreal> m_columnX;     // left edge of each column
    std::vector<qreal> m_columnWidth; // width of each column
    std::vector<int> m_columnSlot;
    std::vector<int> m_columnTotalSlot;
    std::vector<int> m_columnField;
    std::vector<int> m_columnPersonField;
    std::vector<qint64> m_columnScale;
    std::vector<int> m_headingRuns;
    std::vector<std::pair<QPointF, int>> m_headerRuns; // fixed texts of every page
    qreal m_headingsBaseline = 0;
    qreal m_headerRule1 = 0;
    qreal m_headerRule2 = 0;
    int m_groupSlot = 0;
    int m_pageNumberSlot = 0;
    int m_footerSlot = 0;
    int m_grandRun = -1;
    int m_footerLeftRun = -1;

    ReportFieldMap m_fields;
    std::vector<int> m_groupKeyField;
    std::vector<QVariant> m_groupKeys;
    std::vector<QString> m_footerLabels; // of each open group, expanded when it opened
    std::vector<Totals> m_totals;        // one per group level, then the grand
    bool m_started = false;
    bool m_finished = false;
    qint64 m_rowCount = 0;

    std::vector<Line> m_lines;
    std::vector<qint32> m_cells;
    std::vector<Page> m_pages;
    std::vector<int> m_openHeaders; // header line of each open group level
    qreal m_used = 0;
    std::vector<qint32> m_scratch;
    ReportPageItems m_items;
};
