// The editor's commands through the main window: formatting the selection or the word at the caret,
// the size and font boxes, paragraphs and the paragraph dialog, named undo and redo, the commands
// that need a selection, and a formatted body stored in the book — headless.
#include "workingbook.h"
#include "app/startup.h"
#include "editor/editorcommands.h"
#include "editor/tparagraf.h"
#include "platform/database/selectstatement.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>
#include <QColorDialog>
#include <QAbstractItemView>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using richedit::CharFormat;
using richedit::ParaFormat;

namespace {

struct Book : WorkingBook
{
    Book()
        : WorkingBook({{QStringLiteral("Cümle"),
                        {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254 alfa beta gama}")},
                         {QStringLiteral("Tür"), QStringLiteral("ikinci")}}}})
    {
    }
    QString storedBody(const QString &title) const
    {
        auto db = fixture.open();
        const auto rs = db->select(database::SelectStatement::parse(QStringLiteral("Select * From detail")), {});
        const int t = rs.table.columnIndex(u"Altkonu");
        const int b = rs.table.columnIndex(u"Aciklama");
        for (const auto &row : rs.rows) {
            if (row.values[t].toString() == title)
                return db->fetchLong(rs.table, row.key, b)->value.toString();
        }
        return QString();
    }
};

struct Window
{
    Window()
    {
        form.FormShow();
        form.show();
        form.Yazi->setFocus();
        form.updateActions();
    }
    ui::TForm1 form;
    editor::EditorCommands &commands() { return *form.YaziCommands; }
    // A click on a toolbar button as the user makes it: a check button toggles, then its command runs.
    void click(QToolButton *b) { b->click(); }
    // The format of the character at position.
    QTextCharFormat at(int position)
    {
        QTextCursor c(form.Yazi->document());
        c.setPosition(position + 1);
        return c.charFormat();
    }
};

void type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

} // namespace

TEST(EditorCommands, StyleGoesToTheWordAtTheCaretOrTheWholeSelection)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    ASSERT_EQ(f.Yazi->toPlainText(), QStringLiteral("alfa beta gama"));

    // No selection, caret inside "beta": the whole word becomes bold, and editing has started.
    f.Yazi->setSelection(7, 7);
    w.click(f.BtnKalin);
    EXPECT_EQ(w.at(5).fontWeight(), QFont::Bold);
    EXPECT_EQ(w.at(8).fontWeight(), QFont::Bold);
    EXPECT_NE(w.at(3).fontWeight(), QFont::Bold);
    EXPECT_NE(w.at(11).fontWeight(), QFont::Bold);
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Edit);

    // A selection partly italic ("al" italic, "fa b" not): bold makes all of it bold, and italic
    // takes what the control reported for the selection (its first character's) over all of it.
    f.Yazi->setSelection(0, 2);
    w.click(f.BtnItalic);
    w.commands().SelectionChange(); // the refresh after the move puts the button up again
    f.Yazi->setSelection(0, 6);
    w.commands().SelectionChange();
    EXPECT_TRUE(f.BtnItalic->isChecked());
    w.click(f.BtnKalin);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.at(i).fontWeight(), QFont::Bold) << i;
        EXPECT_TRUE(w.at(i).fontItalic()) << i;
    }
    EXPECT_FALSE(w.at(7).fontItalic());

    // Superscript and subscript both down: superscript wins; the subscript button stays down until
    // the next refresh, which shows the format.
    f.Yazi->setSelection(10, 14);
    w.click(f.BtnUst);
    EXPECT_EQ(w.at(11).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    w.click(f.BtnAlt);
    EXPECT_EQ(w.at(11).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_TRUE(f.BtnAlt->isChecked());
    w.commands().SelectionChange();
    EXPECT_FALSE(f.BtnAlt->isChecked());
    EXPECT_TRUE(f.BtnUst->isChecked());
    w.click(f.BtnUst); // up: subscript is still up, so none
    EXPECT_EQ(w.at(11).verticalAlignment(), QTextCharFormat::AlignNormal);

    // The refresh writes button states without applying anything.
    f.BtnCizgi->setChecked(true);
    w.commands().SelectionChange();
    EXPECT_FALSE(f.BtnCizgi->isChecked());
    EXPECT_FALSE(w.at(11).fontUnderline());
}

TEST(EditorCommands, SizeBoxKeepsItsLimitsAndSetsTheSize)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    editor::TSpinEdit *box = f.Edit1;

    CharFormat big;
    big.mask = CharFormat::MaskSize;
    big.heightTwips = 36 * 20;
    f.Yazi->setSelection(0, 4);
    f.Yazi->setCharFormat(richedit::FormatTarget::Selection, big);
    w.commands().SelectionChange();
    EXPECT_EQ(box->value(), 25); // the box's limit, the text keeps its size
    EXPECT_EQ(w.at(1).fontPointSize(), 36);
    box->stepBy(-1); // the down button
    EXPECT_EQ(w.at(1).fontPointSize(), 24);

    // Half points show the whole points below.
    big.heightTwips = 210;
    f.Yazi->setCharFormat(richedit::FormatTarget::Selection, big);
    w.commands().SelectionChange();
    EXPECT_EQ(box->value(), 10);

    // Typing 1 into the emptied box: 6 at once, and the selection takes 6 points.
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("1"));
    EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("6"));
    EXPECT_EQ(w.at(1).fontPointSize(), 6);
    QTest::keyClicks(box->lineEdit(), QStringLiteral("0")); // "60"
    EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("25"));
    EXPECT_EQ(w.at(1).fontPointSize(), 25);

    // A text that is no number counts as 6 and is replaced by it when the box loses the focus.
    int changes = 0;
    QObject::connect(box, &editor::TSpinEdit::valueChanged, [&] { ++changes; });
    box->lineEdit()->setText(QStringLiteral("x"));
    EXPECT_EQ(box->value(), 6);
    EXPECT_EQ(changes, 1);
    box->lineEdit()->setText(QStringLiteral("6")); // the same number: no change event
    EXPECT_EQ(changes, 1);
    box->lineEdit()->setText(QStringLiteral("y"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
    EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("6"));

    // The wheel steps by one.
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    EXPECT_EQ(box->value(), 7);
    EXPECT_EQ(w.at(1).fontPointSize(), 7);

    // A box without limits takes negative numbers as they are typed.
    editor::TSpinEdit free;
    free.lineEdit()->clear();
    QTest::keyClicks(free.lineEdit(), QStringLiteral("-12"));
    EXPECT_EQ(free.value(), -12);
    editor::TSpinEdit spacing;
    spacing.setRange(0, 2147483647);
    spacing.lineEdit()->setText(QStringLiteral("99999999999999999999"));
    EXPECT_EQ(spacing.value(), 2147483647);
}

