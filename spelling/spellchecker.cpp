// Spell checking a body while it is written.
#include "spellchecker.h"

#include "platform/richedit/richeditcontrol.h"
#include "spelling/speller.h"
#include "spelling/wordscanner.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace velkora::spelling {

namespace {

constexpr qint64 PaintBudgetNs = 3'000'000;
constexpr int FrameMs = 16;

// A paragraph's marks, kept with the paragraph so that they move with it.
struct BlockMarks : QTextBlockUserData
{
    int revision = -1;   // the paragraph's revision the marks were found in; -1: to be checked
    int generation = -1; // the speller's words they were found with
    int checkedTo = 0;   // how far the paragraph has been checked
    QList<std::pair<int, int>> marks; // start in the paragraph, length
};

BlockMarks *marksOf(const QTextBlock &block)
{
    return static_cast<BlockMarks *>(block.userData());
}

void drawWave(QPainter &painter, qreal x1, qreal x2, qreal y)
{
    // On pixel centres, so that the thin line stays sharp and red rather than a faint pink.
    constexpr qreal Step = 2, Height = 2;
    y = std::floor(y) + 0.5;
    x1 = std::floor(x1) + 0.5;
    QPainterPath path(QPointF(x1, y));
    bool up = true;
    for (qreal x = x1; x < x2; x += Step) {
        path.lineTo(std::min(x + Step, x2), up ? y - Height : y);
        up = !up;
    }
    painter.drawPath(path);
}

} // namespace

SpellChecker::SpellChecker(richedit::RichEditControl *editor, Speller *speller, std::function<bool()> active)
    : QObject(editor), m_editor(editor), m_speller(speller), m_active(std::move(active))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SpellChecker::slice);
    connect(editor->document(), &QTextDocument::contentsChange, this, &SpellChecker::contentsChange);
    connect(editor, &QTextEdit::cursorPositionChanged, this, [this] {
        if (m_heldBlock < 0 || m_editor->textCursor().position() == m_typedAt)
            return;
        // The caret left the word it was typing: that word is checked now.
        if (BlockMarks *data = marksOf(m_editor->document()->findBlock(m_heldBlock)))
            data->revision = -1;
        m_heldBlock = -1;
        m_typedAt = -1;
        m_dirty = true;
        schedule();
    });
    connect(speller, &Speller::loaded, this, &SpellChecker::refresh);
    connect(speller, &Speller::wordsChanged, this, &SpellChecker::refresh);
    editor->paintOver = [this](QPainter &painter, const QRectF &area) { paint(painter, area); };
    refresh();
}

SpellChecker::~SpellChecker()
{
    if (m_editor)
        m_editor->paintOver = nullptr;
}

bool SpellChecker::active() const
{
    return m_editor && m_speller->available() && (!m_active || m_active());
}

bool SpellChecker::idle() const
{
    return m_idle || !active();
}

void SpellChecker::refresh()
{
    m_dirty = true;
    schedule();
    if (m_editor)
        m_editor->viewport()->update();
}

void SpellChecker::schedule()
{
    if (!active())
        return;
    m_idle = false;
    if (!m_timer.isActive())
        m_timer.start(0);
}

void SpellChecker::contentsChange(int from, int removed, int added)
{
    // The paragraphs the change reached are checked again; the others keep their marks.
    QTextDocument *document = m_editor->document();
    for (QTextBlock b = document->findBlock(from); b.isValid() && b.position() <= from + added; b = b.next())
        if (BlockMarks *data = marksOf(b))
            data->revision = -1;
    m_typedAt = removed + added == 1 ? from + added : -1;
    m_dirty = true;
    // The repaint the change asks for goes first (it checks the paragraph on the screen): a slice
    // waits a frame, so a key is never shown late for checking elsewhere.
    if (active()) {
        m_idle = false;
        m_timer.start(FrameMs);
    }
}

bool SpellChecker::current(const QTextBlock &block) const
{
    const BlockMarks *data = marksOf(block);
    return data && data->revision == block.revision() && data->generation == m_speller->generation()
           && data->checkedTo >= block.length() - 1;
}

