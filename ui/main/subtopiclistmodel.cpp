// The subtopic query's rows as a list model: one column, the titles.
#include "subtopiclistmodel.h"

#include "store/field.h"

namespace velkora::ui {

SubtopicListModel::SubtopicListModel(store::DataSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    // With the same rows, the titles are only drawn again: a title being typed into its cell keeps
    // its editor when the subtopic enters edit state or a field changes.
    const auto follow = [this] {
        const int rows = rowCount();
        if (rows == m_rows && rows > 0) {
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, 0));
            return;
        }
        beginResetModel();
        m_rows = rows;
        endResetModel();
    };
    connect(source, &store::DataSource::dataChanged, this, follow);
    connect(source, &store::DataSource::stateChanged, this, follow);
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
