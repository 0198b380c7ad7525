// The statement language the program writes, parsed so that it can run with bound parameters.
#pragma once

#include <QString>
#include <QStringList>

namespace velkora::database {

// One parsed statement of the book's language:
//   SELECT * FROM table [WHERE field = :param | WHERE field LIKE "pattern"] [ORDER BY field [ASC|DESC]]
// Keywords and names are matched without regard to letter case; names may be written [like this];
// a doubled double quote inside the pattern stands for one. A trailing ';' is allowed.
// Nothing of the text is ever copied into SQL: names are checked against the book's schema and
// values are bound as parameters.
struct SelectStatement
{
    enum class Condition { None, EqualsParameter, Like };

    QString table;
    Condition condition = Condition::None;
    QString conditionField;
    QString parameterName; // for EqualsParameter
    QString likePattern;   // for Like, quotes already undoubled
    QString orderByField;  // empty: the database's own order
    bool descending = false;

    // Throws DatabaseError with a provider-style message for anything outside the language.
    static SelectStatement parse(const QString &text);

    // The names of the :parameters in a statement text, in order of first appearance, without
    // validating the rest of it (quoted strings are skipped). Used when a statement is assigned.
    static QStringList scanParameters(const QString &text);
};

} // namespace velkora::database
