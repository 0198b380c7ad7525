// "Kitabı Dışa Aktar": the format, the topics, the titles and the file, then the export with a
// progress window that can be cancelled.
#pragma once

#include "bookexport.h"
#include "bookwalk.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace velkora::bookexport {

class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    // topics: the book's topics, all chosen at first; folder: where the file goes unless the person
    // chooses another; bookTitle names the file at first and titles the export.
    ExportDialog(const QList<TopicEntry> &topics, const QString &folder, const QString &bookTitle, QWidget *parent = nullptr);

    Format format() const;
    QList<qint64> chosenTopics() const;
    bool withTitles() const;
    QString fileName() const;

    // Where the program's message boxes come from (an error, a question with Evet/Hayır).
    std::function<void(const QString &message, QWidget *over)> showError;
    std::function<bool(const QString &question, QWidget *over)> ask;

    // The export of the dialog's choices from a book, with a progress window; true when the file
    // was written. Messages go through showError; a cancel writes nothing and says nothing.
    bool run(const QString &connectionString);

    QRadioButton *RadioPdf, *RadioEpub, *RadioHtml;
    QListWidget *Konular;
    QCheckBox *Basliklar;
    QLineEdit *DosyaAdi;

    // Checks the choices (asking before an existing file is replaced) and closes with them.
    void accept() override;

private:
    void formatChanged();
    void browse();
    QString m_bookTitle;
};

} // namespace velkora::bookexport
