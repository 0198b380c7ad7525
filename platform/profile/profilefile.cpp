// Profile (INI) files: reading them as the Windows profile services do, rewriting single values
// in place, and saving by writing a new file and renaming it over the old one.
#include "profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkora::profile {

namespace {

// The blanks trimmed around names and values: ASCII white space, as the Windows services trim it.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringView trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Names and values live on one line: line breaks and NUL (which would make the file read as
// binary) become spaces.
QString oneLine(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c == u'\n' || c == u'\r' || c == QChar::Null)
            c = u' ';
    }
    return result;
}

QString cleanName(const QString &name)
{
    return trimmedBlanks(oneLine(name)).toString();
}

bool sameName(QStringView a, QStringView b)
{
    // Simple case folding: "Ö" matches "ö", while "İ" and "ı" stay themselves (no Turkish rule).
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Code page 1254 differs from Latin-1 in 0x80-0x9F and in six Turkish letters. The bytes Windows
// leaves undefined (0x81, 0x8D-0x90, 0x9D, 0x9E) map to the C1 control of the same number, as
// MultiByteToWideChar maps them.
char16_t fromCodePage1254(unsigned char byte)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178, //
    };
    switch (byte) {
    case 0xD0: return 0x011E; // Ğ
    case 0xDD: return 0x0130; // İ
    case 0xDE: return 0x015E; // Ş
    case 0xF0: return 0x011F; // ğ
    case 0xFD: return 0x0131; // ı
    case 0xFE: return 0x015F; // ş
    default: return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte);
    }
}

QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(fromCodePage1254(static_cast<unsigned char>(bytes[i])));
    return text;
}

// An optionally signed decimal number, or a hexadecimal one after "0x" or "$". Digits beyond 32
// bits wrap, as the DWORD the Windows services parse into.
std::optional<int> parseInteger(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    quint32 base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        text = text.mid(2);
    } else if (text.startsWith(u'$')) {
        base = 16;
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    quint32 number = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        quint32 digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return std::nullopt;
        number = number * base + digit;
    }
    if (negative)
        number = 0u - number;
    return static_cast<int>(number);
}

