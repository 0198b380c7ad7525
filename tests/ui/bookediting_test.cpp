// Reading and writing the book through the main window: the body's binding, implicit saving,
// deletion questions, the search box, read-only mode and two programs on one book.
#include "workingbook.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/topicselector.h"

#include "platform/database/selectstatement.h"
#include "store/field.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

struct Book : WorkingBook
{
    explicit Book(const std::vector<TopicSpec> &topics) : WorkingBook(topics) {}
    // The bodies as stored, by subtopic title.
    QMap<QString, QString> stored() const
    {
        QMap<QString, QString> out;
        auto db = fixture.open();
        const auto rs = db->select(database::SelectStatement::parse(QStringLiteral("Select * From detail")), {});
        const int title = rs.table.columnIndex(u"Altkonu");
        const int body = rs.table.columnIndex(u"Aciklama");
        for (const auto &row : rs.rows)
            out.insert(row.values[title].toString(), db->fetchLong(rs.table, row.key, body)->value.toString());
        return out;
    }
};

struct Window
{
    Window()
    {
        form.FormShow();
        form.show();
        form.Yazi->setFocus();
    }
    ui::TForm1 form;
};

std::vector<TopicSpec> grammar()
{
    return {{QStringLiteral("Cümle"),
             {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254 \\b y\\'fckle\\b0 m}")},
              {QStringLiteral("Düz"), QStringLiteral("düz metin")},
              {QStringLiteral("Boş gövde"), QString()},
              {QStringLiteral("Ali'nin Notu"), QStringLiteral("{\\RTF1 not}")}}},
            {QStringLiteral("Ekler"), {}}};
}

} // namespace

TEST(BookEditing, BodiesShowAsStoredAndTypingSavesRtf)
{
    Book book(grammar());
    {
        Window w;
        ui::TForm1 &f = w.form;
        // Sorted by title: Ali'nin Notu, Boş gövde, Düz, Öge.
        EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("not")); // "{\RTF1" in capitals is RTF
        f.ADOQuery2->setRecNo(3);
        EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("düz metin"));
        EXPECT_EQ(f.Yazi->currentCharFormat().font().family(), QStringLiteral("Arial"));
        EXPECT_EQ(f.Yazi->currentCharFormat().font().pointSize(), 10);
        f.Yazi->moveCursor(QTextCursor::End);
        typeText(f.Yazi, QStringLiteral(" ıİğ"));
        EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Edit);
        f.ADOQuery2->next(); // saved on the way, as RTF
        EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Browse);
        EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("yüklem"));

        // A null body: an empty editor; typing starts editing, saving stores an RTF document.
        f.ADOQuery2->setRecNo(2);
        EXPECT_TRUE(f.Yazi->toPlainText().isEmpty());
        typeText(f.Yazi, QStringLiteral("yeni"));
        f.DataSetPost1->trigger();
    }
    const auto stored = book.stored();
    EXPECT_TRUE(stored[QStringLiteral("Düz")].startsWith(QStringLiteral("{\\rtf1\\ansi\\ansicpg1254")));
    EXPECT_TRUE(stored[QStringLiteral("Düz")].contains(QStringLiteral("d\\'fcz metin \\'fd\\'dd\\'f0")));
    EXPECT_TRUE(stored[QStringLiteral("Boş gövde")].startsWith(QStringLiteral("{\\rtf1")));
    EXPECT_TRUE(stored[QStringLiteral("Boş gövde")].contains(QStringLiteral("yeni")));
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();
}

TEST(BookEditing, EscapeRestoresTheStoredBody)
{
    Book book(grammar());
    Window w;
    ui::TForm1 &f = w.form;
    typeText(f.Yazi, QStringLiteral("çöp "));
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith(QStringLiteral("çöp ")));
    QTest::keyClick(f.Yazi, Qt::Key_Escape);
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("not"));
    EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Edit); // the subtopic stays in edit state
    f.ADOQuery2->next();
    EXPECT_EQ(book.stored()[QStringLiteral("Ali'nin Notu")], QStringLiteral("{\\RTF1 not}")); // nothing written
}