TEST(EditorCommands, FontBoxFindsNamesSubstitutesOrNothing)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    editor::TFontComboBox *box = f.ComboBox1;
    const QStringList fonts = editor::TFontComboBox::screenFonts();
    ASSERT_FALSE(fonts.isEmpty());
    EXPECT_EQ(box->count(), fonts.size());
    QStringList folded;
    for (const QString &name : fonts)
        folded.append(name.toCaseFolded());
    folded.removeDuplicates();
    EXPECT_EQ(folded.size(), fonts.size()); // each font once
    ASSERT_TRUE(fonts.contains(QStringLiteral("Liberation Sans")));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans")); // as at start-up

    box->setFontName(QStringLiteral("liberation SANS")); // letter case ignored
    EXPECT_EQ(box->fontName(), QStringLiteral("Liberation Sans"));
    box->setFontName(QStringLiteral("Arial")); // through the substitute table
    EXPECT_EQ(box->fontName(), QStringLiteral("Liberation Sans"));
    box->setFontName(QStringLiteral("Yüklenmemiş Yazı Tipi"));
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_TRUE(box->fontName().isEmpty());

    // The body's font is shown after a refresh; choosing an entry sets the word's face name.
    f.Yazi->setSelection(2, 2);
    w.commands().SelectionChange();
    EXPECT_EQ(box->fontName(), QStringLiteral("Liberation Sans")); // Arial, installed as its substitute
    const int dejavu = fonts.indexOf(QStringLiteral("DejaVu Sans"));
    ASSERT_GE(dejavu, 0);
    box->setCurrentIndex(dejavu);
    Q_EMIT box->activated(dejavu);
    EXPECT_EQ(w.at(0).fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Sans"));
    EXPECT_NE(w.at(6).fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Sans"));
}

// A body from Windows names its fonts with the code page's tag ("Times New Roman TUR"): the font
// box shows their families' faces as for any other run, never a blank box.
TEST(EditorCommands, FontBoxShowsTheFamilyOfANameTaggedWithACodePage)
{
    WorkingBook book({{QStringLiteral("Konu"),
                       {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0\\froman\\fcharset162 "
                                                               "Times New Roman TUR{\\*\\fname Times New Roman;};}"
                                                               "{\\f1\\fswiss\\fcharset162 Arial TUR;}}\\f0 serif \\f1 sans}")}}}});
    app::Startup::insertFontSubstitutes();
    Window w;
    editor::TFontComboBox *box = w.form.ComboBox1;
    w.form.Yazi->setSelection(2, 2);
    w.commands().SelectionChange();
    EXPECT_EQ(box->fontName(), QStringLiteral("Liberation Serif"));
    w.form.Yazi->setSelection(9, 9);
    w.commands().SelectionChange();
    EXPECT_EQ(box->fontName(), QStringLiteral("Liberation Sans"));
}

