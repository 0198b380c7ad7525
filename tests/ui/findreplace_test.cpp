// Find and replace in the body through the main window: seeding the dialogs, searching down and
// up without wrapping, "Sonrakini Bul", replacing one occurrence and all of them, Turkish letter
// case, read-only mode, and the dialogs' behaviour as windows — headless.
#include "workingbook.h"
#include "editor/findreplace.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using editor::FindReplaceDialog;

namespace {

const QString Body = QStringLiteral("alfa beta alfa gama alfa delta");

struct Window
{
    explicit Window(const QString &body = Body)
        : book({{QStringLiteral("Konu"), {{QStringLiteral("Öge"), body}}}})
    {
        form.FormShow();
        form.show();
        QApplication::setActiveWindow(&form);
        form.Yazi->setFocus();
        form.updateActions();
        form.ask = [this](const QString &message, ui::MessageKind kind, int) {
            messages.append(message);
            kinds.append(kind);
            return ui::ButtonOk;
        };
        form.YaziFind->beep = [this] {
            events.append(QStringLiteral("beep:%1").arg(messages.size()));
        };
    }
    ~Window()
    {
        for (FindReplaceDialog *d : {find().findDialog(), find().replaceDialog()}) {
            if (d)
                d->hide();
        }
    }
    editor::FindReplace &find() { return *form.YaziFind; }
    QString selected() const { return form.Yazi->textCursor().selectedText(); }
    std::pair<int, int> selection() const
    {
        int s = 0, e = 0;
        form.Yazi->selection(&s, &e);
        return {s, e};
    }
    void click(FindReplaceDialog *d, const char *button)
    {
        auto *b = d->findChild<QPushButton *>(QString::fromLatin1(button));
        ASSERT_TRUE(b) << button;
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
    }

    WorkingBook book;
    ui::TForm1 form;
    QStringList messages;
    QList<ui::MessageKind> kinds;
    QStringList events;
};

QString notFound(const QString &text)
{
    return QStringLiteral("Arama tamamlandı. \"%1\" adlı öğe bulunamadı.").arg(text);
}

} // namespace

TEST(FindReplace, TheFindCommandsAreEnabledAndTheDialogsCarryTheirCaptions)
{
    Window w;
    for (QAction *a : {w.form.Bul1, w.form.SonrakiniBul1, w.form.BulDegistir1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(w.form.BtnBul->isEnabled());
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Bul"));
    QStringList captions;
    for (QAbstractButton *b : d->findChildren<QAbstractButton *>())
        captions.append(b->text().remove(u'&'));
    for (const QString &c : {QStringLiteral("Sonrakini Bul"), QStringLiteral("İptal"), QStringLiteral("Yukarı"),
                             QStringLiteral("Aşağı"), QStringLiteral("Büyük/küçük harf duyarlı"),
                             QStringLiteral("Yalnızca tam sözcük")})
        EXPECT_TRUE(captions.contains(c)) << c.toStdString();
    EXPECT_EQ(d->findChild<QLineEdit *>(QStringLiteral("FindEdit"))->maxLength(), 255);
    EXPECT_TRUE(d->down()); // down at first

    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->windowTitle(), QStringLiteral("Değiştir"));
    EXPECT_FALSE(r->findChild<QWidget *>(QStringLiteral("Direction"))->isVisibleTo(r)); // no direction choice
    captions.clear();
    for (QAbstractButton *b : r->findChildren<QAbstractButton *>())
        captions.append(b->text().remove(u'&'));
    EXPECT_TRUE(captions.contains(QStringLiteral("Değiştir")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Tümünü Değiştir")));

    // The toolbar's button opens the same find dialog, created once.
    d->hide();
    w.form.BtnBul->click();
    EXPECT_EQ(w.find().findDialog(), d);
    EXPECT_TRUE(d->isVisible());
}

TEST(FindReplace, TheSelectionSeedsTheDialogAndWithoutOneThePreviousTextStays)
{
    Window w;
    w.form.Yazi->setSelection(5, 9); // "beta"
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    EXPECT_EQ(d->findText(), QStringLiteral("beta"));
    d->reject();
    w.form.Yazi->setSelection(2, 2);
    w.form.Bul1->trigger();
    EXPECT_EQ(d->findText(), QStringLiteral("beta"));
    // The replace dialog, made now, takes the find dialog's text.
    w.form.BulDegistir1->trigger();
    EXPECT_EQ(w.find().replaceDialog()->findText(), QStringLiteral("beta"));
}

TEST(FindReplace, ASelectionLongerThan255CharactersSeedsItsFirst255)
{
    const QString longBody = QString(300, u'x') + QStringLiteral(" son");
    Window w(longBody);
    w.form.Yazi->setSelection(0, 300);
    w.form.Bul1->trigger();
    EXPECT_EQ(w.find().findDialog()->findText(), QString(255, u'x'));
}

TEST(FindReplace, SearchingDownFromTheLastOccurrenceReportsAndDoesNotWrap)
{
    Window w;
    w.form.Yazi->setSelection(0, 0);
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("alfa"));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(0, 4));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(10, 14));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(20, 24));
    EXPECT_TRUE(w.messages.isEmpty());
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(20, 24)); // where it was: no restart at the top
    ASSERT_EQ(w.messages, QStringList{notFound(QStringLiteral("alfa"))});
    EXPECT_EQ(w.kinds.value(0), ui::MessageKind::Warning);
    EXPECT_TRUE(w.events.isEmpty()); // no beep from the dialog's own search
}

