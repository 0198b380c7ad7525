// A client-side record set with the states, moves and edits that bound controls and commands expect.
#include "dataset.h"

#include "datasource.h"
#include "storeerror.h"

#include "platform/database/turkishtext.h"

#include <algorithm>

namespace velkora::store {

namespace {

// Long-text values kept per record set: the shown body and a few recent ones, so that memory
// follows the rows a person looks at, not the size of the book.
constexpr size_t LongValueCacheSize = 8;

FieldType fieldTypeOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return FieldType::Integer;
    case ColumnType::Text:
        return FieldType::String;
    case ColumnType::LongText:
        return FieldType::Memo;
    }
    return FieldType::String;
}

const database::TurkishCollator &collator()
{
    static const database::TurkishCollator instance;
    return instance;
}

int compareValues(const QVariant &a, const QVariant &b)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
        return a.toLongLong() < b.toLongLong() ? -1 : (a.toLongLong() > b.toLongLong() ? 1 : 0);
    return collator().compare(a.toString(), b.toString());
}

} // namespace

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::~DataSet()
{
    const QList<DataSource *> sources = m_sources;
    for (DataSource *source : sources)
        source->setDataSet(nullptr);
}

void DataSet::addSource(DataSource *source)
{
    m_sources.append(source);
}

void DataSet::removeSource(DataSource *source)
{
    m_sources.removeAll(source);
}

void DataSet::checkActive() const
{
    if (!active())
        throw DataSetError(this, messages::dataSetClosed());
}

void DataSet::checkCanModify() const
{
    if (!canModify())
        throw DataSetError(this, messages::readOnlyDataSet());
}

void DataSet::dataEvent(DataEvent event, Field *field, int info)
{
    const bool alwaysDelivered = event == DataEvent::UpdateRecord || event == DataEvent::CheckBrowseMode;
    if (m_disableCount > 0 && !alwaysDelivered) {
        m_eventsSuppressed = true;
        return;
    }
    const QList<DataSource *> sources = m_sources;
    for (DataSource *source : sources) {
        if (m_sources.contains(source))
            source->dataEvent(event, field, info);
    }
}

void DataSet::disableControls()
{
    ++m_disableCount;
}

void DataSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_eventsSuppressed) {
        m_eventsSuppressed = false;
        dataEvent(DataEvent::UpdateState);
        dataEvent(DataEvent::DataSetChange);
    }
}

void DataSet::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_modified = false;
    dataEvent(DataEvent::UpdateState);
}

void DataSet::doAfterScroll()
{
    if (afterScroll)
        afterScroll(*this);
}

void DataSet::rebuildView()
{
    m_view.clear();
    for (int i = 0; i < m_result.rows.size(); ++i) {
        if (rowVisible(m_result.rows[i]))
            m_view.push_back(i);
    }
}

void DataSet::moveToFirst()
{
    m_current = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
}

void DataSet::open()
{
    if (active())
        return;
    ResultSet result = openCursor();
    m_result = std::move(result);
    m_longCache.clear();
    m_fields.clear();
    for (int i = 0; i < m_result.table.columns.size(); ++i) {
        const ColumnInfo &c = m_result.table.columns[i];
        m_fields.push_back(std::make_unique<Field>(this, i, c.name, fieldTypeOf(c.type), c.size, c.readOnly));
    }
    rebuildView();
    moveToFirst();
    setState(DataSetState::Browse);
    if (afterOpen)
        afterOpen(*this);
    if (!isEmpty())
        doAfterScroll();
}

void DataSet::close()
{
    if (!active())
        return;
    // The links hear of the closing while the old fields still exist; they are freed after.
    std::vector<std::unique_ptr<Field>> old = std::move(m_fields);
    m_fields.clear();
    m_buffer.clear();
    m_assigned.clear();
    m_insertAt = -1;
    setState(DataSetState::Inactive);
    m_result = ResultSet();
    m_view.clear();
    m_current = -1;
    m_bof = m_eof = true;
    m_longCache.clear();
}

