// The Turkish spelling of words.
#include "speller.h"

#include "editor/turkishcase.h"
#include "platform/profile/profilefile.h"
#include "spelling/turkishsuffixes.h"
#include "spelling/wordscanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <hunspell/hunspell.hxx>

namespace velkora::spelling {

namespace {

constexpr qint64 MaxPersonalBytes = 4 * 1024 * 1024;

// Misspellings so common that their correction goes first, whatever the dictionary suggests.
const QHash<QString, QString> &commonMisspellings()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("yanlız"), QStringLiteral("yalnız")},    {QStringLiteral("herkez"), QStringLiteral("herkes")},
        {QStringLiteral("şöför"), QStringLiteral("şoför")},      {QStringLiteral("yalnış"), QStringLiteral("yanlış")},
        {QStringLiteral("birşey"), QStringLiteral("bir şey")},   {QStringLiteral("herşey"), QStringLiteral("her şey")},
        {QStringLiteral("hiçbirşey"), QStringLiteral("hiçbir şey")}, {QStringLiteral("orjinal"), QStringLiteral("orijinal")},
        {QStringLiteral("malesef"), QStringLiteral("maalesef")}, {QStringLiteral("süpriz"), QStringLiteral("sürpriz")},
        {QStringLiteral("tabiki"), QStringLiteral("tabii ki")},  {QStringLiteral("pekçok"), QStringLiteral("pek çok")},
        {QStringLiteral("eşortman"), QStringLiteral("eşofman")}, {QStringLiteral("kirpit"), QStringLiteral("kibrit")},
        {QStringLiteral("yada"), QStringLiteral("ya da")},       {QStringLiteral("entellektüel"), QStringLiteral("entelektüel")},
    };
    return table;
}

bool allUpper(const QString &word)
{
    bool letters = false;
    for (const QChar c : word) {
        if (c.isLower())
            return false;
        letters = letters || c.isUpper();
    }
    return letters;
}

// "İSTANBUL" -> "İstanbul": the first letter as it is, the rest lower-cased the Turkish way.
QString titleCased(const QString &word)
{
    return word.left(1) + editor::turkishLower(word.mid(1));
}

// The case of the word as written carried over to a suggestion.
QString inCaseOf(const QString &written, const QString &suggestion)
{
    if (written.size() > 1 && allUpper(written)) {
        QString up;
        for (const QChar c : suggestion)
            up += c == u'i' ? QChar(0x0130) : c == QChar(0x0131) ? QChar(u'I') : c.toUpper();
        return up;
    }
    if (!written.isEmpty() && written[0].isUpper() && !suggestion.isEmpty() && suggestion[0].isLower()) {
        const QChar first = suggestion[0] == u'i' ? QChar(0x0130) : suggestion[0].toUpper();
        return first + suggestion.mid(1);
    }
    return suggestion;
}

} // namespace

Speller::Speller(const QString &personalPath, const QString &dictionaryFolder, QObject *parent)
    : QObject(parent), m_personalPath(personalPath)
{
    const QString aff = QDir(dictionaryFolder).filePath(QStringLiteral("tr_TR.aff"));
    const QString dic = QDir(dictionaryFolder).filePath(QStringLiteral("tr_TR.dic"));
    m_available = QFileInfo(aff).isFile() && QFileInfo(dic).isFile();
    if (m_available) {
        m_loading = std::async(std::launch::async, [this, a = QFile::encodeName(aff), d = QFile::encodeName(dic)] {
            auto h = std::make_unique<Hunspell>(a.constData(), d.constData());
            QMetaObject::invokeMethod(this, [this] {
                if (ready())
                    Q_EMIT loaded();
            }, Qt::QueuedConnection);
            return h;
        });
    }

    QFile file(personalPath);
    if (!personalPath.isEmpty() && file.size() <= MaxPersonalBytes && file.open(QIODevice::ReadOnly)) {
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (QString line : lines) {
            line = line.trimmed();
            if (!line.isEmpty() && !m_personal.contains(line)) {
                m_personal << line;
                m_own.insert(editor::turkishLower(line));
            }
        }
    }
}

Speller::~Speller()
{
    if (m_loading.valid())
        m_loading.wait();
}

