// Spell checking in the program's editor: marks as one types, on the screen only (never in the
// stored body, a copy or a print), corrections from the context menu as one undoable edit, the
// person's words, and the switch in "Görünüm" with its setting and read-only mode.
#include "app/startup.h"
#include "platform/profile/profilefile.h"
#include "settings/settingsfile.h"
#include "store/dataset.h"
#include "store/field.h"
#include "ui/main/tform1.h"
#include "../ui/workingbook.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

QStringList markedWords(const spelling::SpellChecker &checker)
{
    QStringList words;
    for (const spelling::SpellChecker::Mark &m : checker.marks())
        words << m.word;
    return words;
}

bool isRed(QRgb c)
{
    return qRed(c) > 160 && qGreen(c) < 90 && qBlue(c) < 90;
}

int redPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += isRed(image.pixel(x, y));
    return n;
}

// The band under a word on the screen, in the viewport's pixels.
QRect underWord(richedit::RichEditControl *editor, int position, int length)
{
    QTextCursor c(editor->document());
    c.setPosition(position);
    const QRect start = editor->cursorRect(c);
    c.setPosition(position + length);
    const QRect end = editor->cursorRect(c);
    return QRect(QPoint(start.left(), start.center().y()), QPoint(end.left(), start.bottom() + 4));
}

// Typing as a keyboard does, letters outside Latin-1 included.
void type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c == u' ' ? Qt::Key_Space : Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, c == u' ' ? Qt::Key_Space : Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

struct Program
{
    explicit Program(const std::vector<TopicSpec> &topics) : book(topics)
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8()); // the person's word list goes here
        startup.maximized = false;
        started = startup.run();
    }
    ~Program() { qunsetenv("XDG_CONFIG_HOME"); }
    QTemporaryDir config;
    WorkingBook book;
    app::Startup startup;
    bool started = false;
};

#define START_CHECKING(program)                                                                           \
    ASSERT_TRUE((program).started);                                                                       \
    if (!(program).startup.Speller->available())                                                          \
        GTEST_SKIP() << "the Turkish dictionary (hunspell-tr) is not installed";                          \
    ASSERT_TRUE(QTest::qWaitFor([&] { return (program).startup.Speller->ready() && (program).startup.SpellChecker->idle(); }, \
                                15000))

const char *Body = "{\\rtf1\\ansi\\ansicpg1254{\\fonttbl{\\f0 Arial;}}\\f0\\fs28 Bu kitab\\'fd yanl\\'fdz okudum.\\par "
                   "Herkez gelemeyeceklermi\\'fe.\\par}";

} // namespace

TEST(SpellChecking, MarksOnTheScreenOnlyAsOneTypesAndCorrectsAsOneEdit)
{
    Program program({{"Yazım", {{"Örnek", Body}}}});
    START_CHECKING(program);
    ui::TForm1 &f = *program.startup.Form1;
    spelling::SpellChecker &checker = *program.startup.SpellChecker;
    EXPECT_EQ(markedWords(checker).join(u','), "yanlız,Herkez");

    // A red wave under the word on the screen; nothing red under a correct word, in a print or in
    // the stored body.
    f.Yazi->viewport()->repaint();
    const QImage screen = f.Yazi->viewport()->grab().toImage();
    const spelling::SpellChecker::Mark wrong = checker.marks().value(0);
    EXPECT_GT(redPixels(screen, underWord(f.Yazi, wrong.position, wrong.length)), 4);
    EXPECT_EQ(redPixels(screen, underWord(f.Yazi, 0, 2)), 0); // "Bu"
    QImage page(900, 600, QImage::Format_ARGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        f.Yazi->formatRange(&painter, QRectF(0, 0, 900, 600), 0, -1, true);
    }
    EXPECT_EQ(redPixels(page, page.rect()), 0);
    EXPECT_FALSE(f.Yazi->streamOutRtf().contains("\\ul"));
    f.Yazi->selectAll();
    f.Yazi->copy();
    const QMimeData *copied = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    for (const QString &format : copied->formats())
        EXPECT_FALSE(copied->data(format).contains("\\ul") || copied->data(format).contains("underline")) << format.toStdString();

    // The word being typed is marked once the caret leaves it.
    f.Yazi->setFocus();
    f.Yazi->moveCursor(QTextCursor::End);
    type(f.Yazi, " şöför");
    QTest::qWait(50);
    EXPECT_FALSE(markedWords(checker).contains("şöför"));
    type(f.Yazi, " ");
    EXPECT_TRUE(QTest::qWaitFor([&] { return markedWords(checker).contains("şöför"); }, 2000)) << markedWords(checker).join(',').toStdString();
    f.Kaydet1->trigger();
    ASSERT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);

    // The context menu over a marked word: corrections first, then the word list's two items, then
    // the menu's own.
    QMenu menu;
    QAction *own = menu.addAction("Kes");
    const QList<QAction *> added = checker.addContextItems(&menu, underWord(f.Yazi, wrong.position + 1, 1).topLeft());
    ASSERT_FALSE(added.isEmpty());
    EXPECT_EQ(menu.actions().value(0)->text(), "yalnız");
    QStringList texts;
    for (QAction *a : menu.actions())
        texts << a->text();
    EXPECT_TRUE(texts.contains("Sözlüğe Ekle") && texts.contains("Yoksay"));
    EXPECT_EQ(menu.actions().last(), own);
    EXPECT_TRUE(checker.addContextItems(&menu, underWord(f.Yazi, 0, 1).topLeft()).isEmpty()); // over "Bu"

    // Choosing it replaces the word as one edit that starts editing, as typing does; undo brings
    // the word and its mark back.
    menu.actions().value(0)->trigger();
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Edit);
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith("Bu kitabı yalnız okudum."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !markedWords(checker).contains("yanlız"); }, 2000));
    f.Yazi->undo();
    EXPECT_TRUE(f.Yazi->toPlainText().startsWith("Bu kitabı yanlız okudum."));
    f.Yazi->viewport()->repaint(); // the repaint after the undo shows the mark again
    EXPECT_GT(redPixels(f.Yazi->viewport()->grab().toImage(), underWord(f.Yazi, wrong.position, wrong.length)), 4);
    EXPECT_TRUE(markedWords(checker).contains("yanlız"));
    f.Yazi->redo();
    f.Kaydet1->trigger();
    EXPECT_TRUE(f.ADOQuery2->fieldByName("Aciklama")->asString().contains("yaln\\'fdz"));
    EXPECT_TRUE(program.book.errors.isEmpty()) << program.book.errors.join('\n').toStdString();
}

