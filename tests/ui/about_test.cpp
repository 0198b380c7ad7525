// The about box: its links, and the scrolling notice's layout, steps, wrap-around, pause and thread.
#include "ui/about/tabout.h"
#include "ui/about/tjvscrolltext.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using velkora::ui::TAbout;
using velkora::ui::TJvScrollText;

namespace {

// A notice as the about box has it, but standing still until a test steps it.
std::unique_ptr<TJvScrollText> notice(TJvScrollText::Direction direction = TJvScrollText::drFromBottom)
{
    auto s = std::make_unique<TJvScrollText>();
    s->resize(392, 81);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    f.setBold(true);
    s->setTextFont(f);
    s->setItems(TAbout::noticeLines());
    s->setScrollDirection(direction);
    return s;
}

} // namespace

TEST(About, CaptionNameAndLinksThatTurnRedAndOpenTheirOwnAddress)
{
    TAbout box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Program Hakkında"));
    EXPECT_EQ(box.size(), QSize(394, 153));
    EXPECT_EQ(box.Label1->pos(), QPoint(59, 25)); // the grey copy, 2 pixels right of and below the name
    EXPECT_EQ(box.Label2->pos(), QPoint(57, 23));
    EXPECT_EQ(box.Label3->text(), TAbout::FirstSite);
    EXPECT_EQ(box.Label4->text(), TAbout::SecondSite);
    QList<QUrl> opened;
    box.Label3->open = box.Label4->open = [&](const QUrl &url) { opened.append(url); };
    box.show();
    QTest::mouseMove(box.Label3, QPoint(5, 5));
    EXPECT_EQ(box.Label3->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(box.Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255)); // only the one under the mouse
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(box.Label3, &leave);
    EXPECT_EQ(box.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QTest::mouseClick(box.Label4, Qt::LeftButton);
    QTest::mouseClick(box.Label3, Qt::LeftButton);
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(TAbout::SecondSite), QUrl(TAbout::FirstSite)}));
    EXPECT_TRUE(box.JvScrollText1->active());
}

TEST(About, NoticeLaysOutItsLinesAndStartsWhereItsDirectionSays)
{
    auto s = notice();
    const QFontMetrics m(s->font());
    int width = 0, height = 0;
    for (const QString &line : TAbout::noticeLines()) {
        width = std::max(width, m.horizontalAdvance(line));
        height += line.isEmpty() ? m.height() : m.height() * (m.horizontalAdvance(line) / 392 + 1);
    }
    EXPECT_EQ(s->textSize(), QSize(width, height));
    EXPECT_EQ(s->position(), 81);
    s->setScrollDirection(TJvScrollText::drFromTop);
    EXPECT_EQ(s->position(), -height);
    s->setScrollDirection(TJvScrollText::drFromRight);
    EXPECT_EQ(s->position(), 392);
    s->setScrollDirection(TJvScrollText::drFromLeft);
    EXPECT_EQ(s->position(), -width);
    // No lines at all: the control's own size.
    TJvScrollText empty;
    empty.resize(50, 40);
    empty.setItems({});
    EXPECT_EQ(empty.textSize(), QSize(50, 40));
}

TEST(About, NoticeMovesUpAPixelAStepAndComesBackFromTheBottom)
{
    auto s = notice();
    s->setActive(true);
    s->setDelay(100000); // the worker waits; the test steps
    QSignalSpy ends(s.get(), &TJvScrollText::scrollEnd);
    s->step();
    s->step();
    EXPECT_EQ(s->position(), 79);
    EXPECT_EQ(s->textLabel()->y(), 79);
    const int height = s->textSize().height();
    int guard = 0;
    while (ends.isEmpty() && guard++ < 1000)
        s->step();
    EXPECT_EQ(ends.size(), 1);
    EXPECT_EQ(s->position(), 81); // back just below the bottom edge
    EXPECT_EQ(guard, 79 + height + 2); // to the top, past it by the whole text, and the wrap

    // Pause glides to a stop over ScrollPixels steps, then the control is inactive.
    s->setScrollPixels(3);
    s->Reset();
    s->Pause();
    for (int i = 0; i < 5; ++i)
        s->step();
    EXPECT_EQ(s->position(), 81 - 3 - 2 - 1);
    EXPECT_FALSE(s->active());
    // Unpause gathers speed from nothing back to ScrollPixels.
    s->Unpause();
    EXPECT_TRUE(s->active());
    const int before = s->position();
    for (int i = 0; i < 5; ++i)
        s->step();
    EXPECT_EQ(s->position(), before - (0 + 1 + 2 + 3 + 3));
}

TEST(About, DraggingHoldsTheNoticeAndItScrollsOnFromWhereItWasLeft)
{
    auto s = notice();
    s->setActive(true);
    s->setDelay(100000);
    s->show();
    QLabel *text = s->textLabel();
    s->Reset();
    for (int i = 0; i < 40; ++i)
        s->step(); // the text is now partly in view
    const int at = s->position();
    QTest::mousePress(text, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    s->step(); // held: no step
    EXPECT_EQ(s->position(), at);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 0), text->mapToGlobal(QPointF(10, 0)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(text, &move);
    EXPECT_EQ(s->position(), at - 10);
    QTest::mouseRelease(text, Qt::LeftButton, Qt::NoModifier, QPoint(10, 0));
    s->step();
    EXPECT_EQ(s->position(), at - 11);
}

TEST(About, TheWorkerStepsTheNoticeAndStopsWithIt)
{
    auto s = notice();
    s->setDelay(10);
    s->setActive(true);
    QTest::qWait(300);
    const int stepped = s->steps();
    EXPECT_GT(stepped, 3); // the worker hands steps to this thread
    s->setActive(false);
    QTest::qWait(50);
    const int paused = s->steps();
    QTest::qWait(100);
    EXPECT_EQ(s->steps(), paused); // inactive: no step
    s->setActive(true);
    QTest::qWait(100);
    EXPECT_GT(s->steps(), paused);
    s.reset(); // stops and joins the worker; a queued step left behind finds nothing
    QTest::qWait(50);
}

// Every line of the notice is drawn whole inside the text it moves: the last line keeps the
// cedillas of ş and ç and its descenders (the label's own line spacing pushed them off its bottom).
TEST(About, TheNoticesLastLineIsDrawnWhole)
{
    TAbout box;
    TJvScrollText *s = box.JvScrollText1;
    QLabel *text = s->textLabel();
    const QImage shown = text->grab().toImage();
    ASSERT_EQ(shown.height(), s->textSize().height());
    const QFontMetrics m(s->font());
    const QStringList lines = TAbout::noticeLines();
    int top = 0, last = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            last = top;
        top += lines[i].isEmpty() ? m.height() : m.height() * (m.horizontalAdvance(lines[i]) / 392 + 1);
    }
    ASSERT_GE(last, 0);
    int below = 0; // ink between the last line's baseline and its bottom: descenders and cedillas
    for (int y = last + m.ascent() + 1; y < last + m.height() && y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            below += QColor(shown.pixel(x, y)).green() > 128;
    EXPECT_GT(below, 3);
}