QString Speller::defaultPersonalPath()
{
    return profile::userConfigFolder() + QStringLiteral("/kisisel-sozluk.txt");
}

QString Speller::defaultDictionaryFolder()
{
    const QString given = qEnvironmentVariable("VELKORA_DICTIONARY_DIR");
    return given.isEmpty() ? QStringLiteral("/usr/share/hunspell") : given;
}

QString Speller::missingHint()
{
    return QStringLiteral("Türkçe sözlük kurulu değil: yazım denetimi için hunspell-tr paketini kurun");
}

bool Speller::ready()
{
    if (!m_hunspell && m_loading.valid() && m_loading.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_hunspell = m_loading.get();
    return bool(m_hunspell);
}

void Speller::waitUntilReady()
{
    if (m_loading.valid())
        m_loading.wait();
    ready();
}

bool Speller::known(const QString &word)
{
    const auto found = m_known.constFind(word);
    if (found != m_known.cend())
        return *found;
    const bool k = m_hunspell->spell(word.toStdString());
    m_known.insert(word, k);
    return k;
}

bool Speller::ownWord(const QString &word) const
{
    return !m_own.isEmpty() && m_own.contains(editor::turkishLower(word));
}

bool Speller::acceptedAsWritten(const QString &word)
{
    if (ownWord(word) || known(word))
        return true;
    // "hikâye", "Kâzım": the circumflex that marks a long or palatal vowel is often left out, and
    // the dictionary lists the words without it.
    static const QString circumflexed = QStringLiteral("âîûÂÎÛ"), plain = QStringLiteral("aiuAİU");
    if (std::any_of(word.begin(), word.end(), [](QChar c) { return circumflexed.contains(c); })) {
        QString bare = word;
        for (QChar &c : bare)
            if (const qsizetype i = circumflexed.indexOf(c); i >= 0)
                c = plain[i];
        return acceptedAsWritten(bare);
    }
    const QString lower = editor::turkishLower(word);
    // At the start of a sentence, or written all in capitals.
    if (word[0].isUpper() && (known(lower) || (word.size() > 1 && allUpper(word) && known(titleCased(word)))))
        return true;
    // Suffix chains and compounds are analysed in lower case; a proper name's stem is listed with
    // its capital, so a name written without the apostrophe before its endings stays marked.
    return acceptedBySuffixes(lower, [this](const QString &w) { return known(w); });
}

bool Speller::isCorrect(const QString &word)
{
    if (word.isEmpty() || !ready())
        return true;
    const auto found = m_verdicts.constFind(word);
    if (found != m_verdicts.cend())
        return *found;
    // A name with its endings after an apostrophe ("Ankara'dan", "TDK'nın"): the name is checked.
    const QString name = withoutEndings(word);
    const bool correct = name.size() < word.size() ? isCorrect(name) : acceptedAsWritten(word);
    m_verdicts.insert(word, correct);
    return correct;
}

QStringList Speller::suggestions(const QString &word, int max)
{
    QStringList out;
    if (!ready() || word.isEmpty())
        return out;
    const QString lower = editor::turkishLower(word);
    if (const auto common = commonMisspellings().constFind(lower); common != commonMisspellings().cend())
        out << inCaseOf(word, *common);
    for (const std::string &s : m_hunspell->suggest(word.toStdString())) {
        const QString suggestion = QString::fromStdString(s);
        if (out.size() >= max)
            break;
        if (!out.contains(suggestion) && suggestion != word)
            out << suggestion;
    }
    return out;
}

bool Speller::addToPersonal(const QString &word, QString *error)
{
    const QString w = word.trimmed();
    if (w.isEmpty())
        return true;
    ignore(w);
    if (m_personal.contains(w))
        return true;
    m_personal << w;
    if (m_personalPath.isEmpty())
        return true;
    try {
        profile::makePrivateFolder(QFileInfo(m_personalPath).path());
        profile::replaceFile(m_personalPath, (m_personal.join(u'\n') + u'\n').toUtf8(),
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner, profile::ExistingMode::Replace);
    } catch (const profile::ProfileWriteError &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

void Speller::ignore(const QString &word)
{
    m_own.insert(editor::turkishLower(word));
    m_verdicts.clear();
    ++m_generation;
    Q_EMIT wordsChanged();
}

} // namespace velkora::spelling
