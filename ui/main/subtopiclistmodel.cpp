// The subtopic query's rows as a list model: one column, the titles.
#include "subtopiclistmodel.h"

#include "store/field.h"

namespace velkora::ui {

SubtopicListModel::SubtopicListModel(store::DataSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    const auto reset = [this] {
        beginResetModel();
        endResetModel();
    };
    connect(source, &store::DataSource::dataChanged, this, reset);
    connect(source, &store::DataSource::stateChanged, this, reset);
}

int SubtopicListModel::rowCount(const QModelIndex &parent) const
{
    const store::DataSet *set = m_source->dataSet();
    return parent.isValid() || !set || !set->active() ? 0 : set->displayRowCount();
}

int SubtopicListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

Qt::ItemFlags SubtopicListModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool SubtopicListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    store::DataSet *set = m_source->dataSet();
    if (role != Qt::EditRole || !set || !set->active() || index.row() != set->currentDisplayRow())
        return false;
    store::Field *title = set->findField(u"Altkonu");
    if (!title || title->asString() == value.toString())
        return false;
    if (set->state() == store::DataSetState::Browse)
        m_source->edit();
    title->setAsString(value.toString());
    return true;
}

QVariant SubtopicListModel::data(const QModelIndex &index, int role) const
{
    const store::DataSet *set = m_source->dataSet();
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !set || !set->active())
        return QVariant();
    const store::Field *title = set->findField(u"Altkonu");
    return title ? set->displayValue(index.row(), title->index()).toString() : QVariant();
}

QVariant SubtopicListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral(" Alt Konular");
    return QVariant();
}

} // namespace velkora::ui
