// The subtopic list: its colours by record number, the wheel and the keyboard table.
#include "workingbook.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/tsrdbgrid.h"

#include "platform/database/selectstatement.h"
#include "store/field.h"

#include <QAbstractItemDelegate>
#include <QAbstractScrollArea>
#include <QStyleOptionViewItem>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

struct List : WorkingBook
{
    List()
        : WorkingBook({{QStringLiteral("Beş"),
                    {{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("2")},
                     {QStringLiteral("c"), QStringLiteral("3")}, {QStringLiteral("d"), QStringLiteral("4")},
                     {QStringLiteral("e"), QStringLiteral("5")}}}})
    {
        form = std::make_unique<ui::TForm1>();
        form->FormShow();
        form->show();
        QApplication::setActiveWindow(form.get()); // focus changes need an active window
        grid = form->DBGrid1;
        grid->setFocus();
    }
    ~List() { form.reset(); }
    store::Query &q() { return *form->ADOQuery2; }
    std::unique_ptr<ui::TForm1> form;
    ui::TSrDBGrid *grid = nullptr;
};

void wheel(QWidget *w, int delta)
{
    QWheelEvent e(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(static_cast<QAbstractScrollArea *>(w)->viewport(), &e);
}

} // namespace

TEST(SubtopicList, RowsAlternateAndTheCurrentRowKeepsItsColours)
{
    List l;
    const QColor white(255, 255, 255), pale(234, 244, 253), sky(166, 202, 240);
    l.q().setRecNo(3);
    EXPECT_EQ(l.grid->rowBackground(0), white);
    EXPECT_EQ(l.grid->rowBackground(1), pale);
    EXPECT_EQ(l.grid->rowBackground(2), sky); // current
    EXPECT_EQ(l.grid->rowText(2), white);
    EXPECT_EQ(l.grid->rowBackground(3), pale);
    EXPECT_EQ(l.grid->rowBackground(4), white);
    l.form->Yazi->setFocus(); // also without the focus
    EXPECT_EQ(l.grid->rowBackground(2), sky);
    l.grid->setTextColor(QColor(255, 0, 0)); // a red text colour leaves the current row white
    EXPECT_EQ(l.grid->rowText(2), white);
    EXPECT_EQ(l.grid->rowText(0), QColor(255, 0, 0));

    l.q().insert(); // while inserting every row is white but the new one
    for (int r = 0; r < l.q().displayRowCount(); ++r) {
        if (r != l.q().currentDisplayRow()) {
            EXPECT_EQ(l.grid->rowBackground(r), white) << r;
        }
    }
    EXPECT_EQ(l.grid->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral(" Alt Konular"));
}

TEST(SubtopicList, WheelAndKeysMoveThroughTheSubtopics)
{
    List l;
    wheel(l.grid, -120);
    EXPECT_EQ(l.q().recNo(), 2);
    wheel(l.grid, 120);
    EXPECT_EQ(l.q().recNo(), 1);
    QTest::keyClick(l.grid, Qt::Key_End);
    EXPECT_EQ(l.q().recNo(), 5);
    wheel(l.grid, -120); // at the last subtopic the notch is not used
    EXPECT_EQ(l.q().recNo(), 5);
    QTest::keyClick(l.grid, Qt::Key_Up);
    EXPECT_EQ(l.q().recNo(), 4);
    QTest::keyClick(l.grid, Qt::Key_Home);
    EXPECT_EQ(l.q().recNo(), 1);
    QTest::keyClick(l.grid, Qt::Key_Tab);
    EXPECT_EQ(l.q().recNo(), 2);

    // Down on the last subtopic appends an empty one; Up away from it drops it.
    QTest::keyClick(l.grid, Qt::Key_End);
    QTest::keyClick(l.grid, Qt::Key_Down);
    EXPECT_EQ(l.q().state(), DataSetState::Insert);
    QTest::keyClick(l.grid, Qt::Key_Down); // on the untouched new one at the end: nothing
    EXPECT_EQ(l.q().state(), DataSetState::Insert);
    QTest::keyClick(l.grid, Qt::Key_Up);
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_EQ(l.q().recordCount(), 5);

    // Insert, then leaving the list with nothing typed, drops the new row.
    QTest::keyClick(l.grid, Qt::Key_Insert);
    EXPECT_EQ(l.q().state(), DataSetState::Insert);
    l.form->Yazi->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_TRUE(l.errors.isEmpty()) << l.errors.join(u'\n').toStdString();
}

