// A book on a PostgreSQL server as a person uses it with others: the settings file names the server,
// another writer's saves show in the list and the body as they come, what the person is typing is
// never replaced, a save during an outage keeps the text and goes through once the server is back,
// and the commands that work on book files only say so.
#include "app/startup.h"
#include "platform/database/serverdatabase.h"
#include "search/searchwindow.h"
#include "store/field.h"
#include "tools/privateserver/privateserver.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/tform1.h"
#include "ui/main/tsrdbgrid.h"
#include "workingbook.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace velkora;
using namespace velkora::testing;
using store::DataSetState;

namespace {

PrivateServer &server()
{
    static PrivateServer instance;
    return instance;
}

// The text of the next message box f puts up, which is closed.
QString nextMessage(const std::function<void()> &f)
{
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                text = box->text();
                box->accept();
                poll.stop();
            }
    });
    poll.start(50);
    f();
    QTest::qWaitFor([&] { return !text.isEmpty(); }, 3000);
    return text;
}

QStringList listed(ui::TForm1 &f)
{
    QStringList out;
    for (int row = 0; row < f.ADOQuery2->displayRowCount(); ++row)
        out << f.ADOQuery2->displayValue(row, f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->index()).toString();
    return out;
}

struct SharedBook
{
    SharedBook()
    {
        ui::setErrorDisplay([this](const QString &m) { errors.append(m); });
        QDir::setCurrent(folder.path()); // no book file here: the settings name the server's
        const QString name = QStringLiteral("ortak%1").arg(++count);
        server().createDatabase(name);
        info = server().connectionInfo(name);
        other = database::ServerDatabase::open(info);
        const auto &master = other->table(u"master");
        const auto &detail = other->table(u"detail");
        const qint64 topic = other->insert(master, {{master.columnIndex(u"Baslik"), QStringLiteral("Cümle")}}).key;
        const auto add = [&](const QString &title, const QString &body) {
            return other->insert(detail, {{detail.columnIndex(u"Sira"), topic}, {detail.columnIndex(u"Altkonu"), title},
                                          {detail.columnIndex(u"Aciklama"), body}});
        };
        oge = add(QStringLiteral("Öge"), QStringLiteral("{\\rtf1\\ansi\\ansicpg1254 \\'d6zne ve y\\'fcklem.\\par}"));
        tur = add(QStringLiteral("Tür"), QStringLiteral("{\\rtf1 fiil\\par}"));
        QFile ini(folder.filePath(QStringLiteral("Velkora.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("[Kitap Adi]\r\nBaslik=Ortak Kitap\r\n[Sunucu]\r\nBaglanti=%1\r\n").arg(info).toUtf8());
    }
    ~SharedBook()
    {
        ui::setErrorDisplay({});
        QDir::setCurrent(previous);
    }
    // The program started as a person starts it, on this book.
    bool start(app::Startup &startup) const
    {
        startup.maximized = false;
        startup.settingsPath = folder.filePath(QStringLiteral("Velkora.ini"));
        return startup.run();
    }
    QString body(qint64 key) const
    {
        const auto &detail = other->table(u"detail");
        return other->fetchLong(detail, key, detail.columnIndex(u"Aciklama"))->value.toString();
    }

    static inline int count = 0;
    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    QString info;
    std::unique_ptr<database::ServerDatabase> other; // the other writer
    database::Row oge, tur;
    QStringList errors;
};

} // namespace

TEST(SharedBook, AnotherWritersSavesShowAndWhatIsTypedIsKept)
{
    if (!server().available())
        GTEST_SKIP() << server().whyNot().toStdString();
    SharedBook book;
    app::Startup startup;
    ASSERT_TRUE(book.start(startup));
    ui::TForm1 &f = *startup.Form1;
    ASSERT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();
    ASSERT_EQ(listed(f), (QStringList{QStringLiteral("Öge"), QStringLiteral("Tür")}));
    EXPECT_EQ(f.Yazi->toPlainText().trimmed(), QStringLiteral("Özne ve yüklem."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return startup.Watch->watching(); }, 2000));

    // Another writer renames a subtopic and adds one: the list follows, the body on screen is left
    // as it is (the caret where the person put it).
    QTextCursor caret = f.Yazi->textCursor();
    caret.setPosition(3);
    f.Yazi->setTextCursor(caret);
    const auto &detail = book.other->table(u"detail");
    const int title = detail.columnIndex(u"Altkonu");
    const int text = detail.columnIndex(u"Aciklama");
    book.other->update(detail, book.tur.key, book.tur.version, {{title, QStringLiteral("Türler")}});
    const database::Row ad = book.other->insert(detail, {{detail.columnIndex(u"Sira"), book.oge.values[detail.columnIndex(u"Sira")]},
                                                         {title, QStringLiteral("Ad")}, {text, QStringLiteral("ad")}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(f).size() == 3; }, 5000)) << listed(f).join(u',').toStdString();
    EXPECT_EQ(listed(f), (QStringList{QStringLiteral("Ad"), QStringLiteral("Öge"), QStringLiteral("Türler")}));
    EXPECT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("Öge"));
    EXPECT_EQ(f.Yazi->textCursor().position(), 3);

    // The body of the subtopic on screen, saved elsewhere while the person only reads it, shows.
    const qint64 ogeVersion = book.other->update(detail, book.oge.key, book.oge.version, {{text, QStringLiteral("{\\rtf1 yeni g\\'f6vde\\par}")}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.Yazi->toPlainText().trimmed() == QStringLiteral("yeni gövde"); }, 5000))
        << f.Yazi->toPlainText().toStdString();

    // While the person types, nothing of theirs is replaced: the list waits, the status bar says
    // why, and their save goes through and brings the list up to date.
    f.Yazi->setFocus();
    f.Yazi->moveCursor(QTextCursor::End);
    typeText(f.Yazi, QStringLiteral(" benim"));
    ASSERT_EQ(f.ADOQuery2->state(), DataSetState::Edit);
    book.other->insert(detail, {{detail.columnIndex(u"Sira"), book.oge.values[detail.columnIndex(u"Sira")]}, {title, QStringLiteral("Zarf")}});
    auto *panel = f.findChild<QLabel *>(QStringLiteral("SharingPanel"));
    ASSERT_TRUE(panel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->isVisible(); }, 5000));
    EXPECT_EQ(listed(f).size(), 3);
    EXPECT_TRUE(f.Yazi->toPlainText().contains(QStringLiteral("benim")));
    f.DataSetPost1->trigger();
    EXPECT_TRUE(book.errors.isEmpty()) << book.errors.join(u'\n').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(f).size() == 4; }, 5000)) << listed(f).join(u',').toStdString();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(book.body(book.oge.key).contains(QStringLiteral("benim")));
    Q_UNUSED(ad);
    Q_UNUSED(ogeVersion);

    // The server goes away during a save: the message says so, the text stays, and the next save,
    // once the server is back, stores it.
    typeText(f.Yazi, QStringLiteral(" kesinti"));
    ASSERT_TRUE(server().stop());
    f.DataSetPost1->trigger();
    ASSERT_EQ(book.errors.size(), 1);
    EXPECT_TRUE(book.errors[0].startsWith(QStringLiteral("Sunucuyla bağlantı kesildi"))) << book.errors[0].toStdString();
    EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Edit);
    EXPECT_TRUE(f.Yazi->toPlainText().contains(QStringLiteral("kesinti")));
    ASSERT_TRUE(server().start());
    f.DataSetPost1->trigger();
    EXPECT_EQ(book.errors.size(), 1) << book.errors.join(u'\n').toStdString();
    EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Browse);
    book.other = database::ServerDatabase::open(book.info);
    EXPECT_TRUE(book.body(book.oge.key).contains(QStringLiteral("kesinti")));

    // After the outage the program hears of others' saves again.
    const auto addTopic = [&](const QString &title) {
        const auto &master = book.other->table(u"master");
        book.other->insert(master, {{master.columnIndex(u"Baslik"), title}});
    };
    addTopic(QStringLiteral("Ses"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.ADOQuery1->recordCount() == 2; }, 5000));
    // The server restarts while the person only reads: the program makes its connection again by
    // itself and shows what was saved while it was away.
    ASSERT_TRUE(server().stop());
    QTest::qWait(1500);
    ASSERT_TRUE(server().start());
    book.other = database::ServerDatabase::open(book.info);
    addTopic(QStringLiteral("Yazım"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.ADOQuery1->recordCount() == 3; }, 8000));
    EXPECT_TRUE(book.errors.size() == 1) << book.errors.join(u'\n').toStdString();

    // The book search and the book's history belong to book files: said plainly.
    f.KitaptaAra1->trigger();
    auto *window = f.findChild<search::SearchWindow *>(QStringLiteral("KitaptaAraForm"));
    ASSERT_TRUE(window);
    auto *status = window->findChild<QLabel *>(QStringLiteral("Status"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("Kitapta Ara, sunucudaki kitaplarda henüz yapılamıyor"))) << status->text().toStdString();
    window->close();
    const QString said = nextMessage([&] { f.Yedekler1->trigger(); });
    EXPECT_TRUE(said.startsWith(QStringLiteral("Yedekler, önceki sürümler ve silinenler şimdilik yalnız kitap dosyalarında"))) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(book.folder.filePath(QStringLiteral("Data.mdb"))));
}

