// Embedded objects as the body's RTF holds them: written and read back, each kind and view; heads
// that are damaged or claim too much are refused.
#include "platform/objects/embeddedobject.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velkora::objects;

namespace {

// The head of the object group as the RTF reader keeps it: up to the result, closed.
QByteArray headOf(const QByteArray &rtf)
{
    const qsizetype result = rtf.indexOf("{\\result");
    return rtf.left(result) + '}';
}

} // namespace

TEST(EmbeddedObjects, EveryKindAndViewIsReadBackAsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tablo.csv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a;b\n1;2\n");
    f.close();
    std::vector<EmbeddedObject> objects = {createBlank(newObjectKinds().at(0).className),
                                           createBlank(newObjectKinds().at(1).className), fromFile(path, false),
                                           fromFile(path, true)};
    objects[2].asIcon = true;
    for (const EmbeddedObject &o : objects) {
        const QByteArray rtf = o.toRtf();
        EXPECT_TRUE(rtf.startsWith(o.linked ? "{\\object\\objlink" : "{\\object\\objemb")) << rtf.left(40).constData();
        EXPECT_TRUE(rtf.contains("{\\*\\objdata"));
        EXPECT_TRUE(rtf.contains("{\\result {\\pict\\pngblip"));
        const auto back = fromRtfHead(headOf(rtf));
        ASSERT_TRUE(back.has_value()) << o.fileName.toStdString();
        EXPECT_EQ(back->className, o.className);
        EXPECT_EQ(back->fileName, o.fileName);
        EXPECT_EQ(back->data, o.data);
        EXPECT_EQ(back->linked, o.linked);
        EXPECT_EQ(back->asIcon, o.asIcon);
        EXPECT_EQ(back->blank, o.blank);
        EXPECT_EQ(back->typeName(), o.typeName());
    }
    EXPECT_EQ(objects[0].typeName(), QStringLiteral("Metin Belgesi"));
    EXPECT_EQ(objects[1].typeName(), QStringLiteral("Resim"));
    EXPECT_EQ(objects[1].look().size(), QSize(320, 240)); // a picture is shown by its picture
    EXPECT_EQ(objects[2].data, QByteArray("a;b\n1;2\n"));
    EXPECT_TRUE(objects[3].data.isEmpty());
    EXPECT_EQ(objects[3].content(), QByteArray("a;b\n1;2\n")); // a link reads its file
    EXPECT_EQ(objects[3].fileName, path);
}

TEST(EmbeddedObjects, DamagedOrBoastfulHeadsAreRefused)
{
    const QByteArray good = headOf(fromFile(QStringLiteral(__FILE__), false).toRtf());
    ASSERT_TRUE(fromRtfHead(good).has_value());
    // Cut inside the data: the size it claims is not there.
    const qsizetype data = good.indexOf("\\objdata");
    EXPECT_FALSE(fromRtfHead(good.left(data + 200) + "}}").has_value());
    // A class name claiming four gigabytes.
    EXPECT_FALSE(fromRtfHead("{\\object\\objemb{\\*\\objdata 01050000 02000000 ffffffff 41}}").has_value());
    // An unknown class, a missing data group, not an object at all.
    EXPECT_FALSE(fromRtfHead("{\\object\\objemb{\\*\\objdata 01050000 02000000 0400000041424300 01000000 00 01000000 00 00000000}}")
                     .has_value());
    EXPECT_FALSE(fromRtfHead("{\\object\\objemb}").has_value());
    EXPECT_FALSE(fromRtfHead("{\\pict}").has_value());
}

TEST(EmbeddedObjects, AFileThatCannotBeReadIsRefused)
{
    EXPECT_THROW(fromFile(QStringLiteral("/yok/böyle/bir/dosya.txt"), false), std::runtime_error);
}
