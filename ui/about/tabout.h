// The about box: the program's name and icon, two web links and a notice scrolling in a black band.
#pragma once

#include "tjvscrolltext.h"

#include <QDialog>
#include <QLabel>
#include <QUrl>

#include <functional>

namespace velkora::ui {

// A link label: blue, red under the mouse; a click opens exactly the address it shows.
class AboutLink : public QLabel
{
    Q_OBJECT
public:
    AboutLink(const QString &address, QWidget *parent);
    std::function<void(const QUrl &)> open;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;   // Label3MouseMove
    void leaveEvent(QEvent *event) override;            // Label3MouseLeave
    void mouseReleaseEvent(QMouseEvent *event) override; // Label3Click / Label4Click

private:
    void colour(const QColor &c);
};

class TAbout : public QDialog
{
    Q_OBJECT
public:
    static const QString FirstSite;
    static const QString SecondSite;
    // The notice's five lines, as the band shows them.
    static QStringList noticeLines();

    explicit TAbout(QWidget *parent = nullptr);

    AboutLink *Label3;
    AboutLink *Label4;
    TJvScrollText *JvScrollText1;
    QLabel *Label1; // the name's grey copy
    QLabel *Label2; // the name
    QLabel *Image1;
};

// The program's icon, drawn: an open book with a blue cover and a bookmark.
QPixmap programIcon(QSize size);

} // namespace velkora::ui