// Opening a menu to read it ("Düzen" names the step "Geri" would undo) is not leaving the editor:
// the typing is not written into the record, so Esc still drops it afterwards.
TEST(BookEditing, OpeningAMenuKeepsTheTypingInTheEditorForEscape)
{
    Book book(grammar());
    Window w;
    ui::TForm1 &f = w.form;
    QApplication::setActiveWindow(&f);
    f.Yazi->setFocus();
    typeText(f.Yazi, QStringLiteral("çöp "));
    QMenu *edit = nullptr;
    for (QAction *a : f.MainMenu1->actions())
        if (a->text().remove(u'&') == QStringLiteral("Düzen"))
            edit = a->menu();
    ASSERT_NE(edit, nullptr);
    for (int round = 0; round < 2; ++round) {
        if (round == 0) {
            edit->popup(f.mapToGlobal(QPoint(40, 40)));
        } else {
            QTest::keyClick(f.Yazi, Qt::Key_F10); // the menu bar by the keyboard
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(f.ADOQuery2->findField(u"Aciklama")->asString(), QStringLiteral("{\\RTF1 not}")) << "round " << round;
        if (round == 0)
            edit->close();
        else
            QTest::keyClick(f.MainMenu1, Qt::Key_Escape);
        QCoreApplication::processEvents();
        f.Yazi->setFocus();
    }
    QTest::keyClick(f.Yazi, Qt::Key_Escape);
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("not"));
    f.ADOQuery2->next();
    EXPECT_EQ(book.stored()[QStringLiteral("Ali'nin Notu")], QStringLiteral("{\\RTF1 not}")); // nothing written
}

TEST(BookEditing, NewSubtopicsAreSavedWhenTypedIntoAndDroppedWhenNot)
{
    Book book(grammar());
    {
        Window w;
        ui::TForm1 &f = w.form;
        f.DataSetInsert1->trigger(); // "Yeni", then moving away: no row remains
        EXPECT_EQ(f.Panels[1]->text(), QStringLiteral("-1"));
        f.ADOQuery2->next();
        EXPECT_EQ(f.ADOQuery2->recordCount(), 4);

        // "Yeni", a title and a body typed, then another topic chosen: saved under the first topic.
        f.DataSetInsert1->trigger();
        f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("Yüklem"));
        typeText(f.Yazi, QStringLiteral("işi bildirir"));
        f.ADOQuery1->next();
        EXPECT_EQ(f.ADOQuery2->recordCount(), 0);

        // Typing while the topic has no subtopics starts a new one.
        typeText(f.Yazi, QStringLiteral("ek"));
        EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Insert);
        f.DataSetPost1->trigger();
        EXPECT_EQ(f.ADOQuery2->recordCount(), 1);
    }
    const auto stored = book.stored();
    EXPECT_TRUE(stored[QStringLiteral("Yüklem")].contains(QStringLiteral("i\\'fei bildirir")));
    EXPECT_TRUE(stored[QString()].contains(QStringLiteral("ek")));
    EXPECT_EQ(stored.size(), 6);
    auto db = book.fixture.open();
    const auto rs = db->select(database::SelectStatement::parse(QStringLiteral("Select * From detail WHERE Sira=:Sira")),
                               {{QStringLiteral("Sira"), 1}});
    EXPECT_EQ(rs.rows.size(), 5); // the new one went under Cümle
}

