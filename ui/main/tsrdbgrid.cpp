// The subtopic list: a data grid over the subtopic query, drawn in alternating colours with the
// current row in its own, stepping with the wheel, and editing titles in place.
#include "tsrdbgrid.h"

#include "messagedialogs.h"
#include "subtopiclistmodel.h"

#include "store/dataset.h"
#include "store/field.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

namespace velkora::ui {

namespace {

// Draws each cell itself: no focus rectangle, the colours of TSrDBGrid, a 2-pixel margin.
class RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(TSrDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        p->fillRect(option.rect, m_grid->rowBackground(index.row()));
        p->setPen(m_grid->rowText(index.row()));
        p->setFont(m_grid->font());
        p->drawText(option.rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        // Only the current subtopic's title is edited in place (a double click after a save that
        // re-sorted the list may land on another row).
        const store::DataSet *set = m_grid->dataSource() ? m_grid->dataSource()->dataSet() : nullptr;
        if (!set || index.row() != set->currentDisplayRow())
            return nullptr;
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        m_grid->attachTitleEditor(editor);
        return editor;
    }

    // The cell shows the title once, as it opens: redrawing the list while a title is typed (the
    // subtopic entering edit state) must not put the stored title back over the typing.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (editor->property("filled").toBool())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
        editor->setProperty("filled", true);
    }

private:
    TSrDBGrid *m_grid;
};

} // namespace

TSrDBGrid::TSrDBGrid(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new RowDelegate(this));
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    // The title row has a font of its own: the list's bold and italic buttons leave it as it is.
    QFont title = font();
    title.setBold(false); // set, not inherited: the parent's style no longer reaches the title row
    title.setItalic(false);
    horizontalHeader()->setFont(title);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(false);
    setShowGrid(true);
    confirmDelete = [this] {
        return messageDlg(QStringLiteral("Delete record?"), MessageKind::Confirmation, ButtonOk | ButtonCancel, this) ==
               ButtonOk;
    };
}

void TSrDBGrid::setDataSource(store::DataSource *source)
{
    m_source = source;
    m_titleLink.setDataSource(source);
    m_titleLink.setFieldName(QStringLiteral("Altkonu"));
    m_titleLink.onUpdateData = [this] {
        if (store::Field *f = m_titleLink.field(); f && m_titleEditor)
            f->setAsString(m_titleEditor->text());
    };
    // A post or a cancel ends the cell's editing; what it held is in the record (or dropped).
    m_titleLink.onEditingChange = [this] {
        if (!m_titleLink.fieldEditing() && m_titleEditor)
            closeEditor(m_titleEditor, QAbstractItemDelegate::NoHint);
    };
    auto *model = new SubtopicListModel(source, this);
    setModel(model);
    connect(source, &store::DataSource::dataChanged, this, [this] { followDataSet(); });
    connect(source, &store::DataSource::stateChanged, this, [this] { followDataSet(); });
}

void TSrDBGrid::attachTitleEditor(QLineEdit *editor)
{
    m_titleEditor = editor;
    m_editorRow = dataSet() ? dataSet()->currentDisplayRow() : -1;
    m_editorKey = dataSet() ? dataSet()->displayKey(m_editorRow) : 0;
    const store::Field *f = m_titleLink.field();
    // As long as the field holds, as the topic title box does: longer typed or pasted text is cut.
    editor->setMaxLength(f && f->size() > 0 ? f->size() : 32767);
    editor->installEventFilter(this);
    connect(editor, &QLineEdit::textEdited, this, [this] { m_titleLink.modified(); });
}

bool TSrDBGrid::startTitleEditing()
{
    bool editing = false;
    guarded([&] { editing = m_titleLink.edit(); }, this);
    return editing;
}

