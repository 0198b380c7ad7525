// Editing benchmark in a body of 1 MB: typing latency (a key press to the repaint of the editor), the
// toolbar refresh after a caret move, bold over the whole body and its undo, and the time to save it.
// Prints BENCH lines. Usage: velkora_bench_editor BODY.rtf
// (a 1 MB body made by shared/tools/gen_rtf.py: text_1m.rtf).
#include "platform/database/database.h"
#include "support/onebodybook.h"
#include "ui/main/tform1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!velkora::bench::makeOneBodyBook(argc, argv, "usage: velkora_bench_editor BODY.rtf\n", dir))
        return 2;
    QElapsedTimer t;
    t.start();
    velkora::ui::TForm1 form;
    form.FormShow();
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    std::printf("BENCH editor_open_1mb_body %.1f ms\n", t.nsecsElapsed() / 1e6);
    auto *editor = form.Yazi;
    editor->setFocus();
    QTextCursor c = editor->textCursor();
    c.setPosition(editor->textLength() / 2);
    editor->setTextCursor(c);
    editor->ensureCursorVisible();
    QApplication::processEvents();

    std::vector<double> keys;
    const QString text = QStringLiteral("çalışma ağaç ışık ");
    for (int i = 0; i < 60; ++i) {
        const QString ch(text.at(i % text.size()));
        t.restart();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
        QApplication::sendEvent(editor, &press);
        editor->viewport()->repaint();
        keys.push_back(t.nsecsElapsed() / 1e6);
    }
    const double first = keys.front();
    std::sort(keys.begin(), keys.end());
    std::printf("BENCH editor_first_key_1mb %.2f ms\n", first);
    std::printf("BENCH editor_key_to_repaint_1mb_median %.2f ms\n", keys[keys.size() / 2]);
    std::printf("BENCH editor_key_to_repaint_1mb_worst %.2f ms\n", keys.back());

    // The toolbar refresh after a caret move, with the caret spread over the body.
    std::vector<double> refresh;
    for (int i = 0; i < 200; ++i) {
        QTextCursor at = editor->textCursor();
        at.setPosition(static_cast<int>(static_cast<qint64>(editor->textLength()) * i / 200));
        t.restart();
        editor->setTextCursor(at); // runs the refresh through the selection-change signal
        refresh.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(refresh.begin(), refresh.end());
    std::printf("BENCH editor_selection_change_1mb_median %.3f ms\n", refresh[refresh.size() / 2]);
    std::printf("BENCH editor_selection_change_1mb_worst %.3f ms\n", refresh.back());

    // Laying the whole body out again with nothing changed: what any change of all of it costs at least.
    t.restart();
    editor->document()->markContentsDirty(0, editor->textLength());
    editor->viewport()->repaint();
    std::printf("BENCH editor_relayout_whole_1mb %.1f ms\n", t.nsecsElapsed() / 1e6);
    // Bold over the whole body and its undo, each with the repaint that follows.
    editor->selectAll();
    t.restart();
    form.BtnKalin->click();
    editor->viewport()->repaint();
    std::printf("BENCH editor_bold_whole_1mb %.1f ms\n", t.nsecsElapsed() / 1e6);
    // The characters the command did not reach (a check of the figure, not a figure).
    const auto notBold = [editor] {
        qint64 count = 0;
        for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().fontWeight() < QFont::Bold)
                    count += it.fragment().length();
            }
        }
        return count;
    };
    const qint64 before = notBold();
    if (before != 0)
        std::fprintf(stderr, "bench: %lld characters are not bold after the bold command\n", static_cast<long long>(before));
    t.restart();
    form.Geri1->trigger();
    editor->viewport()->repaint();
    std::printf("BENCH editor_undo_bold_whole_1mb %.1f ms\n", t.nsecsElapsed() / 1e6);
    if (notBold() == 0)
        std::fprintf(stderr, "bench: the undo left the whole body bold\n");
    if (form.Geri1->text() != QStringLiteral("Geri Yazılan"))
        std::fprintf(stderr, "bench: after the undo the next step should be the typing, not %s\n",
                     qPrintable(form.Geri1->text()));
    // The same again a few times: the first of each pays for loading the bold faces; the median of
    // the later ones is what the machine's noise disturbs least.
    std::vector<double> bolds, undos;
    for (int i = 0; i < 5; ++i) {
        editor->selectAll();
        t.restart();
        form.BtnKalin->click();
        editor->viewport()->repaint();
        bolds.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        form.Geri1->trigger();
        editor->viewport()->repaint();
        undos.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(bolds.begin(), bolds.end());
    std::sort(undos.begin(), undos.end());
    std::printf("BENCH editor_bold_whole_1mb_again_median %.1f ms\n", bolds[bolds.size() / 2]);
    std::printf("BENCH editor_undo_bold_whole_1mb_again_median %.1f ms\n", undos[undos.size() / 2]);

    t.restart();
    const QByteArray rtf = editor->streamOutRtf();
    const double writing = t.nsecsElapsed() / 1e6;
    t.restart();
    form.DataSetPost1->trigger();
    std::printf("BENCH editor_save_1mb_body %.1f ms\n", t.nsecsElapsed() / 1e6);
    std::printf("BENCH editor_save_1mb_rtf_only %.1f ms (%lld bytes)\n", writing, static_cast<long long>(rtf.size()));
    return 0;
}
