// The texts the book commands build from titles: deletion questions and the title search statement.
#pragma once

#include <QString>

namespace velkora::store {

// A title between single quotes, each single quote inside doubled: Ali'nin Notu → 'Ali''nin Notu'.
QString quotedTitle(const QString &title);

// "'Giriş' adlı alt konu silinsin mi?"
QString subtopicDeleteQuestion(const QString &title);

// "'Ekler' adlı konu, içerdiği alt konularla birlikte silinecek!  Onaylıyor musunuz?"
QString topicDeleteQuestion(const QString &title);

// SELECT * FROM detail WHERE Altkonu LIKE "%text%", a double quote in the text written doubled so
// that it stands for itself; % and _ in the text keep their meaning as pattern signs.
QString titleSearchStatement(const QString &text);

} // namespace velkora::store
