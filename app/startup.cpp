// The program's start-up sequence: splash, application set-up, the six long-lived windows in
// order, the main window shown, the password gate, and the splash released.
#include "startup.h"

#include "platform/profile/profilefile.h"
#include "history/bookhistory.h"
#include "export/bookwalk.h"
#include "export/exportdialog.h"
#include "history/historywindows.h"
#include "platform/database/connectionstring.h"
#include "platform/database/serverdatabase.h"
#include "settings/passworddialogs.h"
#include "search/searchindex.h"
#include "store/field.h"
#include "settings/settingsfile.h"
#include "ui/main/messagedialogs.h"
#include "ui/main/topicselector.h"
#include "ui/main/tsrdbgrid.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QLibraryInfo>
#include <QThread>
#include <QTimer>
#include <QTranslator>

namespace velkora::app {

void Startup::prepareApplication(QApplication &app)
{
    // No display name: Qt would append it to every window title, and the captions are exact.
    QApplication::setApplicationName(QStringLiteral("Velkora"));
    app.setProperty("helpFile", help::HelpSystem::HelpFile);
    // Qt's own dialogs and texts in Turkish.
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qt);
    insertFontSubstitutes();
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    QApplication::setFont(font);
}

void Startup::insertFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

Startup::Startup() : settingsPath(settings::SettingsFilePath()), winIniPath(profile::winIniPath())
{
    // Books carry the index of their bodies and their history (earlier versions and what was
    // deleted, kept by the book's own triggers); every connection the program opens knows both,
    // from the first one on.
    search::installSearchIndex();
    history::installBookHistory();
}

