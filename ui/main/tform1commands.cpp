// The main window's steps, command handlers, status-bar writers, view toggles and shortcut rules.
#include "tform1.h"

#include "messagedialogs.h"
#include "store/booktexts.h"
#include "topicselector.h"
#include "tsrdbgrid.h"
#include "ui/about/tabout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QFileDialog>
#include <QLocale>
#include <QMenuBar>
#include <QMetaProperty>
#include <QSplitter>
#include <QStatusBar>

namespace velkora::ui {

bool askSaveChanges(QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dikkat !"), QStringLiteral("Değişiklikleri kaydetmek istiyor musunuz?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString TForm1::pictureFilter()
{
    // Bitmaps, metafiles, JPEG and GIF pictures; a kind with several formats starts with "All".
    const QString bitmaps = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    const QString metafiles = QStringLiteral("All (*.emf;*.wmf)|*.emf;*.wmf|Enhanced Metafiles (*.emf)|*.emf|"
                                             "Metafiles (*.wmf)|*.wmf");
    const QString jpeg = QStringLiteral("All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|"
                                        "JPEG Image File (*.jpeg)|*.jpeg");
    const QString gif = QStringLiteral("CompuServe GIF Image (*.gif)|*.gif");
    return QStringLiteral("%1|%2|%3|%4").arg(bitmaps, metafiles, jpeg, gif);
}

void TForm1::FormCreate()
{
    PictureDialog = new QFileDialog(this);
    PictureDialog->setObjectName(QStringLiteral("PictureDialog"));
    QStringList filters;
    const QStringList parts = pictureFilter().split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts[i].section(u'(', 0, 0) + u'(' + parts[i + 1].split(u';').join(u' ') + u')');
    PictureDialog->setNameFilters(filters);
    editor::addPicturePreview(PictureDialog);

    // The topic query first, then the subtopic query, which takes the topic's Sira. A failure
    // is shown and ends the step here; the lists stay empty.
    if (!guarded([this] { ADOQuery1->open(); }, this))
        return;
    if (!guarded([this] { ADOQuery2->open(); }, this))
        return;
}

void TForm1::FormShow()
{
    if (LoadSettings)
        guarded(LoadSettings, this);
    m_hintInstalled = true;
    setWindowTitle(QStringLiteral("Velkora 3.1     ") + (bookTitle ? bookTitle() : QString()));
    // The selector shows the current topic; it matches, so the topic query stays where it is.
    if (ADOQuery1->active()) {
        if (const store::Field *title = ADOQuery1->findField(u"Baslik"))
            DBText1->setText(title->asString());
    }
    ComboKonu1->setDisplayText(DBText1->text());
    QFont gridFont = DBGrid1->font();
    gridFont.setBold(BtnKalin2->isChecked());
    gridFont.setItalic(BtnItalic2->isChecked());
    DBGrid1->setFont(gridFont);
    ADOQuery1AfterScroll();
    ADOQuery2AfterScroll();
}

void TForm1::FormActivate()
{
    if (Yazi->isVisible() && Yazi->isEnabled())
        Yazi->setFocus();
}

void TForm1::FormResize()
{
    if (YaziCommands)
        YaziCommands->SelectionChange();
}

bool TForm1::FormClose()
{
    if (SaveSettings)
        guarded(SaveSettings, this);
    const auto pending = [](store::DataSet *set) {
        return set->state() == store::DataSetState::Edit || set->state() == store::DataSetState::Insert;
    };
    // A topic title typed into its box is asked about as a subtopic is: closing must not drop it
    // unasked. A topic put into edit state with nothing changed is let go without a question.
    bool topicChanged = false;
    if (pending(ADOQuery1)) {
        guarded([this] { ADOQuery1->updateRecord(); }, this);
        topicChanged = ADOQuery1->modified();
        if (!topicChanged)
            ADOQuery1->cancel();
    }
    if (!topicChanged && !pending(ADOQuery2))
        return true;
    if (askToSave && askToSave()) {
        return guarded([&] {
            if (topicChanged)
                ADOQuery1->post();
            if (pending(ADOQuery2))
                ADOQuery2->post();
        }, this);
    }
    if (pending(ADOQuery2))
        ADOQuery2->cancel();
    if (pending(ADOQuery1))
        ADOQuery1->cancel();
    return true;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TForm1::ADOQuery1AfterScroll()
{
    if (!ADOQuery1->active())
        return; // a closed query writes nothing: the panel keeps its text
    Panels[0]->setText(QStringLiteral("  Toplam ") + QString::number(ADOQuery1->recordCount()) + QStringLiteral(" konu -") +
                       QStringLiteral(" Gösterilen  ") + QString::number(ADOQuery1->recNo()) + u'.');
}

void TForm1::ADOQuery2AfterScroll()
{
    if (!ADOQuery2->active())
        return;
    Panels[1]->setText(QString::number(ADOQuery2->recNo()));
}

void TForm1::HintAc(const QString &hint)
{
    Panels[2]->setText(QStringLiteral("  ") + hint);
}

void TForm1::checkHint()
{
    if (!m_hintInstalled)
        return;
    // A menu of the menu bar that is open speaks through its items' hovered signal.
    if (QApplication::activePopupWidget())
        return;
    QString hint;
    const QWidget *from = nullptr;
    for (QWidget *w = QApplication::widgetAt(QCursor::pos()); w; from = w, w = w->parentWidget()) {
        if (w->window() != this)
            break;
        // A splitter's hint belongs to its bar, not to the panes it holds.
        if (qobject_cast<QSplitter *>(w) && from && !qobject_cast<const QSplitterHandle *>(from))
            continue;
        const QVariant h = w->property("hint");
        if (h.isValid() && !h.toString().isEmpty()) {
            hint = longHint(h.toString());
            break;
        }
    }
    if (hint != m_lastHint) {
        m_lastHint = hint;
        HintAc(hint);
    }
}

void TForm1::writeCaretPosition()
{
    YaziCommands->writeCaretPosition();
}

void TForm1::writeModifiedMark()
{
    YaziCommands->writeModifiedMark();
}

void TForm1::Timer1Timer()
{
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    Panels[3]->setText(turkish.toString(QDate::currentDate(), QStringLiteral("d MMMM yyyy - dddd")) + QStringLiteral("     "));
}

void TForm1::AracCubugu1Click()
{
    ToolBar1->setVisible(!ToolBar1->isVisible());
    AracCubugu1->setChecked(ToolBar1->isVisible());
}

void TForm1::Bicimlendirme1Click()
{
    ToolBar2->setVisible(!ToolBar2->isVisible());
    Bicimlendirme1->setChecked(ToolBar2->isVisible());
}

void TForm1::KonuBicimlendirme1Click()
{
    ToolBar3->setVisible(!ToolBar3->isVisible());
    KonuBicimlendirme1->setChecked(ToolBar3->isVisible());
}

void TForm1::DurumCubugu1Click()
{
    StatusBar1->setVisible(!StatusBar1->isVisible());
    DurumCubugu1->setChecked(StatusBar1->isVisible());
}

void TForm1::SetReadOnly(bool readOnly)
{
    // Every control of the window publishing a boolean "ReadOnly", found by name at run time, so
    // a control added later is reached without a change here.
    for (QWidget *w : findChildren<QWidget *>()) {
        const int index = w->metaObject()->indexOfProperty("ReadOnly");
        if (index < 0)
            continue;
        const QMetaProperty p = w->metaObject()->property(index);
        if (p.metaType().id() != QMetaType::Bool || !p.isWritable())
            continue;
        p.write(w, readOnly || m_bookReadOnly);
    }
    if (readOnlyChanged)
        readOnlyChanged();
}

void TForm1::Hakkinda1Click()
{
    // A fresh box each time, its notice starting from the bottom; gone when it closes.
    TAbout box(this);
    box.exec();
}

void TForm1::BtnSilClick()
{
    // Reading the title fails on a closed query with "Field 'Altkonu' not found"; no question then.
    const QString title = ADOQuery2->fieldByName(QStringLiteral("Altkonu"))->asString();
    if (ask(store::subtopicDeleteQuestion(title), MessageKind::Warning, ButtonYes | ButtonNo) == ButtonYes)
        ADOQuery2->remove();
}

void TForm1::BtnZemin2Click()
{
    QColor color;
    if (chooseColor && chooseColor(color))
        DBGrid1->setBackground(color); // the alternate and the current rows keep their colours
}

void TForm1::BtnYaziRenk2Click()
{
    QColor color;
    if (chooseColor && chooseColor(color))
        DBGrid1->setTextColor(color);
}

void TForm1::BtnKalin2Click()
{
    QFont f = DBGrid1->font();
    f.setBold(BtnKalin2->isChecked()); // other styles stay as they are
    DBGrid1->setFont(f);
}

void TForm1::BtnItalic2Click()
{
    QFont f = DBGrid1->font();
    f.setItalic(BtnItalic2->isChecked());
    DBGrid1->setFont(f);
}

void TForm1::BtnKSilClick()
{
    const QString title = ADOQuery1->fieldByName(QStringLiteral("Baslik"))->asString();
    if (ask(store::topicDeleteQuestion(title), MessageKind::Warning, ButtonYes | ButtonNo) == ButtonYes)
        ADOQuery1->remove();
}

void TForm1::Edit2Change()
{
    // Every change runs the search anew; a refused statement leaves the list empty until the next.
    guarded([this] { Book->runTitleSearch(Edit2->text()); }, this);
}

bool TForm1::goToSubtopic(qint64 topic, qint64 subtopic, const QString &firstHit)
{
    if (!ADOQuery1->active() || !ADOQuery2->active())
        return false;
    bool found = false;
    const bool ran = guarded([&] {
        // Settled as any move settles them: a changed subtopic or topic title is saved first.
        ADOQuery2->checkBrowseMode();
        ADOQuery1->checkBrowseMode();
        if (!ADOQuery1->locate(QStringLiteral("Sira"), topic, false, false))
            return;
        int recNo = ADOQuery2->recNoOfKey(subtopic);
        if (recNo <= 0 && Book->searchMode() && !Edit2->text().isEmpty()) {
            // A title search narrows the list; the subtopic asked for is shown with the rest again.
            Edit2->clear();
            recNo = ADOQuery2->recNoOfKey(subtopic);
        }
        if (recNo <= 0)
            return;
        ADOQuery2->setRecNo(recNo);
        found = true;
    }, this);
    if (!ran || !found)
        return false;
    ComboKonu1->setDisplayText(DBText1->text());
    if (!firstHit.isEmpty())
        YaziFind->selectFirst(firstHit);
    // The person goes on in the body: F3 and typing reach the editor, not the window they came from.
    activateWindow();
    if (Yazi->isVisible() && Yazi->isEnabled())
        Yazi->setFocus();
    return true;
}

void TForm1::Kapat1Click()
{
    close();
}

void TForm1::BtnHelpClick()
{
    if (showHelp)
        showHelp(0);
}

void TForm1::BtnKesClick()
{
    Yazi->cut();
}

void TForm1::BtnKopyaClick()
{
    Yazi->copy();
}

void TForm1::BtnYapistirClick()
{
    Yazi->paste();
}

void TForm1::TumunuSec1Click()
{
    Yazi->selectAll();
}

void TForm1::EditFindDialogClose()
{
    if (Yazi->isVisible() && Yazi->isEnabled())
        Yazi->setFocus();
}

void TForm1::updateActions()
{
    for (const Command &c : m_commands) {
        const bool on = !m_notYet.contains(c.action) && (!c.enabled || c.enabled());
        c.action->setEnabled(on);
    }
    for (const auto &[item, target] : m_links) {
        if (item)
            item->setEnabled(target->isEnabled() && !m_notYet.contains(item));
    }
    for (QToolButton *b : findChildren<QToolButton *>()) {
        if (auto *target = qobject_cast<QAction *>(b->property("command").value<QObject *>()))
            b->setEnabled(target->isEnabled());
    }
}

bool TForm1::dispatchShortcut(QKeyEvent *event)
{
    // F10 puts the menu bar into keyboard navigation, as Alt alone does: the first menu is
    // highlighted, the arrows move, Enter or Down opens it.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier && MainMenu1->isVisible()) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        QKeyEvent altPress(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        QKeyEvent altRelease(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        QApplication::sendEvent(target, &altPress);
        QApplication::sendEvent(target, &altRelease);
        return true;
    }
    const QKeySequence pressed(event->keyCombination());
    // The editor's context menu while the editor has the focus, then the menu bar.
    QList<QAction *> candidates;
    if (Yazi->hasFocus())
        candidates += PopupMenu->actions();
    const std::function<void(QMenu *)> collect = [&](QMenu *menu) {
        for (QAction *a : menu->actions()) {
            if (a->menu())
                collect(a->menu());
            else
                candidates.append(a);
        }
    };
    for (QAction *top : MainMenu1->actions()) {
        if (top->menu())
            collect(top->menu());
    }
    for (QAction *a : std::as_const(candidates)) {
        if (a->shortcut().isEmpty() || a->shortcut() != pressed)
            continue;
        // The key belongs to the item, enabled or not; only an enabled one acts.
        updateActions();
        if (a->isEnabled())
            a->trigger();
        return true;
    }
    return false;
}

bool TForm1::event(QEvent *event)
{
    // Hints reach the status bar's message panel through HintAc alone; Qt's own status tips would
    // cover all four panels with a temporary message.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->window() == this && dispatchShortcut(static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace velkora::ui
