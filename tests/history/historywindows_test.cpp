// The history and backups in the program: the book gets its history and a first backup when it is
// opened; "Önceki Sürümler" shows a subtopic's versions with what changed and puts one back as an
// edit; "Silinenler" brings a deleted subtopic back; "Yedekler" lists the backups, opens one
// read-only and restores one to a new file.
#include "app/startup.h"
#include "history/bookbackup.h"
#include "history/bookhistory.h"
#include "history/historywindows.h"
#include "platform/database/database.h"
#include "platform/richedit/richeditcontrol.h"
#include "store/dataset.h"
#include "store/field.h"
#include "ui/main/tform1.h"
#include "../ui/workingbook.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;

namespace {

// Runs check on the modal dialog the next command opens, then closes it.
template <typename Dialog>
void whenOpened(const std::function<void(Dialog &)> &check)
{
    QTimer::singleShot(0, [check] {
        auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d) << "no dialog opened";
        check(*d);
        if (d->isVisible())
            d->reject();
    });
}

database::Database &bookOf(app::Startup &s)
{
    return *s.BookKeeping->database();
}

} // namespace

TEST(HistoryWindows, VersionsAreShownComparedAndPutBackAsAnEdit)
{
    WorkingBook book({{"Cümle", {{"Özne", "{\\rtf1\\ansi eski metin burada\\par}"}, {"Yüklem", "{\\rtf1 yüklem}"}}}});
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    ui::TForm1 &f = *startup.Form1;
    // The book was opened: it gets its history and its first backup, written beside it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !startup.BookKeeping->busy() && history::holdsHistory(bookOf(startup)); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !history::listBackups(QDir(book.fixture.folder()).filePath("Yedekler"), "Data").isEmpty(); }, 15000))
        << f.findChild<QLabel *>("BackupPanel")->text().toStdString();

    // A change saved keeps what it replaced.
    f.Yazi->setFocus();
    f.Yazi->moveCursor(QTextCursor::End);
    QTest::keyClicks(f.Yazi, " yeni");
    f.Kaydet1->trigger();
    ASSERT_EQ(f.ADOQuery2->state(), store::DataSetState::Browse);
    ASSERT_EQ(history::versionsOf(bookOf(startup), 1).size(), 1);

    f.updateActions();
    ASSERT_TRUE(f.OncekiSurumler1->isEnabled());
    whenOpened<history::VersionsDialog>([](history::VersionsDialog &d) {
        ASSERT_EQ(d.list()->count(), 1);
        auto *version = d.findChild<richedit::RichEditControl *>("Version");
        auto *current = d.findChild<richedit::RichEditControl *>("Current");
        ASSERT_TRUE(version && current);
        EXPECT_EQ(version->toPlainText().trimmed(), "eski metin burada");
        EXPECT_TRUE(current->toPlainText().contains("yeni"));
        // What the save put in is marked in the current text, and nothing else.
        QTextCursor c(current->document());
        c.setPosition(current->toPlainText().indexOf("yeni") + 1);
        EXPECT_TRUE(c.charFormat().background().style() != Qt::NoBrush);
        c.setPosition(1);
        EXPECT_TRUE(c.charFormat().background().style() == Qt::NoBrush);
        d.findChild<QPushButton *>("Restore")->click();
    });
    f.OncekiSurumler1->trigger();
    // The old text is in the editor as an edit, not yet saved.
    EXPECT_EQ(f.ADOQuery2->state(), store::DataSetState::Edit);
    EXPECT_EQ(f.Yazi->toPlainText().trimmed(), "eski metin burada");
    f.Kaydet1->trigger();
    EXPECT_TRUE(f.ADOQuery2->fieldByName("Aciklama")->asString().contains("eski metin burada"));
    EXPECT_FALSE(f.ADOQuery2->fieldByName("Aciklama")->asString().contains("yeni"));
    EXPECT_EQ(history::versionsOf(bookOf(startup), 1).size(), 2); // the restore is a save like any other

    // Deleted, then brought back from "Silinenler", and made current.
    f.ADOQuery2->setRecNo(f.ADOQuery2->recNoOfKey(2));
    f.ADOQuery2->remove();
    ASSERT_EQ(f.ADOQuery2->recNoOfKey(2), -1);
    whenOpened<history::DeletedDialog>([](history::DeletedDialog &d) {
        ASSERT_EQ(d.list()->count(), 1);
        EXPECT_TRUE(d.list()->item(0)->text().endsWith("Cümle › Yüklem"));
        d.findChild<QPushButton *>("Restore")->click();
        EXPECT_EQ(d.list()->count(), 0);
    });
    f.Silinenler1->trigger();
    EXPECT_EQ(f.ADOQuery2->fieldByName("Altkonu")->asString(), "Yüklem");
    EXPECT_EQ(f.Yazi->toPlainText().trimmed(), "yüklem");
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join('\n').toStdString();
}

