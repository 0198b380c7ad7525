// For print tests: a book in the working folder with its queries open, and a page with one line.
#pragma once

#include "print/tqrprinter.h"
#include "store/bookstore.h"
#include "support/bookfixture.h"

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

namespace velkora::testing {

struct OpenBook
{
    explicit OpenBook(const std::vector<TopicSpec> &topics) : fixture(topics), previous(QDir::currentPath())
    {
        QDir::setCurrent(fixture.folder());
        store.connect();
        store.openQueries();
    }
    ~OpenBook() { QDir::setCurrent(previous); }
    BookFixture fixture;
    QString previous;
    store::BookStore store;
};

// Begins a page on the device and writes one line of Arial 12 on it, 20 mm in and 30 mm down.
inline void pageWithText(print::TQRPrinter &d, const QString &text)
{
    d.BeginDevicePage();
    QPainter *p = d.Canvas();
    ASSERT_NE(p, nullptr);
    p->setFont(QFont(QStringLiteral("Arial"), 12));
    p->drawText(QPointF(d.XPos(200), d.YPos(300)), text);
}

} // namespace velkora::testing
