// Page-picture benchmark: a full A4 page of text (about 2,000 words in several fonts) at 96 dpi,
// recorded and played back through EmfWriter/EmfPlayer and, side by side, through QPicture.
// Prints BENCH lines: record and playback time (median of the runs) and the bytes of each.
// Usage: velkora_bench_metafile [RUNS [FOLDER]]; with a folder, the played pages are saved there as PNG.
#include "platform/metafile/emfplayer.h"
#include "platform/metafile/emfwriter.h"

#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using velkora::metafile::EmfPlayer;
using velkora::metafile::EmfWriter;

namespace {

const QSize Page(794, 1123); // A4 at 96 dpi

QStringList paragraphs()
{
    static const char *const words[] = {
        "kitap", "konu", "başlık", "sayfa", "yazı", "güzel", "ağaç", "çiçek", "öğrenci", "şehir", "ılık", "rüzgâr",
        "defter", "kalem", "satır", "paragraf", "bölüm", "anlatım", "örnek", "metin", "the", "page", "print", "preview"};
    QRandomGenerator random(7);
    QStringList out;
    int total = 0;
    while (total < 2000) {
        QStringList p;
        const int n = 60 + random.bounded(60);
        for (int i = 0; i < n && total < 2000; ++i, ++total)
            p << QString::fromUtf8(words[random.bounded(int(std::size(words)))]);
        out << p.join(QLatin1Char(' '));
    }
    return out;
}

void drawPage(QPainter &painter, const QStringList &text)
{
    const QFont fonts[] = {
        [] { QFont f(QStringLiteral("DejaVu Sans")); f.setPixelSize(9); return f; }(),
        [] { QFont f(QStringLiteral("DejaVu Serif")); f.setPixelSize(10); f.setBold(true); return f; }(),
        [] { QFont f(QStringLiteral("Liberation Mono")); f.setPixelSize(9); return f; }(),
        [] { QFont f(QStringLiteral("DejaVu Sans")); f.setPixelSize(10); f.setItalic(true); return f; }(),
    };
    const QColor colours[] = {Qt::black, QColor(0, 0, 140), QColor(90, 0, 0), QColor(0, 90, 0)};
    double y = 40;
    for (int i = 0; i < text.size(); ++i) {
        painter.setFont(fonts[i % 4]);
        painter.setPen(colours[i % 4]);
        QRectF used;
        painter.drawText(QRectF(40, y, Page.width() - 80, Page.height() - y), Qt::TextWordWrap, text.at(i), &used);
        y += used.height() + 4;
    }
}

// Runs two pieces of work in turn, so that both see the same machine, and gives each one's median.
std::pair<double, double> medianMs(int runs, const std::function<void()> &first, const std::function<void()> &second)
{
    std::vector<double> a, b;
    const auto time = [](const std::function<void()> &work) {
        QElapsedTimer t;
        t.start();
        work();
        return t.nsecsElapsed() / 1e6;
    };
    for (int i = 0; i < runs; ++i) {
        a.push_back(time(first));
        b.push_back(time(second));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const QStringList text = paragraphs();

    QByteArray emf;
    QPicture picture;
    const auto [emfRecord, picRecord] = medianMs(
        runs,
        [&] {
            EmfWriter writer(Page, 96);
            QPainter p(&writer);
            drawPage(p, text);
            p.end();
            emf = writer.bytes();
        },
        [&] {
            QPicture pic;
            QPainter p(&pic);
            drawPage(p, text);
            p.end();
            picture = pic;
        });

    QImage target(Page, QImage::Format_ARGB32_Premultiplied);
    EmfPlayer player;
    QString error;
    if (!player.load(emf, &error)) {
        std::fprintf(stderr, "velkora_bench_metafile: %s\n", qPrintable(error));
        return 1;
    }
    QImage emfPage(Page, QImage::Format_ARGB32_Premultiplied), picturePage(Page, QImage::Format_ARGB32_Premultiplied);
    const auto [emfPlay, picPlay] = medianMs(
        runs,
        [&] {
            emfPage.fill(Qt::white);
            QPainter p(&emfPage);
            player.play(&p, QRectF(QPointF(0, 0), QSizeF(Page)));
        },
        [&] {
            picturePage.fill(Qt::white);
            QPainter p(&picturePage);
            p.drawPicture(0, 0, picture);
        });
    if (argc > 2) {
        emfPage.save(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/page-emf.png"));
        picturePage.save(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/page-qpicture.png"));
    }
    // Drawing the page straight onto the image, for scale.
    const double direct = medianMs(
        runs,
        [&] {
            target.fill(Qt::white);
            QPainter p(&target);
            drawPage(p, text);
        },
        [] {}).first;

    std::printf("BENCH metafile_page_words %d words\n", int(text.join(QLatin1Char(' ')).count(QLatin1Char(' ')) + 1));
    std::printf("BENCH metafile_emf_record %.2f ms\n", emfRecord);
    std::printf("BENCH metafile_qpicture_record %.2f ms\n", picRecord);
    std::printf("BENCH metafile_emf_play %.2f ms\n", emfPlay);
    std::printf("BENCH metafile_qpicture_play %.2f ms\n", picPlay);
    std::printf("BENCH metafile_direct_draw %.2f ms\n", direct);
    std::printf("BENCH metafile_emf_bytes %lld bytes\n", static_cast<long long>(emf.size()));
    std::printf("BENCH metafile_qpicture_bytes %u bytes\n", picture.size());
    std::printf("BENCH metafile_record_ratio %.2f x\n", emfRecord / picRecord);
    std::printf("BENCH metafile_play_ratio %.2f x\n", emfPlay / picPlay);
    std::printf("BENCH metafile_bytes_ratio %.2f x\n", double(emf.size()) / picture.size());
    return 0;
}
