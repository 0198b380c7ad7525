// The export dialog and its progress window.
#include "exportdialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velkora::bookexport {

namespace {

QString suffixOf(Format f)
{
    switch (f) {
    case Format::Epub: return QStringLiteral("epub");
    case Format::Html: return QStringLiteral("html");
    case Format::Pdf: break;
    }
    return QStringLiteral("pdf");
}

// A file name made of the book's title: letters kept, what a file name cannot hold left out.
QString fileNameOf(const QString &title)
{
    QString name;
    for (const QChar c : title)
        if (c != u'/' && c != u'\\' && c.isPrint() && c != u':')
            name += c;
    name = name.trimmed();
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("Kitap") : name;
}

} // namespace

ExportDialog::ExportDialog(const QList<TopicEntry> &topics, const QString &folder, const QString &bookTitle, QWidget *parent)
    : QDialog(parent), m_bookTitle(bookTitle)
{
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral("Kitabı Dışa Aktar"));
    auto *layout = new QVBoxLayout(this);

    auto *formats = new QGroupBox(QStringLiteral("Biçim"), this);
    auto *formatsLayout = new QHBoxLayout(formats);
    RadioPdf = new QRadioButton(QStringLiteral("PDF"), formats);
    RadioEpub = new QRadioButton(QStringLiteral("E-kitap (EPUB)"), formats);
    RadioHtml = new QRadioButton(QStringLiteral("Web sayfası (HTML)"), formats);
    RadioPdf->setObjectName(QStringLiteral("RadioPdf"));
    RadioEpub->setObjectName(QStringLiteral("RadioEpub"));
    RadioHtml->setObjectName(QStringLiteral("RadioHtml"));
    RadioPdf->setChecked(true);
    auto *group = new QButtonGroup(this);
    for (QRadioButton *r : {RadioPdf, RadioEpub, RadioHtml}) {
        formatsLayout->addWidget(r);
        group->addButton(r);
    }
    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool on) {
        if (on)
            formatChanged();
    });
    layout->addWidget(formats);

    auto *topicsBox = new QGroupBox(QStringLiteral("Konular"), this);
    auto *topicsLayout = new QVBoxLayout(topicsBox);
    Konular = new QListWidget(topicsBox);
    Konular->setObjectName(QStringLiteral("Konular"));
    for (const TopicEntry &t : topics) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(t.title, QString::number(t.subtopics)), Konular);
        item->setData(Qt::UserRole, t.key);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    topicsLayout->addWidget(Konular);
    auto *allNone = new QHBoxLayout;
    auto *all = new QPushButton(QStringLiteral("Tümünü Seç"), topicsBox);
    auto *none = new QPushButton(QStringLiteral("Hiçbirini Seçme"), topicsBox);
    all->setAutoDefault(false);
    none->setAutoDefault(false);
    const auto checkAll = [this](Qt::CheckState state) {
        for (int i = 0; i < Konular->count(); ++i)
            Konular->item(i)->setCheckState(state);
    };
    connect(all, &QPushButton::clicked, this, [checkAll] { checkAll(Qt::Checked); });
    connect(none, &QPushButton::clicked, this, [checkAll] { checkAll(Qt::Unchecked); });
    allNone->addWidget(all);
    allNone->addWidget(none);
    allNone->addStretch();
    topicsLayout->addLayout(allNone);
    layout->addWidget(topicsBox);

    Basliklar = new QCheckBox(QStringLiteral("Konu ve alt konu başlıklarıyla"), this);
    Basliklar->setObjectName(QStringLiteral("Basliklar"));
    Basliklar->setChecked(true);
    layout->addWidget(Basliklar);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("Dosya:"), this));
    DosyaAdi = new QLineEdit(QDir(folder).filePath(fileNameOf(bookTitle) + QStringLiteral(".pdf")), this);
    DosyaAdi->setObjectName(QStringLiteral("DosyaAdi"));
    DosyaAdi->setMinimumWidth(360);
    fileRow->addWidget(DosyaAdi, 1);
    auto *browseButton = new QPushButton(QStringLiteral("Gözat..."), this);
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    fileRow->addWidget(browseButton);
    layout->addLayout(fileRow);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *go = buttons->addButton(QStringLiteral("Dışa Aktar"), QDialogButtonBox::AcceptRole);
    go->setObjectName(QStringLiteral("BtnDisaAktar"));
    go->setDefault(true);
    buttons->addButton(QStringLiteral("İptal"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);
    layout->addWidget(buttons);
}

