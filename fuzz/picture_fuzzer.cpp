// Fuzz target: any bytes read as a picture file of any registered kind (the first byte picks the
// extension) are refused with a message or give a picture of bounded size; embedded-object heads
// (VELKORA_FUZZ_OBJECT_HEAD) are refused or read back.
#include "editor/picturefile.h"
#include "platform/objects/embeddedobject.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
#ifdef VELKORA_FUZZ_OBJECT_HEAD
    if (const auto object = velkora::objects::fromRtfHead(bytes))
        object->objectData();
#else
    const QStringList extensions = velkora::editor::pictureExtensions();
    try {
        const auto picture = velkora::editor::loadPicture(bytes, extensions.at(data[0] % extensions.size()));
        if (static_cast<qint64>(picture.image.width()) * picture.image.height() > 64ll * 1024 * 1024)
            __builtin_trap();
    } catch (const velkora::editor::EditorError &) {
    }
#endif
    return 0;
}
