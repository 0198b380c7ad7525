// The program's start-up sequence: splash, application set-up, the six long-lived windows in
// order, the main window shown, the password gate, and the splash released.
#pragma once

#include "startwindows.h"
#include "print/reportforms.h"
#include "settings/tayarfrm.h"
#include "ui/main/tform1.h"

#include "platform/help/helpsystem.h"
#include "history/bookkeeping.h"
#include "search/booksearch.h"
#include "spelling/spellchecker.h"
#include "spelling/speller.h"
#include "store/bookwatch.h"

#include <QStringList>

#include <memory>
#include <vector>

class QApplication;

namespace velkora::app {

class Startup
{
public:
    // Sets the application up: title "Velkora", Qt's own texts in Turkish, the font substitutes.
    static void prepareApplication(QApplication &app);
    // The Windows fonts that bodies and the layout name, by fonts with the same metrics: the font
    // substitutes text is drawn with and the font name box shows.
    static void insertFontSubstitutes();

    // Runs the sequence up to the message loop. Returns false when the gate refused: the program
    // then ends without running the main window's close step.
    Startup();
    bool run();

    // What happened, step by step, and the gauge's value before each window was created.
    QStringList steps;
    std::vector<int> gauge;

    std::unique_ptr<ui::TForm1> Form1;
    std::unique_ptr<settings::TAyarFrm> AyarFrm;
    std::unique_ptr<settings::TPassWdFrm> PassWdFrm;
    std::unique_ptr<print::TForm2> Form2;
    std::unique_ptr<print::TForm3> Form3;
    std::unique_ptr<print::TForm4> Form4;
    search::BookSearch *BookSearch = nullptr; // owned by Form1
    spelling::Speller *Speller = nullptr;             // owned by Form1
    spelling::SpellChecker *SpellChecker = nullptr;   // owned by the editor
    history::BookKeeping *BookKeeping = nullptr;       // owned by Form1
    store::BookWatch *Watch = nullptr;                 // owned by Form1; shows others' saves on a server book
    help::HelpSystem help;
    bool maximized = true;
    // Where the settings file and the password's win.ini are; a test points them elsewhere.
    QString settingsPath;
    QString winIniPath;

private:
    // The book's backups, earlier versions and deleted subtopics: their commands and the care of the book.
    void wireHistory();
    void wireExport();
    // A book on a server: others' saves shown as they come.
    void wireSharing();
    void startSharing();
    // The book the settings file names: a server's ([Sunucu]) or, empty, the book file.
    QString bookConnection();
    bool onServer() const;
    bool m_serverPasswordDropped = false;
};

} // namespace velkora::app
