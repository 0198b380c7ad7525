// The start-up password in win.ini: reading, writing and checking it.
#include "passwordstore.h"

#include "platform/profile/profilefile.h"

#include <QFile>
#include <QFileInfo>

#include <sodium.h>

#include <stdexcept>

namespace velkora::settings {

namespace {

const QString ActiveKey = QStringLiteral("Active");
const QString PasswordKey = QStringLiteral("SSifre");
const QString HashPrefix = QStringLiteral("$argon2id$");

void initSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("libsodium could not be initialised");
}

// Only the file's owner may read it: it holds the password's hash.
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

const QString PasswordStore::Section = QStringLiteral("Velkora 3.1");

PasswordStore::PasswordStore(QString winIniPath) : m_path(std::move(winIniPath))
{
}

bool PasswordStore::ReadActiveFlag() const
{
    return profile::ProfileFile(m_path).readBool(Section, ActiveKey, false);
}

void PasswordStore::WriteActiveFlag(bool active)
{
    profile::ProfileFile file(m_path); // an unreadable one is kept aside as "<name>.damaged"
    file.writeBool(Section, ActiveKey, active);
    file.save(OwnerOnly);
}

QString PasswordStore::ReadPassword() const
{
    return profile::ProfileFile(m_path).readString(Section, PasswordKey, QString());
}

void PasswordStore::WritePassword(const QString &password)
{
    try {
        const QString stored = hash(password);
        profile::ProfileFile file(m_path); // an unreadable one is kept aside as "<name>.damaged"
        file.writeString(Section, PasswordKey, stored);
        file.save(OwnerOnly);
    } catch (const std::exception &) {
        throw std::runtime_error("Şifre yazılamadı");
    }
}

bool PasswordStore::isHash(const QString &stored)
{
    return stored.startsWith(HashPrefix);
}

QString PasswordStore::hash(const QString &password)
{
    initSodium();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("out of memory while hashing the password");
    return QString::fromLatin1(out);
}

bool PasswordStore::matches(const QString &stored, const QString &typed)
{
    initSodium();
    const QByteArray entry = typed.toUtf8();
    if (isHash(stored)) {
        const QByteArray h = stored.toLatin1();
        return crypto_pwhash_str_verify(h.constData(), entry.constData(), static_cast<unsigned long long>(entry.size())) == 0;
    }
    // A password an older version stored as it was typed: compared through digests of equal
    // length, so the time taken tells nothing of where the two differ.
    const QByteArray plain = stored.toUtf8();
    unsigned char a[crypto_generichash_BYTES];
    unsigned char b[crypto_generichash_BYTES];
    crypto_generichash(a, sizeof a, reinterpret_cast<const unsigned char *>(plain.constData()), static_cast<unsigned long long>(plain.size()), nullptr, 0);
    crypto_generichash(b, sizeof b, reinterpret_cast<const unsigned char *>(entry.constData()), static_cast<unsigned long long>(entry.size()), nullptr, 0);
    return sodium_memcmp(a, b, sizeof a) == 0;
}

} // namespace velkora::settings