TEST(EditorCommands, FontBoxListIsItsDropDownWidthWithTheSkyBlueHighlight)
{
    Book book;
    Window w;
    editor::TFontComboBox *box = w.form.ComboBox1;
    // Names wider than the list do not widen it.
    const QFontMetrics metrics(box->view()->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    ASSERT_GT(widest, editor::TFontComboBox::DropDownWidth);
    box->setCurrentIndex(0);
    box->showPopup();
    QWidget *list = box->view()->window();
    ASSERT_NE(list, box->window());
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->width(), editor::TFontComboBox::DropDownWidth);
    EXPECT_EQ(list->x(), box->mapToGlobal(QPoint(0, 0)).x());
    // The entry under the highlight stands on sky blue.
    const QRect item = box->view()->visualRect(box->view()->currentIndex());
    ASSERT_TRUE(item.isValid());
    const QImage shown = box->view()->viewport()->grab().toImage();
    const int right = std::min(item.right(), shown.width() - 1); // a long name is cut at the edge
    int sky = 0;
    for (int x = item.left(); x <= right; ++x) {
        if (QColor(shown.pixel(x, item.top() + 1)) == QColor(166, 202, 240))
            ++sky;
    }
    EXPECT_GT(sky, (right - item.left()) / 2);
    box->hidePopup();
}

TEST(EditorCommands, ColourFromTheSharedDialog)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    // The dialog opens on the colour it returned last; one picked and cancelled is not kept.
    QColor chosen, opened;
    QTimer::singleShot(0, [&] {
        f.ColorDialog1->setCurrentColor(Qt::red);
        f.ColorDialog1->accept();
    });
    EXPECT_TRUE(f.chooseColor(chosen));
    EXPECT_EQ(chosen, QColor(Qt::red));
    QTimer::singleShot(0, [&] {
        f.ColorDialog1->setCurrentColor(Qt::blue);
        f.ColorDialog1->reject();
    });
    EXPECT_FALSE(f.chooseColor(chosen));
    QTimer::singleShot(0, [&] {
        opened = f.ColorDialog1->currentColor();
        f.ColorDialog1->reject();
    });
    f.chooseColor(chosen);
    EXPECT_EQ(opened, QColor(Qt::red));

    int asked = 0;
    QColor answer(200, 10, 20);
    f.chooseColor = [&](QColor &color) {
        ++asked;
        if (!answer.isValid())
            return false;
        color = answer;
        return true;
    };
    f.Yazi->setSelection(0, 4);
    w.click(f.BtnRenk);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.at(1).foreground().color(), QColor(200, 10, 20));
    answer = QColor(); // cancelled: nothing changes
    f.Yazi->setSelection(5, 9);
    w.click(f.BtnRenk);
    EXPECT_FALSE(w.at(6).hasProperty(QTextFormat::ForegroundBrush));

    // The window-text and the default colour are written as the automatic colour.
    CharFormat c;
    editor::setColorValue(c, editor::EditorCommands::WindowTextColor);
    EXPECT_TRUE(c.effects & CharFormat::AutoColor);
    c = {};
    editor::setColorValue(c, editor::EditorCommands::DefaultColor);
    EXPECT_TRUE(c.effects & CharFormat::AutoColor);
    c = {};
    editor::setColorValue(c, 0x000080FF);
    EXPECT_FALSE(c.effects & CharFormat::AutoColor);
    EXPECT_EQ(c.color, 0x000080FFu);
}

