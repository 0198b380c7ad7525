// The topic selector: a drop-down list of the topic query's titles that moves the topic query.
#include "topicselector.h"

#include "messagedialogs.h"
#include "store/dataset.h"
#include "store/field.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QStringDecoder>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

namespace velkora::ui {

TopicSelector::TopicSelector(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setFrameShape(QFrame::Box);
    auto *layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(1, 1, 1, 1);
    m_list = new QListWidget(m_popup);
    m_list->setObjectName(QStringLiteral("TopicList"));
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    m_popup->installEventFilter(this);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        // Every move of the highlight moves the topic query at once.
        store::DataSet *set = topics();
        if (!m_closing && row >= 0 && set && set->active() && row < set->recordCount() && set->recNo() != row + 1)
            guarded([&] { set->setRecNo(row + 1); }, this);
    });
}

TopicSelector::~TopicSelector() = default;

void TopicSelector::setDataSource(store::DataSource *source)
{
    m_source = source;
    m_lastState = topics() ? topics()->state() : store::DataSetState::Inactive;
    connect(source, &store::DataSource::stateChanged, this, [this] {
        // Opened again: the value is located once more and shown, or nothing is shown. A post, a
        // cancel or a delete moves nothing here: the selector keeps showing the title it had.
        store::DataSet *set = topics();
        const bool reopened = m_lastState == store::DataSetState::Inactive;
        m_lastState = set ? set->state() : store::DataSetState::Inactive;
        if (reopened && set && set->active() && set->state() == store::DataSetState::Browse && !m_value.isEmpty() && !listOpen()) {
            const QString value = m_value;
            if (!locate(value, false)) {
                m_value.clear();
                m_shown.clear();
            }
            update();
        }
    });
}

bool TopicSelector::listOpen() const
{
    return m_popup->isVisible();
}

QSize TopicSelector::sizeHint() const
{
    return QSize(160, 21);
}

QString TopicSelector::currentTitle() const
{
    const store::DataSet *set = topics();
    const store::Field *f = set && set->active() ? set->findField(u"Baslik") : nullptr;
    return f ? f->asString() : QString();
}

bool TopicSelector::locate(const QString &title, bool prefix)
{
    store::DataSet *set = topics();
    if (!set || !set->active())
        return false;
    bool found = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    guarded([&] { found = set->locate(QStringLiteral("Baslik"), title, true, prefix); }, this);
    QApplication::restoreOverrideCursor();
    return found;
}

void TopicSelector::chooseValue(const QString &title)
{
    m_value = title;
    if (locate(title, false)) {
        m_shown = currentTitle();
    } else {
        m_shown.clear();
        m_value.clear();
    }
    update();
}

void TopicSelector::setDisplayText(const QString &title)
{
    if (title == m_shown)
        return;
    m_shown = title;
    if (locate(title, false)) {
        m_value = currentTitle();
        m_shown = m_value;
    } else {
        m_value.clear();
        m_shown.clear();
    }
    update();
}

void TopicSelector::fillList()
{
    m_closing = true;
    m_list->clear();
    const store::DataSet *set = topics();
    const store::Field *f = set && set->active() ? set->findField(u"Baslik") : nullptr;
    if (f) {
        // The topics themselves: a new topic not yet saved has no row here, so list row r is
        // always the topic with record number r + 1.
        const bool inserting = set->state() == store::DataSetState::Insert;
        const int rowHeight = listRowHeight();
        for (int r = 0; r < set->displayRowCount(); ++r) {
            if (inserting && r == set->currentDisplayRow())
                continue;
            auto *item = new QListWidgetItem(set->displayValue(r, f->index()).toString(), m_list);
            item->setSizeHint(QSize(width(), rowHeight));
        }
    }
    m_closing = false;
}

void TopicSelector::openList()
{
    if (m_readOnly || listOpen())
        return;
    // A pending change of the topic query is settled first, as every locate does, so the list
    // holds the topics as they are.
    if (store::DataSet *set = topics(); set && set->active() && set->state() != store::DataSetState::Browse) {
        if (!guarded([&] { set->checkBrowseMode(); }, this))
            return;
    }
    // The list takes the selector's colours and font.
    m_list->setFont(font());
    QPalette colours = m_list->palette();
    colours.setColor(QPalette::Base, palette().color(QPalette::Base));
    colours.setColor(QPalette::Text, palette().color(QPalette::Text));
    m_list->setPalette(colours);
    fillList();
    // Always 18 rows; below the selector, or above it when the screen has no room below, and
    // moved left as far as needed to stay on the screen.
    m_popup->resize(width(), listRowHeight() * ListRows + 2 + 2 * m_list->frameWidth());
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + m_popup->height() > area.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - m_popup->height());
        if (at.x() + m_popup->width() > area.right())
            at.setX(std::max(area.left(), area.right() - m_popup->width()));
    }
    m_popup->move(at);
    m_closing = true;
    m_list->setCurrentRow(valueRow());
    if (m_list->currentItem())
        m_list->scrollToItem(m_list->currentItem(), QAbstractItemView::PositionAtCenter);
    m_closing = false;
    m_popup->show();
    m_list->setFocus();
}

int TopicSelector::listRowHeight() const
{
    return std::max(QFontMetrics(font()).height() + 2, 14);
}