bool Startup::run()
{
    auto splash = std::make_unique<TSplashFrm>();
    splash->show();
    splash->repaint();
    steps << QStringLiteral("splash shown");
    steps << QStringLiteral("application initialised");

    // For looking at the splash window (tools/screenshot-splash): each step may be held a while.
    const int holdMs = qEnvironmentVariableIntValue("VELKORA_SPLASH_STEP_MS");
    const auto before = [&](int order, const char *name) {
        splash->ProgressBar->setProgress(order);
        gauge.push_back(splash->ProgressBar->progress());
        if (holdMs > 0)
            QThread::msleep(static_cast<unsigned long>(std::min(holdMs, 5000)));
        steps << QStringLiteral("create %1").arg(QString::fromLatin1(name));
    };
    before(1, "Form1");
    Form1 = std::make_unique<ui::TForm1>(nullptr, bookConnection());
    before(2, "AyarFrm");
    AyarFrm = std::make_unique<settings::TAyarFrm>(Form1.get(), winIniPath, Form1.get());
    before(3, "PassWdFrm");
    PassWdFrm = std::make_unique<settings::TPassWdFrm>(Form1.get());
    AyarFrm->PassWdFrm = PassWdFrm.get();
    before(4, "Form2");
    Form2 = std::make_unique<print::TForm2>(Form1->ADOQuery1, Form1->ADOQuery2);
    before(5, "Form3");
    Form3 = std::make_unique<print::TForm3>(Form1->ADOQuery2);
    before(6, "Form4");
    Form4 = std::make_unique<print::TForm4>(Form2.get(), Form3.get(), Form1.get());

    Form1->bookTitle = [this] { return AyarFrm->Edit1->text(); };
    Form1->showHelp = [this](int context) { help.showContext(context); };
    AyarFrm->showHelp = Form1->showHelp;
    Form1->BtnAyarClick = [this] { AyarFrm->BtnAyarClick(); };
    Form1->BtnPrintClick = [this] { Form4->exec(); };
    ui::TForm1 *form = Form1.get();
    BookSearch = new search::BookSearch(
        form, form->StatusBar1,
        [form] { return form->ADOConnection1->fileDatabase(); },
        [form] { return form->ADOConnection1->openSeparately(); });
    BookSearch->window()->open = [form](const search::SearchResult &r) { form->goToSubtopic(r.topic, r.subtopic, r.firstHitText); };
    Form1->KitaptaAraClick = [this](const QString &seed) { BookSearch->show(seed); };
    Speller = new spelling::Speller(spelling::Speller::defaultPersonalPath(), spelling::Speller::defaultDictionaryFolder(), form);
    SpellChecker = new spelling::SpellChecker(form->Yazi, Speller,
                                              [form] { return form->YazimDenetimi1->isChecked() && !form->Yazi->readOnly(); });
    SpellChecker->onError = [form](const QString &message) { ui::showError(message, form); };
    if (!Speller->available()) {
        // A disabled item cannot be hovered: the hint is in its caption as well.
        Form1->YazimDenetimi1->setText(QStringLiteral("Yazım Denetimi (hunspell-tr paketi kurulu değil)"));
        Form1->YazimDenetimi1->setStatusTip(spelling::Speller::missingHint());
        Form1->YazimDenetimi1->setToolTip(spelling::Speller::missingHint());
    }
    Form1->YazimDenetimiAvailable = [this] { return Speller->available(); };
    Form1->YazimDenetimiClick = [this] { SpellChecker->refresh(); };
    Form1->readOnlyChanged = Form1->YazimDenetimiClick;
    Form1->spellContextItems = [this](QMenu *menu, const QPoint &at) { return SpellChecker->addContextItems(menu, at); };
    wireHistory();
    wireExport();
    wireSharing();
    Form4->showError = [](const QString &message, QWidget *over) {
        ui::showError(message, over);
        // The window the failure came from goes on in front (a maximised preview must not be left
        // behind the main window and the options dialog).
        if (over) {
            over->raise();
            over->activateWindow();
        }
    };
    Form1->LoadSettings = [this] {
        const QString why = settings::LoadSettings(*Form1, AyarFrm->Edit1, settingsPath);
        // Said once: the next close keeps the file aside and writes a new one.
        if (!why.isEmpty())
            ui::messageDlg(QStringLiteral("Ayar dosyası okunamadı (%1). Program varsayılan ayarlarla açıldı; kapanışta eski "
                                          "dosya %2 adıyla saklanacak ve yenisi yazılacak.")
                               .arg(why, settingsPath + QStringLiteral(".damaged")),
                           ui::MessageKind::Warning, ui::ButtonOk, Form1.get());
    };
    Form1->SaveSettings = [this] { settings::SaveSettings(*Form1, AyarFrm->Edit1, settingsPath); };
    Form1->FormShow();
    if (maximized)
        Form1->showMaximized();
    else
        Form1->show();
    steps << QStringLiteral("main window shown");

    // While the password is asked, the window stands but shows nothing of the book: the password
    // guards the book's text, which would otherwise be readable behind the question.
    std::unique_ptr<QWidget> cover;
    if (AyarFrm->store.ReadActiveFlag()) {
        cover = std::make_unique<QWidget>(Form1.get());
        cover->setObjectName(QStringLiteral("PasswordCover"));
        cover->setAutoFillBackground(true);
        cover->setGeometry(0, 0, 16384, 16384); // the whole window at any size it takes meanwhile
        cover->show();
        cover->raise();
    }
    const bool passed = AyarFrm->VerifyPassword(true);
    cover.reset();
    // Once the program is up: the index of a book that has none is built, the book gets its history
    // and its first backup of the run.
    if (passed && onServer()) {
        BookSearch->window()->setUnavailable(QStringLiteral("Kitapta Ara, sunucudaki kitaplarda henüz yapılamıyor: bütün metinlerin "
                                                            "dizini yalnız kitap dosyalarında tutulur. Başlıklarda aramak için "
                                                            "Ara sayfasını kullanın."));
        QTimer::singleShot(0, Form1.get(), [this] { ui::guarded([this] { startSharing(); }, Form1.get()); });
    } else if (passed) {
        QTimer::singleShot(0, BookSearch, &search::BookSearch::start);
        QTimer::singleShot(0, BookKeeping, &history::BookKeeping::start);
    }
    if (passed && m_serverPasswordDropped)
        QTimer::singleShot(0, Form1.get(), [this] {
            ui::messageDlg(QStringLiteral("Ayar dosyasının [Sunucu] bölümündeki bağlantı tanımında bir parola var; kullanılmadı. "
                                          "Parola ayar dosyasında açıkça tutulmaz: onu %1 dosyasından silin ve ~/.pgpass dosyasına "
                                          "yazın ya da program sorunca girin.")
                               .arg(QDir::toNativeSeparators(settingsPath)),
                           ui::MessageKind::Warning, ui::ButtonOk, Form1.get());
        });
    steps << (passed ? QStringLiteral("gate passed") : QStringLiteral("gate failed"));
    splash->hide();
    splash.reset();
    steps << QStringLiteral("splash destroyed");
    return passed;
}

