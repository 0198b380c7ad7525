// Profile (INI) files as the program keeps its settings in them: sections and keys matched
// ignoring letter case, values read as text, integers or booleans with a caller's default,
// comments and unknown entries kept when a value is rewritten, and every save a new file renamed
// over the old one.
#pragma once

#include <QFileDevice>
#include <QFileInfo>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace velkora::profile {

// A value could not be written: "Unable to write to <path>".
class ProfileWriteError : public std::runtime_error
{
public:
    explicit ProfileWriteError(const QString &path);
    QString path() const { return m_path; }

private:
    QString m_path;
};

// One profile file, read when the object is made and written back by save().
//
// Reading never fails: a missing file is an empty profile, and a file that cannot be read, is
// larger than MaxFileBytes or has more than MaxLines lines is taken as empty too, with the reason in loadProblem(); NUL bytes are
// characters of their lines like any other.
// The file is read as UTF-8 when it is valid UTF-8, otherwise in the Turkish Windows code page
// (1254). Section and key names are matched ignoring letter case (Turkish-neutral: ASCII and
// Unicode simple case folding); the first of two equal sections or keys wins, as on Windows.
// A value is the text after the first '=' with blanks around it trimmed, and one pair of
// surrounding double quotes removed; it is cut to MaxValueLength characters when read.
//
// Writing changes the text in memory only: an existing key's line is replaced in place, a new key
// goes after the last entry of its section, a new section at the end of the file. Every other line
// (comments starting with ';' or '#', blank lines, other sections and keys, lines that are not
// entries) stays exactly as it was. save() writes the whole text into a new file beside the old one,
// flushes it to the disk and renames it over the old one, so a crash or a full disk leaves either
// the old or the new file. It is written in UTF-8 with the line ends the file had (CR LF for a new one),
// and only when a value changed. A file that could not be read is first kept aside as
// "<name>.damaged" (keptAside()), so what it held is never written over.
class ProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;
    // A settings file is a few kilobytes; a larger one is still read up to this size.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    // More lines than this is no settings file a person wrote; it is not read (memory stays bounded).
    static constexpr qsizetype MaxLines = 1'000'000;

    explicit ProfileFile(QString path);

    QString path() const { return m_path; }
    QString loadProblem() const { return m_loadProblem; }
    // Where save() kept the unreadable file it replaced, or empty.
    QString keptAside() const { return m_keptAside; }

    std::optional<QString> value(const QString &section, const QString &key) const;
    // The value, or def when the key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // An optionally signed decimal integer, or a hexadecimal one written "0x…" or "$…"; values that
    // overflow 32 bits wrap as a Windows DWORD does (so FF000008 reads as -16777208). def when the
    // key is missing or its value is not such an integer.
    int readInteger(const QString &section, const QString &key, int def) const;
    // An integer other than 0 is true; def when readInteger would give its default.
    bool readBool(const QString &section, const QString &key, bool def) const;

    // A value that would not read back as written (blanks at its ends, a pair of surrounding
    // quotes) is written inside double quotes; line breaks and NUL characters, which an entry of
    // one line cannot hold, are written as spaces.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Removes the key's line; nothing happens when there is none.
    void removeKey(const QString &section, const QString &key);

    // Writes the file as described above, creating it with the given permissions when it is new
    // (an existing file keeps its own). Throws ProfileWriteError naming the path on any failure,
    // leaving the file on the disk as it was; an existing file whose permissions forbid the user to
    // write it, a path that is not a regular file (a folder, a FIFO), or a symbolic link to anything
    // but a regular file of the user running the program is such a failure. Temporary files left by
    // a save cut short earlier (".<name>.XXXXXX", a minute old) are removed.
    void save(QFileDevice::Permissions newFilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                             | QFileDevice::ReadGroup | QFileDevice::ReadOther);

private:
    enum class LineKind { Other, Section, Entry };
    enum class LineEnd { None, Lf, CrLf };
    // One line of the file as it was read or written: its text without the line end, and for a
    // section header or an entry the trimmed section or key name.
    struct Line
    {
        QString text;
        LineEnd end = LineEnd::None;
        LineKind kind = LineKind::Other;
        QString name;
    };

    void load();
    static void removeLeftovers(const QFileInfo &target);
    void parse(const QString &text);
    static Line makeLine(QString text, LineEnd end);
    // The index of the first header of the section, or -1; and the index of the section's first
    // entry with the key, or -1.
    qsizetype findSection(const QString &section) const;
    qsizetype findKey(qsizetype sectionLine, const QString &key) const;
    std::optional<int> integerValue(const QString &section, const QString &key) const;
    void insertLine(qsizetype at, const QString &text);
    QByteArray encoded() const;

    QString m_path;
    QString m_loadProblem;
    QString m_keptAside;
    bool m_changed = false;
    LineEnd m_lineEnd = LineEnd::CrLf;
    bool m_byteOrderMark = false;
    std::vector<Line> m_lines;
};

// What replaceFile does with the permissions of a file it replaces.
enum class ExistingMode { Keep, Replace };

// Writes bytes as the whole content of path: into a new file beside it, flushed to the disk and
// renamed over it, so a crash or a full disk leaves either the old or the new file. A new file gets
// newFilePermissions; an existing one keeps its own (Keep) or gets newFilePermissions too (Replace).
// A symbolic link is followed only to a regular file of the user running the program (the file is
// replaced, the link stays); anything else there but a regular file the user may write is refused.
// beforeWriting sees the file that will be replaced (the link's target) before anything is written.
// Throws ProfileWriteError naming path on any failure, leaving the file on the disk as it was.
void replaceFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions newFilePermissions,
                 ExistingMode existing = ExistingMode::Keep,
                 const std::function<void(const QFileInfo &target)> &beforeWriting = nullptr);

// Where the program's files live.
//
// settingsFilePath(): "Velkora.ini" in the folder of the executable. When that folder cannot be
// written (a program installed for the whole system), or when a "Velkora.ini" already exists in the
// per-user configuration folder ($XDG_CONFIG_HOME/velkora, else ~/.config/velkora), the one in the
// per-user folder is used instead; that folder is then made (0700) when it is missing.
// The second form takes the answer to "can the executable's folder be written" from the caller;
// the first asks the file system (access(W_OK)), which always says yes to root.
// winIniPath(): "win.ini" in the per-user configuration folder; the folder is made (0700) when it
// is missing.
QString settingsFilePath(const QString &executableFolder);
QString settingsFilePath(const QString &executableFolder, bool executableFolderWritable);
QString userConfigFolder();
// Makes folder and its missing parents readable by the user alone (0700); an existing folder keeps
// its permissions. A failure shows up later, when a file in it cannot be written.
void makePrivateFolder(const QString &folder);
QString winIniPath();

} // namespace velkora::profile