bool TSrDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    // Every key that changes the cell's text starts editing first, like the other bound controls.
    if (watched == m_titleEditor && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool changes = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
                             key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
                             (!key->text().isEmpty() && key->text().at(0).isPrint() &&
                              !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
        if (changes && !m_titleLink.fieldEditing() && !startTitleEditing()) {
            QApplication::beep();
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void TSrDBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_titleLink.setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers : QAbstractItemView::DoubleClicked);
}

void TSrDBGrid::setBackground(const QColor &color)
{
    m_background = color;
    viewport()->update();
}

void TSrDBGrid::setTextColor(const QColor &color)
{
    m_text = color;
    viewport()->update();
}

QColor TSrDBGrid::rowBackground(int row) const
{
    const store::DataSet *set = dataSet();
    if (set && row == set->currentDisplayRow())
        return ColorSelect;
    // Record number -1 (inserting) counts as odd: no row is drawn in the alternate colour then.
    if (set && set->displayRecNo(row) > 0 && set->displayRecNo(row) % 2 == 0)
        return ColorAlternative;
    return m_background;
}

QColor TSrDBGrid::rowText(int row) const
{
    const store::DataSet *set = dataSet();
    return set && row == set->currentDisplayRow() ? ColorSelectText : m_text;
}

void TSrDBGrid::followDataSet()
{
    const store::DataSet *set = dataSet();
    // Another subtopic current (a move, another topic's list, a re-sort): the cell's editor goes.
    if (m_titleEditor && (!set || !set->active() || set->currentDisplayRow() != m_editorRow
                          || set->displayKey(set->currentDisplayRow()) != m_editorKey))
        closeEditor(m_titleEditor, QAbstractItemDelegate::NoHint);
    if (!set || !set->active() || m_following)
        return;
    const int row = set->currentDisplayRow();
    if (row >= 0 && row < model()->rowCount())
        scrollTo(model()->index(row, 0));
    viewport()->update();
}

bool TSrDBGrid::canChange() const
{
    const store::DataSet *set = dataSet();
    return !m_readOnly && set && set->canModify();
}

bool TSrDBGrid::untouchedInsert() const
{
    const store::DataSet *set = dataSet();
    return set && set->state() == store::DataSetState::Insert && !set->modified();
}

void TSrDBGrid::run(const std::function<void()> &step)
{
    // A failed move, post or delete is shown; the list repaints from the query afterwards.
    guarded(step, this);
    viewport()->update();
}

void TSrDBGrid::editTitle(const QString &typed)
{
    store::DataSet *set = dataSet();
    if (!set || !set->active() || !canChange())
        return;
    const int row = std::max(0, set->currentDisplayRow());
    if (row >= model()->rowCount())
        return;
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    edit(index);
    if (m_titleEditor && !typed.isEmpty()) {
        if (!startTitleEditing() || !m_titleEditor)
            return;
        m_titleEditor->setText(typed);
        m_titleLink.modified();
    }
}

bool TSrDBGrid::event(QEvent *event)
{
    // Tab moves between rows here, not to the next control.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && !(key->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QTableView::event(event);
}

void TSrDBGrid::keyPressEvent(QKeyEvent *event)
{
    store::DataSet *set = dataSet();
    if (!set || !set->active()) {
        QTableView::keyPressEvent(event);
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int visible = std::max(1, viewport()->height() / std::max(1, rowHeight(0)));
    switch (event->key()) {
    case Qt::Key_Up:
        run([&] {
            if (untouchedInsert())
                set->cancel(); // moving away from an untouched new subtopic drops it
            else
                set->prior();
        });
        return;
    case Qt::Key_Down:
        run([&] {
            if (untouchedInsert()) {
                // Down away from an untouched new subtopic drops it; at the end it does nothing.
                if (set->currentDisplayRow() < set->displayRowCount() - 1)
                    set->cancel();
            } else if (set->isEmpty() || set->recNo() == set->recordCount()) {
                if (canChange())
                    set->append(); // Down on the last subtopic appends an empty one
            } else {
                set->next();
            }
        });
        return;
    case Qt::Key_PageUp:
        run([&] { set->moveBy(-visible); });
        return;
    case Qt::Key_PageDown:
        run([&] { set->moveBy(visible); });
        return;
    case Qt::Key_Home:
        run([&] { set->first(); });
        return;
    case Qt::Key_End:
        run([&] { set->last(); });
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        run([&] {
            if (event->key() == Qt::Key_Backtab || shift) {
                set->prior();
            } else {
                set->next();
                if (set->eof() && canChange() && set->state() != store::DataSetState::Insert)
                    set->append();
            }
        });
        return;
    case Qt::Key_Insert:
        if (canChange())
            run([&] { set->insert(); });
        return;
    case Qt::Key_Delete:
        if (ctrl) {
            if (!canChange() || set->isEmpty())
                return; // nothing to delete
            if (confirmDelete && confirmDelete())
                run([&] { set->remove(); }); // the list's own question, not the program's
            return;
        }
        break;
    case Qt::Key_F2:
        editTitle(QString());
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Not editing: Enter switches in-place editing on (while editing, the cell's editor takes it
        // and writes the title into the record).
        editTitle(QString());
        return;
    case Qt::Key_Escape:
        run([&] { set->cancel(); }); // nothing typed in the cell: the edit or insert goes
        return;
    default:
        break;
    }
    if (!event->text().isEmpty() && event->text().at(0).isPrint() && !ctrl) {
        editTitle(event->text());
        return;
    }
    QTableView::keyPressEvent(event);
}

void TSrDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter writes the title into the record (saved later, when the subtopic is left or saved).
    const bool title = editor == m_titleEditor;
    if (title)
        m_titleEditor = nullptr;
    // Tab and Shift+Tab in the cell go on to the next or previous subtopic, as they do outside it;
    // leaving the row saves the title.
    const bool tab = title && (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem);
    QTableView::closeEditor(editor, tab ? QAbstractItemDelegate::NoHint : hint);
    viewport()->update();
    if (tab) {
        QKeyEvent key(QEvent::KeyPress, hint == QAbstractItemDelegate::EditNextItem ? Qt::Key_Tab : Qt::Key_Backtab,
                      Qt::NoModifier);
        keyPressEvent(&key);
    }
}

void TSrDBGrid::wheelEvent(QWheelEvent *event)
{
    const bool down = event->angleDelta().y() < 0;
    const auto &hook = down ? OnMouseWheelDown : OnMouseWheelUp;
    if (hook && hook(event->modifiers(), event->position().toPoint())) {
        event->accept();
        return;
    }
    store::DataSet *set = dataSet();
    if (set && set->active()) {
        int moved = 0;
        run([&] { moved = set->moveBy(down ? MoveByRows : -MoveByRows); });
        if (moved != 0) {
            event->accept();
            return;
        }
    }
    event->ignore();
}

void TSrDBGrid::mousePressEvent(QMouseEvent *event)
{
    QTableView::mousePressEvent(event);
    store::DataSet *set = dataSet();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!set || !set->active() || !index.isValid())
        return;
    const int target = index.row();
    if (target == set->currentDisplayRow())
        return;
    run([&] {
        // The clicked subtopic is the one to make current, wherever settling the current one
        // (dropping a new row, or saving a title that sorts elsewhere) puts it.
        const qint64 clicked = set->displayKey(target);
        set->checkBrowseMode();
        const int recNo = set->recNoOfKey(clicked);
        if (recNo > 0)
            set->setRecNo(recNo);
    });
}

void TSrDBGrid::focusOutEvent(QFocusEvent *event)
{
    // Leaving the list drops an untouched new subtopic.
    if (untouchedInsert() && !(QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget())))
        run([&] { dataSet()->cancel(); });
    QTableView::focusOutEvent(event);
}

} // namespace velkora::ui
