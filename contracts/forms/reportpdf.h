#pragma once

#include "forms_global.h"
#include "reportrender.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <vector>

class QIODevice;

// Writes report pages as PDF straight from their items: each text is one string of glyph
// indices in a subset of its TrueType font, so a page costs a few bytes per glyph where Qt's
// PDF engine writes a positioned string for every glyph (the bulk of a 100,000-line report's
// time went to writing and compressing those). The pages are the same as on screen and paper:
// the same items in the same places.
class FORMS_EXPORT ReportPdfWriter
{
public:
    ReportPdfWriter(QIODevice *device, const ReportTextCache &text, const QSizeF &pageSize);
    // True when the fonts can be embedded this way (TrueType outlines); otherwise use
    // QPdfWriter.
    static bool canEmbed(const ReportTextCache &text);

    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }

    bool begin();
    bool addPage(const ReportPageItems &items);
    // Writes the fonts, the page tree and the cross-reference table; false on a write error.
    bool finish();

    // A TrueType font holding only the given glyphs (and the parts of composite glyphs), with
    // the glyph numbering unchanged; empty when the font has no TrueType outlines.
    static QByteArray subsetTrueType(const QRawFont &font, const std::vector<bool> &used);

private:
    enum { Regular, Bold, TypefaceCount };
    static int typefaceOf(int font);
    int newObject();
    void startObject(int id);
    void write(const QByteArray &data);
    void writeStream(int id, const QByteArray &data, const QByteArray &extraDictionary = {});
    int writeFont(int typeface);

    QIODevice *m_device;
    const ReportTextCache &m_text;
    QSizeF m_pageSize;
    QString m_title;
    QString m_creator;
    qint64 m_position = 0;
    bool m_ok = true;
    std::vector<qint64> m_offsets; // by object number, 0 unused
    std::vector<int> m_pages;
    int m_catalog = 0;
    int m_pageTree = 0;
    int m_resources = 0;
    int m_info = 0;
    std::vector<bool> m_used[TypefaceCount];
    QByteArray m_content;
};
