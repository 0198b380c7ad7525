// velkora-dev: diagnostics for developers: the book engine's statements and text comparison,
// the RTF reader and writer, report files and metafiles, and the spell checker.
#include "platform/database/databaseerror.h"
#include "platform/database/selectstatement.h"
#include "platform/database/turkishtext.h"
#include "metafilecommands.h"
#include "reportcommands.h"
#include "rtfcommands.h"
#include "spellcommand.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: velkora-dev statement TEXT      how the engine parses a statement\n"
               "       velkora-dev like PATTERN TEXT    whether TEXT matches the LIKE pattern\n"
               "       velkora-dev collate A B          how the book orders two titles\n"
               "       velkora-dev rtf-text FILE        the plain text the RTF reader extracts\n"
               "       velkora-dev rtf-html FILE        the document the RTF reader builds, as HTML\n"
               "       velkora-dev rtf-roundtrip FILE   read, write, read again; exit 1 when they differ\n"
               "       velkora-dev metafile-render IN OUT.png [--width W]   a WMF or EMF drawn as PNG\n"
               "       velkora-dev metafile-info IN     the header and a count of each record type\n"
               "       velkora-dev qrp-info IN.QRP      a report file's pages, header and creation time\n"
               "       velkora-dev qrp-to-pdf IN.QRP OUT.pdf   a report file's pages as a PDF\n"
               "       velkora-dev spell FILE           the unknown words of an RTF or text file: word line:col\n",
               stderr);
    return 2;
}

void print(const QString &text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
}

QString conditionName(velkora::database::SelectStatement::Condition c)
{
    switch (c) {
    case velkora::database::SelectStatement::Condition::None: return QStringLiteral("none");
    case velkora::database::SelectStatement::Condition::EqualsParameter: return QStringLiteral("equals-parameter");
    case velkora::database::SelectStatement::Condition::Like: return QStringLiteral("like");
    }
    return QString();
}

int databaseCommand(const QStringList &args)
{
    using namespace velkora::database;
    try {
        if (args[0] == u"statement" && args.size() == 2) {
            const SelectStatement st = SelectStatement::parse(args[1]);
            print(QStringLiteral("table: %1").arg(st.table));
            print(QStringLiteral("condition: %1").arg(conditionName(st.condition)));
            if (st.condition != SelectStatement::Condition::None)
                print(QStringLiteral("field: %1").arg(st.conditionField));
            if (st.condition == SelectStatement::Condition::EqualsParameter)
                print(QStringLiteral("parameter: %1").arg(st.parameterName));
            if (st.condition == SelectStatement::Condition::Like)
                print(QStringLiteral("pattern: %1").arg(st.likePattern));
            if (!st.orderByField.isEmpty())
                print(QStringLiteral("order: %1%2").arg(st.orderByField, st.descending ? QStringLiteral(" desc") : QString()));
            return 0;
        }
        if (args[0] == u"like" && args.size() == 3) {
            const bool m = likeMatches(foldText(args[1]), foldText(args[2]));
            print(m ? QStringLiteral("match") : QStringLiteral("no match"));
            return m ? 0 : 1;
        }
        if (args[0] == u"collate" && args.size() == 3) {
            const TurkishCollator collator;
            const int c = collator.compare(args[1], args[2]);
            print(c < 0 ? QStringLiteral("<") : (c > 0 ? QStringLiteral(">") : QStringLiteral("=")));
            return 0;
        }
    } catch (const DatabaseError &e) {
        std::fprintf(stderr, "velkora-dev: %s\n", e.message().toLocal8Bit().constData());
        return 2;
    }
    return usage();
}

} // namespace

int main(int argc, char **argv)
{
    // Documents need a GUI application for their fonts, but no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    if (args[0].startsWith(u"metafile-"))
        return velkora::tools::metafileCommand(args);
    if (args[0].startsWith(u"qrp-"))
        return velkora::tools::reportCommand(args);
    if (args[0].startsWith(u"rtf-")) {
        if (args.size() != 2)
            return usage();
        return velkora::tools::rtfCommand(args[0], args[1]);
    }
    if (args[0] == u"spell") {
        if (args.size() != 2)
            return usage();
        return velkora::tools::spellCommand(args[1]);
    }
    return databaseCommand(args);
}
