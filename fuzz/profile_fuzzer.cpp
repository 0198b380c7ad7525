// Fuzz target: any bytes as a profile file load without crashing; values written into the profile
// and saved read back as written, and the entries of untouched sections read as before the save.
#include "platform/profile/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

using velkora::profile::ProfileFile;
using velkora::profile::ProfileWriteError;

namespace {

// Every save flushes to the disk: on a RAM disk when there is one, the runs stay fast.
QString folder()
{
    static const QString base = QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm")
                                                                               : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/velkora-profile-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir.path();
}

[[noreturn]] void fail(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "profile_fuzzer: %s %s\n", what, qPrintable(detail));
    std::abort();
}

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::Null)
            c = u' ';
    }
    return text;
}

// What readString gives for a written value: one line, cut to what the buffer holds.
QString readBack(const QString &written)
{
    QString value = oneLine(written);
    if (value.size() > ProfileFile::MaxValueLength) {
        value.truncate(ProfileFile::MaxValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

// Conservative: names the profile may take as equal always compare equal here.
bool mayBeSameName(const QString &a, const QString &b)
{
    return oneLine(a).trimmed().compare(oneLine(b).trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = folder() + QStringLiteral("/profile.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != qint64(size))
            fail("cannot write the input file");
    }
    ProfileFile profile(path);

    // Section and key names to look up, taken from the input's own lines.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = text.split(u'\n');
    QStringList sections{QStringLiteral("Araclar")};
    QStringList keys{QStringLiteral("A1")};
    for (qsizetype i = 0; i < lines.size() && i < 16; ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith(u'[') && sections.size() < 6)
            sections.append(line.mid(1, line.lastIndexOf(u']') - 1));
        else if (line.contains(u'=') && keys.size() < 6)
            keys.append(line.section(u'=', 0, 0));
    }

    // The values to write, from the input's bytes too (decoded apart, so never half a surrogate pair).
    const auto slice = [&](size_t from, size_t length) {
        from = std::min(from, size);
        length = std::min(length, size - from);
        return QString::fromUtf8(reinterpret_cast<const char *>(data + from), static_cast<qsizetype>(length));
    };
    const QString title = slice(size % 7, 2300);
    const QString otherSection = sections.size() > 1 ? sections[1] : QStringLiteral("Bos");
    const QString otherValue = slice(size > 40 ? size - 40 : 0, 40);
    int number = 0;
    for (size_t i = 0; i < size && i < 4; ++i)
        number = static_cast<int>(static_cast<unsigned>(number) << 8 | data[i]);
    const bool flag = size % 2 == 1;
    const QStringList written{QStringLiteral("Kitap Adi"), QStringLiteral("Grid"), QStringLiteral("Velkora 3.1"),
                              otherSection};

    std::vector<std::pair<std::pair<QString, QString>, std::optional<QString>>> untouched;
    for (const QString &section : std::as_const(sections)) {
        bool touched = false;
        for (const QString &w : written)
            touched = touched || mayBeSameName(section, w);
        for (const QString &key : std::as_const(keys)) {
            profile.readString(section, key, QStringLiteral("-"));
            profile.readInteger(section, key, -1);
            profile.readBool(section, key, true);
            if (!touched && profile.loadProblem().isEmpty())
                untouched.push_back({{section, key}, profile.value(section, key)});
        }
    }

    profile.writeString(QStringLiteral("Kitap Adi"), QStringLiteral("Baslik"), title);
    profile.writeInteger(QStringLiteral("Grid"), QStringLiteral("B1"), number);
    profile.writeBool(QStringLiteral("Velkora 3.1"), QStringLiteral("Active"), flag);
    profile.removeKey(QStringLiteral("Velkora 3.1"), QStringLiteral("SSifre"));
    profile.writeString(otherSection, QStringLiteral("Deger"), otherValue);

    const auto check = [&](const ProfileFile &p, const char *when) {
        if (p.readString(QStringLiteral("Kitap Adi"), QStringLiteral("Baslik"), {}) != readBack(title))
            fail(when, QStringLiteral("Baslik"));
        if (p.readInteger(QStringLiteral("Grid"), QStringLiteral("B1"), ~number) != number)
            fail(when, QStringLiteral("B1"));
        if (p.readBool(QStringLiteral("Velkora 3.1"), QStringLiteral("Active"), !flag) != flag)
            fail(when, QStringLiteral("Active"));
        if (p.readString(otherSection, QStringLiteral("Deger"), {}) != readBack(otherValue))
            fail(when, otherSection);
    };
    check(profile, "written:");
    try {
        profile.save();
    } catch (const ProfileWriteError &e) {
        fail("save failed:", QString::fromStdString(e.what()));
    }
    const ProfileFile reread(path);
    if (!reread.loadProblem().isEmpty())
        fail("saved file does not load:", reread.loadProblem());
    check(reread, "saved:");
    for (const auto &[name, before] : untouched) {
        if (reread.value(name.first, name.second) != before)
            fail("an untouched value changed:", name.first + u'/' + name.second);
    }
    return 0;
}
