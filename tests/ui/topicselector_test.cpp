// The topic selector: its list of 18 rows, highlights that move the topic query, type-ahead,
// stepping with the list closed, and what it keeps showing.
#include "workingbook.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/topicselector.h"

#include "store/field.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

struct Selector : WorkingBook
{
    explicit Selector(const QStringList &titles) : WorkingBook(topics(titles))
    {
        form = std::make_unique<ui::TForm1>();
        form->FormShow();
        form->show();
        QApplication::setActiveWindow(form.get());
        combo = form->ComboKonu1;
        combo->setFocus();
    }
    ~Selector() { form.reset(); }
    static std::vector<TopicSpec> topics(const QStringList &titles)
    {
        std::vector<TopicSpec> out;
        for (const QString &t : titles)
            out.push_back({t, {{t + QStringLiteral(" 1"), QString()}}});
        return out;
    }
    QString current() const { return form->ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(); }
    QString subtopic() const { return form->ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(); }
    void typeIn(QWidget *w, const QString &text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }

    std::unique_ptr<ui::TForm1> form;
    ui::TopicSelector *combo = nullptr;
};

} // namespace

TEST(TopicSelector, ShowsTheCurrentTopicAndOpensEighteenRows)
{
    Selector s({QStringLiteral("Ağaç"), QStringLiteral("Abla"), QStringLiteral("Araba")});
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("Ağaç")); // seeded at start-up
    EXPECT_EQ(s.combo->value(), QStringLiteral("Ağaç"));
    QTest::keyClick(s.combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(s.combo->listOpen());
    EXPECT_EQ(s.combo->list()->count(), 3);
    // Exactly 18 rows of the selector's font inside the list's frame, in the selector's colours.
    const int rowHeight = std::max(QFontMetrics(s.combo->font()).height() + 2, 14);
    EXPECT_EQ(s.combo->list()->visualItemRect(s.combo->list()->item(0)).height(), rowHeight);
    EXPECT_EQ(s.combo->list()->parentWidget()->height(),
              rowHeight * ui::TopicSelector::ListRows + 2 + 2 * s.combo->list()->frameWidth());
    EXPECT_EQ(s.combo->list()->palette().color(QPalette::Base), s.combo->palette().color(QPalette::Base));
    EXPECT_EQ(s.combo->list()->font(), s.combo->font());
    EXPECT_EQ(s.combo->list()->currentRow(), 0);
}

TEST(TopicSelector, HighlightMovesTheTopicQueryAndEscKeepsTheOldTitle)
{
    Selector s({QStringLiteral("Bir"), QStringLiteral("İki"), QStringLiteral("Üç")});
    s.combo->openList();
    QTest::keyClick(s.combo->list(), Qt::Key_Down);
    EXPECT_EQ(s.current(), QStringLiteral("İki")); // the subtopic list follows while the list is open
    EXPECT_EQ(s.subtopic(), QStringLiteral("İki 1"));
    QTest::keyClick(s.combo->list(), Qt::Key_Down);
    EXPECT_EQ(s.current(), QStringLiteral("Üç"));
    QTest::keyClick(s.combo->list(), Qt::Key_Escape);
    EXPECT_FALSE(s.combo->listOpen());
    EXPECT_EQ(s.current(), QStringLiteral("Üç"));            // stays on the last highlighted
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("Bir")); // and shows its old title

    s.combo->openList(); // opening highlights the selector's value, not the current topic
    EXPECT_EQ(s.combo->list()->currentRow(), 0);
    QTest::keyClick(s.combo->list(), Qt::Key_Down);
    QTest::keyClick(s.combo->list(), Qt::Key_Return); // close and choose
    EXPECT_EQ(s.combo->value(), QStringLiteral("İki"));
    EXPECT_EQ(s.current(), QStringLiteral("İki"));
}

TEST(TopicSelector, TypeAheadTakesTheTitlesCaseAndKeepsOnlyMatches)
{
    Selector s({QStringLiteral("Ağaç"), QStringLiteral("Abla"), QStringLiteral("Araba")});
    s.typeIn(s.combo, QStringLiteral("a")); // a printable key opens the list and searches
    ASSERT_TRUE(s.combo->listOpen());
    EXPECT_EQ(s.current(), QStringLiteral("Ağaç"));
    EXPECT_EQ(s.combo->typeAhead(), QStringLiteral("A"));
    s.typeIn(s.combo->list(), QStringLiteral("b"));
    EXPECT_EQ(s.current(), QStringLiteral("Abla"));
    EXPECT_EQ(s.combo->typeAhead(), QStringLiteral("Ab"));
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("Ab"));
    s.typeIn(s.combo->list(), QStringLiteral("x")); // nothing matches: the text stays
    EXPECT_EQ(s.combo->typeAhead(), QStringLiteral("Ab"));
    EXPECT_EQ(s.current(), QStringLiteral("Abla"));
    QTest::keyClick(s.combo->list(), Qt::Key_Backspace);
    QTest::keyClick(s.combo->list(), Qt::Key_Backspace); // empty: the first topic
    EXPECT_EQ(s.current(), QStringLiteral("Ağaç"));
    EXPECT_TRUE(s.combo->typeAhead().isEmpty());
    QTest::keyClick(s.combo->list(), Qt::Key_Escape);
    EXPECT_TRUE(s.combo->typeAhead().isEmpty()); // closing clears it
}

