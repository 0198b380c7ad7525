// Find-and-replace and picture-insertion benchmark: replace all of 10,000 occurrences in a 1 MB body
// (time and the resident memory it adds) and inserting a 5 MB JPEG picture at the caret.
// Prints BENCH lines. Usage: velkora_bench_findinsert BODY.rtf
// (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf).
#include "editor/findreplace.h"
#include "editor/insertcommands.h"
#include "editor/picturefile.h"
#include "platform/database/database.h"
#include "support/onebodybook.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBlock>

#include <cstdio>
#include <unistd.h>

namespace {

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0) : 0;
}

// A photograph-like picture of about the given size as a JPEG file (noise keeps it from compressing).
QByteArray largeJpeg(qint64 bytes)
{
    for (int side = 1600;; side += 200) {
        QImage image(side, side * 3 / 4, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x + random.bounded(60)) & 255, (y + random.bounded(60)) & 255, random.bounded(256));
        }
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(95);
        writer.write(image);
        if (out.size() >= bytes)
            return out;
    }
}

// The peak resident memory since the last resetPeak(), in MB.
double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!velkora::bench::makeOneBodyBook(argc, argv, "usage: velkora_bench_findinsert BODY.rtf\n", dir))
        return 2;
    velkora::ui::TForm1 form;
    form.FormShow();
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    auto *editor = form.Yazi;
    editor->setFocus();

    // 10,000 occurrences of a word the body does not hold, spread evenly over it.
    const QString word = QStringLiteral("zeytinyağı");
    {
        const int length = editor->textLength();
        editor->document()->setUndoRedoEnabled(false);
        QTextCursor c(editor->document());
        for (int i = 9999; i >= 0; --i) {
            c.setPosition(static_cast<int>(static_cast<qint64>(length) * i / 10000));
            c.insertText(word + u' ');
        }
        editor->document()->setUndoRedoEnabled(true);
        editor->setSelection(0, 0);
    }
    QApplication::processEvents();
    form.YaziFind->showWarning = [](const QString &message) { std::fprintf(stderr, "%s\n", qPrintable(message)); };
    form.BulDegistir1->trigger();
    velkora::editor::FindReplaceDialog *dialog = form.YaziFind->replaceDialog();
    dialog->setFindText(word);
    dialog->setReplaceText(QStringLiteral("ZEYTİNYAĞI"));
    dialog->setMatchCase(true);
    QApplication::processEvents();
    const double before = residentMb();
    resetPeak();
    QElapsedTimer t;
    t.start();
    const int count = form.YaziFind->replaceAll();
    QApplication::processEvents();
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("BENCH replace_all_10000_in_1mb %.1f ms (%d replaced)\n", ms, count);
    std::printf("BENCH replace_all_10000_in_1mb_extra_memory %.1f MB (peak %.1f MB)\n", residentMb() - before,
                peakMb() - before);
    dialog->hide();

    // A 5 MB JPEG inserted at the caret: decoding, the clipboard and the paste.
    const QByteArray jpeg = largeJpeg(5 * 1024 * 1024);
    const QString picture = dir.filePath(QStringLiteral("large.jpg"));
    QFile out(picture);
    out.open(QIODevice::WriteOnly);
    out.write(jpeg);
    out.close();
    editor->setSelection(100, 100);
    t.restart();
    const velkora::editor::LoadedPicture decoded = velkora::editor::loadPictureFile(picture);
    std::printf("BENCH decode_jpeg_%.1fmb %.1f ms (%d x %d)\n", jpeg.size() / (1024.0 * 1024.0), t.nsecsElapsed() / 1e6,
                decoded.image.width(), decoded.image.height());
    t.restart();
    form.YaziInsert->insertPictureFile(picture);
    const double insertMs = t.nsecsElapsed() / 1e6;
    QApplication::processEvents();
    std::printf("BENCH insert_jpeg_%.1fmb %.1f ms\n", jpeg.size() / (1024.0 * 1024.0), insertMs);
    return 0;
}
