// The 16 × 16 pictures of the toolbars and menus, drawn by the program itself (no icon files).
#include "glyphs.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace velkora::ui {

namespace {

using Draw = std::function<void(QPainter &)>;

void page(QPainter &p)
{
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}}));
}

void lines(QPainter &p, const int (&x)[4][2])
{
    p.setPen(QPen(QColor(30, 30, 30), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(x[i][0], 3 + i * 3, x[i][1], 3 + i * 3);
}

void letter(QPainter &p, const QString &text, bool bold, bool italic, bool underline, QColor color = QColor(20, 20, 20))
{
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setPixelSize(13);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, text);
}

void arrow(QPainter &p, bool right, bool bar)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 170));
    if (right)
        p.drawPolygon(QPolygon({{5, 3}, {11, 8}, {5, 13}}));
    else
        p.drawPolygon(QPolygon({{11, 3}, {5, 8}, {11, 13}}));
    if (bar)
        p.drawRect(right ? 12 : 3, 3, 2, 11);
}

void floppy(QPainter &p, QColor body)
{
    p.setPen(QColor(30, 30, 60));
    p.setBrush(body);
    p.drawRect(2, 2, 12, 12);
    p.setBrush(Qt::white);
    p.drawRect(4, 2, 8, 5);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(5, 10, 6, 4);
}

void curvedArrow(QPainter &p, bool forward)
{
    QPainterPath path;
    if (forward) {
        path.moveTo(3, 12);
        path.cubicTo(3, 4, 10, 3, 12, 7);
    } else {
        path.moveTo(13, 12);
        path.cubicTo(13, 4, 6, 3, 4, 7);
    }
    p.setPen(QPen(QColor(30, 80, 170), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 170));
    if (forward)
        p.drawPolygon(QPolygon({{9, 3}, {14, 8}, {9, 10}}));
    else
        p.drawPolygon(QPolygon({{7, 3}, {2, 8}, {7, 10}}));
}