TEST(EditorCommands, CommandsThatNeedASelection)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    const QList<QObject *> six = {f.Kes1, f.Kopyala1, f.PopupKes, f.PopupKopyala, f.BtnKes, f.BtnKopya};
    const auto enabled = [](QObject *o) {
        if (auto *a = qobject_cast<QAction *>(o))
            return a->isEnabled();
        return qobject_cast<QWidget *>(o)->isEnabled();
    };
    f.Yazi->setSelection(3, 3);
    for (QObject *o : six)
        EXPECT_FALSE(enabled(o)) << o->objectName().toStdString();
    f.Yazi->setSelection(3, 4); // one character: the refresh runs on the move
    for (QObject *o : six)
        EXPECT_TRUE(enabled(o)) << o->objectName().toStdString();
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Satır:   1  Karakter:   5"));

    // Ctrl+C from another control of the window reaches the editor.
    f.Edit2->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(f.Edit2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a"));

    // Resizing the window runs the refresh again.
    f.BtnKalin->setChecked(true);
    f.resize(f.width() + 20, f.height());
    QApplication::processEvents();
    EXPECT_FALSE(f.BtnKalin->isChecked());
}

TEST(EditorCommands, UndoAndRedoNameWhatTheyReverse)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    // Loading the body is its first change: nothing to undo or redo yet.
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri "));
    EXPECT_FALSE(f.Geri1->isEnabled());
    EXPECT_FALSE(f.Ileri1->isEnabled());

    f.Yazi->setSelection(14, 14);
    type(f.Yazi, QStringLiteral(" ek"));
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Yazılan"));
    EXPECT_TRUE(f.Geri1->isEnabled());
    EXPECT_FALSE(f.Ileri1->isEnabled());
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  V E L K O R A"));

    while (f.Yazi->canUndo())
        f.Geri1->trigger();
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("alfa beta gama"));
    EXPECT_EQ(f.Ileri1->text(), QStringLiteral("İleri Yazılan"));
    EXPECT_TRUE(f.Ileri1->isEnabled());
    EXPECT_FALSE(f.Geri1->isEnabled());
    f.updateActions();
    EXPECT_FALSE(f.BtnGeri->isEnabled());
    f.Ileri1->trigger();
    EXPECT_NE(f.Yazi->toPlainText(), QStringLiteral("alfa beta gama"));
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith(QStringLiteral("alfa beta gama ")));
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Yazılan"));
    EXPECT_TRUE(f.Geri1->isEnabled());

    f.Yazi->setSelection(0, 5);
    f.Kes1->trigger();
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Kesilen"));
    f.Yapistir1->trigger();
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Yapıştırılan"));
    f.Yazi->setSelection(0, 4);
    QTest::keyClick(f.Yazi, Qt::Key_Delete);
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Silinen"));
    f.Yazi->setSelection(0, 3);
    w.click(f.BtnKalin);
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri ")); // a format change has no name

    // Text dragged to another place.
    f.Yazi->setSelection(0, 2);
    QMimeData *drag = new QMimeData;
    drag->setText(QStringLiteral("xy"));
    const QPoint end = f.Yazi->cursorRect(QTextCursor(f.Yazi->document())).center();
    QDragEnterEvent enter(end, Qt::CopyAction, drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Yazi->viewport(), &enter);
    QDragMoveEvent move(end, Qt::CopyAction, drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Yazi->viewport(), &move);
    QDropEvent drop(QPointF(end), Qt::CopyAction, drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Yazi->viewport(), &drop);
    delete drag;
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith(QStringLiteral("xy"))) << f.Yazi->toPlainText().toStdString();
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Düzenlenen"));
    EXPECT_EQ(editor::undoName(6), QString());

    // Read-only mode, with steps left to undo: nothing is undone, and a bold click that is shown
    // but not stored does not claim a change.
    f.DataSetPost1->trigger();
    ASSERT_TRUE(f.Yazi->canUndo());
    f.SetReadOnly(true);
    const QString shown = f.Yazi->toPlainText();
    f.Geri1->trigger();
    EXPECT_EQ(f.Yazi->toPlainText(), shown);
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);
    f.Yazi->setSelection(5, 9);
    f.Panels[2]->clear();
    w.click(f.BtnCizgi);
    EXPECT_TRUE(w.at(6).fontUnderline());
    EXPECT_NE(f.Panels[2]->text(), QStringLiteral("  V E L K O R A"));
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);

    // Another subtopic: its own undo steps, none yet.
    f.SetReadOnly(false);
    f.ADOQuery2->next();
    EXPECT_FALSE(f.Geri1->isEnabled());
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri "));
}

