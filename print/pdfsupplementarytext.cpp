// Completes the glyph-to-text maps of a PDF written by Qt with the characters outside the basic plane.
#include "pdfsupplementarytext.h"

#include <QGlyphRun>
#include <QMap>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

#include <algorithm>

namespace velkora::print {

namespace {

QByteArrayView head(QByteArrayView v, qsizetype n)
{
    return v.first(std::min(n, v.size()));
}

// Letters and digits only: the PDF writer and the font's own name table may differ in blanks.
QByteArray plainName(QByteArrayView name)
{
    QByteArray out;
    for (const char c : name)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += c;
    return out;
}

// The PostScript name in a font's name table (name 6), or its family and style when it has none.
QByteArray postScriptName(const QRawFont &font)
{
    const QByteArray table = font.fontTable("name");
    const auto u16 = [&](qsizetype at) -> int {
        return at >= 0 && at + 2 <= table.size() ? qFromBigEndian<quint16>(table.constData() + at) : -1;
    };
    const int count = u16(2), strings = u16(4);
    for (int i = 0; i < count && strings >= 0; ++i) {
        const qsizetype record = 6 + qsizetype(i) * 12;
        const int platform = u16(record), nameId = u16(record + 6), length = u16(record + 8), offset = u16(record + 10);
        if (nameId != 6 || length <= 0 || offset < 0 || strings + offset + length > table.size())
            continue;
        const char *bytes = table.constData() + strings + offset;
        if (platform == 3 || platform == 0) {
            QByteArray name;
            for (int k = 0; k + 1 < length; k += 2)
                name += char(qFromBigEndian<quint16>(bytes + k) & 0x7f);
            return plainName(name);
        }
        if (platform == 1)
            return plainName(QByteArrayView(bytes, length));
    }
    return plainName((font.familyName() + font.styleName()).toLatin1());
}

// A PDF's objects by number, found through its cross-reference table: where each one's text lies
// (from after "N 0 obj" to its "endobj").
QMap<int, QByteArrayView> objectsOf(const QByteArray &pdf)
{
    QMap<int, QByteArrayView> objects;
    const qsizetype startXref = pdf.lastIndexOf("startxref");
    if (startXref < 0)
        return objects;
    bool ok = false;
    const qint64 xref = pdf.mid(startXref + 9, 32).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref < 0 || xref >= pdf.size() || !pdf.mid(xref, 4).startsWith("xref"))
        return objects;
    const QList<QByteArray> lines = pdf.mid(xref, startXref - xref).split('\n');
    int number = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() == 2) { // a subsection: its first number and its count
            number = fields[0].toInt();
            continue;
        }
        if (fields.size() != 3 || number < 0)
            break;
        const qint64 offset = fields[0].toLongLong();
        if (fields[2] == "n" && offset > 0 && offset < pdf.size()) {
            const qsizetype begin = pdf.indexOf("obj", offset);
            const qsizetype end = begin < 0 ? -1 : pdf.indexOf("endobj", begin);
            if (begin >= 0 && end > begin)
                objects.insert(number, QByteArrayView(pdf.constData() + begin + 3, end - begin - 3));
        }
        ++number;
    }
    return objects;
}

