// Searching a body's text for the find and replace commands.
#include "textsearch.h"

#include "platform/richedit/richeditcontrol.h"
#include "editor/turkishcase.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace velkora::editor {



int findText(const QTextDocument *doc, const QString &text, int min, int max, int flags, int *matchEnd)
{
    if (text.isEmpty())
        return -1;
    const bool caseBlind = !(flags & richedit::FindMatchCase);
    const QString needle = caseBlind ? turkishLower(text) : text;
    const qsizetype n = needle.size();
    const auto wordAt = [](const QString &t, qsizetype i) { return i >= 0 && i < t.size() && t.at(i).isLetterOrNumber(); };
    const auto whole = [&](const QString &t, qsizetype i) {
        return !(flags & richedit::FindWholeWord) || (!wordAt(t, i - 1) && !wordAt(t, i + n));
    };
    const auto found = [&](const QTextBlock &b, qsizetype i) {
        if (matchEnd)
            *matchEnd = static_cast<int>(b.position() + i + n);
        return static_cast<int>(b.position() + i);
    };
    const int length = std::max(0, doc->characterCount() - 1);
    if (flags & richedit::FindDown) {
        const int limit = max < 0 ? length : std::min(max, length);
        const int start = std::clamp(min, 0, length);
        for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() <= limit; b = b.next()) {
            const QString t = caseBlind ? turkishLower(b.text()) : b.text();
            for (qsizetype i = t.indexOf(needle, std::max(0, start - b.position())); i >= 0; i = t.indexOf(needle, i + 1)) {
                if (b.position() + i + n > limit)
                    return -1;
                if (whole(t, i))
                    return found(b, i);
            }
        }
        return -1;
    }
    const int limit = std::clamp(max, 0, length);
    const int start = std::clamp(min, 0, length);
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() + b.length() > limit; b = b.previous()) {
        const QString t = caseBlind ? turkishLower(b.text()) : b.text();
        const qsizetype from = std::min<qsizetype>(start - b.position(), t.size()) - n;
        for (qsizetype i = from < 0 ? -1 : t.lastIndexOf(needle, from); i >= 0;
             i = i == 0 ? -1 : t.lastIndexOf(needle, i - 1)) {
            if (b.position() + i < limit)
                return -1;
            if (whole(t, i))
                return found(b, i);
        }
    }
    return -1;
}

} // namespace velkora::editor