TEST(FindReplace, SearchingUpFindsTheNearestOccurrenceBeforeTheSelection)
{
    Window w;
    w.form.Yazi->setSelection(15, 19); // "gama"
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("alfa"));
    d->setDown(false);
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(10, 14));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(0, 4));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(0, 4));
    EXPECT_EQ(w.messages, QStringList{notFound(QStringLiteral("alfa"))});
}

TEST(FindReplace, MatchCaseAndWholeWordReachTheSearch)
{
    Window w(QStringLiteral("Alfabe alfa ALFA"));
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("alfa"));
    d->setWholeWord(true);
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(7, 11));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(12, 16)); // "ALFA": case ignored
    d->setMatchCase(true);
    w.form.Yazi->setSelection(0, 0);
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(7, 11));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selection(), std::make_pair(7, 11));
    EXPECT_EQ(w.messages.size(), 1);
}

TEST(FindReplace, LetterCaseIsComparedTheTurkishWay)
{
    Window w(QStringLiteral("ISPARTA İSTANBUL ıspanak"));
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    // i pairs with İ, not with I; ı pairs with I.
    d->setFindText(QStringLiteral("istanbul"));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selected(), QStringLiteral("İSTANBUL"));
    w.form.Yazi->setSelection(0, 0);
    d->setFindText(QStringLiteral("isparta"));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.messages, QStringList{notFound(QStringLiteral("isparta"))});
    d->setFindText(QStringLiteral("ısparta"));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selected(), QStringLiteral("ISPARTA"));
    d->setFindText(QStringLiteral("ISPANAK"));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selected(), QStringLiteral("ıspanak"));
}