int referenceAfter(QByteArrayView object, QByteArrayView key)
{
    const qsizetype at = object.indexOf(key);
    if (at < 0)
        return -1;
    static const QRegularExpression number(QStringLiteral("^\\s*\\[?\\s*(\\d+)\\s+0\\s+R"));
    const QRegularExpressionMatch m = number.match(QString::fromLatin1(head(object.sliced(at + key.size()), 40)));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The highest glyph number a descendant font's width array names.
int highestGlyph(QByteArrayView font)
{
    const qsizetype at = font.indexOf("/W");
    if (at < 0)
        return -1;
    int highest = -1, depth = 0;
    QList<int> outer; // numbers outside the inner brackets since the last entry
    int inner = 0;
    qsizetype i = at + 2;
    for (; i < font.size(); ++i) {
        const char c = font[i];
        if (c == '[') {
            ++depth;
            inner = 0;
        } else if (c == ']') {
            if (depth == 2 && !outer.isEmpty()) {
                highest = std::max(highest, outer.last() + inner - 1);
                outer.clear();
            }
            if (--depth <= 0)
                break;
        } else if ((c >= '0' && c <= '9') || c == '.' || c == '-') {
            qsizetype j = i;
            while (j < font.size() && ((font[j] >= '0' && font[j] <= '9') || font[j] == '.' || font[j] == '-'))
                ++j;
            if (depth == 2)
                ++inner;
            else if (depth == 1) {
                outer << int(font.sliced(i, j - i).toDouble());
                if (outer.size() == 3) { // first last width
                    highest = std::max(highest, outer[1]);
                    outer.clear();
                }
            }
            i = j - 1;
        }
    }
    return highest;
}

// The glyphs a to-text map names, and where its map ends (before "endcmap").
QSet<int> mappedGlyphs(QByteArrayView cmap)
{
    QSet<int> mapped;
    static const QRegularExpression range(QStringLiteral("<([0-9A-Fa-f]{1,4})>\\s*<([0-9A-Fa-f]{1,4})>\\s*(\\[|<)"));
    static const QRegularExpression single(QStringLiteral("<([0-9A-Fa-f]{1,4})>\\s*<[0-9A-Fa-f]+>"));
    const QString text = QString::fromLatin1(cmap);
    qsizetype from = 0;
    while (true) {
        const qsizetype ranges = text.indexOf(QStringLiteral("beginbfrange"), from);
        const qsizetype chars = text.indexOf(QStringLiteral("beginbfchar"), from);
        if (ranges < 0 && chars < 0)
            break;
        const bool isRange = chars < 0 || (ranges >= 0 && ranges < chars);
        const qsizetype begin = isRange ? ranges : chars;
        const qsizetype end = text.indexOf(isRange ? QStringLiteral("endbfrange") : QStringLiteral("endbfchar"), begin);
        if (end < 0)
            break;
        const QString part = text.mid(begin, end - begin);
        if (isRange) {
            // Entry by entry: <first> <last>, then a destination <…> or an array […] of them, which
            // is passed over whole (its codes are text, not glyphs).
            qsizetype i = 0;
            while (i < part.size()) {
                const QRegularExpressionMatch m = range.match(part, i, QRegularExpression::NormalMatch,
                                                              QRegularExpression::AnchorAtOffsetMatchOption);
                if (!m.hasMatch()) {
                    ++i;
                    continue;
                }
                const int first = m.captured(1).toInt(nullptr, 16), last = m.captured(2).toInt(nullptr, 16);
                for (int g = first; g <= last && g - first < 65536; ++g)
                    mapped.insert(g);
                const qsizetype close = part.indexOf(m.captured(3) == u"[" ? u']' : u'>', m.capturedEnd(3));
                if (close < 0)
                    break;
                i = close + 1;
            }
        } else {
            for (auto it = single.globalMatch(part); it.hasNext();)
                mapped.insert(it.next().captured(1).toInt(nullptr, 16));
        }
        from = end;
    }
    return mapped;
}

QByteArray hex4(uint v)
{
    return QByteArray::number(v, 16).toUpper().rightJustified(4, '0');
}

} // namespace

void SupplementaryText::drawn(const QGlyphRun &run, char32_t character)
{
    const QList<quint32> glyphs = run.glyphIndexes();
    if (glyphs.size() != 1)
        return; // a character drawn as several glyphs cannot be told apart from its parts
    static QHash<QString, QByteArray> names; // by family and style: the name table is read once
    const QRawFont font = run.rawFont();
    const QString key = font.familyName() + u'\n' + font.styleName();
    auto name = names.constFind(key);
    if (name == names.constEnd())
        name = names.insert(key, postScriptName(font));
    QList<Glyph> &seen = m_fonts[*name];
    for (const Glyph &g : std::as_const(seen))
        if (g.index == glyphs.first())
            return;
    seen.append({glyphs.first(), character});
}

