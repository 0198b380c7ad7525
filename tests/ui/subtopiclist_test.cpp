// The subtopic list: its colours by record number, the wheel and the keyboard table.
#include "workingbook.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/tsrdbgrid.h"

#include "store/field.h"

#include <QAbstractScrollArea>
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
