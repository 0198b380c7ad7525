// A data source: the point where bound controls and detail record sets attach to a record set.
#include "datasource.h"

namespace velkora::store {

DataSource::DataSource(QObject *parent) : QObject(parent) {}

DataSource::~DataSource()
{
    if (m_dataSet)
        m_dataSet->removeSource(this);
    const QList<DataLink *> links = m_links;
    for (DataLink *link : links)
        link->setDataSource(nullptr);
}

void DataSource::setDataSet(DataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->removeSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->addSource(this);
    dataEvent(DataEvent::UpdateState, nullptr, 0);
}

DataSetState DataSource::state() const
{
    return m_dataSet && m_enabled ? m_dataSet->state() : DataSetState::Inactive;
}

void DataSource::edit()
{
    if (m_autoEdit && state() == DataSetState::Browse)
        m_dataSet->edit();
}

void DataSource::addLink(DataLink *link)
{
    m_links.append(link);
}

void DataSource::removeLink(DataLink *link)
{
    m_links.removeAll(link);
}

void DataSource::dataEvent(DataEvent event, Field *field, int info)
{
    const QList<DataLink *> links = m_links;
    const auto notify = [&](bool details) {
        for (DataLink *link : links) {
            if (link->isDetailLink() == details && m_links.contains(link))
                link->dataEvent(event, field, info);
        }
    };
    if (event == DataEvent::UpdateState) {
        const DataSetState now = state();
        notify(true);
        notify(false);
        if (now != m_state) {
            m_state = now;
            Q_EMIT stateChanged();
        }
        return;
    }
    if (m_state == DataSetState::Inactive && !(m_dataSet && m_dataSet->active()))
        return;
    notify(true);
    notify(false);
    switch (event) {
    case DataEvent::FieldChange:
    case DataEvent::RecordChange:
        Q_EMIT dataChanged(field);
        break;
    case DataEvent::DataSetChange:
    case DataEvent::DataSetScroll:
    case DataEvent::LayoutChange:
        Q_EMIT dataChanged(nullptr);
        break;
    case DataEvent::UpdateRecord:
        Q_EMIT updateData();
        break;
    default:
        break;
    }
}

} // namespace velkora::store
