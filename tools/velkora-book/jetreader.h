// Reading an old Jet book (Access 97 to 2003 `.mdb`) through libmdb. libmdb is C code reading
// bytes from outside: velkora-book runs this in a process of its own (the hidden `read-jet`
// command), so a damaged file that upsets it ends only that process.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace velkora::tools {

// Largest body the reader takes (libmdb's bind size, which otherwise cuts memo text at 16 KiB).
inline constexpr qint64 JetBindSize = 64ll << 20;

// Why the file at path is not a Jet 3 or Jet 4 file, from its first bytes; empty when it is one.
QString jetHeaderProblem(const QString &path);

// Where the stream goes, piece by piece (about a mebibyte each) as the rows are read.
using StreamFlush = std::function<void(const QByteArray &)>;

// Reads the file's table names and its `master` and `detail` tables and hands them to flush as the
// stream of importsource.h, as they are read; a file that cannot be read becomes a refusal in that
// stream (after the rows read before the problem). Opens the file read-only. Text is decoded as the
// file stores it: code page 1254 for Jet 3, UTF-16 (with Jet 4's compression) for Jet 4.
void readJetFile(const QString &path, const StreamFlush &flush);

// The same from bytes in memory (the fuzz target); path only names the file in messages.
QByteArray readJetBytes(const QByteArray &bytes, const QString &path);

} // namespace velkora::tools