TEST(SubtopicList, CtrlDeleteAsksItsOwnQuestionAndEscCancels)
{
    List l;
    int asked = 0;
    bool answer = false;
    l.grid->confirmDelete = [&] {
        ++asked;
        return answer;
    };
    QTest::keyClick(l.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(l.q().recordCount(), 5);
    answer = true;
    QTest::keyClick(l.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(l.q().recordCount(), 4);

    // Esc with nothing typed in the list cancels the subtopic's edit, the body's change included.
    l.form->Yazi->setFocus();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(l.form->Yazi, &press);
    EXPECT_EQ(l.q().state(), DataSetState::Edit);
    l.grid->setFocus();
    QTest::keyClick(l.grid, Qt::Key_Escape);
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_EQ(l.form->Yazi->toPlainText(), l.q().fieldByName(QStringLiteral("Aciklama"))->asString());

    // Read-only: no appending, inserting or deleting.
    l.grid->setReadOnly(true);
    QTest::keyClick(l.grid, Qt::Key_Insert);
    QTest::keyClick(l.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_EQ(l.q().recordCount(), 4);
}

TEST(SubtopicList, TitlesAreEditedInPlace)
{
    List l;
    l.q().setRecNo(2);
    QAbstractItemModel *model = l.grid->model();
    ASSERT_TRUE(model->setData(model->index(1, 0), QStringLiteral("b düzeltildi"), Qt::EditRole));
    EXPECT_EQ(l.q().state(), DataSetState::Edit);
    QTest::keyClick(l.grid, Qt::Key_Down); // leaving the row saves it
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("b düzeltildi"));
}

TEST(SubtopicList, TopicFormattingToolbarSetsTheListsColoursAndStyles)
{
    List l;
    QColor offered(10, 20, 30);
    bool confirm = true;
    l.form->chooseColor = [&](QColor &c) {
        if (confirm)
            c = offered;
        return confirm;
    };
    l.form->BtnZemin2->click();
    EXPECT_EQ(l.grid->background(), offered);
    EXPECT_EQ(l.grid->rowBackground(1), QColor(234, 244, 253)); // alternate rows keep theirs
    offered = QColor(255, 0, 0);
    l.form->BtnYaziRenk2->click();
    EXPECT_EQ(l.grid->textColor(), QColor(255, 0, 0));
    confirm = false; // cancelling changes nothing
    l.form->BtnYaziRenk2->click();
    EXPECT_EQ(l.grid->textColor(), QColor(255, 0, 0));

    l.form->BtnKalin2->click();
    l.form->BtnItalic2->click();
    l.form->BtnKalin2->click(); // bold on, italic on, bold off: italic only
    EXPECT_FALSE(l.grid->font().bold());
    EXPECT_TRUE(l.grid->font().italic());
}

namespace {

// Types into the open in-place editor one key at a time, as a person does.
void typeIntoCell(ui::TSrDBGrid *grid, const QString &text)
{
    for (const QChar c : text) {
        QWidget *target = grid->titleEditor() ? static_cast<QWidget *>(grid->titleEditor()) : grid;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
}

QString savedTitle(const WorkingBook &book, int row)
{
    auto db = book.fixture.open();
    const auto rs = db->select(database::SelectStatement::parse(QStringLiteral("SELECT * FROM detail ORDER BY Kimlik")), {});
    return row < rs.rows.size() ? rs.rows[row].values[rs.table.columnIndex(u"Altkonu")].toString() : QStringLiteral("<none>");
}

} // namespace

TEST(SubtopicList, ATitleTypedInItsCellIsKeptByEveryWayOfLeavingIt)
{
    // The first key typed starts editing; a save, a move, "Yeni" and the close question all take
    // the cell's text, whether or not Enter was pressed.
    {
        List l; // "Yeni", type into the new row, Ctrl+S
        l.form->DataSetInsert1->trigger();
        l.grid->setFocus();
        typeIntoCell(l.grid, QStringLiteral("Zeta Başlık"));
        ASSERT_TRUE(l.grid->titleEditor());
        l.form->updateActions(); // as when the program goes idle
        l.form->DataSetPost1->trigger();
        EXPECT_EQ(l.q().state(), DataSetState::Browse);
        EXPECT_EQ(savedTitle(l, 5), QStringLiteral("Zeta Başlık"));
        EXPECT_TRUE(l.errors.isEmpty()) << l.errors.join(u'\n').toStdString();
    }
    {
        List l; // F2 on an existing subtopic: the first key puts it into edit state
        l.q().setRecNo(2);
        QTest::keyClick(l.grid, Qt::Key_F2);
        ASSERT_TRUE(l.grid->titleEditor());
        EXPECT_EQ(l.q().state(), DataSetState::Browse);
        QTest::keyClick(l.grid->titleEditor(), Qt::Key_End); // F2 selects the title; type after it
        typeIntoCell(l.grid, QStringLiteral("X"));
        EXPECT_EQ(l.q().state(), DataSetState::Edit);
        l.form->updateActions();
        EXPECT_TRUE(l.form->DataSetPost1->isEnabled()); // "Kaydet"
        EXPECT_FALSE(l.form->DataSetEdit1->isEnabled()); // "Düzenle"
        l.form->DataSetNext1->trigger(); // "Sonraki"
        EXPECT_EQ(savedTitle(l, 1), QStringLiteral("bX"));
        EXPECT_EQ(l.q().recNo(), 3);
        EXPECT_FALSE(l.grid->titleEditor()); // the editor went with the row
    }
    {
        List l; // F2, type, "Yeni"
        l.q().setRecNo(4);
        QTest::keyClick(l.grid, Qt::Key_F2);
        QTest::keyClick(l.grid->titleEditor(), Qt::Key_End);
        typeIntoCell(l.grid, QStringLiteral("!"));
        l.form->DataSetInsert1->trigger();
        EXPECT_EQ(l.q().state(), DataSetState::Insert);
        EXPECT_EQ(savedTitle(l, 3), QStringLiteral("d!"));
    }
    {
        List l; // F2, type, close the window: the question is asked and Yes keeps the title
        int asked = 0;
        l.form->askToSave = [&] {
            ++asked;
            return true;
        };
        l.q().setRecNo(1);
        QTest::keyClick(l.grid, Qt::Key_F2);
        QTest::keyClick(l.grid->titleEditor(), Qt::Key_End);
        typeIntoCell(l.grid, QStringLiteral("ğ"));
        EXPECT_TRUE(l.form->FormClose());
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(savedTitle(l, 0), QStringLiteral("ağ"));
    }
    for (const bool back : {false, true}) {
        List l; // F2, type, Tab (Shift+Tab): the title is saved and the next (previous) subtopic is current
        l.q().setRecNo(2);
        QTest::keyClick(l.grid, Qt::Key_F2);
        QTest::keyClick(l.grid->titleEditor(), Qt::Key_End);
        typeIntoCell(l.grid, QStringLiteral("T"));
        QTest::keyClick(l.grid->titleEditor(), back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(savedTitle(l, 1), QStringLiteral("bT"));
        EXPECT_EQ(l.q().recNo(), back ? 1 : 3);
        EXPECT_EQ(l.q().state(), DataSetState::Browse);
        EXPECT_FALSE(l.grid->titleEditor());
        EXPECT_TRUE(l.errors.isEmpty()) << l.errors.join(u'\n').toStdString();
    }
    {
        List l; // a title longer than the field is cut where the field ends, as in the title box
        l.q().setRecNo(1);
        QTest::keyClick(l.grid, Qt::Key_F2);
        ASSERT_TRUE(l.grid->titleEditor());
        EXPECT_EQ(l.grid->titleEditor()->maxLength(), 255);
        l.grid->titleEditor()->selectAll();
        typeIntoCell(l.grid, QString(300, u'ş'));
        l.form->updateActions();
        l.form->DataSetPost1->trigger();
        EXPECT_EQ(savedTitle(l, 0), QString(255, u'ş'));
        EXPECT_TRUE(l.errors.isEmpty()) << l.errors.join(u'\n').toStdString();
    }
}

TEST(SubtopicList, AClickMakesTheClickedSubtopicCurrentWhenSavingReordersTheList)
{
    List l;
    // "a" renamed to "z" is saved by the click and sorts to the end: the rows move up by one.
    l.q().setRecNo(1);
    l.q().edit();
    l.q().fieldByName(QStringLiteral("Altkonu"))->setAsString(QStringLiteral("z"));
    const QRect c = l.grid->visualRect(l.grid->model()->index(2, 0)); // "c" as shown before saving
    QTest::mouseClick(l.grid->viewport(), Qt::LeftButton, Qt::NoModifier, c.center());
    EXPECT_EQ(l.q().state(), DataSetState::Browse);
    EXPECT_EQ(l.q().fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("c"));
    // A new subtopic left untouched above the clicked row is dropped; the clicked one is current.
    l.q().setRecNo(2);
    l.q().insert();
    const QRect e = l.grid->visualRect(l.grid->model()->index(4, 0)); // "d" below the new row
    QTest::mouseClick(l.grid->viewport(), Qt::LeftButton, Qt::NoModifier, e.center());
    EXPECT_EQ(l.q().fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("d"));
    EXPECT_EQ(l.q().recordCount(), 5);
}

TEST(SubtopicList, ACellLeftOpenGoesWithItsSubtopicAndWritesNothingIntoAnother)
{
    WorkingBook book({{QStringLiteral("Bir"), {{QStringLiteral("a1"), QString()}, {QStringLiteral("a2"), QString()}}},
                      {QStringLiteral("İki"), {{QStringLiteral("b1"), QString()}, {QStringLiteral("b2"), QString()}}}});
    ui::TForm1 form;
    form.FormShow();
    form.show();
    QApplication::setActiveWindow(&form);
    form.DBGrid1->setFocus();
    QTest::keyClick(form.DBGrid1, Qt::Key_F2); // open, nothing typed
    ASSERT_TRUE(form.DBGrid1->titleEditor());
    form.ADOQuery1->next(); // another topic with as many subtopics
    EXPECT_FALSE(form.DBGrid1->titleEditor());
    form.Yazi->setFocus();
    EXPECT_EQ(form.ADOQuery2->state(), DataSetState::Browse);
    EXPECT_EQ(form.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("b1"));
    // A double click lands only on the current subtopic's cell.
    QAbstractItemDelegate *delegate = form.DBGrid1->itemDelegate();
    QStyleOptionViewItem option;
    EXPECT_EQ(delegate->createEditor(form.DBGrid1->viewport(), option, form.DBGrid1->model()->index(1, 0)), nullptr);
}

TEST(SubtopicList, AClickAfterSavingANewTitledSubtopicMovesToTheClickedRow)
{
    List l;
    l.form->DataSetInsert1->trigger();
    l.grid->setFocus();
    typeIntoCell(l.grid, QStringLiteral("zz"));
    l.form->updateActions();
    l.form->DataSetPost1->trigger();
    ASSERT_EQ(l.q().fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("zz"));
    const QRect first = l.grid->visualRect(l.grid->model()->index(0, 0));
    QTest::mouseClick(l.grid->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
    EXPECT_EQ(l.q().fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("a"));
}