bool SpellChecker::checkBlock(const QTextBlock &block, const QElapsedTimer &clock, qint64 deadlineNs)
{
    BlockMarks *data = marksOf(block);
    if (!data) {
        data = new BlockMarks;
        QTextBlock(block).setUserData(data);
    }
    if (data->revision != block.revision() || data->generation != m_speller->generation()) {
        data->revision = block.revision();
        data->generation = m_speller->generation();
        data->checkedTo = 0;
        data->marks.clear();
    }
    const QString text = block.text();
    const QTextCursor caret = m_editor->textCursor();
    const int typing = caret.position() == m_typedAt && !caret.hasSelection() ? m_typedAt - block.position() : -1;
    data->checkedTo = scanWords(text, data->checkedTo, [&](int start, int length) {
        if (start + length == typing)
            m_heldBlock = block.position(); // still being typed
        else if (!m_speller->isCorrect(text.mid(start, length)))
            data->marks.append({start, length});
        return clock.nsecsElapsed() < deadlineNs;
    });
    return data->checkedTo >= text.size();
}

QList<QTextBlock> SpellChecker::visibleBlocks() const
{
    // Between paints, the paragraphs the last paint showed: finding them anew would lay out what a
    // change left to lay out, which is the paint's work, not a slice's.
    if (!m_painting) {
        QList<QTextBlock> blocks;
        for (QTextBlock b = m_editor->document()->findBlock(m_shownFrom); b.isValid() && b.position() <= m_shownTo; b = b.next())
            blocks.append(b);
        return blocks;
    }
    // While painting, from the layout of what is on the screen, which the editor has just made:
    // a hit test at the bottom of the screen could lay out much more of a long body.
    QList<QTextBlock> blocks;
    QAbstractTextDocumentLayout *layout = m_editor->document()->documentLayout();
    const qreal bottom = m_editor->verticalScrollBar()->value() + m_editor->viewport()->height();
    for (QTextBlock b = m_editor->cursorForPosition(QPoint(0, 0)).block(); b.isValid(); b = b.next()) {
        if (layout->blockBoundingRect(b).top() > bottom)
            break;
        blocks.append(b);
    }
    if (!blocks.isEmpty()) {
        m_shownFrom = blocks.first().position();
        m_shownTo = blocks.last().position();
    }
    return blocks;
}

bool SpellChecker::checkVisible(const QList<QTextBlock> &blocks, const QElapsedTimer &clock, qint64 deadlineNs, bool *worked)
{
    for (const QTextBlock &b : blocks) {
        if (current(b))
            continue;
        if (worked)
            *worked = true;
        if (!checkBlock(b, clock, deadlineNs))
            return false;
    }
    return true;
}

void SpellChecker::slice()
{
    if (!active() || !m_speller->ready())
        return; // the speller's loaded signal, or refresh(), starts again
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = qint64(SliceBudgetMs) * 1'000'000;
    bool visibleWork = false;
    const bool visibleDone = checkVisible(visibleBlocks(), clock, deadline, &visibleWork);
    bool done = false;
    QTextDocument *document = m_editor->document();
    QTextBlock b = document->findBlock(m_scanPosition);
    if (m_scanPosition == 0)
        b = document->begin();
    while (visibleDone && clock.nsecsElapsed() < deadline) {
        if (!b.isValid()) {
            if (!m_dirty) {
                done = true;
                break;
            }
            m_dirty = false;
            b = document->begin();
            continue;
        }
        if (!current(b) && !checkBlock(b, clock, deadline))
            break;
        b = b.next();
    }
    m_scanPosition = b.isValid() ? b.position() : 0;
    m_longestSliceNs = std::max(m_longestSliceNs, clock.nsecsElapsed());
    if (visibleWork)
        m_editor->viewport()->update();
    if (done) {
        m_idle = true;
        m_scanPosition = 0;
        Q_EMIT finished();
    } else {
        m_timer.start(0);
    }
}

