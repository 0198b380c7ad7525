// Objects in the body through the main window: "Obje" embedding or linking a file and creating a
// new object that another program fills, "Resim Özellikleri" enabled for one selected object, the
// properties dialog, the context menu's items and verbs, read-only mode, and a picture and an object
// that come back after a save and a new start — headless.
#include "workingbook.h"
#include "editor/objectcommands.h"
#include "platform/objects/objectpropertiesdialog.h"
#include "platform/objects/objectsession.h"
#include "platform/richedit/richtextproperties.h"
#include "settings/modal.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMenu>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using objects::EmbeddedObject;

namespace {

struct Window
{
    Window() : book({{QStringLiteral("Konu"), {{QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi önce sonra}")}}}})
    {
        start();
    }
    void start()
    {
        form = std::make_unique<ui::TForm1>();
        form->FormShow();
        form->show();
        form->Yazi->setFocus();
        form->YaziObjects->openUrl = [this](const QUrl &url) {
            opened.append(url);
            return programFound;
        };
        form->updateActions();
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    void insert(const EmbeddedObject &object)
    {
        form->YaziObjects->askInsertObject = [object] { return std::optional<EmbeddedObject>(object); };
        form->Obje1->trigger();
    }
    // Every picture or object of the body with its position.
    std::vector<std::pair<int, QTextImageFormat>> images() const
    {
        std::vector<std::pair<int, QTextImageFormat>> out;
        for (QTextBlock b = form->Yazi->document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (f.charFormat().isImageFormat()) {
                    for (int i = 0; i < f.length(); ++i)
                        out.emplace_back(f.position() + i, f.charFormat().toImageFormat());
                }
            }
        }
        return out;
    }
    std::optional<EmbeddedObject> objectAt(int position)
    {
        form->Yazi->setSelection(position, position + 1);
        return form->YaziObjects->selectedObject();
    }
    QImage shown(const QTextImageFormat &f) const
    {
        return form->Yazi->document()->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
    }

    WorkingBook book;
    QTemporaryDir files;
    std::unique_ptr<ui::TForm1> form;
    QList<QUrl> opened;
    bool programFound = true; // whether the desktop has a program for what is opened
};

} // namespace

TEST(Objects, AFileEmbeddedIsSelectedAloneAndEnablesResimOzellikleri)
{
    Window w;
    EXPECT_TRUE(w.form->Obje1->isEnabled());
    EXPECT_FALSE(w.form->ResimOzellikleri1->isEnabled());
    const QString path = w.write(QStringLiteral("tablo.csv"), "a;b\n1;2\n");
    w.form->Yazi->setSelection(5, 5);
    w.insert(objects::fromFile(path, false));
    ASSERT_EQ(w.images().size(), 1u);
    EXPECT_EQ(w.images()[0].first, 5);
    int s = 0, e = 0;
    w.form->Yazi->selection(&s, &e);
    EXPECT_EQ(s, 5);
    EXPECT_EQ(e, 6);
    w.form->updateActions();
    EXPECT_TRUE(w.form->ResimOzellikleri1->isEnabled());
    EXPECT_EQ(w.form->ADOQuery2->state(), store::DataSetState::Edit);
    const auto object = w.form->YaziObjects->selectedObject();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->data, QByteArray("a;b\n1;2\n"));
    EXPECT_FALSE(object->linked);
    // The object with a character beside it: not one object any more.
    w.form->Yazi->setSelection(5, 7);
    w.form->updateActions();
    EXPECT_FALSE(w.form->ResimOzellikleri1->isEnabled());
}

TEST(Objects, APictureSelectedAloneEnablesResimOzellikleriAndWithACharacterDoesNot)
{
    Window w;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    w.form->YaziInsert->choosePicture = [&] { return w.write(QStringLiteral("r.bmp"), bmp); };
    w.form->Yazi->setSelection(0, 0);
    w.form->Resim1->trigger();
    ASSERT_EQ(w.images().size(), 1u);
    w.form->Yazi->setSelection(0, 1);
    w.form->updateActions();
    EXPECT_TRUE(w.form->ResimOzellikleri1->isEnabled());
    EXPECT_EQ(w.form->YaziObjects->selectedObject()->typeName(), QStringLiteral("Resim"));
    w.form->Yazi->setSelection(0, 2);
    w.form->updateActions();
    EXPECT_FALSE(w.form->ResimOzellikleri1->isEnabled());
}

TEST(Objects, ThePropertiesDialogCarriesTheTypeNameAndChangesTheView)
{
    Window w;
    w.insert(objects::createBlank(objects::newObjectKinds().at(1).className)); // a new picture
    w.opened.clear();
    ASSERT_EQ(w.images().size(), 1u);
    const QSize content = w.shown(w.images()[0].second).size();
    EXPECT_EQ(content, QSize(320, 240));
    QString title;
    whenModal<objects::ObjectPropertiesDialog>([&](objects::ObjectPropertiesDialog *d) {
        title = d->windowTitle();
        // Wide enough for its whole caption beside the title bar's icon and buttons.
        EXPECT_GE(d->width(), QFontMetrics(d->font()).horizontalAdvance(title) + objects::ObjectPropertiesDialog::CaptionRoom);
        EXPECT_GE(d->width(), 360);
        EXPECT_TRUE(d->findChild<QWidget *>(QStringLiteral("GeneralPage")));
        EXPECT_TRUE(d->findChild<QWidget *>(QStringLiteral("ViewPage")));
        EXPECT_FALSE(d->findChild<QWidget *>(QStringLiteral("LinkPage")));
        d->findChild<QRadioButton *>(QStringLiteral("AsIcon"))->setChecked(true);
        d->accept();
    });
    w.form->ResimOzellikleri1->trigger();
    EXPECT_EQ(title, QStringLiteral("Resim Properties"));
    ASSERT_EQ(w.images().size(), 1u);
    const auto object = w.objectAt(w.images()[0].first);
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->asIcon);
    EXPECT_NE(w.shown(w.images()[0].second).size(), content); // now an icon
}

TEST(Objects, TheContextMenuOffersPropertiesAndTheVerbsOfASelectedObject)
{
    Window w;
    const QString path = w.write(QStringLiteral("not.txt"), "merhaba");
    w.insert(objects::fromFile(path, true)); // linked
    const QList<QAction *> added = w.form->YaziObjects->addContextItems(w.form->PopupMenu);
    ASSERT_EQ(added.size(), 3);
    EXPECT_TRUE(added[0]->isSeparator());
    EXPECT_EQ(added[1]->text(), QStringLiteral("Metin Belgesi Properties"));
    QMenu *verbs = added[2]->menu();
    ASSERT_TRUE(verbs);
    EXPECT_EQ(verbs->title(), QStringLiteral("Metin Belgesi"));
    ASSERT_FALSE(verbs->actions().isEmpty());
    EXPECT_TRUE(verbs->actions()[0]->font().bold()); // the default verb
    verbs->actions()[0]->trigger();                  // a link opens its file with the user's program
    EXPECT_EQ(w.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    for (QAction *a : added)
        w.form->PopupMenu->removeAction(a);
    // No object selected: nothing added.
    w.form->Yazi->setSelection(0, 0);
    EXPECT_TRUE(w.form->YaziObjects->addContextItems(w.form->PopupMenu).isEmpty());

    // A plain picture: its properties, and verbs that are greyed since no program can open it.
    QImage red(6, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    QApplication::clipboard()->setImage(red);
    w.form->Yazi->setSelection(0, 0);
    w.form->Yazi->paste();
    w.form->Yazi->setSelection(0, 1);
    const QList<QAction *> picture = w.form->YaziObjects->addContextItems(w.form->PopupMenu);
    ASSERT_EQ(picture.size(), 3);
    EXPECT_TRUE(picture[1]->isEnabled());
    ASSERT_TRUE(picture[2]->menu());
    ASSERT_FALSE(picture[2]->menu()->actions().isEmpty());
    for (QAction *verb : picture[2]->menu()->actions())
        EXPECT_FALSE(verb->isEnabled()) << verb->text().toStdString();
    for (QAction *a : picture)
        w.form->PopupMenu->removeAction(a);
}

// No program on the desktop for the object's kind: the user is told, the object stays in the body,
// and no private copy is left behind.
TEST(Objects, WithoutAProgramToOpenItTheUserIsTold)
{
    Window w;
    w.programFound = false;
    w.insert(objects::createBlank(objects::newObjectKinds().at(0).className));
    ASSERT_EQ(w.opened.size(), 1);
    EXPECT_EQ(w.book.errors.size(), 1);
    EXPECT_TRUE(w.book.errors.value(0).startsWith(QStringLiteral("Nesne açılamadı"))) << w.book.errors.value(0).toStdString();
    EXPECT_EQ(w.images().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(w.opened[0].toLocalFile()));
    EXPECT_EQ(w.form->YaziObjects->session(), nullptr);

    // A linked file, opened with its default verb.
    w.book.errors.clear();
    const QString path = w.write(QStringLiteral("bağlı.txt"), "merhaba");
    w.insert(objects::fromFile(path, true));
    const QList<QAction *> added = w.form->YaziObjects->addContextItems(w.form->PopupMenu);
    ASSERT_EQ(added.size(), 3);
    added[2]->menu()->actions()[0]->trigger();
    EXPECT_EQ(w.book.errors.size(), 1);
    EXPECT_TRUE(w.book.errors.value(0).contains(QStringLiteral("açılamadı"))) << w.book.errors.value(0).toStdString();
    for (QAction *a : added)
        w.form->PopupMenu->removeAction(a);
}

TEST(Objects, ANewObjectIsOpenedInAPrivateCopyAndWhatTheProgramSavesComesBack)
{
    Window w;
    w.insert(objects::createBlank(objects::newObjectKinds().at(0).className)); // a new text document
    ASSERT_EQ(w.opened.size(), 1);
    const QString copy = w.opened[0].toLocalFile();
    ASSERT_TRUE(QFileInfo::exists(copy));
    const QString folder = QFileInfo(copy).absolutePath();
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);
    EXPECT_EQ(QFileInfo(copy).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    // The other program saves by writing a new file over the copy.
    {
        QFile f(copy + QStringLiteral(".new"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kaydedilen metin");
    }
    QFile::remove(copy);
    QFile::rename(copy + QStringLiteral(".new"), copy);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto images = w.images();
        if (images.size() != 1)
            return false;
        const auto o = w.objectAt(images[0].first);
        return o && o->data == QByteArray("kaydedilen metin");
    }, 5000));
    EXPECT_FALSE(w.objectAt(w.images()[0].first)->blank);
    // The session ends with the editor, and its folder with it.
    w.form.reset();
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(Objects, DoubleClickingAnObjectPerformsItsDefaultVerb)
{
    Window w;
    const QString path = w.write(QStringLiteral("not.txt"), "merhaba");
    w.form->Yazi->setSelection(2, 2);
    w.insert(objects::fromFile(path, true));
    w.form->Yazi->setSelection(0, 0);
    QTextCursor c(w.form->Yazi->document());
    c.setPosition(2);
    const QRect before = w.form->Yazi->cursorRect(c);
    c.setPosition(3);
    const QRect after = w.form->Yazi->cursorRect(c);
    const QPoint middle((before.left() + after.left()) / 2, (before.top() + before.bottom()) / 2);
    QTest::mouseDClick(w.form->Yazi->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
    int s = 0, e = 0;
    w.form->Yazi->selection(&s, &e);
    EXPECT_EQ(s, 2);
    EXPECT_EQ(e, 3); // the object alone, not the word around it
    EXPECT_EQ(w.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
}

TEST(Objects, InReadOnlyModeNothingIsInserted)
{
    Window w;
    w.form->SetReadOnly(true);
    bool asked = false;
    w.form->YaziObjects->askInsertObject = [&] {
        asked = true;
        return std::optional<EmbeddedObject>(objects::createBlank(objects::newObjectKinds().at(0).className));
    };
    w.form->Obje1->trigger();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(w.images().empty());
    EXPECT_TRUE(w.opened.isEmpty());
}

TEST(Objects, APictureAndAnObjectComeBackAfterASaveAndANewStart)
{
    Window w;
    QImage image(12, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            image.setPixel(x, y, qRgb(x * 20, y * 40, 99));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    w.form->YaziInsert->choosePicture = [&] { return w.write(QStringLiteral("r.bmp"), bmp); };
    w.form->Yazi->setSelection(0, 0);
    w.form->Resim1->trigger();
    const QString path = w.write(QStringLiteral("ek.csv"), "1;2;3");
    w.form->Yazi->setSelection(3, 3);
    EmbeddedObject object = objects::fromFile(path, false);
    w.insert(object);
    ASSERT_EQ(w.images().size(), 2u);
    const QImage objectLook = w.shown(w.images()[1].second);
    w.form->DataSetPost1->trigger();
    ASSERT_EQ(w.form->ADOQuery2->state(), store::DataSetState::Browse);

    w.form.reset();
    w.start();
    const auto images = w.images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].first, 0);
    EXPECT_EQ(images[1].first, 3);
    EXPECT_EQ(w.shown(images[0].second).convertToFormat(QImage::Format_RGB32), image);
    EXPECT_EQ(w.shown(images[1].second).convertToFormat(QImage::Format_ARGB32), objectLook.convertToFormat(QImage::Format_ARGB32));
    const auto back = w.objectAt(3);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->data, QByteArray("1;2;3"));
    EXPECT_EQ(back->fileName, QStringLiteral("ek.csv"));
}

TEST(Objects, WhatTheProgramSavesGoesIntoTheObjectItOpenedAndNoOtherBody)
{
    Window w;
    const EmbeddedObject blank = objects::createBlank(objects::newObjectKinds().at(0).className);
    w.insert(blank); // two identical new text documents, each opened in its turn
    const int end = w.form->Yazi->textLength();
    w.form->Yazi->setSelection(end, end);
    w.insert(blank);
    ASSERT_EQ(w.images().size(), 2u);
    ASSERT_EQ(w.opened.size(), 2);
    const auto saveInto = [](const QString &copy, const QByteArray &text) {
        QFile f(copy + QStringLiteral(".new"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QFile::remove(copy);
        QFile::rename(copy + QStringLiteral(".new"), copy);
    };
    saveInto(w.opened[1].toLocalFile(), "ikinci nesne");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto images = w.images();
        return images.size() == 2 && w.objectAt(images[1].first)->data == QByteArray("ikinci nesne");
    }, 5000));
    EXPECT_TRUE(w.objectAt(w.images()[0].first)->blank); // the first one is untouched

    // Another body read in: a later save is refused with a message, not put anywhere else.
    w.form->DataSetPost1->trigger();
    w.form->ADOQuery2->close();
    w.form->ADOQuery2->open();
    const int generation = w.form->Yazi->bodyGeneration();
    saveInto(w.opened[1].toLocalFile(), "geç kalan");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.book.errors.size() == 1; }, 5000));
    EXPECT_TRUE(w.book.errors.value(0).startsWith(QStringLiteral("Nesnede yapılan değişiklikler alınamadı")));
    EXPECT_EQ(w.form->Yazi->bodyGeneration(), generation);
    EXPECT_EQ(w.form->ADOQuery2->state(), store::DataSetState::Browse);
}
