// Authenticates the pages of an encrypted book file with its password, without SQLite.
#include "bookpages.h"

#include "booklogvfs.h"


#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <cstring>

namespace velkora::database {

namespace {

// The cipher's page layout: page 1 starts with the file's salt in the clear; every page ends in
// a reserve holding the initialisation vector and the HMAC-SHA1 of the encrypted bytes, the vector
// and the page number, keyed with a key derived from the page key and the salt.
constexpr int SaltSize = 16;
constexpr int IvSize = 16;
constexpr int HmacSize = 20;
constexpr int Reserve = 48; // vector and HMAC, rounded up to the cipher's block
constexpr int KeyIterations = 64000;
constexpr int HmacKeyIterations = 2;
constexpr int KeySize = 32;

} // namespace

PageCheck BookPages::check(const QString &path, const QString &password, int samplePages)
{
    PageCheck result;
    const BookFileReader file(path); // through SQLite's layer: this process may have the book open
    if (!file.isOpen()) {
        result.readable = false;
        return result;
    }
    const qint64 size = file.size();
    result.pages = size / PageSize;
    result.cutShort = size % PageSize != 0;
    if (result.pages == 0)
        return result;

    const QByteArray first = file.read(0, PageSize);
    if (first.size() != PageSize) {
        result.readable = false;
        return result;
    }
    const QByteArray secret = password.toUtf8();
    std::array<unsigned char, KeySize> key{}, hmacKey{};
    std::array<unsigned char, SaltSize> hmacSalt{};
    PKCS5_PBKDF2_HMAC(secret.constData(), static_cast<int>(secret.size()), reinterpret_cast<const unsigned char *>(first.constData()),
                      SaltSize, KeyIterations, EVP_sha1(), KeySize, key.data());
    for (int i = 0; i < SaltSize; ++i)
        hmacSalt[static_cast<size_t>(i)] = static_cast<unsigned char>(first.at(i)) ^ 0x3a;
    PKCS5_PBKDF2_HMAC(reinterpret_cast<const char *>(key.data()), KeySize, hmacSalt.data(), SaltSize, HmacKeyIterations, EVP_sha1(),
                      KeySize, hmacKey.data());

    const auto authentic = [&](const QByteArray &page, quint32 number) {
        const int from = number == 1 ? SaltSize : 0;
        const int to = PageSize - Reserve + IvSize;
        QByteArray input = page.mid(from, to - from);
        const char little[4] = {static_cast<char>(number), static_cast<char>(number >> 8), static_cast<char>(number >> 16),
                                static_cast<char>(number >> 24)};
        input.append(little, 4);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        HMAC(EVP_sha1(), hmacKey.data(), KeySize, reinterpret_cast<const unsigned char *>(input.constData()),
             static_cast<size_t>(input.size()), digest, &length);
        return length >= HmacSize && std::memcmp(digest, page.constData() + to, HmacSize) == 0;
    };
    const auto note = [&](qint64 number, bool ok) {
        ++result.checked;
        if (ok)
            return;
        ++result.damagedCount;
        if (result.damaged.size() < MaxListed)
            result.damaged.append(number);
    };
    note(1, authentic(first, 1));
    // The page holding the byte at 1 GiB is SQLite's lock page: it is never written, so a book
    // over 1 GiB has one page that no password authenticates, by design.
    const qint64 lockPage = (qint64(1) << 30) / PageSize + 1;
    const qint64 step = samplePages > 0 ? std::max<qint64>(1, (result.pages - 1) / samplePages) : 1;
    for (qint64 number = 2; number <= result.pages; number += step) {
        if (number == lockPage)
            continue;
        const QByteArray page = file.read((number - 1) * PageSize, PageSize);
        if (page.size() != PageSize)
            break;
        note(number, authentic(page, static_cast<quint32>(number)));
    }
    return result;
}

} // namespace velkora::database