TEST(EditorCommands, LoadingABodyRefreshesTheToolbar)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    // The caret is at the start before and after the move: the toolbar still follows the new body.
    f.Yazi->setSelection(0, 0);
    f.BtnKalin->setChecked(true);
    f.ADOQuery2->next();
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("ikinci"));
    EXPECT_FALSE(f.BtnKalin->isChecked());
    EXPECT_EQ(f.Panels[2]->text(), QStringLiteral("  Satır:   1  Karakter:   1"));

    // Redo by the keyboard's other redo key leaves the captions right too.
    f.Yazi->setSelection(6, 6);
    type(f.Yazi, QStringLiteral("!"));
    f.Geri1->trigger();
    QTest::keyClick(f.Yazi, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.Yazi->toPlainText(), QStringLiteral("ikinci!"));
    EXPECT_FALSE(f.Ileri1->isEnabled());
    EXPECT_EQ(f.Geri1->text(), QStringLiteral("Geri Yazılan"));
}

TEST(EditorCommands, AlignmentAndBullets)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    f.Yazi->streamInText(QStringLiteral("bir\niki\nüç"));
    f.Yazi->setSelection(5, 5); // "iki"
    f.Ortala1->trigger();
    EXPECT_EQ(f.Yazi->paraFormat().alignment, 3);
    EXPECT_TRUE(f.BtnOrta->isChecked());
    EXPECT_TRUE(f.Ortala1->isChecked());
    EXPECT_FALSE(f.SolaHizala1->isChecked());

    // A caret move updates the buttons but not the menu's check marks.
    f.Yazi->setSelection(0, 0);
    EXPECT_TRUE(f.BtnSol->isChecked());
    EXPECT_FALSE(f.BtnOrta->isChecked());
    EXPECT_TRUE(f.Ortala1->isChecked());

    // Justified: advanced typography first; no check mark for it.
    EXPECT_FALSE(f.Yazi->advancedTypography());
    w.click(f.BtnYasla);
    EXPECT_TRUE(f.Yazi->advancedTypography());
    EXPECT_EQ(f.Yazi->paraFormat().alignment, 4);
    for (QAction *a : {f.SolaHizala1, f.Ortala1, f.SagaHizala1})
        EXPECT_FALSE(a->isChecked()) << a->objectName().toStdString();
    f.SagaHizala1->trigger();
    EXPECT_EQ(f.Yazi->paraFormat().alignment, 2);
    EXPECT_TRUE(f.BtnSag->isChecked());

    // A selection over two paragraphs: both get the bullet and the 10-point indent of the lines.
    f.Yazi->setSelection(1, 6);
    w.click(f.BtnMadde);
    for (int pos : {0, 5}) {
        f.Yazi->setSelection(pos, pos);
        EXPECT_EQ(f.Yazi->paraFormat().numbering, 1);
        EXPECT_EQ(f.Yazi->paraFormat().offset, 200);
        EXPECT_TRUE(f.BtnMadde->isChecked());
    }
    f.Yazi->setSelection(9, 9);
    EXPECT_EQ(f.Yazi->paraFormat().numbering, 0);
    EXPECT_FALSE(f.BtnMadde->isChecked());
    // Off again: the indent goes to 0, whatever it was.
    ParaFormat wide;
    wide.mask = ParaFormat::MaskOffset;
    wide.offset = 600;
    f.Yazi->setSelection(0, 0);
    f.Yazi->setParaFormat(wide);
    w.commands().SelectionChange();
    w.click(f.BtnMadde);
    EXPECT_EQ(f.Yazi->paraFormat().numbering, 0);
    EXPECT_EQ(f.Yazi->paraFormat().offset, 0);
}

