// A client-side record set with the states, moves and edits that bound controls and commands expect.
#pragma once

#include "datalink.h"
#include "engine.h"
#include "field.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace velkora::store {

class DataSource;

enum class DataSetState { Inactive, Browse, Edit, Insert };

// The record set holds every row of its statement's result on the client side; long-text values
// are read only when a row's value is asked for, and only a few of them are kept.
//
// Contract, as bound controls rely on it:
// - Every move first settles the current row (checkBrowseMode): a row in edit or insert state takes
//   the controls' content (UpdateRecord), then is posted when it was changed and cancelled otherwise.
// - bof() is raised on opening, re-querying, first() and a move that runs into the first row;
//   eof() on last(), a move that runs past the last row, and whenever the set is empty. A move that
//   is carried out lowers both first; nothing else lowers them (an edit, an insert, a post or a
//   cancel leaves them as they were).
// - recNo() is 1-based, and -1 while the set is empty or inserting.
// - afterScroll runs after opening a non-empty set, after every move (first and last also on an
//   empty set), after an insert begins, after an insert is cancelled, and after a deletion.
// - A failed step (engine error) throws and leaves state, row and edit buffer as they were.
class DataSet : public QObject
{
    Q_OBJECT
public:
    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    bool active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active) { active ? open() : close(); }
    void open();
    // Discards a pending edit or insert without saving.
    void close();
    DataSetState state() const { return m_state; }

    void first();
    void last();
    void next() { moveBy(1); }
    void prior() { moveBy(-1); }
    int moveBy(int distance);
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_view.empty(); }
    int recordCount() const;
    // Reads the rows again as they are stored now (another program saved meanwhile), staying on the
    // current row where it is still there, else on the row now at its place. Only in browse state;
    // a failure keeps the old rows.
    void refresh();
    int recNo() const;
    void setRecNo(int recNo);

    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void remove();
    void checkBrowseMode();
    void updateRecord();
    bool canModify() const { return active() && !m_readOnly; }
    bool modified() const { return m_modified; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    const std::vector<std::unique_ptr<Field>> &fields() const { return m_fields; }
    Field *findField(QStringView name) const;
    Field *fieldByName(const QString &name) const; // throws "Field '%s' not found"

    // Makes the first row whose field matches value current; the current row is accepted first.
    // Text is compared ignoring letter case the Turkish way when caseInsensitive; partialKey
    // matches a prefix. Returns false, staying on the current row, when nothing matches.
    bool locate(const QString &fieldName, const QVariant &value, bool caseInsensitive, bool partialKey);

    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // The rows as a list shows them, the row being inserted included at its place.
    int displayRowCount() const;
    int currentDisplayRow() const;
    QVariant displayValue(int displayRow, int fieldIndex) const;
    int displayRecNo(int displayRow) const;
    // The key of the record shown at displayRow (0 for the row being inserted), and the record
    // number of the row with a key (-1 when there is none): a record kept across a settle that
    // re-sorts the rows.
    qint64 displayKey(int displayRow) const;
    int recNoOfKey(qint64 key) const;

    std::function<void(DataSet &)> afterScroll;
    std::function<void(DataSet &)> afterOpen;
    std::function<void(DataSet &)> afterPost;

    // Used by Field.
    QVariant currentValue(int index) const;
    void setCurrentValue(int index, const QVariant &value);

protected:
    // Runs the statement; may throw. Called by open() and requery().
    virtual ResultSet openCursor() = 0;
    virtual Engine &engine() = 0;
    // Fills fields of a new record before any control sees it; not counted as a change.
    virtual void newRecord() {}
    // Last chance to fill fields of an inserted record before it is written.
    virtual void beforeInsertPost() {}
    virtual bool rowVisible(const Row &) const { return true; }

    // Runs the statement again and goes to the first row; a failure keeps the old rows.
    void reload();
    void setBufferValue(int index, const QVariant &value);
    const TableInfo &tableInfo() const { return m_result.table; }
    void dataEvent(DataEvent event, Field *field = nullptr, int info = 0);

private:
    void keepEndFlags();
    friend class DataSource;
    void addSource(DataSource *source);
    void removeSource(DataSource *source);

    void beginInsert(bool atEnd);
    void checkActive() const;
    void checkCanModify() const;
    void setState(DataSetState state);
    void rebuildView();
    void moveToFirst();
    void doAfterScroll();
    QVariant longValue(int rowIndex, int column) const;
    void rememberLong(qint64 key, int column, const QVariant &value) const;
    void forgetLong(qint64 key) const;
    int sortedPosition(const Row &row) const;
    const Row *currentRow() const;

    ResultSet m_result;
    std::vector<int> m_view; // indices into m_result.rows, in display order
    int m_current = -1;      // index into m_view; -1 while empty
    DataSetState m_state = DataSetState::Inactive;
    bool m_bof = true;
    bool m_eof = true;
    bool m_readOnly = false;

    QVector<QVariant> m_buffer;
    QVector<bool> m_assigned;
    bool m_modified = false;
    int m_insertAt = -1;

    std::vector<std::unique_ptr<Field>> m_fields;
    QList<DataSource *> m_sources;
    int m_disableCount = 0;
    bool m_eventsSuppressed = false;

    struct CachedLong
    {
        qint64 key;
        int column;
        QVariant value;
    };
    mutable std::vector<CachedLong> m_longCache; // most recent last
};

} // namespace velkora::store
