// The about box: the program's name and icon, two web links and a notice scrolling in a black band.
#include "tabout.h"

#include "shadowedname.h"

#include <QDesktopServices>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace velkora::ui {

namespace {

// The layout's font, "MS Sans Serif" of the given pixel height.
QFont sansSerif(int pixels, bool bold)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace

const QString TAbout::FirstSite = QStringLiteral("https://www.velkora.org/");
const QString TAbout::SecondSite = QStringLiteral("https://forum.velkora.org/");

AboutLink::AboutLink(const QString &address, QWidget *parent) : QLabel(address, parent)
{
    setFont(sansSerif(11, true));
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    colour(QColor(0, 0, 255));
    adjustSize();
    open = [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

void AboutLink::colour(const QColor &c)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, c);
    setPalette(p);
}

void AboutLink::mouseMoveEvent(QMouseEvent *event)
{
    colour(QColor(255, 0, 0));
    QLabel::mouseMoveEvent(event);
}

void AboutLink::leaveEvent(QEvent *event)
{
    colour(QColor(0, 0, 255));
    QLabel::leaveEvent(event);
}

void AboutLink::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && open)
        open(QUrl(text())); // exactly the address it shows; what the browser does is its own
    QLabel::mouseReleaseEvent(event);
}

QStringList TAbout::noticeLines()
{
    return {QString(),
            QStringLiteral("   Bu programı kullanmak, dağıtmak ve kopyalamak tamamen ücretsizdir."),
            QString(28, u' ') + QStringLiteral("Program ticari amaçlarla kullanılamaz."),
            QString(),
            QStringLiteral(" Görüş ve eleştirileriniz için yukarıdaki web sitelerini kullanabilirsiniz.")};
}

QPixmap programIcon(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 64.0, size.height() / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x9c));
    p.drawRoundedRect(QRectF(4, 10, 56, 44), 4, 4);
    QPainterPath left, right;
    left.moveTo(32, 16);
    left.cubicTo(24, 12, 14, 12, 8, 14);
    left.lineTo(8, 50);
    left.cubicTo(14, 48, 24, 48, 32, 52);
    right.moveTo(32, 16);
    right.cubicTo(40, 12, 50, 12, 56, 14);
    right.lineTo(56, 50);
    right.cubicTo(50, 48, 40, 48, 32, 52);
    p.fillPath(left, Qt::white);
    p.fillPath(right, QColor(0xea, 0xf4, 0xfd));
    p.setPen(QPen(QColor(0xa6, 0xca, 0xf0), 2, Qt::SolidLine, Qt::RoundCap));
    for (int y : {22, 28, 34, 40})
        p.drawLine(13, y, 27, y);
    for (int y : {22, 28, 34})
        p.drawLine(37, y, 51, y);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x34, 0x2b));
    p.drawPolygon(QPolygonF({QPointF(44, 10), QPointF(50, 10), QPointF(50, 24), QPointF(47, 21), QPointF(44, 24)}));
    return pixmap;
}

TAbout::TAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                      | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Program Hakkında"));
    setFixedSize(394, 153);
    move(393, 246);
    setFont(sansSerif(11, false));

    auto *top = new QFrame(this);
    top->setObjectName(QStringLiteral("Panel1"));
    top->setGeometry(0, 0, 394, 65);
    top->setFrameShape(QFrame::Panel);
    top->setFrameShadow(QFrame::Raised);
    top->setLineWidth(2);
    Image1 = new QLabel(top);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(7, 16, 41, 33);
    Image1->setPixmap(programIcon(QSize(41, 33)));
    const ShadowedName name = addShadowedName(top, QStringLiteral("Velkora 3.1"), sansSerif(19, true), QPoint(57, 23), QStringLiteral("Label1"),
                                              QStringLiteral("Label2"));
    Label1 = name.shadow;
    Label2 = name.name;
    Label3 = new AboutLink(FirstSite, top);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(184, 17);
    Label4 = new AboutLink(SecondSite, top);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->move(184, 33);

    // A 5-pixel spacer, then the band: a black rectangle with the notice over it.
    auto *bottom = new QFrame(this);
    bottom->setObjectName(QStringLiteral("Panel3"));
    bottom->setGeometry(0, 70, 394, 83);
    bottom->setFrameShape(QFrame::Panel);
    bottom->setFrameShadow(QFrame::Sunken);
    bottom->setLineWidth(1);
    auto *band = new QWidget(bottom);
    band->setGeometry(1, 1, 392, 81);
    band->setAutoFillBackground(true);
    QPalette black = band->palette();
    black.setColor(QPalette::Window, Qt::black);
    band->setPalette(black);
    JvScrollText1 = new TJvScrollText(bottom);
    JvScrollText1->setObjectName(QStringLiteral("JvScrollText1"));
    JvScrollText1->setGeometry(1, 1, 392, 81);
    QPalette lime = JvScrollText1->textLabel()->palette();
    lime.setColor(QPalette::WindowText, QColor(0, 255, 0));
    JvScrollText1->textLabel()->setPalette(lime);
    JvScrollText1->setBackgroundColor(Qt::black);
    JvScrollText1->setTextFont(sansSerif(11, true));
    JvScrollText1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    JvScrollText1->setWordWrap(false);
    JvScrollText1->setScrollDirection(TJvScrollText::drFromBottom);
    JvScrollText1->setScrollPixels(1);
    JvScrollText1->setDelay(50);
    JvScrollText1->setItems(noticeLines());
    JvScrollText1->setActive(true);
}

} // namespace velkora::ui