TEST(FindReplace, TheReplaceTableFollowsWholeWordAndMatchCase)
{
    // (selection, find text, whole word, match case) → matches; the letter case Turkish.
    struct Row { const char16_t *selection, *find; bool whole, matchCase, matches; };
    const Row rows[] = {
        {u"alfa", u"alfa", true, true, true},     {u"Alfa", u"alfa", true, true, false},
        {u"ALFA", u"alfa", true, false, true},    {u"İSTANBUL", u"istanbul", true, false, true},
        {u"ISTANBUL", u"istanbul", true, false, false}, {u"xalfax", u"alfa", false, true, true},
        {u"xAlfax", u"alfa", false, true, false}, {u"L", u"alfa", false, false, true},
        {u"İ", u"kimi", false, false, true},      {u"I", u"kimi", false, false, false},
        {u"alfab", u"alfa", false, false, false}, {u"", u"alfa", false, false, false},
        {u"", u"alfa", true, true, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(editor::selectionMatches(QString::fromUtf16(r.selection), QString::fromUtf16(r.find), r.whole,
                                           r.matchCase),
                  r.matches)
            << QString::fromUtf16(r.selection).toStdString() << " / " << QString::fromUtf16(r.find).toStdString()
            << " whole " << r.whole << " case " << r.matchCase;
    }
}

TEST(FindReplace, ReplacingTheMiddleLetterDependsOnMatchCase)
{
    Window w(QStringLiteral("abc abc"));
    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    r->setFindText(QStringLiteral("abc"));
    r->setReplaceText(QStringLiteral("X"));
    w.form.Yazi->setSelection(1, 2); // "b"
    w.click(r, "ReplaceButton");
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("aXc abc"));
    EXPECT_EQ(w.selection(), std::make_pair(4, 7)); // then the next occurrence is selected

    r->setMatchCase(true);
    w.form.Yazi->setSelection(5, 6); // "b" of the second
    w.click(r, "ReplaceButton");
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("aXc abc"));
    EXPECT_EQ(w.messages, QStringList{notFound(QStringLiteral("abc"))}); // and nothing after it
}

TEST(FindReplace, ReplaceReplacesTheSelectedOccurrenceThenSelectsTheNextAndCanBeUndone)
{
    Window w;
    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    r->setFindText(QStringLiteral("alfa"));
    r->setReplaceText(QStringLiteral("omega"));
    w.form.Yazi->setSelection(0, 0);
    w.click(r, "ReplaceButton"); // nothing selected: only finds the first
    EXPECT_EQ(w.form.Yazi->toPlainText(), Body);
    EXPECT_EQ(w.selection(), std::make_pair(0, 4));
    w.click(r, "ReplaceButton");
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("omega beta alfa gama alfa delta"));
    EXPECT_EQ(w.selection(), std::make_pair(11, 15));
    EXPECT_EQ(w.form.ADOQuery2->state(), store::DataSetState::Edit);
    w.form.Geri1->trigger();
    EXPECT_EQ(w.form.Yazi->toPlainText(), Body);
}

TEST(FindReplace, ReplaceAllLeavesTheSelectedOccurrenceAndRaisesOneChange)
{
    Window w;
    int changes = 0;
    const auto yaziChange = w.form.Yazi->OnChange;
    w.form.Yazi->OnChange = [&] {
        ++changes;
        yaziChange();
    };
    int refreshes = 0;
    w.find().SelectionChange = [&] { ++refreshes; };
    w.form.Yazi->setSelection(0, 4); // the first "alfa"
    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    EXPECT_EQ(r->findText(), QStringLiteral("alfa"));
    r->setReplaceText(QStringLiteral("ALFA"));
    r->setMatchCase(true);
    w.click(r, "ReplaceAllButton");
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("alfa beta ALFA gama ALFA delta"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(w.messages.isEmpty());
    EXPECT_TRUE(w.form.Panels[2]->text().contains(QStringLiteral("V E L K O R A"))); // the modified mark
    // Each replacement is its own undo step.
    w.form.Geri1->trigger();
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("alfa beta ALFA gama alfa delta"));
    w.form.Geri1->trigger();
    EXPECT_EQ(w.form.Yazi->toPlainText(), Body);

    // Nothing left to replace: the not-found message, no change.
    const int before = changes;
    w.form.Yazi->setSelection(0, 0);
    r->setFindText(QStringLiteral("yok"));
    w.click(r, "ReplaceAllButton");
    EXPECT_EQ(w.messages, QStringList{notFound(QStringLiteral("yok"))});
    EXPECT_EQ(changes, before);
}

TEST(FindReplace, ReplaceAllWithAReplaceTextHoldingTheFindTextFinishes)
{
    Window w(QStringLiteral("a a a"));
    w.form.Yazi->setSelection(0, 0);
    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    r->setFindText(QStringLiteral("a"));
    r->setReplaceText(QStringLiteral("aa"));
    EXPECT_EQ(w.find().replaceAll(), 3);
    EXPECT_EQ(w.form.Yazi->toPlainText(), QStringLiteral("aa aa aa"));
}

