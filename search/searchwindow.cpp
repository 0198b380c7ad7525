// The window that searches every body of the book.
#include "searchwindow.h"

#include "platform/database/database.h"
#include "platform/database/databaseerror.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QTextLayout>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace velkora::search {

namespace {

// A pause in typing this long runs the query.
constexpr int TypingPauseMs = 120;

QString hitsText(int hits)
{
    return hits == 1 ? QStringLiteral("1 eşleşme") : QStringLiteral("%1 eşleşme").arg(hits);
}

} // namespace

void ResultModel::setResults(QVector<SearchResult> results)
{
    beginResetModel();
    m_results = std::move(results);
    endResetModel();
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QString ResultModel::place(const SearchResult &r)
{
    return r.topicTitle + QStringLiteral(" › ") + r.subtopicTitle;
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_results.size())
        return {};
    const SearchResult &r = m_results[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return place(r) + QStringLiteral(" (") + hitsText(r.hits) + QStringLiteral("): ") + r.snippet.text;
    case Qt::ToolTipRole:
        return r.snippet.text;
    default:
        return {};
    }
}

QSize ResultDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    // The place line, then two snippet lines whose marked words may stand taller than plain text.
    const QFontMetrics metrics(option.font);
    return QSize(200, 3 * metrics.lineSpacing() + 16);
}

void ResultDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const ResultModel *>(index.model());
    if (!model || index.row() >= model->results().size())
        return;
    const SearchResult &r = model->results()[index.row()];
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    if (selected)
        painter->fillRect(option.rect, palette.highlight());
    else if (index.row() % 2)
        painter->fillRect(option.rect, palette.alternateBase());
    const QColor text = selected ? palette.highlightedText().color() : palette.text().color();
    const QRect area = option.rect.adjusted(6, 4, -6, -4);
    const QFontMetrics metrics(option.font);
    const int line = metrics.lineSpacing();

    // First line: where the subtopic is, and at the right how often the query answers in it.
    const QString hits = hitsText(r.hits);
    QFont small = option.font;
    const int hitsWidth = QFontMetrics(small).horizontalAdvance(hits);
    QFont bold = option.font;
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(text);
    const QRect placeRect(area.left(), area.top(), area.width() - hitsWidth - 12, line);
    painter->drawText(placeRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(bold).elidedText(ResultModel::place(r), Qt::ElideRight, placeRect.width()));
    painter->setFont(small);
    painter->setPen(selected ? text : palette.color(QPalette::Disabled, QPalette::Text));
    painter->drawText(QRect(area.right() - hitsWidth, area.top(), hitsWidth, line), Qt::AlignRight | Qt::AlignVCenter, hits);

    // Then the snippet over at most two lines, the matched words marked.
    QTextLayout layout(r.snippet.text, option.font);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    QList<QTextLayout::FormatRange> marks;
    for (const Hit &h : r.snippet.marks) {
        QTextLayout::FormatRange range;
        range.start = int(h.start);
        range.length = int(h.end - h.start);
        range.format.setFontWeight(QFont::Bold);
        range.format.setBackground(QColor(255, 226, 120));
        range.format.setForeground(QColor(Qt::black));
        marks.append(range);
    }
    layout.setFormats(marks);
    layout.beginLayout();
    qreal y = 0;
    for (int n = 0; n < 2; ++n) {
        QTextLine l = layout.createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(area.width());
        l.setPosition(QPointF(0, y));
        y += l.height();
    }
    layout.endLayout();
    painter->setPen(text);
    painter->setClipRect(QRect(area.left(), area.top() + line, area.width(), area.height() - line));
    layout.draw(painter, QPointF(area.left(), area.top() + line + 2));
    painter->restore();
    if (option.state & QStyle::State_HasFocus) {
        painter->save();
        painter->setPen(QPen(text, 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }
}

SearchWindow::SearchWindow(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("KitaptaAraForm"));
    setWindowTitle(QStringLiteral("Kitapta Ara"));
    resize(560, 460);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    auto *label = new QLabel(QStringLiteral("Bütün altkonuların başlıklarında ve metinlerinde &aranacak sözcükler:"), this);
    layout->addWidget(label);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("Query"));
    m_query->setClearButtonEnabled(true);
    m_query->setMaxLength(1000);
    label->setBuddy(m_query);
    layout->addWidget(m_query);
    m_hint = new QLabel(QStringLiteral("kitap: kitabı, kitaplar…   kita*: kita ile başlayanlar   \"fiil cümlesi\": "
                                       "bu sırayla   -fiil: içermeyenler"),
                        this);
    m_hint->setObjectName(QStringLiteral("Hint"));
    m_hint->setWordWrap(true);
    QPalette grey = m_hint->palette();
    grey.setColor(QPalette::WindowText, grey.color(QPalette::Disabled, QPalette::WindowText));
    m_hint->setPalette(grey);
    layout->addWidget(m_hint);
    m_model = new ResultModel(this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("Results"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ResultDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_list, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_status);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(TypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, &SearchWindow::runQuery);
    connect(m_query, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex &index) {
        m_list->setCurrentIndex(index);
        openCurrent();
    });
    m_query->installEventFilter(this);
    m_list->installEventFilter(this);
    showStatus();
}

