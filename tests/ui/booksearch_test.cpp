// The book search as a person uses it: the program builds the index of a book that has none in
// the background, "Kitapta Ara" finds a word as it is typed, Enter opens the subtopic with the hit
// selected (a pending edit settled first), and F3 goes on with the same word.
#include "app/startup.h"
#include "search/booksearch.h"
#include "search/searchindex.h"
#include "search/searchwindow.h"
#include "store/bookstore.h"
#include "store/field.h"
#include "ui/main/tform1.h"
#include "workingbook.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

TEST(BookSearchWindow, FindsAsOneTypesOpensTheHitAndF3GoesOn)
{
    WorkingBook book({{QStringLiteral("Cümle"),
                       {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254 \\'d6zne ve y\\'fcklem.\\par}")},
                        {QStringLiteral("Tür"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254 Fiil c\\'fcmlesi, y\\'fcklemi fiil; "
                                                              "yine fiil.\\par}")}}},
                      {QStringLiteral("Sözcük"), {{QStringLiteral("Ek"), QStringLiteral("{\\rtf1 ekler}")}}}});
    search::installSearchIndex(); // as the program's start does
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    ui::TForm1 &f = *startup.Form1;
    // The book had no index: it is built in the background and the status bar says so.
    auto *panel = f.findChild<QLabel *>(QStringLiteral("SearchIndexPanel"));
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->text().trimmed() == QStringLiteral("Dizin hazır"); }, 10000)) << panel->text().toStdString();

    // A change typed into the first subtopic's body is pending when the search opens another one.
    f.Yazi->setFocus();
    f.Yazi->moveCursor(QTextCursor::End);
    QTest::keyClicks(f.Yazi, QStringLiteral(" eklenen"));
    ASSERT_TRUE(f.KitaptaAra1->isEnabled());
    f.KitaptaAra1->trigger();
    auto *window = f.findChild<search::SearchWindow *>(QStringLiteral("KitaptaAraForm"));
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->isVisible());
    auto *query = window->findChild<QLineEdit *>(QStringLiteral("Query"));
    auto *list = window->findChild<QListView *>(QStringLiteral("Results"));
    ASSERT_TRUE(query && list);
    QTest::keyClicks(query, QStringLiteral("fiil"));
    auto *status = window->findChild<QLabel *>(QStringLiteral("Status"));
    ASSERT_TRUE(status);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == 1; }, 3000))
        << query->text().toStdString() << ": " << status->text().toStdString() << " " << list->model()->rowCount();
    EXPECT_EQ(status->text(), QStringLiteral("1 altkonu bulundu."));
    QTest::keyClick(query, Qt::Key_Return);

    EXPECT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("Tür"));
    EXPECT_EQ(f.Yazi->textCursor().selectedText(), QStringLiteral("Fiil"));
    EXPECT_EQ(f.Yazi->textCursor().selectionStart(), 0);
    // F3 goes on with the same word, whole words only.
    f.SonrakiniBul1->trigger();
    EXPECT_EQ(f.Yazi->textCursor().selectedText(), QStringLiteral("fiil"));
    EXPECT_GT(f.Yazi->textCursor().selectionStart(), 10);
    // The pending change was kept as any move keeps it, and the index knows it.
    query->clear();
    QTest::keyClicks(query, QStringLiteral("eklenen"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return list->model()->rowCount() == 1 && list->model()->index(0, 0).data().toString().startsWith(QStringLiteral("Cümle › Öge")); },
        3000))
        << list->model()->index(0, 0).data().toString().toStdString();
    // Enter right after typing, before the answer came back from the query thread, opens what the
    // words typed find, not the results still on show.
    query->clear();
    QTest::keyClicks(query, QStringLiteral("ekler"));
    QTest::keyClick(query, Qt::Key_Return);
    EXPECT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("Ek"));
    EXPECT_EQ(f.Yazi->textCursor().selectedText(), QStringLiteral("ekler"));
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();
}
