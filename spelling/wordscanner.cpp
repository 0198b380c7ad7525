// The words of a text that spelling applies to.
#include "wordscanner.h"

namespace velkora::spelling {

namespace {

bool isSpace(QChar c)
{
    // U+FFFC stands for a picture or an object in a body.
    return c.isSpace() || c == QChar(0xFFFC) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

// A run of text without spaces that is an address: it has an @, a scheme ("https://") or starts
// with "www.", or has a dot between two letters or digits ("ornek.com", but not "bitti.Sonra" –
// a sentence begun without a space reads as one too, and is left unchecked rather than marked).
bool isAddress(QStringView run)
{
    if (run.contains(u'@') || run.contains(QLatin1String("://")) || run.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return true;
    for (qsizetype i = 1; i + 1 < run.size(); ++i)
        if (run[i] == u'.' && run[i - 1].isLetterOrNumber() && run[i + 1].isLetterOrNumber())
            return true;
    return false;
}

bool spellable(QStringView word)
{
    int letters = 0;
    for (const QChar c : word) {
        if (c.isDigit())
            return false;
        if (c.isLetter()) {
            ++letters;
            const QChar::Script script = c.script();
            if (script != QChar::Script_Latin && script != QChar::Script_Common && script != QChar::Script_Inherited)
                return false;
        }
    }
    return letters >= 2;
}

} // namespace

int scanWords(const QString &text, int from, const std::function<bool(int start, int length)> &word)
{
    const int n = int(text.size());
    int i = std::clamp(from, 0, n);
    while (i < n) {
        while (i < n && isSpace(text[i]))
            ++i;
        int runEnd = i;
        while (runEnd < n && !isSpace(text[runEnd]))
            ++runEnd;
        const QStringView run = QStringView(text).mid(i, runEnd - i);
        if (isAddress(run)) {
            i = runEnd;
            continue;
        }
        while (i < runEnd) {
            while (i < runEnd && !isWordChar(text[i]))
                ++i;
            int end = i;
            while (end < runEnd && (isWordChar(text[end])
                                    || (isApostrophe(text[end]) && end + 1 < runEnd && isWordChar(text[end + 1]) && end > i)))
                ++end;
            if (end > i && spellable(QStringView(text).mid(i, end - i)) && !word(i, end - i))
                return end;
            i = end;
        }
    }
    return n;
}

} // namespace velkora::spelling