TEST(SharedBook, APasswordInTheSettingsFileIsNotUsedAndSaidSo)
{
    if (!server().available())
        GTEST_SKIP() << server().whyNot().toStdString();
    SharedBook book;
    QFile ini(book.folder.filePath(QStringLiteral("Velkora.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Sunucu]\r\nBaglanti=%1 password=gizli\r\n").arg(book.info).toUtf8());
    ini.close();
    app::Startup startup;
    startup.maximized = false;
    startup.settingsPath = ini.fileName();
    const QString said = nextMessage([&] { ASSERT_TRUE(startup.run()); });
    EXPECT_TRUE(said.contains(QStringLiteral("bir parola var; kullanılmadı"))) << said.toStdString();
    // The book opened without it (this server's user needs none), and the connection holds none.
    EXPECT_EQ(startup.Form1->ADOQuery2->recordCount(), 2);
    EXPECT_FALSE(startup.Form1->ADOConnection1->connectionString().contains(QStringLiteral("gizli")));
}

TEST(SharedBook, NothingMovesUnderAQuestionOnTheScreen)
{
    if (!server().available())
        GTEST_SKIP() << server().whyNot().toStdString();
    SharedBook book;
    app::Startup startup;
    ASSERT_TRUE(book.start(startup));
    ui::TForm1 &f = *startup.Form1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return startup.Watch->watching(); }, 2000));
    EXPECT_TRUE(startup.Watch->notified());
    ASSERT_EQ(f.ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString(), QStringLiteral("Öge"));
    // While "delete Öge?" is on the screen another writer deletes Öge. The answer is about Öge: the
    // list must not move to the subtopic now in its place and delete that one.
    f.ask = [&](const QString &, ui::MessageKind, int) {
        QMessageBox box;
        QTimer::singleShot(0, [&] {
            const auto &detail = book.other->table(u"detail");
            book.other->remove(detail, book.oge.key, book.oge.version);
            QTest::qWait(2500); // the program looks for changes every second
            box.accept();
        });
        box.exec();
        return ui::ButtonYes;
    };
    f.Sil1->trigger();
    ASSERT_EQ(book.errors.size(), 1);
    EXPECT_TRUE(book.errors[0].startsWith(QStringLiteral("Row cannot be located for deleting"))) << book.errors[0].toStdString();
    const auto &detail = book.other->table(u"detail");
    EXPECT_TRUE(book.other->fetchRow(detail, book.tur.key).has_value()) << "the other subtopic is still there";
    // Once the question is answered, the list shows the book as it is.
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(f) == QStringList{QStringLiteral("Tür")}; }, 5000)) << listed(f).join(u',').toStdString();

    // A title opened for typing in the list (F2) stays open on its subtopic while another writer
    // adds one before it, and what is typed becomes that subtopic's title.
    f.DBGrid1->setFocus();
    QTest::keyClick(f.DBGrid1, Qt::Key_F2);
    ASSERT_TRUE(f.DBGrid1->titleEditor());
    book.other->insert(detail, {{detail.columnIndex(u"Sira"), book.oge.values[detail.columnIndex(u"Sira")]}, {detail.columnIndex(u"Altkonu"), QStringLiteral("Ad")}});
    QTest::qWait(2500);
    ASSERT_TRUE(f.DBGrid1->titleEditor());
    QTest::keyClick(f.DBGrid1->titleEditor(), Qt::Key_End); // F2 selects the title; typed after it
    typeText(f.DBGrid1->titleEditor(), QStringLiteral("ler"));
    EXPECT_EQ(f.ADOQuery2->state(), DataSetState::Edit);
    f.updateActions();
    f.DataSetPost1->trigger();
    EXPECT_TRUE(book.errors.size() == 1) << book.errors.join(u'\n').toStdString();
    EXPECT_EQ(book.other->fetchRow(detail, book.tur.key)->values[detail.columnIndex(u"Altkonu")].toString(), QStringLiteral("Türler"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(f) == (QStringList{QStringLiteral("Ad"), QStringLiteral("Türler")}); }, 5000))
        << listed(f).join(u',').toStdString();
}
