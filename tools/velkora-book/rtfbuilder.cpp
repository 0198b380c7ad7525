// Builds bodies in the RTF form the editor writes, from a light mark-up used for sample books.
#include "rtfbuilder.h"

#include "platform/richedit/rtfwriter.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace velkora::tools {

namespace {

QByteArray hexBytes(const QByteArray &data)
{
    QByteArray hex = data.toHex();
    QByteArray out;
    for (qsizetype i = 0; i < hex.size(); i += 128)
        out += hex.mid(i, 128) + '\n';
    return out;
}

// Inline mark-up: **bold** and //italic//, toggled in order of appearance.
QByteArray inlineRtf(const QString &line)
{
    QByteArray out;
    bool bold = false, italic = false;
    qsizetype i = 0;
    QString run;
    const auto flush = [&] {
        out += rtfEscaped(run);
        run.clear();
    };
    while (i < line.size()) {
        if (line.mid(i, 2) == QLatin1String("**")) {
            flush();
            bold = !bold;
            out += bold ? "\\b " : "\\b0 ";
            i += 2;
        } else if (line.mid(i, 2) == QLatin1String("//")) {
            flush();
            italic = !italic;
            out += italic ? "\\i " : "\\i0 ";
            i += 2;
        } else {
            run += line.at(i++);
        }
    }
    flush();
    if (bold)
        out += "\\b0 ";
    if (italic)
        out += "\\i0 ";
    return out;
}

} // namespace

QByteArray rtfEscaped(const QString &text)
{
    return richedit::RtfWriter::escapedText(text);
}

QByteArray samplePicturePng(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 120), 2));
    p.setBrush(QColor(166, 202, 240));
    const int m = width / 10;
    p.drawRect(m, m, width / 2 - m, height - 2 * m);
    p.drawRect(width / 2, m, width / 2 - m, height - 2 * m);
    p.setPen(QPen(QColor(40, 60, 120), 1));
    for (int y = 2 * m; y < height - 2 * m; y += m / 2 + 2) {
        p.drawLine(m + 4, y, width / 2 - 4, y);
        p.drawLine(width / 2 + 4, y, width - m - 4, y);
    }
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray markupToRtf(const QStringList &lines)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1254\\deff0\\deflang1055"
                     "{\\fonttbl{\\f0\\fnil\\fcharset162 Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}\n"
                     "{\\colortbl ;\\red0\\green0\\blue128;}\n"
                     "\\viewkind4\\uc1\\pard\\lang1055\\f0\\fs20 ";
    bool inList = false;
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("- "))) {
            if (!inList)
                rtf += "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-200\\li200 ";
            else
                rtf += "{\\pntext\\f1\\'B7\\tab}";
            inList = true;
            rtf += inlineRtf(line.mid(2)) + "\\par\n";
            continue;
        }
        if (inList) {
            rtf += "\\pard ";
            inList = false;
        }
        if (line.isEmpty()) {
            rtf += "\\par\n";
        } else if (line == QLatin1String("[resim]")) {
            const int w = 96, h = 64;
            rtf += "\\qc{\\pict\\pngblip\\picw" + QByteArray::number(w * 2540 / 96) + "\\pich" +
                   QByteArray::number(h * 2540 / 96) + "\\picwgoal" + QByteArray::number(w * 15) + "\\pichgoal" +
                   QByteArray::number(h * 15) + "\n" + hexBytes(samplePicturePng(w, h)) + "}\\par\n\\pard ";
        } else {
            rtf += "\\cf0 " + inlineRtf(line) + "\\par\n";
        }
    }
    rtf += "}\n";
    return rtf;
}

} // namespace velkora::tools
