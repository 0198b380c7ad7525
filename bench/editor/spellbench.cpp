// Spell checking in a body of 1 MB: reading the dictionary, the whole first check (in slices on the
// user-interface thread) and its longest slice, and a key press to the editor's repaint while a
// check runs, beside the same keys with checking off. Side by side: `hunspell -d tr_TR -l` over the
// body's text, the floor for checking every word once.
// Prints BENCH lines. Usage: velkora_bench_spell BODY.rtf (text_1m.rtf from gen_rtf.py).
#include "spelling/spellchecker.h"
#include "spelling/speller.h"
#include "support/onebodybook.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <functional>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Notes when a key press reaches the editor, so that the repaint after it is the one timed.
class KeyWatch : public QObject
{
public:
    bool delivered = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            delivered = true;
        return false;
    }
};

// Key presses posted from another thread, as the windowing system's events come, at a moment
// the user-interface thread may be busy (in a slice of checking), each timed from its posting
// until the end of the editor's first repaint after the key reached it.
std::vector<double> keysToRepaint(velkora::richedit::RichEditControl *editor, bool *painted, KeyWatch *watch,
                                  const std::function<void(int)> &beforeKey = nullptr)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    const QString text = QStringLiteral("çalışma ağaç ışık yanlız ");
    std::mt19937 random(7);
    for (int i = 0; i < 100; ++i) {
        if (beforeKey)
            beforeKey(i);
        std::atomic<Clock::rep> postedAt{0};
        const int delayUs = std::uniform_int_distribution<int>(500, 12000)(random);
        watch->delivered = false;
        *painted = false;
        QThread *poster = QThread::create([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            postedAt = Clock::now().time_since_epoch().count();
            QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(text.at(i % text.size()))));
        });
        poster->start();
        while (!*painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const Clock::rep end = Clock::now().time_since_epoch().count();
        poster->wait();
        delete poster;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::duration(end - postedAt)).count());
        // About the pace of fast typing: the check goes on between the keys.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 60)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace velkora;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!bench::makeOneBodyBook(argc, argv, "usage: velkora_bench_spell BODY.rtf\n", dir))
        return 2;
    QElapsedTimer t;
    t.start();
    spelling::Speller speller{QString()};
    if (!speller.available()) {
        std::fprintf(stderr, "%s\n", qPrintable(spelling::Speller::missingHint()));
        return 2;
    }
    speller.waitUntilReady();
    std::printf("BENCH spell_dictionary_load %.0f ms\n", t.nsecsElapsed() / 1e6);

    ui::TForm1 form;
    form.FormShow();
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    auto *editor = form.Yazi;
    bool on = false;
    spelling::SpellChecker checker(editor, &speller, [&on] { return on; });
    bool painted = false;
    KeyWatch watch;
    editor->installEventFilter(&watch);
    const auto draw = editor->paintOver;
    editor->paintOver = [&](QPainter &p, const QRectF &area) {
        draw(p, area);
        painted = painted || watch.delivered;
    };

    // The whole first check, from the top of the body.
    bool finished = false;
    QObject::connect(&checker, &spelling::SpellChecker::finished, [&] { finished = true; });
    t.restart();
    on = true;
    checker.refresh();
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::printf("BENCH spell_first_check_1mb %.0f ms (%lld words marked)\n", t.nsecsElapsed() / 1e6,
                static_cast<long long>(checker.marks().size()));
    std::printf("BENCH spell_longest_slice %.2f ms\n", checker.longestSliceNs() / 1e6);

    // Typing in the middle of the body with checking off, then while the whole body is checked again
    // (a word added to the list has every paragraph checked anew).
    editor->setFocus();
    QTextCursor c = editor->textCursor();
    c.setPosition(editor->textLength() / 2);
    editor->setTextCursor(c);
    editor->ensureCursorVisible();
    on = false;
    checker.refresh();
    QApplication::processEvents();
    const std::vector<double> off = keysToRepaint(editor, &painted, &watch);
    on = true;
    checker.resetLongestSlice();
    int stillChecking = 0;
    // Each key comes while the rest of the body is being checked anew: a word ignored before it has
    // every paragraph checked again, its verdicts forgotten; the screen's paragraphs are checked
    // by the repaint that follows, the rest in slices, and the key comes during those.
    const std::vector<double> checking = keysToRepaint(editor, &painted, &watch, [&](int i) {
        speller.ignore(QStringLiteral("qqqq%1").arg(i));
        watch.delivered = true; // the repaint the change asks for is the one waited for
        painted = false;
        while (!painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        stillChecking += !checker.idle();
    });
    const bool ranThrough = stillChecking > 0;
    std::printf("BENCH spell_key_to_repaint_off_median %.2f ms\n", median(off));
    std::printf("BENCH spell_key_to_repaint_checking_median %.2f ms%s\n", median(checking),
                ranThrough ? "" : " (no key came while checking)");
    std::printf("BENCH spell_key_to_repaint_checking_worst %.2f ms\n", *std::max_element(checking.begin(), checking.end()));
    std::printf("BENCH spell_longest_slice_while_typing %.2f ms\n", checker.longestSliceNs() / 1e6);

    // Reading the body in again (as switching to it does), with checking off and on: the check
    // itself waits for the first paint; what the load pays is its watching of the changes.
    const QByteArray rtf = editor->streamOutRtf();
    for (const bool checking : {false, true}) {
        on = checking;
        checker.refresh();
        std::vector<double> loads;
        for (int i = 0; i < 5; ++i) {
            t.restart();
            editor->streamInRtf(rtf);
            loads.push_back(t.nsecsElapsed() / 1e6);
            QApplication::processEvents();
        }
        std::printf("BENCH spell_reload_1mb_%s %.1f ms\n", checking ? "checking" : "off", median(loads));
    }

    // The floor: hunspell -l over the same text, dictionary loading included (as above).
    const QString textFile = dir.filePath(QStringLiteral("body.txt"));
    {
        QFile f(textFile);
        f.open(QIODevice::WriteOnly);
        f.write(editor->toPlainText().toUtf8());
    }
    QProcess hunspell;
    t.restart();
    hunspell.start(QStringLiteral("hunspell"), {QStringLiteral("-d"), QStringLiteral("tr_TR"), QStringLiteral("-l"), textFile});
    if (hunspell.waitForStarted() && hunspell.waitForFinished(600000)) {
        const QList<QByteArray> lines = hunspell.readAllStandardOutput().split('\n');
        std::printf("BENCH spell_hunspell_l_1mb %.0f ms (%lld words listed)\n", t.nsecsElapsed() / 1e6,
                    static_cast<long long>(lines.size() - 1));
    } else {
        std::printf("BENCH spell_hunspell_l_1mb n/a (hunspell not installed)\n");
    }
    return 0;
}
