// The file an export writes: unseen until it is whole, then put in the output's place at once.
#pragma once

#include <QFile>
#include <QString>

namespace velkora::bookexport {

// Opens an unnamed file in the output's folder (O_TMPFILE) where the file system has them, else a
// hidden temporary file beside the output. Either way nothing of it is left when the export stops
// before commit(): the unnamed file disappears with its descriptor even when the process is
// killed. commit() gives it the output's name in one step (a new file the permissions the user's
// files get, a replaced one the permissions it had). Throws ExportError with the reason.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    QFile &device() { return m_file; }
    void commit();

private:
    QString m_path, m_named; // the output, and the temporary name where there is one
    int m_fd = -1;
    QFile m_file;
    bool m_committed = false;
};

} // namespace velkora::bookexport
