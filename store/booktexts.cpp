// The texts the book commands build from titles: deletion questions and the title search statement.
#include "booktexts.h"

namespace velkora::store {

QString quotedTitle(const QString &title)
{
    QString inner = title;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

QString subtopicDeleteQuestion(const QString &title)
{
    return quotedTitle(title) + QStringLiteral(" adlı alt konu silinsin mi?");
}

QString topicDeleteQuestion(const QString &title)
{
    return quotedTitle(title) + QStringLiteral(" adlı konu, içerdiği alt konularla birlikte silinecek!  Onaylıyor musunuz?");
}

QString titleSearchStatement(const QString &text)
{
    QString pattern = text;
    pattern.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral("SELECT * FROM detail WHERE Altkonu LIKE \"%") + pattern + QStringLiteral("%\"");
}

} // namespace velkora::store
