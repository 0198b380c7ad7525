// Resolves code-page-tagged font names of RTF font tables to their families.
#include "fontnames.h"

namespace velkora::richedit {

QString fontFamilyFor(const QString &name, const QString &alternate)
{
    static const QString tags[] = {QStringLiteral(" TUR"), QStringLiteral(" CE"), QStringLiteral(" Cyr"),
                                   QStringLiteral(" Greek"), QStringLiteral(" Baltic")};
    for (const QString &tag : tags) {
        if (name.size() > tag.size() && name.endsWith(tag, Qt::CaseInsensitive)) {
            const QString family = alternate.trimmed();
            return family.isEmpty() ? name.first(name.size() - tag.size()).trimmed() : family;
        }
    }
    return name;
}

} // namespace velkora::richedit