TEST(SpellChecking, PersonalWordsTheSwitchItsSettingAndReadOnlyMode)
{
    Program program({{"Yazım",
                      {{"Örnek", "{\\rtf1\\ansi\\ansicpg1254 Velkora ile Velkoranin kitab\\'fd.\\par}"},
                       {"Öteki", "{\\rtf1\\ansi Velkora herkez.\\par}"}}}});
    START_CHECKING(program);
    ui::TForm1 &f = *program.startup.Form1;
    spelling::SpellChecker &checker = *program.startup.SpellChecker;
    EXPECT_EQ(markedWords(checker).join(u','), "Velkora,Velkoranin");

    // "Sözlüğe Ekle" keeps the word in the person's list at once for every body and the next run.
    QMenu menu;
    checker.addContextItems(&menu, underWord(f.Yazi, 1, 1).topLeft());
    QAction *keep = menu.findChild<QAction *>("SpellAdd");
    ASSERT_TRUE(keep);
    keep->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return markedWords(checker) == QStringList({"Velkoranin"}); }, 2000))
        << markedWords(checker).join(',').toStdString();
    QFile list(program.config.filePath("velkora/kisisel-sozluk.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), "Velkora\n");
    f.ADOQuery2->next();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checker.idle(); }, 5000));
    EXPECT_EQ(markedWords(checker).join(u','), "herkez");
    {
        spelling::Speller nextRun;
        nextRun.waitUntilReady();
        EXPECT_TRUE(nextRun.isCorrect("Velkora"));
    }

    // The switch in "Görünüm": off, nothing is marked on the screen; the setting is kept in its own
    // section; a file without it reads as on.
    f.updateActions();
    ASSERT_TRUE(f.YazimDenetimi1->isEnabled());
    f.YazimDenetimi1->trigger();
    EXPECT_FALSE(f.YazimDenetimi1->isChecked());
    EXPECT_TRUE(checker.addContextItems(&menu, underWord(f.Yazi, 9, 1).topLeft()).isEmpty());
    f.Yazi->viewport()->repaint();
    EXPECT_EQ(redPixels(f.Yazi->viewport()->grab().toImage(), f.Yazi->viewport()->rect()), 0);
    QTemporaryDir settings;
    const QString ini = settings.filePath("Velkora.ini");
    settings::SaveSettings(f, program.startup.AyarFrm->Edit1, ini);
    EXPECT_FALSE(profile::ProfileFile(ini).readBool("Yazim Denetimi", "Acik", true));
    f.YazimDenetimi1->trigger();
    f.Yazi->viewport()->repaint();
    EXPECT_GT(redPixels(f.Yazi->viewport()->grab().toImage(), f.Yazi->viewport()->rect()), 4);
    f.YazimDenetimi1->setChecked(false);
    QFile older(ini);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("[Kitap Adi]\r\nBaslik=Eski\r\n");
    older.close();
    settings::LoadSettings(f, program.startup.AyarFrm->Edit1, ini);
    EXPECT_TRUE(f.YazimDenetimi1->isChecked());

    // Read-only mode turns checking off, and the switch with it.
    f.SetReadOnly(true);
    f.Yazi->viewport()->repaint();
    EXPECT_EQ(redPixels(f.Yazi->viewport()->grab().toImage(), f.Yazi->viewport()->rect()), 0);
    EXPECT_FALSE(checker.active());
    f.updateActions();
    EXPECT_FALSE(f.YazimDenetimi1->isEnabled());
    f.SetReadOnly(false);
    EXPECT_TRUE(checker.active());
}

TEST(SpellChecking, WithoutTheDictionaryTheSwitchIsDisabledAndSaysWhichPackageBringsIt)
{
    QTemporaryDir empty;
    qputenv("VELKORA_DICTIONARY_DIR", empty.path().toUtf8());
    Program program({{"Yazım", {{"Örnek", Body}}}});
    qunsetenv("VELKORA_DICTIONARY_DIR");
    ASSERT_TRUE(program.started);
    ui::TForm1 &f = *program.startup.Form1;
    f.updateActions();
    EXPECT_FALSE(f.YazimDenetimi1->isEnabled());
    EXPECT_TRUE(f.YazimDenetimi1->text().startsWith("Yazım Denetimi"));
    EXPECT_TRUE(f.YazimDenetimi1->text().contains("hunspell-tr"));
    // The body is shown and edited as ever, with nothing marked.
    f.Yazi->setFocus();
    f.Yazi->moveCursor(QTextCursor::End);
    type(f.Yazi, " yanlız ");
    f.Yazi->viewport()->repaint();
    EXPECT_EQ(redPixels(f.Yazi->viewport()->grab().toImage(), f.Yazi->viewport()->rect()), 0);
    EXPECT_TRUE(program.startup.SpellChecker->marks().isEmpty());
    EXPECT_TRUE(program.book.errors.isEmpty()) << program.book.errors.join('\n').toStdString();
}
