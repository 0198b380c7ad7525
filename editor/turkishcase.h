// Letter case the Turkish way: I pairs with ı and İ with i; every other letter as Unicode pairs it.
#pragma once

#include <QString>

namespace velkora::editor {

// The lower-case letter of c under Turkish rules: one character for one, so positions in a folded
// text are the positions in the original.
inline QChar turkishLower(QChar c)
{
    if (c == u'I')
        return QChar(0x0131); // ı
    if (c == QChar(0x0130))   // İ
        return u'i';
    return c.toLower();
}

inline QString turkishLower(const QString &text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *o = out.data();
    for (const QChar c : text)
        *o++ = turkishLower(c);
    return out;
}

} // namespace velkora::editor