int TopicSelector::valueRow() const
{
    // The selector's value, the current topic first when it has that title.
    const store::DataSet *set = topics();
    if (m_value.isEmpty() || !set)
        return -1;
    const int current = set->recNo() - 1;
    if (current >= 0 && current < m_list->count() && m_list->item(current)->text().compare(m_value, Qt::CaseInsensitive) == 0)
        return current;
    for (int r = 0; r < m_list->count(); ++r) {
        if (m_list->item(r)->text().compare(m_value, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}

void TopicSelector::closeList(bool choose)
{
    if (!listOpen())
        return;
    const int row = m_list->currentRow();
    m_closing = true;
    m_popup->hide();
    m_closing = false;
    m_typeAhead.clear();
    setFocus();
    if (choose && row >= 0 && row < m_list->count()) {
        const QString title = m_list->item(row)->text();
        if (title != m_value)
            chooseValue(title);
    }
    update();
}

void TopicSelector::highlight(int row)
{
    if (row >= 0 && row < m_list->count())
        m_list->setCurrentRow(row);
}

void TopicSelector::step(int direction)
{
    store::DataSet *set = topics();
    if (m_readOnly || !set || !set->active())
        return;
    guarded([&] {
        if (locate(m_value, false))
            set->moveBy(direction); // at either end the step stays on the end topic
        else
            set->first();
    }, this);
    m_value = currentTitle();
    m_shown = m_value;
    update();
}

void TopicSelector::typeAheadKey(const QString &typed, bool backspace)
{
    QString text = m_typeAhead;
    if (backspace)
        text.chop(1);
    else if (text.size() < MaxTypeAhead)
        text += typed;
    else
        return;
    store::DataSet *set = topics();
    if (!set || !set->active())
        return;
    if (text.isEmpty()) {
        guarded([&] { set->first(); }, this);
        chooseValue(currentTitle());
        m_typeAhead.clear();
    } else if (locate(text, true)) {
        const QString found = currentTitle();
        chooseValue(found);
        m_typeAhead = found.left(text.size()); // takes the title's letter case
    } else {
        return; // nothing matches: the character is not kept
    }
    m_closing = true;
    m_list->setCurrentRow(set->recNo() - 1);
    m_closing = false;
    update();
}

void TopicSelector::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = false;
    option.currentText = displayText();
    // Focused with the list closed: the system's highlight colours; otherwise its own.
    const bool highlighted = hasFocus() && !listOpen();
    option.palette.setColor(QPalette::Button, highlighted ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base));
    option.palette.setColor(QPalette::ButtonText,
                            highlighted ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
    p.fillRect(rect(), highlighted ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base));
    style()->drawComplexControl(QStyle::CC_ComboBox, &option, &p, this);
    p.setPen(option.palette.color(QPalette::ButtonText));
    p.drawText(rect().adjusted(4, 0, -20, 0), Qt::AlignLeft | Qt::AlignVCenter, displayText());
}

void TopicSelector::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus();
    if (listOpen())
        closeList(false);
    else
        openList();
}

namespace {

// The printable characters of the Turkish Windows code page (1254), codes 32 to 255: ş, ı, ğ, İ,
// Ş and Ğ among them, as they are the letters of the titles.
bool isTypeAheadCharacter(QChar c)
{
    static const QString table = [] {
        QByteArray bytes;
        for (int b = 32; b <= 255; ++b)
            bytes.append(char(b));
        QStringDecoder decode("windows-1254");
        return QString(decode(bytes));
    }();
    return c.isPrint() && table.contains(c);
}

} // namespace

void TopicSelector::keyPressEvent(QKeyEvent *event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int key = event->key();
    if (alt && (key == Qt::Key_Down || key == Qt::Key_Up)) {
        openList();
        return;
    }
    if (m_readOnly) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        step(key == Qt::Key_Up ? -1 : 1);
        return;
    }
    if (key == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && !m_value.isEmpty()) {
        m_value.clear();
        m_shown.clear(); // the topic query does not move
        update();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && isTypeAheadCharacter(text.at(0))) {
        openList();
        typeAheadKey(text, false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TopicSelector::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::AltModifier) {
        listOpen() ? closeList(true) : openList();
    } else {
        step(event->angleDelta().y() > 0 ? -1 : 1);
    }
    event->accept();
}

void TopicSelector::focusOutEvent(QFocusEvent *event)
{
    // The list opening takes the focus into itself; any other loss of the focus closes it unchosen.
    if (listOpen() && event->reason() != Qt::PopupFocusReason && !m_popup->isAncestorOf(QApplication::focusWidget()))
        closeList(false);
    QWidget::focusOutEvent(event);
    update();
}

bool TopicSelector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_popup && event->type() == QEvent::Hide && !m_closing) {
        // Closed by a click elsewhere: without choosing.
        m_typeAhead.clear();
        update();
        return false;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool alt = key->modifiers() & Qt::AltModifier;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            closeList(true);
            return true;
        case Qt::Key_Escape:
            closeList(false);
            return true;
        case Qt::Key_Tab:
            m_typeAhead.clear();
            update();
            return true;
        case Qt::Key_Backspace:
            typeAheadKey(QString(), true);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (alt) {
                closeList(true);
                return true;
            }
            return false; // the list moves its highlight, and the topic query with it
        default:
            break;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && !(key->modifiers() & Qt::ControlModifier)) {
            typeAheadKey(text, false);
            return true;
        }
    }
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // Releasing the left button inside the list chooses the highlighted topic.
        closeList(true);
        return true;
    }
    if (watched == m_list->viewport() && event->type() == QEvent::Wheel
        && (static_cast<QWheelEvent *>(event)->modifiers() & Qt::AltModifier)) {
        closeList(true);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velkora::ui
