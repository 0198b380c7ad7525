// The main window: topic selector, search and topic editing on the left, the subtopic list, the
// editor on the right, three toolbars, the menus, the status bar, and the command table.
#pragma once

#include "editor/editorcommands.h"
#include "editor/findreplace.h"
#include "editor/insertcommands.h"
#include "editor/objectcommands.h"
#include "editor/tjvdbrichedit.h"
#include "platform/richedit/richeditcontrol.h"
#include "messagedialogs.h"
#include "store/bookstore.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <vector>

class QSplitter;
class QVBoxLayout;
class QStatusBar;
class QColorDialog;
class QFileDialog;

namespace velkora::ui {

class WebLink;
class TSrDBGrid;
class TopicSelector;

// The close-time question: a plain box titled "Dikkat !" with Yes and No. True for Yes.
bool askSaveChanges(QWidget *parent);

// One command of the window: the menu items and buttons that run it share its enabled state.
struct Command
{
    QAction *action = nullptr;
    std::function<bool()> enabled; // unset: always enabled
};

class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // Creating the window connects to the book (failures go to the error display, the window
    // comes up with empty lists) and runs the creation step.
    // bookConnection names the book when it is not the file Data.mdb (a book on a server).
    explicit TForm1(QWidget *parent = nullptr, const QString &bookConnection = QString());
    // The widths the left panel and the editor's panel are made with.
    static constexpr int LeftPanelWidth = 193;
    static constexpr int EditorPanelWidth = 622;
    ~TForm1() override;

    // The steps the start-up sequence runs, under the program's names.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormResize();
    // Returns false when the window may not close (a failed save after "Evet").
    bool FormClose();

    // Status bar writers.
    void ADOQuery1AfterScroll();
    void ADOQuery2AfterScroll();
    void HintAc(const QString &hint);
    // Takes the hint under the mouse pointer (done each time the program goes idle).
    void checkHint();
    void writeCaretPosition();
    void writeModifiedMark();
    void Timer1Timer();

    // View toggles and read-only mode.
    void AracCubugu1Click();
    void Bicimlendirme1Click();
    void KonuBicimlendirme1Click();
    void DurumCubugu1Click();
    void SetReadOnly(bool readOnly);
    void Hakkinda1Click();

    // Where the three toolbars stand. The main toolbar at the window's left edge or at its top; the
    // formatting toolbar at the top or the foot of the editor's panel; the topic formatting toolbar
    // at the left edge or the foot of the left panel.
    bool toolBar1Left() const;
    void alignToolBar1(bool left);
    bool toolBar2Top() const;
    void alignToolBar2(bool top);
    bool toolBar3Left() const;
    void alignToolBar3(bool left);
    // The formatting toolbar's eighteen items in the order the settings keep them (bold, italic,
    // underline, the four alignments, bullet, superscript, subscript, colour, undo, redo, cut, copy,
    // paste, font name, font size); hiding an item hides its place on the bar.
    QList<QAction *> formattingItems() const;
    // The main window's read-only flag of the book file: nothing may make it editable.
    bool bookReadOnly() const { return m_bookReadOnly; }
    // Opens the general settings dialog; set by the program.
    std::function<void()> BtnAyarClick;
    // Opens the print options dialog; set by the program.
    std::function<void()> BtnPrintClick;
    // Opens the search in every body, seeded with a text (the title search's or the selection).
    std::function<void(const QString &seed)> KitaptaAraClick;
    // Spell checking, set by the program: "Yazım Denetimi" was switched (its check mark is the
    // setting); whether the dictionary is there; the context menu's items for the marked word under
    // a point of the editor's viewport (removed again when the menu closes).
    std::function<void()> YazimDenetimiClick;
    std::function<bool()> YazimDenetimiAvailable;
    std::function<QList<QAction *>(QMenu *, const QPoint &)> spellContextItems;
    // The book's backups, a subtopic's earlier versions and what was deleted; set by the program.
    std::function<void()> YedeklerClick, OncekiSurumlerClick, SilinenlerClick;
    // The whole book out as PDF, EPUB or HTML; set by the program.
    std::function<void()> KitabiDisaAktarClick;
    // The read-only mode was switched.
    std::function<void()> readOnlyChanged;
    // Makes a subtopic current as a move in the list does (a pending edit settled first, the topic
    // selector and the list following); with firstHit, selects its first occurrence in the body and
    // lets "Sonrakini Bul" go on from it. False when the subtopic is gone or the move was refused.
    bool goToSubtopic(qint64 topic, qint64 subtopic, const QString &firstHit = QString());

