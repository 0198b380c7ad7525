// The start-up password and its switch, kept in the user's win.ini under "Velkora 3.1".
#pragma once

#include <QString>

namespace velkora::settings {

// "Active" (protection on) and "SSifre" (the password) of section "Velkora 3.1". Each call opens
// the file for its one value and releases it. A password is stored as a salted, slow hash
// (Argon2id); a password stored in plain text by an older version is still recognised, and the
// next change of password replaces it with a hash.
class PasswordStore
{
public:
    static const QString Section;

    explicit PasswordStore(QString winIniPath);
    QString path() const { return m_path; }

    // False when the key or the file is missing, or the value is not an integer.
    bool ReadActiveFlag() const;
    // Throws profile::ProfileWriteError when the file cannot be written.
    void WriteActiveFlag(bool active);
    // The stored form of the password: empty when none is set.
    QString ReadPassword() const;
    // Stores the hash of the password typed. Throws std::runtime_error("Şifre yazılamadı") when
    // the file cannot be written; what was stored before stays.
    void WritePassword(const QString &password);

    // Whether typed is the password that stored holds: whole and case-sensitive; an empty stored
    // value is matched by an empty entry only. Takes as long whatever the typed text.
    static bool matches(const QString &stored, const QString &typed);
    // The stored form of a password (an Argon2id string beginning "$argon2id$").
    static QString hash(const QString &password);
    static bool isHash(const QString &stored);

private:
    QString m_path;
};

} // namespace velkora::settings