// The value of an entry line: after the first '=', trimmed, one pair of surrounding quotes removed,
// cut to what the 2048-character buffer of GetPrivateProfileString holds (never half a surrogate
// pair).
QString entryValue(const QString &line)
{
    QStringView value = trimmedBlanks(QStringView(line).mid(line.indexOf(u'=') + 1));
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2);
    if (value.size() > ProfileFile::MaxValueLength) {
        value = value.left(ProfileFile::MaxValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value.toString();
}

QString encodeValue(const QString &value)
{
    const QString text = oneLine(value);
    const bool blankEnds = !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
    const bool quoted = text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
    return blankEnds || quoted ? u'"' + text + u'"' : text;
}

QString describeErrno(const QString &path, int error)
{
    return QStringLiteral("%1 cannot be read: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

mode_t modeFor(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    if (permissions & (QFileDevice::ReadOwner | QFileDevice::ReadUser))
        mode |= S_IRUSR;
    if (permissions & (QFileDevice::WriteOwner | QFileDevice::WriteUser))
        mode |= S_IWUSR;
    if (permissions & (QFileDevice::ExeOwner | QFileDevice::ExeUser))
        mode |= S_IXUSR;
    if (permissions & QFileDevice::ReadGroup)
        mode |= S_IRGRP;
    if (permissions & QFileDevice::WriteGroup)
        mode |= S_IWGRP;
    if (permissions & QFileDevice::ExeGroup)
        mode |= S_IXGRP;
    if (permissions & QFileDevice::ReadOther)
        mode |= S_IROTH;
    if (permissions & QFileDevice::WriteOther)
        mode |= S_IWOTH;
    if (permissions & QFileDevice::ExeOther)
        mode |= S_IXOTH;
    return mode;
}

// After a rename the folder's entry must reach the disk too; a failure here cannot undo the rename
// and the new file is complete, so it is not reported.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ProfileWriteError::ProfileWriteError(const QString &path)
    : std::runtime_error((QStringLiteral("Unable to write to ") + path).toStdString()), m_path(path)
{
}

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    load();
}

void ProfileFile::load()
{
    const QByteArray native = QFile::encodeName(m_path);
    struct stat info {};
    // The type and size are looked at before the file is opened: a FIFO or a device is never opened,
    // and an enormous file is never read.
    if (::stat(native.constData(), &info) != 0) {
        if (errno != ENOENT)
            m_loadProblem = describeErrno(m_path, errno);
        return;
    }
    const auto checkType = [this](const struct stat &st) {
        if (!S_ISREG(st.st_mode)) {
            m_loadProblem = QStringLiteral("%1 is not a regular file").arg(m_path);
            return false;
        }
        if (st.st_size > MaxFileBytes) {
            m_loadProblem = QStringLiteral("%1 is larger than %2 bytes").arg(m_path).arg(MaxFileBytes);
            return false;
        }
        return true;
    };
    if (!checkType(info))
        return;
    // O_NONBLOCK: should the name have become a FIFO since stat(), opening it still does not wait
    // for a writer; fstat() then turns it away.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        m_loadProblem = describeErrno(m_path, errno);
        return;
    }
    QByteArray bytes;
    bool readable = ::fstat(fd, &info) == 0 && checkType(info);
    if (readable) {
        // The file may grow while it is read: never more than MaxFileBytes + 1 bytes are taken.
        bytes.resize(static_cast<qsizetype>(info.st_size) + 1);
        qsizetype got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (got > MaxFileBytes)
                    break;
                bytes.resize(qMin<qint64>(bytes.size() * 2, MaxFileBytes + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                m_loadProblem = describeErrno(m_path, errno);
                readable = false;
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        bytes.truncate(got);
        if (readable && got > MaxFileBytes) {
            m_loadProblem = QStringLiteral("%1 is larger than %2 bytes").arg(m_path).arg(MaxFileBytes);
            readable = false;
        }
    }
    ::close(fd);
    if (!readable)
        return;
    // A NUL is one more character of its line: a file a person wrote with one in it is still theirs.
    if (bytes.count('\n') >= MaxLines) {
        m_loadProblem = QStringLiteral("%1 has more than %2 lines").arg(m_path).arg(MaxLines);
        return;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_byteOrderMark = true;
        bytes.remove(0, 3);
    }
    parse(decodeText(bytes));
}

void ProfileFile::parse(const QString &text)
{
    bool firstEnd = true;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf(u'\n', start);
        if (newline < 0) {
            m_lines.push_back(makeLine(text.mid(start), LineEnd::None));
            break;
        }
        qsizetype stop = newline;
        LineEnd end = LineEnd::Lf;
        if (stop > start && text[stop - 1] == u'\r') {
            --stop;
            end = LineEnd::CrLf;
        }
        if (firstEnd) {
            m_lineEnd = end;
            firstEnd = false;
        }
        m_lines.push_back(makeLine(text.mid(start, stop - start), end));
        start = newline + 1;
    }
}

// "[name]" (up to the last ']') is a section header, "key=value" an entry; comments (';', '#')
// and every other line are kept as text only.
ProfileFile::Line ProfileFile::makeLine(QString text, LineEnd end)
{
    Line line{std::move(text), end, LineKind::Other, {}};
    const QStringView trimmed = trimmedBlanks(line.text);
    if (trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#')
        return line;
    if (trimmed.front() == u'[') {
        const qsizetype close = trimmed.lastIndexOf(u']');
        if (close > 0) {
            line.kind = LineKind::Section;
            line.name = trimmedBlanks(trimmed.mid(1, close - 1)).toString();
        }
        return line;
    }
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals > 0) {
        const QStringView key = trimmedBlanks(trimmed.left(equals));
        if (!key.isEmpty()) {
            line.kind = LineKind::Entry;
            line.name = key.toString();
        }
    }
    return line;
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
        if (m_lines[i].kind == LineKind::Section && sameName(m_lines[i].name, section))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::findKey(qsizetype sectionLine, const QString &key) const
{
    for (qsizetype i = sectionLine + 1; i < qsizetype(m_lines.size()); ++i) {
        const Line &line = m_lines[i];
        if (line.kind == LineKind::Section)
            break;
        if (line.kind == LineKind::Entry && sameName(line.name, key))
            return i;
    }
    return -1;
}

std::optional<QString> ProfileFile::value(const QString &section, const QString &key) const
{
    const qsizetype sectionLine = findSection(cleanName(section));
    if (sectionLine < 0)
        return std::nullopt;
    const qsizetype keyLine = findKey(sectionLine, cleanName(key));
    if (keyLine < 0)
        return std::nullopt;
    return entryValue(m_lines[keyLine].text);
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &def) const
{
    return value(section, key).value_or(def);
}

std::optional<int> ProfileFile::integerValue(const QString &section, const QString &key) const
{
    const std::optional<QString> text = value(section, key);
    return text ? parseInteger(*text) : std::nullopt;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int def) const
{
    return integerValue(section, key).value_or(def);
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool def) const
{
    const std::optional<int> number = integerValue(section, key);
    return number ? *number != 0 : def;
}

void ProfileFile::insertLine(qsizetype at, const QString &text)
{
    if (at > 0 && m_lines[at - 1].end == LineEnd::None)
        m_lines[at - 1].end = m_lineEnd;
    m_lines.insert(m_lines.begin() + at, makeLine(text, m_lineEnd));
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = cleanName(section);
    const QString keyName = cleanName(key);
    const QString text = encodeValue(value);
    const qsizetype sectionLine = findSection(sectionName);
    if (sectionLine >= 0) {
        const qsizetype keyLine = findKey(sectionLine, keyName);
        if (keyLine >= 0 && entryValue(m_lines[keyLine].text) == value && encodeValue(entryValue(m_lines[keyLine].text)) == text)
            return; // already so: nothing to write
    }
    m_changed = true;
    if (sectionLine < 0) {
        // A new section goes at the end, set off from the text before it by a blank line.
        if (!m_lines.empty() && !trimmedBlanks(m_lines.back().text).isEmpty())
            insertLine(qsizetype(m_lines.size()), QString());
        insertLine(qsizetype(m_lines.size()), u'[' + sectionName + u']');
        insertLine(qsizetype(m_lines.size()), keyName + u'=' + text);
        return;
    }
    const qsizetype keyLine = findKey(sectionLine, keyName);
    if (keyLine >= 0) {
        // The key as the file spells it and the blanks around '=' stay; only the value changes.
        Line &line = m_lines[keyLine];
        qsizetype valueStart = line.text.indexOf(u'=') + 1;
        while (valueStart < line.text.size() && isBlank(line.text[valueStart]))
            ++valueStart;
        line.text = line.text.left(valueStart) + text;
        return;
    }
    qsizetype at = sectionLine + 1;
    for (qsizetype i = sectionLine + 1; i < qsizetype(m_lines.size()) && m_lines[i].kind != LineKind::Section; ++i) {
        if (m_lines[i].kind == LineKind::Entry)
            at = i + 1;
    }
    insertLine(at, keyName + u'=' + text);
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::removeKey(const QString &section, const QString &key)
{
    const qsizetype sectionLine = findSection(cleanName(section));
    if (sectionLine < 0)
        return;
    const qsizetype keyLine = findKey(sectionLine, cleanName(key));
    if (keyLine >= 0) {
        m_lines.erase(m_lines.begin() + keyLine);
        m_changed = true;
    }
}

QByteArray ProfileFile::encoded() const
{
    QString text;
    for (const Line &line : m_lines) {
        text += line.text;
        if (line.end == LineEnd::CrLf)
            text += u"\r\n";
        else if (line.end == LineEnd::Lf)
            text += u'\n';
    }
    QByteArray bytes = text.toUtf8();
    if (m_byteOrderMark)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

void ProfileFile::save(QFileDevice::Permissions newFilePermissions)
{
    // Nothing changed: the file on the disk is left alone (it is not even rewritten the same).
    struct stat link {};
    const bool exists = ::lstat(QFile::encodeName(m_path).constData(), &link) == 0;
    if (!m_changed && exists)
        return;
    replaceFile(m_path, encoded(), newFilePermissions, ExistingMode::Keep, [this](const QFileInfo &target) {
        removeLeftovers(target);
        // A file that could not be read is kept aside before a new one takes its name.
        if (!m_loadProblem.isEmpty() && m_keptAside.isEmpty() && target.isFile()) {
            const QString aside = target.filePath() + QStringLiteral(".damaged");
            QFile::remove(aside);
            if (::rename(QFile::encodeName(target.filePath()).constData(), QFile::encodeName(aside).constData()) != 0)
                throw ProfileWriteError(m_path);
            m_keptAside = aside;
        }
    });
    m_changed = false;
}

void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions newFilePermissions,
                 ExistingMode existing, const std::function<void(const QFileInfo &target)> &beforeWriting)
{
    // A link is followed only to a regular file of the user running the program: the file it names
    // is replaced, the link stays. A link planted to another user's file, a folder or nothing at all
    // is refused.
    const QByteArray givenNative = QFile::encodeName(path);
    struct stat link {};
    const bool exists = ::lstat(givenNative.constData(), &link) == 0;
    const QFileInfo given(path);
    if (exists && S_ISLNK(link.st_mode)) {
        struct stat named {};
        if (::stat(givenNative.constData(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid())
            throw ProfileWriteError(path);
    }
    const QFileInfo target(given.isSymLink() ? given.canonicalFilePath() : path);
    const QByteArray nativeTarget = QFile::encodeName(target.filePath());
    if (beforeWriting)
        beforeWriting(target);

    mode_t mode = modeFor(newFilePermissions);
    struct stat old {};
    if (::stat(nativeTarget.constData(), &old) == 0) {
        // A folder or a FIFO is not replaced, nor a file its permissions keep from being written.
        if (!S_ISREG(old.st_mode) || ::access(nativeTarget.constData(), W_OK) != 0)
            throw ProfileWriteError(path);
        if (existing == ExistingMode::Keep)
            mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        throw ProfileWriteError(path);
    }

    QByteArray temporary =
        QFile::encodeName(target.path() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw ProfileWriteError(path);
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.constData(), nativeTarget.constData()) != 0) {
        ::unlink(temporary.constData());
        throw ProfileWriteError(path);
    }
    syncFolder(target.path());
}

void ProfileFile::removeLeftovers(const QFileInfo &target)
{
    // ".Velkora.ini.XXXXXX": a save cut short by a kill. One a minute old belongs to no save still
    // going on (another copy of the program may be saving right now).
    const QDir folder = target.dir();
    const QString prefix = u'.' + target.fileName() + u'.';
    const QStringList names = folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QByteArray native = QFile::encodeName(folder.filePath(name));
        struct stat st {};
        if (::lstat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && st.st_mtime < ::time(nullptr) - 60)
            ::unlink(native.constData());
    }
}

} // namespace velkora::profile