    // Commands of this window.
    void BtnSilClick();
    void BtnZemin2Click();
    void BtnYaziRenk2Click();
    void BtnKalin2Click();
    void BtnItalic2Click();
    // The colour dialog shared by the list's colour buttons and the editor's colour command; it
    // opens on the colour confirmed last (black at first). Returns false when cancelled.
    std::function<bool(QColor &color)> chooseColor;
    void BtnKSilClick();
    void Edit2Change();
    void Kapat1Click();
    void BtnHelpClick();
    void BtnKesClick();
    void BtnKopyaClick();
    void BtnYapistirClick();
    void TumunuSec1Click();
    void EditFindDialogClose();

    // Sets the enabled state of every command from the queries and the editor; run whenever
    // the program becomes idle.
    void updateActions();

    // The long part of a hint ("short|long"), or the whole hint without "|".
    static QString longHint(const QString &hint);
    static QString shortHint(const QString &hint);

    // What asks the close question; a test replaces it. Returns true for "Evet".
    std::function<bool()> askToSave;
    // What asks the program's own questions (the deletion questions); a test replaces it.
    std::function<MessageButton(const QString &message, MessageKind kind, int buttons)> ask;
    // Where the help is shown; set by the program to the help system.
    std::function<void(int context)> showHelp;
    // The book title of the settings dialog, for the caption.
    std::function<QString()> bookTitle;
    // Settings are read when the window is shown and written when it closes (the settings part).
    std::function<void()> LoadSettings;
    std::function<void()> SaveSettings;

    store::BookStore *const Book;
    store::Connection *const ADOConnection1;
    store::Query *const ADOQuery1;
    store::Query *const ADOQuery2;
    store::DataSource *const DataSource1;
    store::DataSource *const DataSource2;

    QMenuBar *MainMenu1 = nullptr;
    QMenu *Dosya1 = nullptr, *Dzen1 = nullptr, *Ekle1 = nullptr, *Araubuklar1 = nullptr, *Biim1 = nullptr,
          *Rapor1 = nullptr, *Yardm1 = nullptr, *PopupMenu = nullptr;
    QAction *Yeni1 = nullptr, *Sil1 = nullptr, *Kaydet1 = nullptr, *Yedekler1 = nullptr, *Kapat1 = nullptr;
    QAction *Geri1 = nullptr, *Ileri1 = nullptr, *Kes1 = nullptr, *Kopyala1 = nullptr, *Yapistir1 = nullptr,
            *TumunuSec1 = nullptr, *Bul1 = nullptr, *SonrakiniBul1 = nullptr, *BulDegistir1 = nullptr, *KitaptaAra1 = nullptr,
            *OncekiSurumler1 = nullptr, *Silinenler1 = nullptr, *ResimOzellikleri1 = nullptr;
    QAction *MetinEkle1 = nullptr, *Resim1 = nullptr, *Obje1 = nullptr;
    QAction *AracCubugu1 = nullptr, *Bicimlendirme1 = nullptr, *KonuBicimlendirme1 = nullptr, *DurumCubugu1 = nullptr,
            *YazimDenetimi1 = nullptr, *GenelAyarlar1 = nullptr;
    QAction *SolaHizala1 = nullptr, *Ortala1 = nullptr, *SagaHizala1 = nullptr, *Paragraf1 = nullptr;
    QAction *Yazdir1 = nullptr, *KitabiDisaAktar1 = nullptr, *YardimGoster1 = nullptr, *Hakkinda1 = nullptr;
    QAction *PopupKes = nullptr, *PopupKopyala = nullptr, *PopupYapistir = nullptr, *PopupTumunuSec = nullptr,
            *PopupOncekiSurumler = nullptr;

    QAction *DataSetFirst1 = nullptr, *DataSetPrior1 = nullptr, *DataSetNext1 = nullptr, *DataSetLast1 = nullptr,
            *DataSetInsert1 = nullptr, *DataSetEdit1 = nullptr, *DataSetPost1 = nullptr;
    QAction *KonuEkle = nullptr, *KonuKaydet = nullptr;