QMap<int, QByteArray> SupplementaryText::completedMaps(const std::function<std::optional<QByteArray>(int)> &object,
                                                      const QList<int> &candidates) const
{
    QMap<int, QByteArray> replaced;
    if (m_fonts.isEmpty())
        return replaced;
    for (const int number : candidates) {
        const std::optional<QByteArray> font = object(number);
        if (!font || !font->contains("/Type0"))
            continue;
        const QByteArrayView fontObject(*font);
        static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/([^\\s/>\\[]+)"));
        const QRegularExpressionMatch base = baseFont.match(QString::fromLatin1(head(fontObject, 1000)));
        if (!base.hasMatch())
            continue;
        QByteArray name = base.captured(1).toLatin1();
        if (name.size() > 7 && name[6] == '+')
            name = name.mid(7); // a subset's tag
        const auto drawn = m_fonts.constFind(plainName(name));
        if (drawn == m_fonts.constEnd())
            continue;
        const int toUnicode = referenceAfter(fontObject, "/ToUnicode");
        const int descendant = referenceAfter(fontObject, "/DescendantFonts");
        if (replaced.contains(toUnicode))
            continue;
        const std::optional<QByteArray> streamObject = object(toUnicode);
        const std::optional<QByteArray> descendantObject = object(descendant);
        if (!streamObject || !descendantObject)
            continue;
        const QByteArrayView stream(*streamObject);
        const qsizetype begin = stream.indexOf("stream");
        const qsizetype end = stream.lastIndexOf("endstream");
        if (begin < 0 || end < begin || head(stream, begin).contains("/Filter"))
            continue;
        qsizetype body = begin + 6;
        while (body < end && (stream[body] == '\r' || stream[body] == '\n'))
            ++body;
        QByteArray cmap = stream.sliced(body, end - body).toByteArray();
        const QSet<int> mapped = mappedGlyphs(cmap);
        QList<int> unmapped;
        for (int g = 1; g <= highestGlyph(*descendantObject); ++g)
            if (!mapped.contains(g))
                unmapped << g;
        // The writer numbers a font's glyphs in the order they are first drawn, and maps every one
        // it can reach from the basic plane: the glyphs left unmapped are the characters drawn
        // from beyond it, in the same order. Anything else is not matched by guessing.
        if (unmapped.isEmpty() || unmapped.size() != drawn->size())
            continue;
        const qsizetype endCmap = cmap.indexOf("endcmap");
        if (endCmap < 0)
            continue;
        QByteArray added;
        for (qsizetype i = 0; i < unmapped.size(); i += 100) {
            const qsizetype n = std::min<qsizetype>(100, unmapped.size() - i);
            added += QByteArray::number(n) + " beginbfchar\n";
            for (qsizetype k = i; k < i + n; ++k) {
                const char32_t c = drawn->at(k).character;
                const QByteArray utf16 = hex4(QChar::highSurrogate(c)) + hex4(QChar::lowSurrogate(c));
                added += '<' + hex4(uint(unmapped[k])) + "> <" + utf16 + ">\n";
            }
            added += "endbfchar\n";
        }
        cmap.insert(endCmap, added);
        replaced.insert(toUnicode, "\n<< /Length " + QByteArray::number(cmap.size()) + " >>\nstream\n" + cmap + "\nendstream\n");
    }
    return replaced;
}

QByteArray SupplementaryText::complete(const QByteArray &pdf) const
{
    if (m_fonts.isEmpty())
        return pdf;
    const QMap<int, QByteArrayView> objects = objectsOf(pdf);
    // Fonts are small dictionaries that say so at their start.
    QList<int> fonts;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it)
        if (head(it.value(), 512).contains("/Type0"))
            fonts << it.key();
    const QMap<int, QByteArray> replaced = completedMaps(
        [&objects](int n) -> std::optional<QByteArray> {
            if (!objects.contains(n))
                return std::nullopt;
            return objects.value(n).toByteArray();
        },
        fonts);
    if (replaced.isEmpty())
        return pdf;

    // An update at the end: the new maps as objects of the same numbers, their cross-reference and
    // a trailer pointing back to the first.
    static const QRegularExpression trailerKeys(QStringLiteral("/(Size|Root|Info)\\s+(\\d+)(\\s+0\\s+R)?"));
    const qsizetype trailer = pdf.lastIndexOf("trailer");
    const qsizetype startXref = pdf.lastIndexOf("startxref");
    if (trailer < 0 || startXref < trailer)
        return pdf;
    QMap<QString, QString> keys;
    const QString trailerText = QString::fromLatin1(pdf.mid(trailer, startXref - trailer));
    for (auto it = trailerKeys.globalMatch(trailerText); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        keys.insert(m.captured(1), m.captured(2) + m.captured(3));
    }
    bool ok = false;
    const qint64 previous = pdf.mid(startXref + 9, 32).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || !keys.contains(QStringLiteral("Size")) || !keys.contains(QStringLiteral("Root")))
        return pdf;
    QByteArray out = pdf;
    if (!out.endsWith('\n'))
        out += '\n';
    QMap<int, qint64> offsets;
    for (auto it = replaced.cbegin(); it != replaced.cend(); ++it) {
        offsets.insert(it.key(), out.size());
        out += QByteArray::number(it.key()) + " 0 obj" + it.value() + "endobj\n";
    }
    const qint64 xref = out.size();
    out += "xref\n";
    for (auto it = offsets.cbegin(); it != offsets.cend(); ++it)
        out += QByteArray::number(it.key()) + " 1\n" + QByteArray::number(it.value()).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + keys.value(QStringLiteral("Size")).toLatin1() + " /Root " + keys.value(QStringLiteral("Root")).toLatin1();
    if (keys.contains(QStringLiteral("Info")))
        out += " /Info " + keys.value(QStringLiteral("Info")).toLatin1();
    out += " /Prev " + QByteArray::number(previous) + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

} // namespace velkora::print