void DataSet::reload()
{
    checkBrowseMode();
    ResultSet result = openCursor();
    m_result = std::move(result);
    m_longCache.clear();
    rebuildView();
    moveToFirst();
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

void DataSet::refresh()
{
    if (m_state != DataSetState::Browse)
        return; // an edit is never dropped or saved by a refresh
    const int place = m_current;
    const qint64 key = place >= 0 && place < static_cast<int>(m_view.size()) ? m_result.rows[m_view[static_cast<size_t>(place)]].key : 0;
    ResultSet result = openCursor();
    m_result = std::move(result);
    m_longCache.clear();
    rebuildView();
    const int again = key != 0 ? recNoOfKey(key) - 1 : -1;
    m_current = m_view.empty() ? -1 : again >= 0 ? again : std::clamp(place, 0, static_cast<int>(m_view.size()) - 1);
    m_bof = m_view.empty();
    m_eof = m_view.empty();
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

int DataSet::recordCount() const
{
    return active() ? static_cast<int>(m_view.size()) : 0;
}

int DataSet::recNo() const
{
    if (!active() || m_state == DataSetState::Insert || m_current < 0)
        return -1;
    return m_current + 1;
}

void DataSet::first()
{
    checkBrowseMode();
    moveToFirst();
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

void DataSet::last()
{
    checkBrowseMode();
    m_current = static_cast<int>(m_view.size()) - 1;
    m_eof = true;
    m_bof = m_view.empty();
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

int DataSet::moveBy(int distance)
{
    checkBrowseMode();
    if (distance == 0 || (distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    m_bof = m_eof = false;
    int step = 0;
    if (m_view.empty()) {
        m_bof = m_eof = true;
    } else if (distance > 0) {
        const int room = static_cast<int>(m_view.size()) - 1 - m_current;
        step = std::min(distance, room);
        m_eof = step < distance;
    } else {
        const int room = m_current;
        step = -std::min(-distance, room);
        m_bof = step > distance;
    }
    m_current += step;
    if (step != 0)
        dataEvent(DataEvent::DataSetScroll, nullptr, step);
    doAfterScroll();
    return step;
}

void DataSet::setRecNo(int recNo)
{
    checkBrowseMode();
    if (m_view.empty())
        return;
    const int target = std::clamp(recNo, 1, static_cast<int>(m_view.size()));
    moveBy(target - (m_current + 1));
}

const Row *DataSet::currentRow() const
{
    if (m_current < 0 || m_current >= static_cast<int>(m_view.size()))
        return nullptr;
    return &m_result.rows[m_view[static_cast<size_t>(m_current)]];
}

void DataSet::rememberLong(qint64 key, int column, const QVariant &value) const
{
    for (auto it = m_longCache.begin(); it != m_longCache.end(); ++it) {
        if (it->key == key && it->column == column) {
            m_longCache.erase(it);
            break;
        }
    }
    m_longCache.push_back({key, column, value});
    if (m_longCache.size() > LongValueCacheSize)
        m_longCache.erase(m_longCache.begin());
}

void DataSet::forgetLong(qint64 key) const
{
    std::erase_if(m_longCache, [key](const CachedLong &c) { return c.key == key; });
}

QVariant DataSet::longValue(int rowIndex, int column) const
{
    const Row &row = m_result.rows[rowIndex];
    for (const CachedLong &c : m_longCache) {
        if (c.key == row.key && c.column == column)
            return c.value;
    }
    auto *self = const_cast<DataSet *>(this);
    std::optional<database::Database::LongValue> fetched = self->engine().fetchLong(m_result.table, row.key, column);
    if (!fetched)
        return QVariant();
    if (fetched->version != row.version) {
        // Another connection changed the row since it was read: take its current state, so the
        // body shown and the version a later write names belong together.
        if (std::optional<Row> fresh = self->engine().fetchRow(m_result.table, row.key)) {
            Row &mutableRow = self->m_result.rows[rowIndex];
            mutableRow.values = fresh->values;
            mutableRow.version = fresh->version;
            forgetLong(row.key);
            if (fresh->version != fetched->version)
                fetched = self->engine().fetchLong(m_result.table, row.key, column);
            if (!fetched)
                return QVariant();
        }
    }
    rememberLong(row.key, column, fetched->value);
    return fetched->value;
}

QVariant DataSet::currentValue(int index) const
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer.value(index);
    const Row *row = currentRow();
    if (!row)
        return QVariant();
    if (m_result.deferred.value(index))
        return longValue(m_view[static_cast<size_t>(m_current)], index);
    return row->values.value(index);
}

void DataSet::setBufferValue(int index, const QVariant &value)
{
    m_buffer[index] = value;
    m_assigned[index] = true;
}

void DataSet::setCurrentValue(int index, const QVariant &value)
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DataSetError(this, messages::notEditing());
    Field *field = m_fields.at(static_cast<size_t>(index)).get();
    if (field->readOnly())
        throw DataSetError(this, messages::fieldReadOnly(field->fieldName()));
    setBufferValue(index, value);
    m_modified = true;
    dataEvent(DataEvent::FieldChange, field);
}

Field *DataSet::findField(QStringView name) const
{
    for (const auto &f : m_fields) {
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

Field *DataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        throw DataSetError(this, messages::fieldNotFound(name));
    return f;
}

void DataSet::updateRecord()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DataSetError(this, messages::notEditing());
    dataEvent(DataEvent::UpdateRecord);
}

void DataSet::checkBrowseMode()
{
    checkActive();
    dataEvent(DataEvent::CheckBrowseMode);
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
        updateRecord();
        if (m_modified)
            post();
        else
            cancel();
    }
}

void DataSet::edit()
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    checkActive();
    if (isEmpty()) {
        insert();
        return;
    }
    checkBrowseMode();
    checkCanModify();
    const Row *row = currentRow();
    QVector<QVariant> buffer(row->values.cbegin(), row->values.cend());
    for (int i = 0; i < buffer.size(); ++i) {
        if (m_result.deferred.value(i))
            buffer[i] = currentValue(i);
    }
    // Reading a long value may have refreshed the row; take its short values again.
    row = currentRow();
    for (int i = 0; i < buffer.size(); ++i) {
        if (!m_result.deferred.value(i))
            buffer[i] = row->values[i];
    }
    m_buffer = buffer;
    m_assigned = QVector<bool>(buffer.size(), false);
    setState(DataSetState::Edit);
    dataEvent(DataEvent::RecordChange);
}

void DataSet::insert()
{
    beginInsert(false);
}

void DataSet::append()
{
    beginInsert(true);
}

void DataSet::beginInsert(bool atEnd)
{
    checkBrowseMode();
    checkCanModify();
    m_insertAt = atEnd ? static_cast<int>(m_view.size()) : (m_current < 0 ? 0 : m_current);
    m_buffer = QVector<QVariant>(m_result.table.columns.size());
    m_assigned = QVector<bool>(m_buffer.size(), false);
    // Not a move: the begin- and end-of-set flags stay as they were.
    setState(DataSetState::Insert);
    newRecord();
    m_modified = false;
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

int DataSet::sortedPosition(const Row &row) const
{
    const int column = m_result.orderColumn;
    const auto before = [&](const Row &a, const Row &b) {
        int c = compareValues(a.values[column], b.values[column]);
        if (m_result.descending)
            c = -c;
        return c != 0 ? c < 0 : a.key < b.key;
    };
    const auto it = std::upper_bound(m_result.rows.cbegin(), m_result.rows.cend(), row,
                                     [&](const Row &value, const Row &element) { return before(value, element); });
    return static_cast<int>(it - m_result.rows.cbegin());
}

void DataSet::post()
{
    checkActive();
    updateRecord();
    if (m_state == DataSetState::Insert) {
        beforeInsertPost();
        database::Database::Changes values;
        for (int i = 0; i < m_buffer.size(); ++i) {
            if (m_assigned[i])
                values.append({i, m_buffer[i]});
        }
        Row row = engine().insert(m_result.table, values);
        for (int i = 0; i < m_buffer.size(); ++i) {
            if (m_result.deferred.value(i) && m_assigned[i])
                rememberLong(row.key, i, m_buffer[i]);
        }
        int position;
        if (m_result.orderColumn >= 0) {
            position = sortedPosition(row);
        } else if (m_insertAt < static_cast<int>(m_view.size())) {
            position = m_view[static_cast<size_t>(m_insertAt)];
        } else {
            position = static_cast<int>(m_result.rows.size());
        }
        m_result.rows.insert(position, std::move(row));
        rebuildView();
        const auto it = std::find(m_view.begin(), m_view.end(), position);
        m_current = it == m_view.end() ? std::min(m_insertAt, static_cast<int>(m_view.size()) - 1)
                                       : static_cast<int>(it - m_view.begin());
    } else if (m_state == DataSetState::Edit) {
        const int rowIndex = m_view[static_cast<size_t>(m_current)];
        Row &row = m_result.rows[rowIndex];
        database::Database::Changes changes;
        for (int i = 0; i < m_buffer.size(); ++i) {
            if (m_assigned[i])
                changes.append({i, m_buffer[i]});
        }
        if (!changes.isEmpty()) {
            try {
                row.version = engine().update(m_result.table, row.key, row.version, changes);
            } catch (...) {
                // The row may have been changed elsewhere: what is shown after a cancel comes
                // fresh from the book, while the edit buffer keeps what was typed.
                forgetLong(row.key);
                throw;
            }
            for (const auto &[i, value] : changes) {
                if (m_result.deferred.value(i))
                    rememberLong(row.key, i, value);
                else
                    row.values[i] = value;
            }
        }
    }
    m_buffer.clear();
    m_assigned.clear();
    m_insertAt = -1;
    keepEndFlags();
    setState(DataSetState::Browse);
    dataEvent(DataEvent::DataSetChange);
    if (afterPost)
        afterPost(*this);
}

void DataSet::keepEndFlags()
{
    // Not a move: the flags stay, but only as long as they are true of the row now current (a
    // saved new row may have sorted away from the end it was begun at).
    if (m_view.empty()) {
        m_bof = m_eof = true;
        return;
    }
    m_bof = m_bof && m_current == 0;
    m_eof = m_eof && m_current == static_cast<int>(m_view.size()) - 1;
}

void DataSet::cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    dataEvent(DataEvent::CheckBrowseMode);
    const bool wasInsert = m_state == DataSetState::Insert;
    if (wasInsert)
        m_current = m_view.empty() ? -1 : std::min(m_insertAt, static_cast<int>(m_view.size()) - 1);
    m_buffer.clear();
    m_assigned.clear();
    m_insertAt = -1;
    keepEndFlags();
    setState(DataSetState::Browse);
    dataEvent(DataEvent::DataSetChange);
    if (wasInsert)
        doAfterScroll();
}

void DataSet::remove()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (isEmpty())
        throw DataSetError(this, messages::dataSetEmpty());
    checkCanModify();
    dataEvent(DataEvent::CheckBrowseMode);
    const int rowIndex = m_view[static_cast<size_t>(m_current)];
    const Row &row = m_result.rows[rowIndex];
    engine().remove(m_result.table, row.key, row.version);
    forgetLong(row.key);
    m_result.rows.removeAt(rowIndex);
    rebuildView();
    m_current = std::min(m_current, static_cast<int>(m_view.size()) - 1);
    m_buffer.clear();
    m_assigned.clear();
    m_bof = m_eof = m_view.empty();
    setState(DataSetState::Browse);
    dataEvent(DataEvent::DataSetChange);
    doAfterScroll();
}

bool DataSet::locate(const QString &fieldName, const QVariant &value, bool caseInsensitive, bool partialKey)
{
    checkBrowseMode();
    const Field *field = fieldByName(fieldName);
    const int column = field->index();
    const QString wanted = value.isNull() ? QString() : value.toString();
    const auto matches = [&](const QVariant &v) {
        if (value.isNull())
            return v.isNull();
        if (v.isNull())
            return false;
        const QString text = v.toString();
        if (caseInsensitive)
            return partialKey ? database::startsWithIgnoringCase(text, wanted) : database::equalsIgnoringCase(text, wanted);
        return partialKey ? text.startsWith(wanted) : text == wanted;
    };
    const auto valueAt = [&](int viewIndex) {
        const int rowIndex = m_view[static_cast<size_t>(viewIndex)];
        return m_result.deferred.value(column) ? longValue(rowIndex, column) : m_result.rows[rowIndex].values[column];
    };
    if (m_current >= 0 && matches(valueAt(m_current)))
        return true;
    for (int i = 0; i < static_cast<int>(m_view.size()); ++i) {
        if (matches(valueAt(i))) {
            m_current = i;
            m_bof = m_eof = false;
            dataEvent(DataEvent::DataSetChange);
            doAfterScroll();
            return true;
        }
    }
    return false;
}

int DataSet::displayRowCount() const
{
    return static_cast<int>(m_view.size()) + (m_state == DataSetState::Insert ? 1 : 0);
}

int DataSet::currentDisplayRow() const
{
    return m_state == DataSetState::Insert ? m_insertAt : m_current;
}

QVariant DataSet::displayValue(int displayRow, int fieldIndex) const
{
    if (m_state == DataSetState::Insert) {
        if (displayRow == m_insertAt)
            return m_buffer.value(fieldIndex);
        if (displayRow > m_insertAt)
            --displayRow;
    } else if (m_state == DataSetState::Edit && displayRow == m_current) {
        return m_buffer.value(fieldIndex);
    }
    if (displayRow < 0 || displayRow >= static_cast<int>(m_view.size()))
        return QVariant();
    const int rowIndex = m_view[static_cast<size_t>(displayRow)];
    if (m_result.deferred.value(fieldIndex))
        return longValue(rowIndex, fieldIndex);
    return m_result.rows[rowIndex].values.value(fieldIndex);
}

qint64 DataSet::displayKey(int displayRow) const
{
    if (m_state == DataSetState::Insert) {
        if (displayRow == m_insertAt)
            return 0;
        if (displayRow > m_insertAt)
            --displayRow;
    }
    if (displayRow < 0 || displayRow >= static_cast<int>(m_view.size()))
        return 0;
    return m_result.rows[m_view[static_cast<size_t>(displayRow)]].key;
}

int DataSet::recNoOfKey(qint64 key) const
{
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (m_result.rows[m_view[i]].key == key)
            return static_cast<int>(i) + 1;
    }
    return -1;
}

int DataSet::displayRecNo(int displayRow) const
{
    if (m_state == DataSetState::Insert || displayRow < 0 || displayRow >= static_cast<int>(m_view.size()))
        return -1;
    return displayRow + 1;
}

} // namespace velkora::store
