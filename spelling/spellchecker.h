// Spell checking a body while it is written: unknown words underlined with a red wavy line, and
// the context menu's corrections.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QPainter;
class QTextBlock;

namespace velkora::richedit {
class RichEditControl;
}

namespace velkora::spelling {

class Speller;

// Checks the editor's text in slices on the user-interface thread, each at most SliceBudgetMs:
// the paragraphs on the screen first, then the rest from the top. A change has only the
// paragraphs it reached checked again; a new body is checked from its visible part on, and
// loading one never waits for a check. The marks live beside the text (never in its formats): they
// are not stored, copied or printed. The word being typed at the caret is marked only once the
// caret leaves it.
class SpellChecker : public QObject
{
    Q_OBJECT
public:
    static constexpr int SliceBudgetMs = 5;

    // active: whether checking is wanted now (the setting is on and the body may be written).
    SpellChecker(richedit::RichEditControl *editor, Speller *speller, std::function<bool()> active);
    ~SpellChecker() override;

    struct Mark
    {
        int position = 0; // in the document
        int length = 0;
        QString word;
    };

    // Checking was switched on or off, or the body became writable or read-only.
    void refresh();
    bool active() const;
    // Nothing is left to check.
    bool idle() const;
    // The marked words of the paragraphs checked so far, in document order.
    QList<Mark> marks() const;
    std::optional<Mark> markAt(int position) const;

    // For the context menu over the point (in the editor's viewport): the corrections of the marked
    // word there, "Sözlüğe Ekle" and "Yoksay", put before the menu's own items. Returns what was
    // added, for the caller to remove after the menu closes.
    QList<QAction *> addContextItems(QMenu *menu, const QPoint &at);
    // Replaces the marked word as one edit, which starts editing the body as typing does.
    void replace(const Mark &mark, const QString &with);

    // A failure to keep a word in the person's list.
    std::function<void(const QString &message)> onError;

    // The longest slice so far, for measuring.
    qint64 longestSliceNs() const { return m_longestSliceNs; }
    void resetLongestSlice() { m_longestSliceNs = 0; }

Q_SIGNALS:
    void finished(); // everything has been checked

private:
    void contentsChange(int from, int removed, int added);
    void schedule();
    void slice();
    // Checks the visible paragraphs that are not current, until the deadline; true when all were.
    // worked: set when there was any to check.
    bool checkVisible(const QList<QTextBlock> &blocks, const QElapsedTimer &clock, qint64 deadlineNs, bool *worked = nullptr);
    // Checks block on from where it stopped; true when it is current afterwards.
    bool checkBlock(const QTextBlock &block, const QElapsedTimer &clock, qint64 deadlineNs);
    bool current(const QTextBlock &block) const;
    void paint(QPainter &painter, const QRectF &area);
    QList<QTextBlock> visibleBlocks() const;

    QPointer<richedit::RichEditControl> m_editor;
    Speller *m_speller;
    std::function<bool()> m_active;
    QTimer m_timer;
    int m_scanPosition = 0; // where the walk through the body goes on
    bool m_dirty = false;    // something changed since the walk passed it
    bool m_idle = true;
    int m_typedAt = -1;      // the caret just after a typed character
    int m_heldBlock = -1;    // the position of a paragraph whose word at the caret was not marked yet
    qint64 m_longestSliceNs = 0;
    bool m_painting = false;
    mutable int m_shownFrom = 0, m_shownTo = 0; // the paragraphs the last paint showed
};

} // namespace velkora::spelling