TEST(EditorCommands, ParagraphDialog)
{
    Book book;
    Window w;
    ui::TForm1 &f = w.form;
    f.Yazi->streamInText(QStringLiteral("bir\niki"));
    f.Yazi->setSelection(0, 0);
    w.commands().setAlignment(3);

    std::function<void(editor::TParagraf &)> fill;
    int shown = 0;
    f.YaziCommands->showParagraphDialog = [&](editor::TParagraf &d) {
        ++shown;
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Paragraf Ayarları"));
        EXPECT_EQ(d.size(), QSize(368, 216));
        EXPECT_TRUE(d.SpacingBox->isEnabled());
        if (!fill)
            return int(QDialog::Rejected);
        fill(d);
        return int(QDialog::Accepted);
    };

    // Justified shows as "Orta" and becomes centred when confirmed unchanged.
    fill = [](editor::TParagraf &d) {
        EXPECT_EQ(d.alignmentIndex(), 2);
        EXPECT_EQ(d.OkBtn->text(), QStringLiteral("Tamam"));
        EXPECT_EQ(d.CancelBtn->text(), QStringLiteral("İptal"));
    };
    f.Paragraf1->trigger();
    EXPECT_EQ(f.Yazi->paraFormat().alignment, 3);

    // Indents: -10 for the following lines, 20 for the first; spacing in points; line spacing 12
    // is at least 240 twips from line to line.
    fill = [](editor::TParagraf &d) {
        d.LeftIndent->setValue(-10);
        d.FirstIndent->setValue(20);
        d.RightIndent->setValue(5);
        d.setAlignmentIndex(1);
        d.SpaceBefore->setValue(6);
        d.SpaceAfter->setValue(3);
        d.LineSpacing->setValue(12);
    };
    f.Paragraf1->trigger();
    ParaFormat p = f.Yazi->paraFormat();
    EXPECT_EQ(p.offset, -200);
    EXPECT_EQ(p.startIndent, 400);
    EXPECT_EQ(p.rightIndent, 100);
    EXPECT_EQ(p.alignment, 2);
    EXPECT_EQ(p.spaceBefore, 120);
    EXPECT_EQ(p.spaceAfter, 60);
    EXPECT_EQ(p.lineSpacingRule, 3);
    EXPECT_EQ(p.lineSpacing, 240);
    const QTextBlockFormat b = f.Yazi->document()->firstBlock().blockFormat();
    EXPECT_NEAR(b.leftMargin() + b.textIndent(), 400 / 15.0, 0.01); // the first line at 20 points
    EXPECT_NEAR(b.leftMargin(), 200 / 15.0, 0.01);                 // the others at 10

    // 0 gives single spacing again.
    fill = [](editor::TParagraf &d) { d.LineSpacing->setValue(0); };
    f.Paragraf1->trigger();
    EXPECT_EQ(f.Yazi->paraFormat().lineSpacingRule, 0);

    // Cancelled: nothing written, the subtopic's state unchanged, the editor has the focus.
    f.ADOQuery2->cancel();
    f.Yazi->setSelection(0, 0);
    const ParaFormat before = f.Yazi->paraFormat();
    fill = [](editor::TParagraf &d) { d.LeftIndent->setValue(30); }; // typed, then cancelled
    f.YaziCommands->showParagraphDialog = [&](editor::TParagraf &d) {
        ++shown;
        fill(d);
        return int(QDialog::Rejected);
    };
    f.Edit2->setFocus();
    f.Paragraf1->trigger();
    EXPECT_EQ(f.Yazi->paraFormat().offset, before.offset);
    EXPECT_EQ(f.Yazi->paraFormat().alignment, before.alignment);
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);
    EXPECT_EQ(f.focusWidget(), f.Yazi);
    EXPECT_EQ(shown, 4);

    // Spacing beyond any page is held at 1584 points.
    editor::TParagraf d(true);
    d.fill(f.Yazi->paraFormat());
    d.SpaceBefore->lineEdit()->setText(QStringLiteral("2147483647"));
    EXPECT_EQ(d.SpaceBefore->value(), 2147483647);
    d.write(*f.Yazi);
    EXPECT_EQ(f.Yazi->paraFormat().spaceBefore, richedit::RichEditControl::MaxParagraphLength);
}

TEST(EditorCommands, FormattedWordIsStoredInTheBook)
{
    Book book;
    {
        Window w;
        ui::TForm1 &f = w.form;
        f.chooseColor = [](QColor &color) {
            color = QColor(0, 128, 0);
            return true;
        };
        f.Yazi->setSelection(6, 6); // in "beta"
        w.click(f.BtnKalin);
        w.click(f.BtnRenk);
        f.Yazi->setSelection(5, 9);
        w.commands().SelectionChange();
        f.Edit1->setValue(18);
        f.Ortala1->trigger();
        w.click(f.BtnMadde);
        f.DataSetPost1->trigger();
        EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);
    }
    const QString rtf = book.storedBody(QStringLiteral("Öge"));
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\b ")) || rtf.contains(QStringLiteral("\\b\\"))) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\red0\\green128\\blue0"))) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\fs36"))) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\qc"))) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\pnlvlblt"))) << rtf.toStdString();
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();
}
