// The progress gauge: its percentage rule, its bounds and their failures, and each kind as drawn.
#include "app/tgauge.h"

#include <QImage>

#include <gtest/gtest.h>

using velkora::app::TGauge;
using velkora::app::TGaugeError;

namespace {

const QColor Blue(0, 0, 255), White(255, 255, 255), Black(0, 0, 0), Yellow(255, 255, 0), Grey(200, 200, 200);

// A gauge of the given kind and size at the given percentage of 0..100, text off unless asked.
std::unique_ptr<TGauge> gauge(TGauge::Kind kind, QSize size, int progress, bool text = false,
                              TGauge::BorderStyle border = TGauge::bsNone)
{
    auto g = std::make_unique<TGauge>();
    g->resize(size);
    g->setKind(kind);
    g->setBorderStyle(border);
    g->setShowText(text);
    g->setForeColor(Blue);
    g->setBackColor(White);
    g->setColor(Grey);
    g->setProgress(progress);
    return g;
}

int count(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace

TEST(Gauge, BoundsClampTheProgressAndCrossingBoundsFailChangingNothing)
{
    TGauge g;
    EXPECT_EQ(g.size(), QSize(100, 100));
    g.setProgress(150);
    EXPECT_EQ(g.progress(), 100);
    g.setProgress(-5);
    EXPECT_EQ(g.progress(), 0);
    g.setProgress(40);
    g.setMinValue(50); // raises the progress with it
    EXPECT_EQ(g.progress(), 50);
    try {
        g.setMinValue(101);
        FAIL() << "a minimum above the maximum was taken";
    } catch (const TGaugeError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Value must be between -2147483647 and 99"));
    }
    try {
        g.setMaxValue(49);
        FAIL() << "a maximum below the minimum was taken";
    } catch (const TGaugeError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Value must be between 51 and 2147483647"));
    }
    EXPECT_EQ(g.minValue(), 50);
    EXPECT_EQ(g.maxValue(), 100);
    g.setMaxValue(50); // equal bounds are allowed and show 0 %
    EXPECT_EQ(g.percentDone(), 0);
    g.setProgress(50);
    EXPECT_EQ(g.percentDone(), 0);
}

TEST(Gauge, BarsFillTheirShareAndTheTextShowsInTheInverse)
{
    // The splash window's bar: 264 by 17, no border, so its measure is 265 and 1 of 6 is 42 pixels.
    auto splash = gauge(TGauge::gkHorizontalBar, QSize(264, 17), 0);
    splash->setMaxValue(6);
    const int lengths[] = {42, 87, 132, 174, 219, 264};
    for (int v = 1; v <= 6; ++v) {
        splash->setProgress(v);
        const QImage image = splash->picture();
        EXPECT_EQ(image.pixelColor(lengths[v - 1] - 1, 8), Blue) << v;
        if (v < 6) {
            EXPECT_EQ(image.pixelColor(lengths[v - 1], 8), White) << v;
        }
    }
    // 0 %: the back colour only, and the text "0%" in the back colour's inverse.
    auto empty = gauge(TGauge::gkHorizontalBar, QSize(120, 24), 0, true);
    QImage image = empty->picture();
    EXPECT_EQ(count(image, Blue), 0);
    EXPECT_GT(count(image, Black), 0);
    // Half way: the text over the bar is yellow, over the rest black.
    auto half = gauge(TGauge::gkHorizontalBar, QSize(120, 24), 50, true);
    image = half->picture();
    EXPECT_GT(count(image, Yellow), 0);
    EXPECT_EQ(image.pixelColor(2, 2), Blue);
    EXPECT_EQ(image.pixelColor(117, 2), White);
    // A vertical bar fills from the bottom; a single border keeps the outermost pixels black.
    auto vertical = gauge(TGauge::gkVerticalBar, QSize(20, 100), 50, false, TGauge::bsSingle);
    image = vertical->picture();
    EXPECT_EQ(image.pixelColor(10, 90), Blue);
    EXPECT_EQ(image.pixelColor(10, 10), White);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(image.pixelColor(i, 0), Black);
        EXPECT_EQ(image.pixelColor(i, 99), Black);
    }
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(image.pixelColor(0, i), Black);
        EXPECT_EQ(image.pixelColor(19, i), Black);
    }
    // Text only: the back colour and the percentage.
    auto text = gauge(TGauge::gkText, QSize(60, 20), 100, true);
    image = text->picture();
    EXPECT_EQ(count(image, Blue), 0);
    EXPECT_GT(count(image, White), 600);
}

TEST(Gauge, PieGrowsClockwiseFromTwelveAndTheNeedleSweepsLeftToRight)
{
    auto pie = gauge(TGauge::gkPie, QSize(101, 101), 25);
    QImage image = pie->picture();
    EXPECT_EQ(image.pixelColor(70, 30), Blue);  // the first quarter, upper right
    EXPECT_EQ(image.pixelColor(30, 30), White); // the rest of the disc
    EXPECT_EQ(image.pixelColor(30, 70), White);
    EXPECT_EQ(image.pixelColor(1, 1), Grey);    // outside the disc: the control's colour
    pie->setProgress(100);
    image = pie->picture();
    EXPECT_EQ(image.pixelColor(30, 30), Blue);
    EXPECT_EQ(image.pixelColor(30, 70), Blue);
    pie->setProgress(0);
    EXPECT_EQ(count(pie->picture(), Blue), count(gauge(TGauge::gkPie, QSize(101, 101), 0)->picture(), Blue));

    // The needle points left at 0 %, up at 50 %, right at 100 %.
    auto needle = gauge(TGauge::gkNeedle, QSize(100, 60), 50);
    image = needle->picture();
    EXPECT_EQ(image.pixelColor(50, 20), Blue);
    EXPECT_EQ(image.pixelColor(20, 40), White);
    needle->setProgress(100);
    image = needle->picture();
    EXPECT_NE(image.pixelColor(50, 20), Blue);
    EXPECT_EQ(image.pixelColor(90, 59), Blue);
}