void SpellChecker::paint(QPainter &painter, const QRectF &area)
{
    if (!active() || !m_speller->ready())
        return;
    // The paragraphs on the screen are checked before they are drawn: a keystroke's paragraph
    // never shows without its marks.
    QList<QTextBlock> shown;
    {
        const QScopedValueRollback painting(m_painting, true);
        shown = visibleBlocks();
    }
    QElapsedTimer clock;
    clock.start();
    if (!checkVisible(shown, clock, PaintBudgetNs))
        schedule();
    m_longestSliceNs = std::max(m_longestSliceNs, clock.nsecsElapsed());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(230, 0, 0), 1));
    QAbstractTextDocumentLayout *layout = m_editor->document()->documentLayout();
    for (const QTextBlock &b : shown) {
        const BlockMarks *data = marksOf(b);
        if (!data || data->marks.isEmpty() || data->revision != b.revision() || !b.layout())
            continue;
        const QRectF bounds = layout->blockBoundingRect(b);
        if (!bounds.intersects(area))
            continue;
        const QPointF origin = bounds.topLeft();
        const QTextLayout *text = b.layout();
        for (const auto &[start, length] : data->marks) {
            for (int i = 0; i < text->lineCount(); ++i) {
                const QTextLine line = text->lineAt(i);
                const int s = std::max(start, line.textStart());
                const int e = std::min(start + length, line.textStart() + line.textLength());
                if (s >= e)
                    continue;
                const qreal y = origin.y() + line.y() + line.ascent() + std::max<qreal>(2, line.descent() / 2);
                drawWave(painter, origin.x() + line.cursorToX(s), origin.x() + line.cursorToX(e), y);
            }
        }
    }
    painter.restore();
}

QList<SpellChecker::Mark> SpellChecker::marks() const
{
    QList<Mark> out;
    for (QTextBlock b = m_editor->document()->begin(); b.isValid(); b = b.next()) {
        const BlockMarks *data = marksOf(b);
        if (!data || data->revision != b.revision())
            continue;
        const QString text = data->marks.isEmpty() ? QString() : b.text();
        for (const auto &[start, length] : data->marks)
            out.append({b.position() + start, length, text.mid(start, length)});
    }
    return out;
}

std::optional<SpellChecker::Mark> SpellChecker::markAt(int position) const
{
    const QTextBlock b = m_editor->document()->findBlock(position);
    const BlockMarks *data = marksOf(b);
    if (!active() || !data || data->revision != b.revision())
        return std::nullopt;
    for (const auto &[start, length] : data->marks)
        if (position >= b.position() + start && position <= b.position() + start + length)
            return Mark{b.position() + start, length, b.text().mid(start, length)};
    return std::nullopt;
}

QList<QAction *> SpellChecker::addContextItems(QMenu *menu, const QPoint &at)
{
    QList<QAction *> added;
    const std::optional<Mark> mark = markAt(m_editor->cursorForPosition(at).position());
    if (!mark)
        return added;
    QAction *first = menu->actions().value(0);
    const auto add = [&](QAction *a) {
        menu->insertAction(first, a);
        added.append(a);
        return a;
    };
    const QStringList suggestions = m_speller->suggestions(mark->word);
    for (const QString &s : suggestions) {
        QAction *a = add(new QAction(s, menu));
        a->setObjectName(QStringLiteral("SpellSuggestion"));
        QFont bold = a->font();
        bold.setBold(true);
        a->setFont(bold);
        connect(a, &QAction::triggered, this, [this, m = *mark, s] { replace(m, s); });
    }
    if (suggestions.isEmpty()) {
        QAction *none = add(new QAction(QStringLiteral("(Öneri yok)"), menu));
        none->setEnabled(false);
    }
    QAction *separator = add(new QAction(menu));
    separator->setSeparator(true);
    // A name's endings after an apostrophe are not part of what is kept.
    const QString word = withoutEndings(mark->word);
    QAction *keep = add(new QAction(QStringLiteral("Sözlüğe Ekle"), menu));
    keep->setObjectName(QStringLiteral("SpellAdd"));
    connect(keep, &QAction::triggered, this, [this, word] {
        QString why;
        if (!m_speller->addToPersonal(word, &why) && onError)
            onError(QStringLiteral("\"%1\" kişisel sözlüğe yazılamadı (%2). Kelime bu çalışma boyunca doğru sayılacak.").arg(word, why));
    });
    QAction *ignore = add(new QAction(QStringLiteral("Yoksay"), menu));
    ignore->setObjectName(QStringLiteral("SpellIgnore"));
    connect(ignore, &QAction::triggered, this, [this, word] { m_speller->ignore(word); });
    QAction *after = add(new QAction(menu));
    after->setSeparator(true);
    return added;
}

void SpellChecker::replace(const Mark &mark, const QString &with)
{
    if (!m_editor)
        return;
    // The body may have changed since the menu was opened: only the word itself is replaced.
    QTextCursor c(m_editor->document());
    c.setPosition(mark.position);
    c.setPosition(mark.position + mark.length, QTextCursor::KeepAnchor);
    if (c.selectedText() != mark.word)
        return;
    m_editor->setSelection(mark.position, mark.position + mark.length);
    m_editor->replaceSelection(with);
}

} // namespace velkora::spelling
