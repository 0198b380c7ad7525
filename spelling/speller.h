// The Turkish spelling of words: Hunspell's Turkish dictionary, suffix chains and compounds it does
// not list, the person's own word list and the words ignored for the run.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <future>
#include <memory>

class Hunspell;

namespace velkora::spelling {

class Speller : public QObject
{
    Q_OBJECT
public:
    // The dictionary is read on a thread of its own (it takes about half a second), so nothing
    // waits for it: until it is loaded every word counts as correct. personalPath: the person's
    // word list (one word a line, UTF-8), read at once; empty for none.
    explicit Speller(const QString &personalPath = defaultPersonalPath(),
                     const QString &dictionaryFolder = defaultDictionaryFolder(), QObject *parent = nullptr);
    ~Speller() override;

    // "kisisel-sozluk.txt" in the per-user configuration folder.
    static QString defaultPersonalPath();
    // $VELKORA_DICTIONARY_DIR, else the system's Hunspell folder.
    static QString defaultDictionaryFolder();
    // Said where the dictionary is missing.
    static QString missingHint();

    bool available() const { return m_available; } // the dictionary's files are there
    bool ready();                                  // and have been read
    void waitUntilReady();

    // Whether word, as written, is correct Turkish (or the person's or ignored). Words are cached.
    bool isCorrect(const QString &word);
    // At most max corrections, the most likely first.
    QStringList suggestions(const QString &word, int max = 8);

    // Adds word to the person's list and writes the list (readable by the user alone); false with
    // the reason when it could not be written (the word is then accepted for this run only).
    bool addToPersonal(const QString &word, QString *error = nullptr);
    // Accepts word for the rest of the run.
    void ignore(const QString &word);
    QString personalPath() const { return m_personalPath; }
    // Grows whenever a word is added or ignored: what was checked before may now be accepted.
    int generation() const { return m_generation; }

Q_SIGNALS:
    void loaded();        // the dictionary is ready
    void wordsChanged();  // a word was added or ignored

private:
    bool known(const QString &word);
    bool acceptedAsWritten(const QString &word);
    bool ownWord(const QString &word) const;

    QString m_personalPath;
    bool m_available = false;
    std::future<std::unique_ptr<Hunspell>> m_loading;
    std::unique_ptr<Hunspell> m_hunspell;
    QSet<QString> m_own;          // personal and ignored words, lower-cased the Turkish way
    QStringList m_personal;       // the list as written in the file
    QHash<QString, bool> m_verdicts; // word as written -> correct
    QHash<QString, bool> m_known;    // lower-cased word -> the dictionary lists it
    int m_generation = 0;
};

} // namespace velkora::spelling