const QHash<QString, Draw> &drawings()
{
    static const QHash<QString, Draw> table = {
        {QStringLiteral("new"), [](QPainter &p) { page(p); p.setPen(QColor(220, 160, 0)); p.drawLine(10, 7, 14, 11); p.drawLine(14, 7, 10, 11); }},
        {QStringLiteral("delete"), [](QPainter &p) { p.setPen(QPen(QColor(200, 30, 30), 3)); p.drawLine(4, 4, 12, 12); p.drawLine(12, 4, 4, 12); }},
        {QStringLiteral("edit"), [](QPainter &p) { page(p); p.setPen(QPen(QColor(200, 120, 0), 2)); p.drawLine(6, 12, 13, 5); }},
        {QStringLiteral("save"), [](QPainter &p) { floppy(p, QColor(60, 90, 180)); }},
        {QStringLiteral("find"), [](QPainter &p) { p.setPen(QPen(QColor(40, 40, 40), 2)); p.setBrush(QColor(200, 230, 255)); p.drawEllipse(2, 2, 8, 8); p.drawLine(9, 9, 14, 14); }},
        {QStringLiteral("first"), [](QPainter &p) { arrow(p, false, true); }},
        {QStringLiteral("prior"), [](QPainter &p) { arrow(p, false, false); }},
        {QStringLiteral("next"), [](QPainter &p) { arrow(p, true, false); }},
        {QStringLiteral("last"), [](QPainter &p) { arrow(p, true, true); }},
        {QStringLiteral("print"), [](QPainter &p) { p.setPen(QColor(40, 40, 40)); p.setBrush(QColor(190, 190, 190)); p.drawRect(1, 6, 14, 6); p.setBrush(Qt::white); p.drawRect(4, 1, 8, 5); p.drawRect(4, 10, 8, 5); }},
        {QStringLiteral("settings"), [](QPainter &p) { p.setPen(QPen(QColor(80, 80, 80), 3)); p.drawEllipse(4, 4, 8, 8); for (int a = 0; a < 360; a += 45) { p.save(); p.translate(8, 8); p.rotate(a); p.drawLine(0, -7, 0, -5); p.restore(); } }},
        {QStringLiteral("help"), [](QPainter &p) { p.setPen(Qt::NoPen); p.setBrush(QColor(30, 100, 200)); p.drawEllipse(1, 1, 14, 14); letter(p, QStringLiteral("?"), true, false, false, Qt::white); }},
        {QStringLiteral("ok"), [](QPainter &p) { p.setPen(QPen(QColor(20, 140, 40), 2.5)); p.drawLine(3, 8, 7, 12); p.drawLine(7, 12, 13, 3); }},
        {QStringLiteral("topic-add"), [](QPainter &p) { p.setPen(QPen(QColor(20, 140, 40), 3)); p.drawLine(8, 3, 8, 13); p.drawLine(3, 8, 13, 8); }},
        {QStringLiteral("topic-delete"), [](QPainter &p) { p.setPen(QPen(QColor(200, 30, 30), 3)); p.drawLine(3, 8, 13, 8); }},
        {QStringLiteral("topic-save"), [](QPainter &p) { floppy(p, QColor(20, 140, 40)); }},
        {QStringLiteral("bold"), [](QPainter &p) { letter(p, QStringLiteral("K"), true, false, false); }},
        {QStringLiteral("italic"), [](QPainter &p) { letter(p, QStringLiteral("T"), false, true, false); }},
        {QStringLiteral("underline"), [](QPainter &p) { letter(p, QStringLiteral("A"), false, false, true); }},
        {QStringLiteral("align-left"), [](QPainter &p) { lines(p, {{1, 14}, {1, 9}, {1, 14}, {1, 9}}); }},
        {QStringLiteral("align-center"), [](QPainter &p) { lines(p, {{1, 14}, {4, 11}, {1, 14}, {4, 11}}); }},
        {QStringLiteral("align-right"), [](QPainter &p) { lines(p, {{1, 14}, {6, 14}, {1, 14}, {6, 14}}); }},
        {QStringLiteral("justify"), [](QPainter &p) { lines(p, {{1, 14}, {1, 14}, {1, 14}, {1, 14}}); }},
        {QStringLiteral("bullet"), [](QPainter &p) { p.setPen(Qt::NoPen); p.setBrush(Qt::black); p.drawEllipse(1, 2, 3, 3); p.drawEllipse(1, 8, 3, 3); lines(p, {{6, 14}, {0, 0}, {6, 14}, {0, 0}}); }},
        {QStringLiteral("superscript"), [](QPainter &p) { letter(p, QStringLiteral("x²"), false, false, false); }},
        {QStringLiteral("subscript"), [](QPainter &p) { letter(p, QStringLiteral("x₂"), false, false, false); }},
        {QStringLiteral("color"), [](QPainter &p) { letter(p, QStringLiteral("A"), true, false, false); p.fillRect(2, 13, 12, 3, QColor(220, 0, 0)); }},
        {QStringLiteral("undo"), [](QPainter &p) { curvedArrow(p, false); }},
        {QStringLiteral("redo"), [](QPainter &p) { curvedArrow(p, true); }},
        {QStringLiteral("cut"), [](QPainter &p) { p.setPen(QPen(QColor(40, 40, 40), 1)); p.drawLine(5, 1, 10, 10); p.drawLine(11, 1, 6, 10); p.drawEllipse(2, 10, 4, 4); p.drawEllipse(10, 10, 4, 4); }},
        {QStringLiteral("copy"), [](QPainter &p) { p.setPen(QColor(60, 60, 60)); p.setBrush(Qt::white); p.drawRect(1, 1, 8, 10); p.drawRect(6, 5, 8, 10); }},
        {QStringLiteral("paste"), [](QPainter &p) { p.setPen(QColor(60, 40, 20)); p.setBrush(QColor(200, 150, 80)); p.drawRect(2, 2, 10, 12); p.setBrush(Qt::white); p.drawRect(6, 6, 8, 9); }},
        {QStringLiteral("background"), [](QPainter &p) { p.setPen(QColor(60, 60, 60)); p.setBrush(QColor(240, 202, 166)); p.drawRect(2, 2, 12, 12); }},
        {QStringLiteral("text-file"), [](QPainter &p) { page(p); lines(p, {{5, 11}, {5, 11}, {5, 11}, {5, 9}}); }},
    };
    return table;
}

} // namespace

QIcon glyph(const QString &name)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (const auto it = drawings().constFind(name); it != drawings().cend())
        (*it)(p);
    p.end();
    return QIcon(pixmap);
}

int glyphCount()
{
    return static_cast<int>(drawings().size());
}

} // namespace velkora::ui
