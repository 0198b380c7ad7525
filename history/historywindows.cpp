// The windows of the book's history and backups.
#include "historywindows.h"

#include "bookbackup.h"
#include "bookkeeping.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"
#include "platform/database/sqlitestatement.h"
#include "platform/richedit/richeditcontrol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velkora::history {

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::Turkish).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString timeText(const QDateTime &t)
{
    return t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

richedit::RichEditControl *readOnlyView(QWidget *parent)
{
    auto *view = new richedit::RichEditControl(parent);
    view->setReadOnly(true);
    return view;
}

struct Word
{
    int start, length;
    QString text;
};

QList<Word> wordsOf(const QString &text)
{
    QList<Word> words;
    int i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        const int start = i;
        while (i < text.size() && !text[i].isSpace())
            ++i;
        if (i > start)
            words.append({start, i - start, text.mid(start, i - start)});
    }
    return words;
}

// Which words of a and of b are outside their longest common subsequence. Past a size where the
// table would be too large, the words between the common beginning and end count as changed.
void changedWords(const QList<Word> &a, const QList<Word> &b, QList<bool> *outA, QList<bool> *outB)
{
    int head = 0;
    while (head < a.size() && head < b.size() && a[head].text == b[head].text)
        ++head;
    int tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail].text == b[b.size() - 1 - tail].text)
        ++tail;
    outA->fill(false, a.size());
    outB->fill(false, b.size());
    const int n = int(a.size()) - head - tail, m = int(b.size()) - head - tail;
    if (qint64(n) * m > 4'000'000) {
        for (int i = 0; i < n; ++i)
            (*outA)[head + i] = true;
        for (int j = 0; j < m; ++j)
            (*outB)[head + j] = true;
        return;
    }
    std::vector<int> table(size_t(n + 1) * (m + 1), 0);
    const auto at = [&](int i, int j) -> int & { return table[size_t(i) * (m + 1) + j]; };
    for (int i = n - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j)
            at(i, j) = a[head + i].text == b[head + j].text ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    int i = 0, j = 0;
    while (i < n && j < m) {
        if (a[head + i].text == b[head + j].text) {
            ++i;
            ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            (*outA)[head + i++] = true;
        } else {
            (*outB)[head + j++] = true;
        }
    }
    for (; i < n; ++i)
        (*outA)[head + i] = true;
    for (; j < m; ++j)
        (*outB)[head + j] = true;
}

void highlight(richedit::RichEditControl *view, const QList<Word> &words, const QList<bool> &changed, const QColor &color)
{
    QTextCharFormat mark;
    mark.setBackground(color);
    QTextCursor c(view->document());
    for (int k = 0; k < words.size(); ++k) {
        if (!changed[k])
            continue;
        c.setPosition(words[k].start);
        c.setPosition(words[k].start + words[k].length, QTextCursor::KeepAnchor);
        c.mergeCharFormat(mark);
    }
}

} // namespace

void showBody(richedit::RichEditControl *view, const QString &body)
{
    if (!view->streamInRtf(body.toLatin1()))
        view->streamInText(body);
}

void markChanges(richedit::RichEditControl *before, richedit::RichEditControl *after)
{
    const QList<Word> a = wordsOf(before->toPlainText()), b = wordsOf(after->toPlainText());
    QList<bool> changedA, changedB;
    changedWords(a, b, &changedA, &changedB);
    highlight(before, a, changedA, QColor(255, 205, 205));
    highlight(after, b, changedB, QColor(200, 240, 200));
}

