// Links between a data source and what follows it: bound controls and detail record sets.
#include "datalink.h"

#include "datasource.h"

namespace velkora::store {

DataLink::~DataLink()
{
    if (m_source)
        m_source->removeLink(this);
}

void DataLink::setDataSource(DataSource *source)
{
    if (source == m_source)
        return;
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    updateState();
}

DataSet *DataLink::dataSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

void DataLink::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    updateState();
}

bool DataLink::edit()
{
    if (!m_readOnly && m_source)
        m_source->edit();
    return m_editing;
}

void DataLink::updateRecord()
{
    if (DataSet *set = dataSet())
        set->updateRecord();
}

void DataLink::updateState()
{
    const bool active = m_source && m_source->enabled() && m_source->dataSet() && m_source->dataSet()->active();
    if (active != m_active) {
        m_active = active;
        activeChanged();
    }
    const DataSetState state = m_source ? m_source->state() : DataSetState::Inactive;
    const bool editing = (state == DataSetState::Edit || state == DataSetState::Insert) && !m_readOnly;
    if (editing != m_editing) {
        m_editing = editing;
        editingChanged();
    }
}

void DataLink::dataEvent(DataEvent event, Field *field, int info)
{
    switch (event) {
    case DataEvent::FieldChange:
    case DataEvent::RecordChange:
        if (!m_updating)
            recordChanged(field);
        break;
    case DataEvent::DataSetChange:
        dataSetChanged();
        break;
    case DataEvent::DataSetScroll:
        dataSetScrolled(info);
        break;
    case DataEvent::LayoutChange:
        layoutChanged();
        break;
    case DataEvent::UpdateRecord:
        m_updating = true;
        try {
            updateData();
        } catch (...) {
            m_updating = false;
            throw;
        }
        m_updating = false;
        break;
    case DataEvent::UpdateState:
        updateState();
        break;
    case DataEvent::CheckBrowseMode:
        checkBrowseMode();
        break;
    case DataEvent::FocusControl:
        focusControl(field);
        break;
    }
}

void FieldDataLink::setFieldName(const QString &name)
{
    if (m_fieldName == name)
        return;
    m_fieldName = name;
    updateField();
}

bool FieldDataLink::canModify() const
{
    return !readOnly() && m_field && m_field->canModify();
}

bool FieldDataLink::edit()
{
    if (canModify())
        DataLink::edit();
    return m_fieldEditing;
}

void FieldDataLink::activeChanged()
{
    updateField();
    if (onActiveChange)
        onActiveChange();
}

void FieldDataLink::layoutChanged()
{
    updateField();
}

void FieldDataLink::recordChanged(Field *field)
{
    if (field == nullptr || field == m_field) {
        if (onDataChange)
            onDataChange();
        m_modified = false;
    }
}

void FieldDataLink::editingChanged()
{
    setFieldEditing(DataLink::editing() && canModify());
}

void FieldDataLink::updateData()
{
    if (m_modified) {
        if (m_field && onUpdateData)
            onUpdateData();
        m_modified = false;
    }
}

void FieldDataLink::updateField()
{
    Field *found = nullptr;
    if (active() && !m_fieldName.isEmpty())
        found = dataSet()->findField(m_fieldName);
    setField(found);
}

void FieldDataLink::setField(Field *field)
{
    if (m_field == field)
        return;
    m_field = field;
    editingChanged();
    recordChanged(nullptr);
}

void FieldDataLink::setFieldEditing(bool editing)
{
    if (m_fieldEditing == editing)
        return;
    m_fieldEditing = editing;
    m_modified = false;
    if (onEditingChange)
        onEditingChange();
}

} // namespace velkora::store