TEST(TopicSelector, StepsWithTheListClosedAndDeleteEmptiesTheValue)
{
    Selector s({QStringLiteral("Bir"), QStringLiteral("İki"), QStringLiteral("Üç")});
    QTest::keyClick(s.combo, Qt::Key_Down);
    EXPECT_EQ(s.current(), QStringLiteral("İki"));
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("İki"));
    QTest::keyClick(s.combo, Qt::Key_Down);
    QTest::keyClick(s.combo, Qt::Key_Down); // at the last topic Down keeps it
    EXPECT_EQ(s.current(), QStringLiteral("Üç"));
    QTest::keyClick(s.combo, Qt::Key_Up);
    EXPECT_EQ(s.current(), QStringLiteral("İki"));
    QTest::keyClick(s.combo, Qt::Key_Delete);
    EXPECT_TRUE(s.combo->value().isEmpty());
    EXPECT_TRUE(s.combo->displayText().isEmpty());
    EXPECT_EQ(s.current(), QStringLiteral("İki")); // the topic query does not move

    // Read-only: no list, no stepping.
    s.combo->setReadOnly(true);
    s.combo->chooseValue(QStringLiteral("Bir"));
    QTest::keyClick(s.combo, Qt::Key_Down);
    EXPECT_EQ(s.current(), QStringLiteral("Bir"));
    s.combo->openList();
    EXPECT_FALSE(s.combo->listOpen());
}

TEST(TopicSelector, KeepsShowingItsTitleWhenTheTopicMovesOtherwise)
{
    Selector s({QStringLiteral("Aynı"), QStringLiteral("Aynı"), QStringLiteral("Son")});
    s.form->ADOQuery1->last();
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("Aynı")); // a navigation command: the old title stays
    // Two topics with the same title: choosing the second keeps the second current.
    s.combo->openList(); // the value's first topic is highlighted; the second is one down
    EXPECT_EQ(s.combo->list()->currentRow(), 0);
    QTest::keyClick(s.combo->list(), Qt::Key_Down);
    QTest::keyClick(s.combo->list(), Qt::Key_Return);
    EXPECT_EQ(s.form->ADOQuery1->recNo(), 2);
    // Deleting the current topic leaves its old title shown.
    s.form->ADOQuery1->remove();
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("Aynı"));
    EXPECT_TRUE(s.errors.isEmpty()) << s.errors.join(u'\n').toStdString();
}

TEST(TopicSelector, ANewTopicPendingAddsNoRowAndEveryHighlightIsThatTopic)
{
    Selector s({QStringLiteral("Bir"), QStringLiteral("İki"), QStringLiteral("Üç")});
    s.form->ADOQuery1->insert(); // "Konu Ekle", nothing typed yet
    s.combo->openList();
    ASSERT_TRUE(s.combo->listOpen());
    EXPECT_EQ(s.combo->list()->count(), 3);
    EXPECT_EQ(s.combo->list()->item(0)->text(), QStringLiteral("Bir"));
    QTest::keyClick(s.combo->list(), Qt::Key_Down);
    EXPECT_EQ(s.current(), QStringLiteral("İki"));
    EXPECT_EQ(s.combo->list()->currentItem()->text(), s.current());
    QTest::keyClick(s.combo->list(), Qt::Key_Return);
    EXPECT_EQ(s.combo->displayText(), QStringLiteral("İki"));
    EXPECT_EQ(s.current(), QStringLiteral("İki"));
}

TEST(TopicSelector, EveryLetterOfTheTurkishCodePageOpensTheList)
{
    Selector s({QStringLiteral("Şapka"), QStringLiteral("ılık"), QStringLiteral("Ğ harfi"), QStringLiteral("İnce")});
    for (const QString &letter : {QStringLiteral("ş"), QStringLiteral("ı"), QStringLiteral("ğ"), QStringLiteral("İ"),
                                  QStringLiteral("Ş"), QStringLiteral("Ğ")}) {
        SCOPED_TRACE(letter.toStdString());
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, letter);
        QApplication::sendEvent(s.combo, &press);
        ASSERT_TRUE(s.combo->listOpen());
        EXPECT_TRUE(s.current().startsWith(letter, Qt::CaseInsensitive)) << s.current().toStdString();
        QTest::keyClick(s.combo->list(), Qt::Key_Escape);
    }
    // A character the code page lacks does not open it.
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ж"));
    QApplication::sendEvent(s.combo, &press);
    EXPECT_FALSE(s.combo->listOpen());
}