Format ExportDialog::format() const
{
    return RadioEpub->isChecked() ? Format::Epub : RadioHtml->isChecked() ? Format::Html : Format::Pdf;
}

QList<qint64> ExportDialog::chosenTopics() const
{
    QList<qint64> keys;
    for (int i = 0; i < Konular->count(); ++i)
        if (Konular->item(i)->checkState() == Qt::Checked)
            keys.append(Konular->item(i)->data(Qt::UserRole).toLongLong());
    return keys;
}

bool ExportDialog::withTitles() const
{
    return Basliklar->isChecked();
}

QString ExportDialog::fileName() const
{
    return DosyaAdi->text().trimmed();
}

void ExportDialog::formatChanged()
{
    // The file name follows the format: its suffix is the format's.
    const QString name = fileName();
    if (name.isEmpty())
        return;
    const QFileInfo info(name);
    const QString base = formatOf(name) ? name.left(name.size() - info.suffix().size() - 1) : name;
    DosyaAdi->setText(base + u'.' + suffixOf(format()));
}

void ExportDialog::browse()
{
    const QString filter = format() == Format::Pdf    ? QStringLiteral("PDF (*.pdf)")
                           : format() == Format::Epub ? QStringLiteral("E-kitap (*.epub)")
                                                      : QStringLiteral("Web sayfası (*.html *.htm)");
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Kitabı Dışa Aktar"), fileName(), filter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return;
    DosyaAdi->setText(formatOf(chosen) == format() ? chosen : chosen + u'.' + suffixOf(format()));
}

void ExportDialog::accept()
{
    const QString name = fileName();
    const auto error = [this](const QString &message) {
        if (showError)
            showError(message, this);
    };
    if (name.isEmpty()) {
        error(QStringLiteral("Bir dosya adı yazın."));
        return;
    }
    if (formatOf(name) != format()) {
        error(QStringLiteral("Dosyanın uzantısı seçilen biçime uymuyor: .%1 olmalı.").arg(suffixOf(format())));
        return;
    }
    if (chosenTopics().isEmpty()) {
        error(QStringLiteral("En az bir konu seçin."));
        return;
    }
    const QFileInfo info(name);
    if (info.isDir() || (info.exists() && !info.isFile())) {
        error(QStringLiteral("\"%1\" bir dosya değil.").arg(name));
        return;
    }
    // Said here, while the choices can still be mended, rather than after the export began.
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        error(QStringLiteral("\"%1\" klasörüne yazılamıyor.").arg(QDir::toNativeSeparators(info.absolutePath())));
        return;
    }
    if (info.exists() && ask && !ask(QStringLiteral("\"%1\" zaten var. Üzerine yazılsın mı?").arg(name), this))
        return;
    QDialog::accept();
}

bool ExportDialog::run(const QString &connectionString)
{
    Options options;
    options.connectionString = connectionString;
    options.output = QFileInfo(fileName()).absoluteFilePath();
    options.format = format();
    options.topics = chosenTopics();
    options.withTitles = withTitles();
    options.bookTitle = m_bookTitle;

    QProgressDialog progress(QStringLiteral("Kitap dışa aktarılıyor..."), QStringLiteral("İptal"), 0, 0, parentWidget());
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(QStringLiteral("Kitabı Dışa Aktar"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    // The busy cursor goes back on every way out.
    struct BusyCursor
    {
        BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
        ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    };
    QString failure;
    bool written = false;
    {
        BusyCursor busy;
        try {
            written = exportBook(options, [&progress](int done, int total) {
                if (progress.maximum() != total)
                    progress.setMaximum(total);
                progress.setLabelText(QStringLiteral("Kitap dışa aktarılıyor... %1 / %2 alt konu").arg(QString::number(done), QString::number(total)));
                progress.setValue(done); // a modal progress window handles its events here
                QApplication::processEvents();
                return !progress.wasCanceled();
            });
        } catch (const ExportError &e) {
            failure = e.message();
        } catch (const std::exception &e) {
            // Anything else (memory, say) ends the export, not the program: said, nothing written.
            failure = QStringLiteral("Kitap dışa aktarılamadı: %1").arg(QString::fromLocal8Bit(e.what()));
        }
    }
    progress.close();
    if (!failure.isEmpty() && showError)
        showError(failure, parentWidget());
    return written;
}

} // namespace velkora::bookexport
