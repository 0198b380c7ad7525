// The statement language the program writes, parsed so that it can run with bound parameters.
#include "selectstatement.h"

#include "databaseerror.h"

#include <vector>

namespace velkora::database {

namespace {

struct Token
{
    enum Kind { Name, Keyword, Star, Equals, Parameter, String, Semicolon, End } kind;
    QString text;
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

const QString &invalidStatement()
{
    static const QString text = QStringLiteral(
        "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    return text;
}

std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'*') {
            tokens.push_back({Token::Star, QStringLiteral("*")});
            ++i;
        } else if (c == u'=') {
            tokens.push_back({Token::Equals, QStringLiteral("=")});
            ++i;
        } else if (c == u';') {
            tokens.push_back({Token::Semicolon, QStringLiteral(";")});
            ++i;
        } else if (c == u':') {
            qsizetype j = i + 1;
            while (j < s.size() && isNameChar(s.at(j)))
                ++j;
            if (j == i + 1)
                throw DatabaseError(QStringLiteral("Syntax error in query expression '%1'.").arg(s.mid(i)));
            tokens.push_back({Token::Parameter, s.mid(i + 1, j - i - 1)});
            i = j;
        } else if (c == u'"') {
            QString value;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < s.size()) {
                if (s.at(j) == u'"') {
                    if (j + 1 < s.size() && s.at(j + 1) == u'"') {
                        value += u'"';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += s.at(j++);
            }
            if (!closed)
                throw DatabaseError(QStringLiteral("Syntax error in string in query expression '%1'.").arg(s.mid(i)));
            tokens.push_back({Token::String, value});
            i = j;
        } else if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0 || close == i + 1)
                throw DatabaseError(QStringLiteral("Invalid bracketing of name '%1'.").arg(s.mid(i)));
            tokens.push_back({Token::Name, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (isNameChar(c)) {
            qsizetype j = i;
            while (j < s.size() && isNameChar(s.at(j)))
                ++j;
            const QString word = s.mid(i, j - i);
            const QString upper = word.toUpper();
            static const QStringList keywords = {QStringLiteral("SELECT"), QStringLiteral("FROM"),
                                                 QStringLiteral("WHERE"),  QStringLiteral("LIKE"),
                                                 QStringLiteral("ORDER"),  QStringLiteral("BY"),
                                                 QStringLiteral("ASC"),    QStringLiteral("DESC")};
            if (keywords.contains(upper))
                tokens.push_back({Token::Keyword, upper});
            else
                tokens.push_back({Token::Name, word});
            i = j;
        } else {
            throw DatabaseError(QStringLiteral("Syntax error in query expression '%1'.").arg(s.mid(i).trimmed()));
        }
    }
    tokens.push_back({Token::End, QString()});
    return tokens;
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text), m_tokens(tokenize(text)) {}

    SelectStatement parse()
    {
        if (m_tokens.front().kind == Token::End)
            throw DatabaseError(QStringLiteral("Command text was not set for the command object."));
        if (!isKeyword(u"SELECT"))
            throw DatabaseError(invalidStatement());
        ++m_pos;
        if (current().kind != Token::Star)
            throw unsupported();
        ++m_pos;
        if (!isKeyword(u"FROM"))
            throw DatabaseError(QStringLiteral("The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the punctuation is incorrect."));
        ++m_pos;
        SelectStatement st;
        st.table = expectName(QStringLiteral("Syntax error in FROM clause."));
        if (isKeyword(u"WHERE")) {
            ++m_pos;
            st.conditionField = expectName(syntaxInWhere());
            if (current().kind == Token::Equals) {
                ++m_pos;
                if (current().kind != Token::Parameter)
                    throw unsupported();
                st.condition = SelectStatement::Condition::EqualsParameter;
                st.parameterName = current().text;
                ++m_pos;
            } else if (isKeyword(u"LIKE")) {
                ++m_pos;
                if (current().kind != Token::String)
                    throw unsupported();
                st.condition = SelectStatement::Condition::Like;
                st.likePattern = current().text;
                ++m_pos;
            } else {
                throw DatabaseError(syntaxInWhere());
            }
        }
        if (isKeyword(u"ORDER")) {
            ++m_pos;
            if (!isKeyword(u"BY"))
                throw DatabaseError(QStringLiteral("Syntax error in ORDER BY clause."));
            ++m_pos;
            st.orderByField = expectName(QStringLiteral("Syntax error in ORDER BY clause."));
            if (isKeyword(u"ASC")) {
                ++m_pos;
            } else if (isKeyword(u"DESC")) {
                st.descending = true;
                ++m_pos;
            }
        }
        if (current().kind == Token::Semicolon)
            ++m_pos;
        if (current().kind != Token::End)
            throw DatabaseError(QStringLiteral("Characters found after end of SQL statement."));
        return st;
    }

private:
    const Token &current() const { return m_tokens[m_pos]; }
    bool isKeyword(QStringView word) const
    {
        return current().kind == Token::Keyword && current().text == word;
    }
    QString expectName(const QString &error)
    {
        if (current().kind != Token::Name)
            throw DatabaseError(error);
        return m_tokens[m_pos++].text;
    }
    QString syntaxInWhere() const
    {
        return QStringLiteral("Syntax error in query expression '%1'.").arg(m_text.simplified());
    }
    DatabaseError unsupported() const
    {
        return DatabaseError(QStringLiteral("The book's engine does not run this statement: %1").arg(m_text.simplified()));
    }

    QString m_text;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

} // namespace

SelectStatement SelectStatement::parse(const QString &text)
{
    return Parser(text).parse();
}

QStringList SelectStatement::scanParameters(const QString &text)
{
    QStringList names;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == u'"' || c == u'\'') {
            const qsizetype close = text.indexOf(c, i + 1);
            i = close < 0 ? text.size() : close + 1;
        } else if (c == u':' && i + 1 < text.size() && isNameChar(text.at(i + 1))) {
            qsizetype j = i + 1;
            while (j < text.size() && isNameChar(text.at(j)))
                ++j;
            const QString name = text.mid(i + 1, j - i - 1);
            bool known = false;
            for (const QString &n : std::as_const(names))
                known = known || n.compare(name, Qt::CaseInsensitive) == 0;
            if (!known)
                names.append(name);
            i = j;
        } else {
            ++i;
        }
    }
    return names;
}

} // namespace velkora::database