    QToolBar *ToolBar1 = nullptr, *ToolBar2 = nullptr, *ToolBar3 = nullptr, *ToolBar4 = nullptr;
    QToolButton *BtnYeni = nullptr, *BtnSil = nullptr, *BtnDuzen = nullptr, *BtnKaydet = nullptr, *BtnBul = nullptr,
                *BtnIlk = nullptr, *BtnOnce = nullptr, *BtnSonra = nullptr, *BtnSon = nullptr, *BtnPrint = nullptr,
                *BtnAyar = nullptr, *BtnHelp = nullptr;
    QToolButton *BtnKitaptaAra = nullptr; // on the "Ara" page
    QToolButton *BtnKEkle = nullptr, *BtnKSil = nullptr, *BtnKKaydet = nullptr;
    QToolButton *BtnKalin = nullptr, *BtnItalic = nullptr, *BtnCizgi = nullptr, *BtnSol = nullptr, *BtnOrta = nullptr,
                *BtnSag = nullptr, *BtnYasla = nullptr, *BtnMadde = nullptr, *BtnUst = nullptr, *BtnAlt = nullptr,
                *BtnRenk = nullptr, *BtnGeri = nullptr, *BtnIleri = nullptr, *BtnKes = nullptr, *BtnKopya = nullptr,
                *BtnYapistir = nullptr;
    QToolButton *BtnZemin2 = nullptr, *BtnYaziRenk2 = nullptr, *BtnKalin2 = nullptr, *BtnItalic2 = nullptr;
    editor::TFontComboBox *ComboBox1 = nullptr;
    editor::TSpinEdit *Edit1 = nullptr;
    WebLink *Label34 = nullptr;

    QWidget *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr;
    TopicSelector *ComboKonu1 = nullptr;
    QLabel *DBText1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *DBEdit1 = nullptr;
    TSrDBGrid *DBGrid1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    editor::TJvDBRichEdit *Yazi = nullptr;
    // The editor's formatting, paragraph and undo commands and the handlers that follow the editor.
    editor::EditorCommands *YaziCommands = nullptr;
    // Find and replace in the editor: its two dialogs and the last search.
    editor::FindReplace *YaziFind = nullptr;
    // "Metin Ekle", "Resim", "Obje" and "Resim Özellikleri" on the editor.
    editor::InsertCommands *YaziInsert = nullptr;
    // Objects in the editor: inserting, properties, verbs.
    editor::ObjectCommands *YaziObjects = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    bool m_bookReadOnly = false; // the book's file cannot be written: read-only whatever is chosen
    QLabel *Panels[4] = {};
    QTimer *Timer1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *PictureDialog = nullptr; // the picture-open dialog of the creation step
    static QString pictureFilter();       // its filter, "%s|%s|%s|%s" of the four picture kinds

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolbars();
    void buildPanels();
    void buildStatusBar();
    // Says in the status bar that the book could only be opened for reading, or that files lie
    // beside it that look like its log but are not.
    void tellAboutTheBookFile();
    QAction *menuItem(QMenu *menu, const char *name, const QString &caption, const QString &hint,
                      const QKeySequence &shortcut = QKeySequence());
    QToolButton *toolButton(QToolBar *bar, const char *name, const QString &glyph, const QString &hint, bool tooltip,
                            QAction *action = nullptr, bool checkable = false);
    void wire(QAction *item, QAction *command);
    void command(QAction *action, std::function<void()> run, std::function<bool()> enabled = {});
    // A command whose work the program sets in hook: enabled while the hook is set and alsoEnabled
    // (when given) holds.
    void hookCommand(QAction *action, const std::function<void()> *hook, std::function<bool()> alsoEnabled = {});
    void notYet(QAction *action);
    bool dispatchShortcut(QKeyEvent *event);

    QVBoxLayout *m_leftColumn = nullptr; // the left panel's column: pages, list, topic toolbar at its foot
    std::vector<Command> m_commands;
    std::vector<std::pair<QAction *, QAction *>> m_links; // menu item or button action → command
    QList<QAction *> m_notYet;
    QString m_lastHint;
    bool m_hintInstalled = false;
};

// The web link on the main toolbar: host name text, hand pointer; blue background while the pointer
// is over it; a click opens the address in the user's browser.
class WebLink : public QLabel
{
    Q_OBJECT
public:
    static const QString Host;
    static const QString Address;
    explicit WebLink(QWidget *parent = nullptr);
    std::function<void(const QUrl &)> open; // the shell "Open"; a test replaces it

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Drawn by the link itself: the toolbar it stands in would otherwise paint its own ground.
    void paintEvent(QPaintEvent *event) override;

private:
    void paint(const QColor &background);
    QColor m_background;
};

} // namespace velkora::ui
