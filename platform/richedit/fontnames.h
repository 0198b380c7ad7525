// Font names as RTF files from Windows give them: a family tagged with a code page ("Arial TUR").
#pragma once

#include <QString>

namespace velkora::richedit {

// The family a font name of a font table stands for. Windows lists a family once more for each code
// page it has ("Arial TUR", "Times New Roman CE", "Courier New Cyr", "Arial Greek", "Arial Baltic")
// and RTF writers store those names, often with the family as the alternate ({\*\fname Arial;}):
// such a name is its alternate when it has one, else the name without the tag. Any other name is
// itself. The family then goes through the font substitutes as every family does.
QString fontFamilyFor(const QString &name, const QString &alternate = QString());

} // namespace velkora::richedit