TEST(BookEditing, DeleteQuestionsQuoteTitlesAndNoChangesNothing)
{
    Book book(grammar());
    Window w;
    ui::TForm1 &f = w.form;
    QString asked;
    ui::MessageButton answer = ui::ButtonNo;
    f.ask = [&](const QString &message, ui::MessageKind kind, int buttons) {
        asked = message;
        EXPECT_EQ(kind, ui::MessageKind::Warning);
        EXPECT_EQ(buttons, ui::ButtonYes | ui::ButtonNo);
        return answer;
    };
    typeText(f.Yazi, QStringLiteral("değişiklik "));
    f.Sil1->trigger();
    EXPECT_EQ(asked, QStringLiteral("'Ali''nin Notu' adlı alt konu silinsin mi?"));
    EXPECT_EQ(f.ADOQuery2->recordCount(), 4);
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith(QStringLiteral("değişiklik"))); // the unsaved change stays

    answer = ui::ButtonYes;
    f.ADOQuery2->cancel();
    f.Sil1->trigger();
    EXPECT_EQ(f.ADOQuery2->recordCount(), 3);
    EXPECT_EQ(f.Yazi->toPlainText(), QString()); // the next subtopic, Boş gövde

    f.BtnKSil->click();
    EXPECT_EQ(asked, QStringLiteral("'Cümle' adlı konu, içerdiği alt konularla birlikte silinecek!  Onaylıyor musunuz?"));
    EXPECT_EQ(f.ADOQuery1->recordCount(), 1);
    EXPECT_TRUE(book.stored().isEmpty()); // the subtopics went with their topic

    // An empty list: two quotes in the question, then the query's own refusal.
    f.Sil1->trigger();
    EXPECT_EQ(asked, QStringLiteral("'' adlı alt konu silinsin mi?"));
    ASSERT_FALSE(book.errors.isEmpty());
    EXPECT_EQ(book.errors.last(), QStringLiteral("ADOQuery2: Cannot perform this operation on an empty dataset."));
}

TEST(BookEditing, SearchBoxNarrowsToTheCurrentTopicAndDropsAnUnsavedBody)
{
    Book book({{QStringLiteral("Cümle"), {{QStringLiteral("Cümle Yapısı"), QStringLiteral("a")}, {QStringLiteral("Ekler"), QStringLiteral("b")},
                                          {QStringLiteral("Basit Cümleler"), QStringLiteral("c")}}},
               {QStringLiteral("Sözcük"), {{QStringLiteral("İsim cümlesi"), QStringLiteral("d")}}}});
    Window w;
    ui::TForm1 &f = w.form;
    typeText(f.Yazi, QStringLiteral("kaybolacak "));
    f.PageControl1->setCurrentIndex(1);
    f.Edit2->setFocus();
    typeText(f.Edit2, QStringLiteral("cümle"));
    EXPECT_EQ(f.ADOQuery2->recordCount(), 2); // Cümle Yapısı and Basit Cümleler
    EXPECT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("Cümle Yapısı"));
    f.ADOQuery1->next();
    EXPECT_EQ(f.ADOQuery2->recordCount(), 1);
    EXPECT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("İsim cümlesi"));
    EXPECT_EQ(book.stored()[QStringLiteral("Basit Cümleler")], QStringLiteral("c"));
    EXPECT_EQ(book.stored()[QStringLiteral("Cümle Yapısı")], QStringLiteral("a")); // the typing was dropped
}

TEST(BookEditing, ReadOnlyModeStoresNothing)
{
    Book book(grammar());
    Window w;
    ui::TForm1 &f = w.form;
    f.SetReadOnly(true);
    typeText(f.Yazi, QStringLiteral("yasak"));
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("not"));
    EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Browse);
    richedit::CharFormat bold;
    bold.mask = richedit::CharFormat::MaskBold;
    bold.effects = richedit::CharFormat::Bold;
    f.Yazi->setSelection(0, 3);
    f.Yazi->setCharFormat(richedit::FormatTarget::Selection, bold); // shown, not stored
    f.ADOQuery2->next();
    f.ADOQuery2->prior();
    EXPECT_FALSE(f.Yazi->charFormat(richedit::FormatTarget::Selection).effects & richedit::CharFormat::Bold);
    EXPECT_EQ(book.stored()[QStringLiteral("Ali'nin Notu")], QStringLiteral("{\\RTF1 not}"));
}

