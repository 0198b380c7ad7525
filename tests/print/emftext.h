// For print tests: the text an EMF page holds, record by record, with where each run stands.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QtEndian>

#include <vector>

namespace velkora::testing {

struct EmfTextRun
{
    QPoint at; // the reference point, in the page's pixels
    QString text;
};

// Every EXTTEXTOUTW record's string, in the order drawn.
inline std::vector<EmfTextRun> emfTextRuns(const QByteArray &emf)
{
    std::vector<EmfTextRun> runs;
    qsizetype at = 0;
    const auto u32 = [&](qsizetype o) { return qFromLittleEndian<quint32>(emf.constData() + o); };
    const auto i32 = [&](qsizetype o) { return qFromLittleEndian<qint32>(emf.constData() + o); };
    while (at + 8 <= emf.size()) {
        const quint32 type = u32(at), size = u32(at + 4);
        if (size < 8 || quint64(at) + size > quint64(emf.size()))
            break;
        if (type == 84 && size >= 76) { // EMR_EXTTEXTOUTW
            const quint32 chars = u32(at + 44), offString = u32(at + 48);
            if (offString + chars * 2 <= size) {
                QString text;
                for (quint32 i = 0; i < chars; ++i)
                    text.append(QChar(qFromLittleEndian<quint16>(emf.constData() + at + offString + i * 2)));
                runs.push_back({QPoint(i32(at + 36), i32(at + 40)), text});
            }
        }
        if (type == 14) // EMR_EOF
            break;
        at += size;
    }
    return runs;
}

// All the text of a page: runs on one line joined as they are, lines by "\n" (a new line starts
// where a run's reference point moves down).
inline QString emfText(const QByteArray &emf)
{
    QString out;
    int lastY = -1;
    for (const EmfTextRun &run : emfTextRuns(emf)) {
        if (lastY >= 0 && run.at.y() > lastY + 2)
            out.append(u'\n');
        out.append(run.text);
        lastY = run.at.y();
    }
    return out;
}

} // namespace velkora::testing