TEST(FindReplace, InReadOnlyModeNothingIsReplaced)
{
    Window w;
    w.form.SetReadOnly(true);
    w.form.Yazi->setSelection(0, 4);
    w.form.BulDegistir1->trigger();
    FindReplaceDialog *r = w.find().replaceDialog();
    r->setReplaceText(QStringLiteral("omega"));
    w.click(r, "ReplaceButton");
    w.click(r, "ReplaceAllButton");
    EXPECT_EQ(w.form.Yazi->toPlainText(), Body);
    EXPECT_EQ(w.form.ADOQuery2->state(), store::DataSetState::Browse);
    EXPECT_FALSE(w.events.isEmpty()); // the refused replace-all beeps
}

TEST(FindReplace, FindNextBeforeAnySearchBeepsAndAfterTheLastReportsThenBeeps)
{
    Window w;
    w.form.SonrakiniBul1->trigger();
    EXPECT_EQ(w.events, QStringList{QStringLiteral("beep:0")});
    EXPECT_TRUE(w.messages.isEmpty());

    // F3 reaches the command through the window's shortcuts.
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("gama"));
    w.click(d, "FindNextButton");
    d->reject();
    w.events.clear();
    w.form.Yazi->setSelection(0, 0);
    w.form.Edit2->setFocus();
    QTest::keyClick(w.form.Yazi, Qt::Key_F3);
    EXPECT_EQ(w.selected(), QStringLiteral("gama"));
    EXPECT_TRUE(w.events.isEmpty());
    w.form.Edit2->setFocus();
    w.form.SonrakiniBul1->trigger();
    EXPECT_EQ(w.messages, QStringList{notFound(QStringLiteral("gama"))});
    EXPECT_EQ(w.events, QStringList{QStringLiteral("beep:1")}); // after the message
    EXPECT_EQ(QApplication::focusWidget(), w.form.Yazi);
}

TEST(FindReplace, ClosingEitherDialogGivesTheEditorTheFocus)
{
    Window w;
    for (QAction *open : {w.form.Bul1, w.form.BulDegistir1}) {
        open->trigger();
        FindReplaceDialog *d = open == w.form.Bul1 ? w.find().findDialog() : w.find().replaceDialog();
        w.form.Edit2->setFocus();
        QApplication::setActiveWindow(d);
        QTest::keyClick(d, Qt::Key_Escape); // Escape closes, as İptal does
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(w.form.focusWidget(), w.form.Yazi) << open->objectName().toStdString();
    }
}

TEST(FindReplace, EnterFindsNextAndTheDialogReopensWhereItWasLeft)
{
    Window w;
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("beta"));
    w.form.Yazi->setSelection(0, 0);
    QTest::keyClick(d->findChild<QLineEdit *>(QStringLiteral("FindEdit")), Qt::Key_Return);
    EXPECT_EQ(w.selected(), QStringLiteral("beta"));
    EXPECT_TRUE(d->isVisible());
    d->move(123, 234);
    const QPoint place = d->pos();
    d->reject();
    w.form.Bul1->trigger();
    EXPECT_EQ(d->pos(), place);
}

TEST(FindReplace, TheDialogMovesOffTheOccurrenceItCovers)
{
    Window w;
    w.form.Bul1->trigger();
    FindReplaceDialog *d = w.find().findDialog();
    d->setFindText(QStringLiteral("gama"));
    w.form.Yazi->setSelection(0, 0);
    // Put the dialog over where the occurrence is drawn, then search.
    QTextCursor c(w.form.Yazi->document());
    c.setPosition(15);
    const QPoint at = w.form.Yazi->viewport()->mapToGlobal(w.form.Yazi->cursorRect(c).topLeft());
    d->move(at.x() - 10, at.y() - 10);
    QApplication::processEvents();
    ASSERT_TRUE(d->frameGeometry().contains(at));
    w.click(d, "FindNextButton");
    EXPECT_EQ(w.selected(), QStringLiteral("gama"));
    EXPECT_FALSE(d->frameGeometry().contains(at));
    EXPECT_EQ(d->frameGeometry().x(), at.x() - 10); // only the vertical position changes
}