QString Startup::bookConnection()
{
    const QString server = settings::ServerBookConnection(settingsPath);
    if (server.isEmpty())
        return QString(); // the book file, as always
    database::ConnectionString connection;
    connection.provider = store::ServerProvider;
    connection.dataSource = database::ServerDatabase::withoutPassword(server, &m_serverPasswordDropped);
    // The server may want a password that ~/.pgpass does not hold: the person is asked, on this
    // thread only (a background job never puts up a window).
    database::ServerDatabase::setPasswordPrompt([](const QString &where, const QString &problem) -> std::optional<QString> {
        if (QThread::currentThread() != qApp->thread())
            return std::nullopt;
        return settings::askServerPassword(where, problem);
    });
    return connection.toString();
}

bool Startup::onServer() const
{
    return Form1 && store::isServerBook(database::ConnectionString::parse(Form1->ADOConnection1->connectionString()));
}

void Startup::wireSharing()
{
    ui::TForm1 *form = Form1.get();
    Watch = new store::BookWatch(form->Book, form);
    auto *panel = new QLabel(form->StatusBar1);
    panel->setObjectName(QStringLiteral("SharingPanel"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->hide();
    form->StatusBar1->addPermanentWidget(panel);
    Watch->showWaiting = [panel](const QString &text) {
        panel->setText(QStringLiteral(" Başka bir yazar kitabı değiştirdi "));
        panel->setToolTip(text);
        panel->setVisible(!text.isEmpty());
    };
    Watch->refreshed = [form] { form->ComboKonu1->setDisplayText(form->DBText1->text()); };
    // A question, a menu or a title being typed into the list: the rows stay as they are shown.
    Watch->busy = [form] { return QApplication::activeModalWidget() || QApplication::activePopupWidget() || form->DBGrid1->titleEditor(); };
}

void Startup::startSharing()
{
    if (!Watch->start() || Watch->notified())
        return;
    auto *panel = Form1->findChild<QLabel *>(QStringLiteral("SharingPanel"));
    panel->setText(QStringLiteral(" Başkalarının kayıtları kendiliğinden görünmüyor "));
    panel->setToolTip(QStringLiteral("Bu sunucu kitabı, başka yazarların kayıtlarını bildirecek biçimde kurulmamış (kuracak yetki kitabın "
                                     "tablolarının sahibinde). Başkalarının kaydettikleri, konu ya da altkonu değiştirilince görünür."));
    panel->show();
}

namespace {

// Saves (or drops, when nothing was typed) a pending edit of a subtopic and of a topic, as any move
// does; false, with the error shown, when a save was refused.
bool settlePendingEdits(ui::TForm1 *form)
{
    return ui::guarded([form] {
        form->ADOQuery2->checkBrowseMode();
        form->ADOQuery1->checkBrowseMode();
    }, form);
}

} // namespace

void Startup::wireHistory()
{
    ui::TForm1 *form = Form1.get();
    const auto database = [form] { return form->ADOConnection1->fileDatabase(); };
    BookKeeping = new history::BookKeeping(form, form->StatusBar1, database,
                                           database::ConnectionString::parse(form->ADOConnection1->connectionString()).password);
    const auto showError = [form](const QString &message) { ui::showError(message, QApplication::activeWindow() ? QApplication::activeWindow() : form); };
    Form1->YedeklerClick = [this, form, showError] {
        history::BackupsDialog dialog(*BookKeeping, form);
        dialog.showError = showError;
        dialog.showMessage = [&dialog](const QString &message) { ui::messageDlg(message, ui::MessageKind::Information, ui::ButtonOk, &dialog); };
        dialog.exec();
    };
    Form1->OncekiSurumlerClick = [form, database] {
        database::Database *db = database();
        if (!db)
            return;
        // A pending edit is settled first, as any move settles it: what was typed is kept, and
        // becomes a version of its own before an older one is put back.
        if (!ui::guarded([form] { form->ADOQuery2->checkBrowseMode(); }, form))
            return;
        const qint64 subtopic = form->ADOQuery2->displayKey(form->ADOQuery2->currentDisplayRow());
        history::VersionsDialog dialog(*db, subtopic, QString::fromLatin1(form->Yazi->streamOutRtf()), form);
        // The chosen version goes into the editor as an edit, which the person saves or cancels.
        dialog.restore = [form](const QString &title, const QString &body) {
            if (!form->Yazi->startEditing())
                return;
            form->ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->setAsString(title);
            history::showBody(form->Yazi, body);
            form->Yazi->contentChanged();
        };
        dialog.exec();
    };
    Form1->SilinenlerClick = [form, database, showError] {
        database::Database *db = database();
        if (!db)
            return;
        // A pending edit is settled first, as any move settles it.
        if (!settlePendingEdits(form))
            return;
        history::DeletedDialog dialog(*db, form);
        dialog.showError = showError;
        dialog.restored = [form](qint64 topic, qint64 subtopic) {
            ui::guarded([form] { form->ADOQuery1->requery(); }, form);
            if (subtopic == 0 || !form->goToSubtopic(topic, subtopic))
                ui::guarded([form, topic] { form->ADOQuery1->locate(QStringLiteral("Sira"), topic, false, false); }, form);
        };
        dialog.exec();
    };
    if (onServer()) {
        // Backups, earlier versions and deleted items are kept inside a book file; a server keeps
        // its databases with its own tools.
        const auto notHere = [form] {
            ui::messageDlg(QStringLiteral("Yedekler, önceki sürümler ve silinenler şimdilik yalnız kitap dosyalarında tutulur. "
                                          "Sunucudaki kitabın yedeğini sunucunun kendi araçlarıyla (örneğin pg_dump) alın."),
                           ui::MessageKind::Information, ui::ButtonOk, form);
        };
        Form1->YedeklerClick = notHere;
        Form1->OncekiSurumlerClick = notHere;
        Form1->SilinenlerClick = notHere;
    }
}

void Startup::wireExport()
{
    ui::TForm1 *form = Form1.get();
    Form1->KitabiDisaAktarClick = [this, form] {
        // The export reads the book as it is stored: a pending edit is settled first.
        if (!settlePendingEdits(form))
            return;
        const QString connection = form->ADOConnection1->connectionString();
        QList<bookexport::TopicEntry> topics;
        if (!ui::guarded([&] { topics = bookexport::topicsOf(connection); }, form))
            return;
        bookexport::ExportDialog dialog(topics, QDir::currentPath(), AyarFrm->Edit1->text(), form);
        dialog.showError = [](const QString &message, QWidget *over) { ui::showError(message, over); };
        dialog.ask = [](const QString &question, QWidget *over) {
            return ui::messageDlg(question, ui::MessageKind::Confirmation, ui::ButtonYes | ui::ButtonNo, over) == ui::ButtonYes;
        };
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (dialog.run(connection))
            ui::messageDlg(QStringLiteral("Kitap \"%1\" dosyasına aktarıldı.").arg(QDir::toNativeSeparators(dialog.fileName())),
                           ui::MessageKind::Information, ui::ButtonOk, form);
    };
}

} // namespace velkora::app