TEST(HistoryWindows, BackupsAreListedOpenedReadOnlyAndRestoredToANewFile)
{
    WorkingBook book({{"Cümle", {{"Özne", "{\\rtf1\\ansi yedekteki metin\\par}"}}}, {"Sözcük", {}}});
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !startup.BookKeeping->busy() && history::holdsHistory(bookOf(startup)); }, 15000));
    history::BackupsDialog dialog(*startup.BookKeeping, startup.Form1.get());
    QStringList messages;
    dialog.showMessage = [&](const QString &m) { messages << m; };
    dialog.showError = [&](const QString &m) { messages << "error: " + m; };
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(2), "2");
    EXPECT_EQ(dialog.list()->topLevelItem(0)->text(3), "1");

    // "Şimdi Yedekle" adds one.
    dialog.findChild<QPushButton *>("BackupNow")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.list()->topLevelItemCount() == 2; }, 15000)) << messages.join('\n').toStdString();

    // Opened read-only in a window of its own, with the body to copy from.
    dialog.findChild<QPushButton *>("Open")->click();
    ASSERT_TRUE(dialog.viewer());
    EXPECT_EQ(dialog.viewer()->topics()->count(), 2);
    EXPECT_EQ(dialog.viewer()->subtopics()->currentItem()->text(), "Özne");
    EXPECT_EQ(dialog.viewer()->body()->toPlainText().trimmed(), "yedekteki metin");
    EXPECT_TRUE(dialog.viewer()->body()->isReadOnly());
    dialog.viewer()->close();
    EXPECT_FALSE(dialog.isVisible()); // the list made way for the backup's window

    // Restored beside the book under a new name, never over the book; said where.
    dialog.findChild<QPushButton *>("Restore")->click();
    ASSERT_EQ(messages.size(), 1);
    const QStringList restored = QDir(book.fixture.folder()).entryList({"Data-geri-yuklenen-*.mdb"});
    ASSERT_EQ(restored.size(), 1);
    EXPECT_TRUE(messages[0].contains(restored[0])) << messages[0].toStdString();
    dialog.findChild<QPushButton *>("Restore")->click(); // the same name again: refused, said
    EXPECT_TRUE(messages.last().startsWith("error: ")) << messages.last().toStdString();

    // The book may stop keeping versions.
    dialog.keepVersions()->setChecked(false);
    EXPECT_FALSE(history::historyEnabled(bookOf(startup)));
}

TEST(HistoryWindows, AFailedBackupIsToldOnceAndLeavesTheBookAlone)
{
    WorkingBook book({{"Cümle", {{"Özne", "{\\rtf1 metin}"}}}});
    // Neither beside the book (a file is in the way) nor in the per-user data folder (under a file).
    QFile inTheWay(QDir(book.fixture.folder()).filePath("Yedekler"));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(inTheWay.fileName() + "/veri"));
    app::Startup startup;
    startup.maximized = false;
    ASSERT_TRUE(startup.run());
    auto *panel = startup.Form1->findChild<QLabel *>("BackupPanel");
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !startup.BookKeeping->busy() && panel->isVisibleTo(startup.Form1.get()); }, 15000));
    EXPECT_TRUE(panel->text().contains("Yedek alınamadı")) << panel->text().toStdString();
    const QString told = panel->text();
    bool done = false;
    QString error;
    startup.BookKeeping->backupNow([&](const QString &, const QString &e) {
        done = true;
        error = e;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 15000));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(panel->text(), told); // once a run
    qunsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(startup.BookKeeping->database()->check().isEmpty());
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join('\n').toStdString();
}