void SearchWindow::showWith(const QString &seed)
{
    const QString text = seed.simplified();
    if (!text.isEmpty() && text != m_query->text())
        m_query->setText(text);
    if (!m_placed && parentWidget()) {
        // The first time over the right part of the editor, so the subtopic list stays in sight.
        const QRect main = parentWidget()->window()->frameGeometry();
        move(qMax(main.left(), main.right() - width() - 40), main.top() + 90);
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
    m_query->setFocus();
    m_query->selectAll();
    runQuery();
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == m_query) {
        if (enter) {
            if (m_typing->isActive())
                runQuery();
            openCurrent();
            return true;
        }
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown) && m_model->rowCount() > 0) {
            if (m_typing->isActive())
                runQuery();
            m_list->setFocus();
            const int row = m_list->currentIndex().isValid() ? std::min(m_list->currentIndex().row() + 1, m_model->rowCount() - 1) : 0;
            m_list->setCurrentIndex(m_model->index(row));
            return true;
        }
    } else if (watched == m_list) {
        if (enter) {
            openCurrent();
            return true;
        }
        if (key->key() == Qt::Key_Up && m_list->currentIndex().row() <= 0) {
            m_query->setFocus();
            return true;
        }
    }
    if (key->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The query thread's object: its connection to the book.
class SearchWindow::Asker : public QObject
{
public:
    std::unique_ptr<database::Database> connection;
};

SearchWindow::Answer SearchWindow::answer(database::Database *db, const QString &text)
{
    Answer a;
    const Query query = parseQuery(text);
    if (query.isEmpty()) {
        a.outcome = text.trimmed().isEmpty() || query.parts.isEmpty()
                        ? QString()
                        : QStringLiteral("Bulunacak bir sözcük de yazın: -sözcük yalnızca sonuçlardan çıkarır.");
        return a;
    }
    if (!db) {
        a.outcome = QStringLiteral("Kitap açık değil.");
        return a;
    }
    try {
        if (!holdsIndex(*db))
            return a; // the index's state says it
        a.results = searchBook(*db, query, Limit + 1);
        const QString last = text.simplified().section(u' ', -1);
        if (a.results.isEmpty() && !text.contains(u'*') && !text.contains(u'"') && !last.startsWith(u'-'))
            // A part of a word (as the title search takes it) finds nothing by itself: say how.
            a.outcome = QStringLiteral("Bulunamadı. Sözcüklerin başını aramak için sonlarına * koyun (örneğin %1*).").arg(last);
        else if (a.results.isEmpty())
            a.outcome = QStringLiteral("Bulunamadı.");
        else if (a.results.size() > Limit)
            a.outcome = QStringLiteral("En iyi %1 altkonu gösteriliyor.").arg(Limit);
        else
            a.outcome = QStringLiteral("%1 altkonu bulundu.").arg(a.results.size());
        if (a.results.size() > Limit)
            a.results.resize(Limit);
    } catch (const database::DatabaseError &e) {
        a.failed = true;
        a.outcome = QStringLiteral("Arama yapılamadı: %1").arg(e.message());
    } catch (const std::exception &e) {
        a.failed = true;
        a.outcome = QStringLiteral("Arama yapılamadı: %1").arg(QString::fromLocal8Bit(e.what()));
    }
    return a;
}

void SearchWindow::runQuery()
{
    m_typing->stop();
    if (m_stage == IndexStage::Unavailable && !(database && database())) {
        // Nothing to search: the status says why.
        m_outcome.clear();
        showStatus();
        return;
    }
    if (openConnection) {
        ask(m_query->text());
        return;
    }
    m_answered = ++m_asked;
    showAnswer(answer(database ? database() : nullptr, m_query->text()));
}

void SearchWindow::ask(const QString &text)
{
    if (!m_thread) {
        m_wanted = std::make_shared<std::atomic<int>>(0);
        m_thread = new QThread(this);
        m_asker = new Asker;
        m_asker->moveToThread(m_thread);
        m_thread->start();
    }
    const int number = ++m_asked;
    m_wanted->store(number);
    QPointer<SearchWindow> window(this);
    auto wanted = m_wanted;
    auto open = openConnection;
    QMetaObject::invokeMethod(m_asker, [asker = m_asker, window, wanted, open, number, text] {
        if (wanted->load() != number)
            return; // typed on since: the newer query follows
        // The thread's own connection, opened with its first query and closed with the window.
        Answer a;
        if (!asker->connection) {
            try {
                asker->connection = open();
            } catch (const database::DatabaseError &e) {
                a.failed = true;
                a.outcome = QStringLiteral("Arama yapılamadı: %1").arg(e.message());
            }
        }
        if (asker->connection)
            a = answer(asker->connection.get(), text);
        QMetaObject::invokeMethod(
            window,
            [window, number, a] {
                if (window && number == window->m_asked) {
                    window->m_answered = number;
                    window->showAnswer(a);
                }
            },
            Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

SearchWindow::~SearchWindow()
{
    if (m_thread) {
        m_wanted->store(-1);
        m_thread->quit();
        m_thread->wait();
        delete m_asker;
    }
}

void SearchWindow::showAnswer(const Answer &a)
{
    m_failed = a.failed;
    m_outcome = a.outcome;
    m_model->setResults(a.results);
    if (m_model->rowCount() > 0)
        m_list->setCurrentIndex(m_model->index(0));
    showStatus();
}

void SearchWindow::openCurrent()
{
    if (m_answered != m_asked || m_typing->isActive()) {
        // The results shown are not those of the query typed: it is answered here and now.
        m_typing->stop();
        m_answered = ++m_asked;
        if (m_wanted)
            m_wanted->store(m_asked);
        showAnswer(answer(database ? database() : nullptr, m_query->text()));
    }
    if (m_model->rowCount() == 0 || !open)
        return;
    const QModelIndex current = m_list->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    open(m_model->results()[row]);
}

void SearchWindow::setBuilding(qint64 done, qint64 total)
{
    const bool first = m_stage != IndexStage::Building;
    m_stage = IndexStage::Building;
    m_done = done;
    m_total = total;
    showStatus();
    // The first batches bring the first answers: the query typed meanwhile is run again.
    if (first && isVisible() && !m_query->text().trimmed().isEmpty())
        m_typing->start();
}

void SearchWindow::setWhole()
{
    const bool was = m_stage == IndexStage::Building || m_stage == IndexStage::Unknown;
    m_stage = IndexStage::Whole;
    showStatus();
    if (was && isVisible() && !m_query->text().trimmed().isEmpty())
        runQuery();
}

void SearchWindow::setUnavailable(const QString &why)
{
    m_stage = IndexStage::Unavailable;
    m_unavailable = why;
    showStatus();
}

void SearchWindow::showStatus()
{
    QStringList lines;
    if (m_stage == IndexStage::Building) {
        const int percent = m_total > 0 ? int(m_done * 100 / m_total) : 0;
        lines << QStringLiteral("Kitabın dizini hazırlanıyor (%%1, %2 / %3 altkonu); bulunanlar henüz eksik olabilir.")
                     .arg(percent)
                     .arg(m_done)
                     .arg(m_total);
    } else if (m_stage == IndexStage::Unknown) {
        lines << QStringLiteral("Kitabın dizini hazırlanıyor; bulunanlar henüz eksik olabilir.");
    } else if (m_stage == IndexStage::Unavailable) {
        lines << m_unavailable;
    }
    if (!m_outcome.isEmpty())
        lines << m_outcome;
    m_status->setText(lines.join(u'\n'));
    QPalette p = m_status->palette();
    p.setColor(QPalette::WindowText, m_failed ? QColor(170, 0, 0) : palette().color(QPalette::WindowText));
    m_status->setPalette(p);
}

} // namespace velkora::search
