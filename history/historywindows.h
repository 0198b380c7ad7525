// The windows of the book's history and backups: "Önceki Sürümler", "Silinenler", "Yedekler", and
// a backup opened read-only.
#pragma once

#include "history/bookhistory.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace velkora::database {
class Database;
}
namespace velkora::richedit {
class RichEditControl;
}

namespace velkora::history {

class BookKeeping;

// Puts a body (RTF, or text) into a read-only view.
void showBody(richedit::RichEditControl *view, const QString &body);
// Marks in each view the words the other does not have (a word-level comparison of their text):
// in `before` what was taken out, in `after` what was put in.
void markChanges(richedit::RichEditControl *before, richedit::RichEditControl *after);

// The versions of one subtopic, newest first, each shown read-only beside the current body with
// what changed marked. "Geri Yükle" hands the chosen version to restore (title, body) and closes.
class VersionsDialog : public QDialog
{
    Q_OBJECT
public:
    VersionsDialog(const database::Database &db, qint64 subtopic, const QString &currentBody, QWidget *parent = nullptr);
    std::function<void(const QString &title, const QString &body)> restore;
    QListWidget *list() const { return m_list; }

private:
    void chosen();
    const database::Database &m_db;
    QList<Entry> m_versions;
    QString m_currentBody;
    QListWidget *m_list;
    richedit::RichEditControl *m_version, *m_current;
    QPushButton *m_restore;
};

// Deleted subtopics and topics, newest first; "Geri Getir" brings one back (restored(topic,
// subtopic) then runs; subtopic 0 for a topic without subtopics).
class DeletedDialog : public QDialog
{
    Q_OBJECT
public:
    DeletedDialog(database::Database &db, QWidget *parent = nullptr);
    std::function<void(qint64 topic, qint64 subtopic)> restored;
    std::function<void(const QString &message)> showError;
    QListWidget *list() const { return m_list; }

private:
    void fill();
    void bringBack();
    database::Database &m_db;
    QList<Entry> m_entries;
    QListWidget *m_list;
    richedit::RichEditControl *m_body;
    QPushButton *m_restore;
};

// A backup opened read-only: topics, their subtopics and the body, from which text can be copied.
class BookViewer : public QWidget
{
    Q_OBJECT
public:
    BookViewer(std::unique_ptr<database::Database> db, QWidget *parent = nullptr);
    ~BookViewer() override;
    QComboBox *topics() const { return m_topics; }
    QListWidget *subtopics() const { return m_subtopics; }
    richedit::RichEditControl *body() const { return m_body; }

private:
    void topicChosen();
    void subtopicChosen();
    std::unique_ptr<database::Database> m_db;
    QComboBox *m_topics;
    QListWidget *m_subtopics;
    richedit::RichEditControl *m_body;
};

// The book's backups: date, size, topics and subtopics; "Şimdi Yedekle", "Aç" (read-only, in a
// window of its own), "Geri Yükle" (a new book file beside the book, never over one), and whether
// the book keeps earlier versions.
class BackupsDialog : public QDialog
{
    Q_OBJECT
public:
    BackupsDialog(BookKeeping &keeping, QWidget *parent = nullptr);
    std::function<void(const QString &message)> showMessage;
    std::function<void(const QString &message)> showError;
    QTreeWidget *list() const { return m_list; }
    QCheckBox *keepVersions() const { return m_keepVersions; }
    // The last viewer opened, for tests.
    BookViewer *viewer() const { return m_viewer; }

private:
    void fill();
    QString chosenPath() const;
    void openChosen();
    void restoreChosen();
    BookKeeping &m_keeping;
    QTreeWidget *m_list;
    QLabel *m_folder;
    QCheckBox *m_keepVersions;
    QPushButton *m_now, *m_open, *m_restore;
    BookViewer *m_viewer = nullptr;
};

} // namespace velkora::history