VersionsDialog::VersionsDialog(const database::Database &db, qint64 subtopic, const QString &currentBody, QWidget *parent)
    : QDialog(parent), m_db(db), m_versions(versionsOf(db, subtopic)), m_currentBody(currentBody)
{
    setObjectName(QStringLiteral("OncekiSurumlerForm"));
    setWindowTitle(QStringLiteral("Önceki Sürümler"));
    resize(900, 560);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("Versions"));
    for (const Entry &e : std::as_const(m_versions))
        m_list->addItem(QStringLiteral("%1   %2   %3").arg(timeText(e.time), sizeText(e.size), e.title));
    m_version = readOnlyView(this);
    m_version->setObjectName(QStringLiteral("Version"));
    m_current = readOnlyView(this);
    m_current->setObjectName(QStringLiteral("Current"));
    showBody(m_current, currentBody);
    auto *views = new QSplitter(this);
    for (auto [view, caption] : {std::pair(m_version, QStringLiteral("Seçilen sürüm (çıkarılanlar kırmızı)")),
                                 std::pair(m_current, QStringLiteral("Şimdiki metin (eklenenler yeşil)"))}) {
        auto *pane = new QWidget(views);
        auto *l = new QVBoxLayout(pane);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(new QLabel(caption, pane));
        l->addWidget(view);
        view->setParent(pane);
        l->addWidget(view);
    }
    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Geri Yükle"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("Restore"));
    m_restore->setEnabled(false);
    buttons->addButton(QStringLiteral("Kapat"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(m_versions.isEmpty() ? QStringLiteral("Bu altkonunun saklanmış önceki sürümü yok.")
                                                      : QStringLiteral("Kaydedilmiş önceki sürümler, en yenisi başta:"),
                                 this));
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_list);
    split->addWidget(views);
    split->setSizes({160, 400});
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    connect(m_list, &QListWidget::currentRowChanged, this, &VersionsDialog::chosen);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        const int row = m_list->currentRow();
        if (row < 0)
            return;
        if (restore)
            restore(m_versions[row].title, bodyOf(m_db, m_versions[row].id));
        accept();
    });
    if (!m_versions.isEmpty())
        m_list->setCurrentRow(0);
}

void VersionsDialog::chosen()
{
    const int row = m_list->currentRow();
    m_restore->setEnabled(row >= 0);
    if (row < 0)
        return;
    showBody(m_version, bodyOf(m_db, m_versions[row].id));
    // The current body is read in again: the marks of the last comparison go with it.
    showBody(m_current, m_currentBody);
    markChanges(m_version, m_current);
}

DeletedDialog::DeletedDialog(database::Database &db, QWidget *parent) : QDialog(parent), m_db(db)
{
    setObjectName(QStringLiteral("SilinenlerForm"));
    setWindowTitle(QStringLiteral("Silinenler"));
    resize(760, 520);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("Deleted"));
    m_body = readOnlyView(this);
    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Geri Getir"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("Restore"));
    buttons->addButton(QStringLiteral("Kapat"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Silinen altkonular ve konular, en yenisi başta. Geri getirilen altkonu "
                                                "kendi konusuna, konusu yoksa \"Geri Getirilenler\" konusuna döner."),
                                 this));
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_list);
    split->addWidget(m_body);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, &DeletedDialog::bringBack);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_restore->setEnabled(row >= 0);
        if (row >= 0 && m_entries[row].kind == Kind::DeletedSubtopic)
            showBody(m_body, bodyOf(m_db, m_entries[row].id));
        else
            m_body->streamInText(row >= 0 ? QStringLiteral("%1 altkonusuyla silinen konu.").arg(deletedWith(m_db, m_entries[row].id).size())
                                          : QString());
    });
    fill();
}

void DeletedDialog::fill()
{
    m_entries = deletedEntries(m_db);
    m_list->clear();
    for (const Entry &e : std::as_const(m_entries)) {
        const QString what = e.kind == Kind::DeletedTopic ? QStringLiteral("Konu: %1").arg(e.topicTitle)
                                                         : QStringLiteral("%1 › %2").arg(e.topicTitle, e.title);
        m_list->addItem(QStringLiteral("%1   %2").arg(timeText(e.time), what));
    }
    m_restore->setEnabled(false);
    if (!m_entries.isEmpty())
        m_list->setCurrentRow(0);
}

void DeletedDialog::bringBack()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    const bool topic = m_entries[row].kind == Kind::DeletedTopic;
    const bool withSubtopics = topic && !deletedWith(m_db, m_entries[row].id).isEmpty();
    try {
        const qint64 into = restoreDeleted(m_db, m_entries[row].id);
        const qint64 subtopic = !topic || withSubtopics ? sqlite3_last_insert_rowid(m_db.handle()) : 0;
        fill();
        if (restored)
            restored(into, subtopic);
    } catch (const database::DatabaseError &e) {
        if (showError)
            showError(e.message());
        fill();
    }
}