TEST(BookEditing, TwoProgramsOnOneBookLoseNeitherText)
{
    Book book(grammar());
    Window first;
    Window second;
    typeText(first.form.Yazi, QStringLiteral("birinci "));
    typeText(second.form.Yazi, QStringLiteral("ikinci "));
    second.form.DataSetPost1->trigger();
    first.form.DataSetPost1->trigger(); // refused: the row changed since it was read
    ASSERT_EQ(book.errors.size(), 1);
    EXPECT_TRUE(book.errors[0].startsWith(QStringLiteral("Row cannot be located for updating")));
    EXPECT_EQ(first.form.ADOQuery2->state(), DataSetState::Edit);
    EXPECT_TRUE(first.form.Yazi->toPlainText().startsWith(QStringLiteral("birinci"))); // still on screen
    EXPECT_TRUE(book.stored()[QStringLiteral("Ali'nin Notu")].contains(QStringLiteral("ikinci"))); // still stored
}

TEST(BookEditing, ANewTopicStaysCurrentOnceSavedAndTakesTheNextSubtopic)
{
    Book book(grammar());
    Window w;
    w.form.ADOQuery1->first(); // "Cümle" chosen
    w.form.KonuEkle->trigger();
    ASSERT_EQ(w.form.ADOQuery1->state(), DataSetState::Insert);
    w.form.DBEdit1->setFocus();
    typeText(w.form.DBEdit1, QStringLiteral("Noktalama"));
    w.form.updateActions();
    w.form.KonuKaydet->trigger();
    EXPECT_EQ(w.form.ADOQuery1->state(), DataSetState::Browse);
    EXPECT_EQ(w.form.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(), QStringLiteral("Noktalama"));
    // The selector follows only what is chosen in it: it keeps the title it had.
    EXPECT_EQ(w.form.ComboKonu1->displayText(), QStringLiteral("Cümle"));
    const qint64 topic = w.form.ADOQuery1->fieldByName(QStringLiteral("Sira"))->value().toLongLong();
    // "Yeni" subtopic with a body: it is saved under the new topic.
    w.form.Yazi->setFocus();
    w.form.updateActions();
    w.form.DataSetInsert1->trigger();
    typeText(w.form.Yazi, QStringLiteral("virgül"));
    w.form.updateActions();
    w.form.DataSetPost1->trigger();
    auto db = book.fixture.open();
    const auto rs = db->select(database::SelectStatement::parse(QStringLiteral("Select * From detail")), {});
    bool found = false;
    for (const auto &row : rs.rows) {
        if (db->fetchLong(rs.table, row.key, rs.table.columnIndex(u"Aciklama"))->value.toString().contains(QStringLiteral("virg")))
            found = row.values[rs.table.columnIndex(u"Sira")].toLongLong() == topic;
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();

    // A topic renamed in the title box and saved: the selector still shows the title it had.
    w.form.DBEdit1->setFocus();
    w.form.DBEdit1->selectAll();
    typeText(w.form.DBEdit1, QStringLiteral("Noktalama İşaretleri"));
    w.form.updateActions();
    w.form.KonuKaydet->trigger();
    EXPECT_EQ(w.form.ComboKonu1->displayText(), QStringLiteral("Cümle"));
    EXPECT_EQ(w.form.ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString(), QStringLiteral("Noktalama İşaretleri"));
    // Deleting a topic whose title was being edited leaves the selector as it was too.
    w.form.ComboKonu1->chooseValue(QStringLiteral("Ekler"));
    w.form.DBEdit1->setFocus();
    typeText(w.form.DBEdit1, QStringLiteral("x"));
    w.form.ask = [](const QString &, ui::MessageKind, int) { return ui::ButtonYes; };
    w.form.ADOQuery1->remove();
    EXPECT_EQ(w.form.ComboKonu1->displayText(), QStringLiteral("Ekler"));
}