BookViewer::BookViewer(std::unique_ptr<database::Database> db, QWidget *parent)
    : QWidget(parent, Qt::Window), m_db(std::move(db))
{
    setObjectName(QStringLiteral("YedekForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Yedek: %1 (salt okunur)").arg(QFileInfo(m_db->path()).fileName()));
    resize(900, 600);
    m_topics = new QComboBox(this);
    m_topics->setObjectName(QStringLiteral("Topics"));
    m_subtopics = new QListWidget(this);
    m_subtopics->setObjectName(QStringLiteral("Subtopics"));
    m_body = readOnlyView(this);
    m_body->setObjectName(QStringLiteral("Body"));
    auto *left = new QWidget(this);
    auto *l = new QVBoxLayout(left);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(m_topics);
    l->addWidget(m_subtopics);
    auto *split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(m_body);
    split->setSizes({220, 680});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Yedekteki kitap yalnızca okunur; metni seçip panoya kopyalayabilirsiniz."), this));
    layout->addWidget(split, 1);
    database::SqliteStatement st(m_db->handle(), QStringLiteral("SELECT Sira, Baslik FROM master ORDER BY Sira"));
    while (st.step())
        m_topics->addItem(st.text(1), st.integer(0));
    connect(m_topics, &QComboBox::currentIndexChanged, this, &BookViewer::topicChosen);
    connect(m_subtopics, &QListWidget::currentRowChanged, this, &BookViewer::subtopicChosen);
    topicChosen();
}

BookViewer::~BookViewer() = default;

void BookViewer::topicChosen()
{
    m_subtopics->clear();
    database::SqliteStatement st(m_db->handle(), QStringLiteral("SELECT Kimlik, Altkonu FROM detail WHERE Sira = ? ORDER BY Altkonu"));
    st.bind(1, m_topics->currentData());
    while (st.step()) {
        auto *item = new QListWidgetItem(st.text(1), m_subtopics);
        item->setData(Qt::UserRole, st.integer(0));
    }
    // In the book's order of titles (the Turkish one), as the program lists them.
    m_subtopics->sortItems();
    if (m_subtopics->count() > 0)
        m_subtopics->setCurrentRow(0);
    else
        m_body->streamInText(QString());
}

void BookViewer::subtopicChosen()
{
    const QListWidgetItem *item = m_subtopics->currentItem();
    if (!item)
        return;
    database::SqliteStatement st(m_db->handle(), QStringLiteral("SELECT Aciklama FROM detail WHERE Kimlik = ?"));
    st.bind(1, item->data(Qt::UserRole));
    showBody(m_body, st.step() ? st.text(0) : QString());
}

BackupsDialog::BackupsDialog(BookKeeping &keeping, QWidget *parent) : QDialog(parent), m_keeping(keeping)
{
    setObjectName(QStringLiteral("YedeklerForm"));
    setWindowTitle(QStringLiteral("Yedekler"));
    resize(720, 440);
    m_folder = new QLabel(this);
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("Backups"));
    m_list->setHeaderLabels({QStringLiteral("Tarih"), QStringLiteral("Boyut"), QStringLiteral("Konu"), QStringLiteral("Altkonu")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_keepVersions = new QCheckBox(QStringLiteral("Önceki sürümleri ve silinenleri kitapta sakla"), this);
    m_keepVersions->setObjectName(QStringLiteral("KeepVersions"));
    database::Database *db = m_keeping.database();
    m_keepVersions->setChecked(db && historyEnabled(*db));
    m_keepVersions->setEnabled(db && !db->isReadOnly());
    auto *buttons = new QDialogButtonBox(this);
    m_now = buttons->addButton(QStringLiteral("Şimdi Yedekle"), QDialogButtonBox::ActionRole);
    m_now->setObjectName(QStringLiteral("BackupNow"));
    m_open = buttons->addButton(QStringLiteral("Aç"), QDialogButtonBox::ActionRole);
    m_open->setObjectName(QStringLiteral("Open"));
    m_restore = buttons->addButton(QStringLiteral("Geri Yükle"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("Restore"));
    buttons->addButton(QStringLiteral("Kapat"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_folder);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_keepVersions);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_open, &QPushButton::clicked, this, &BackupsDialog::openChosen);
    connect(m_restore, &QPushButton::clicked, this, &BackupsDialog::restoreChosen);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &BackupsDialog::openChosen);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        m_open->setEnabled(!chosenPath().isEmpty());
        m_restore->setEnabled(!chosenPath().isEmpty());
    });
    connect(m_keepVersions, &QCheckBox::toggled, this, [this](bool on) {
        if (database::Database *db = m_keeping.database()) {
            try {
                setHistoryEnabled(*db, on);
            } catch (const database::DatabaseError &e) {
                if (showError)
                    showError(e.message());
            }
        }
    });
    connect(m_now, &QPushButton::clicked, this, [this] {
        m_now->setEnabled(false);
        m_keeping.backupNow([self = QPointer<BackupsDialog>(this)](const QString &, const QString &error) {
            if (!self)
                return;
            self->m_now->setEnabled(true);
            if (!error.isEmpty() && self->showError)
                self->showError(QStringLiteral("Yedek alınamadı: %1").arg(error));
            self->fill();
        });
    });
    fill();
}

void BackupsDialog::fill()
{
    const QString folder = backupFolderFor(m_keeping.bookPath());
    m_folder->setText(QStringLiteral("Yedeklerin klasörü: %1").arg(QDir::toNativeSeparators(folder)));
    m_list->clear();
    for (const BackupInfo &b : listBackups(folder, QFileInfo(m_keeping.bookPath()).completeBaseName(), m_keeping.password(), true)) {
        auto *item = new QTreeWidgetItem(m_list, {timeText(b.time), sizeText(b.bytes),
                                                  b.topics < 0 ? QStringLiteral("okunamadı") : QString::number(b.topics),
                                                  b.subtopics < 0 ? QString() : QString::number(b.subtopics)});
        item->setData(0, Qt::UserRole, b.path);
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    m_open->setEnabled(!chosenPath().isEmpty());
    m_restore->setEnabled(!chosenPath().isEmpty());
}

QString BackupsDialog::chosenPath() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void BackupsDialog::openChosen()
{
    const QString path = chosenPath();
    if (path.isEmpty())
        return;
    try {
        database::Database::Options readOnly;
        readOnly.readOnly = true;
        m_viewer = new BookViewer(database::Database::open(path, m_keeping.password(), readOnly), parentWidget());
        m_viewer->show();
        // The backup's window is used beside the book's: this list makes way for it, and it comes
        // to the front once the list is gone.
        QTimer::singleShot(0, m_viewer, [viewer = QPointer<BookViewer>(m_viewer)] {
            if (viewer) {
                viewer->raise();
                viewer->activateWindow();
            }
        });
        accept();
    } catch (const database::DatabaseError &e) {
        if (showError)
            showError(e.message());
    }
}

void BackupsDialog::restoreChosen()
{
    const QString path = chosenPath();
    if (path.isEmpty())
        return;
    const QFileInfo book(m_keeping.bookPath());
    const QString target = book.dir().filePath(QStringLiteral("%1-geri-yuklenen-%2.mdb")
                                                   .arg(book.completeBaseName(),
                                                        QFileInfo(path).completeBaseName().section(u'-', -4)));
    try {
        restoreBackup(path, m_keeping.password(), target);
        if (showMessage)
            showMessage(QStringLiteral("Yedek yeni bir kitap dosyası olarak yazıldı:\n%1\n\nAçık kitap değişmedi. Yedeği kullanmak "
                                       "için programı kapatıp bu dosyayı Data.mdb adıyla bir klasöre koyun.")
                            .arg(QDir::toNativeSeparators(target)));
    } catch (const database::DatabaseError &e) {
        if (showError)
            showError(QStringLiteral("Yedek geri yüklenemedi: %1").arg(e.message()));
    }
}

} // namespace velkora::history
