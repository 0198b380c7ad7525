// Code pages of RTF text: which one a font's character set names, and decoding bytes through it.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QStringDecoder;

namespace velkora::richedit {

// The Windows code page an RTF \fcharset stands for (0 when the character set names none).
int codePageForCharset(int charset);

// The ICU name Qt knows a Windows or Mac code page by; empty for one it cannot decode.
QByteArray codecNameForCodePage(int codePage);

// Decodes bytes of one code page, statefully, so multi-byte characters (Shift-JIS, GBK, Big5,
// Hangul) split across \'hh escapes come out whole. Unknown code pages fall back to 1252.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(int codePage);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder &&) noexcept;
    CodePageDecoder &operator=(CodePageDecoder &&) noexcept;

    int codePage() const { return m_codePage; }
    QString decode(const QByteArray &bytes);
    // The same, appended to `out`.
    void decodeInto(const QByteArray &bytes, QString &out);

private:
    int m_codePage;
    std::unique_ptr<QStringDecoder> m_decoder;
    bool m_symbol = false;
    // A code page of one byte a character decodes by this table (each byte's character), made once
    // a run; null for the others.
    const std::vector<char16_t> *m_table = nullptr;
};

// The Unicode character a byte of the Symbol font shows (Greek letters, arrows, bullets, maths).
char16_t symbolFontCharacter(unsigned char byte);

} // namespace velkora::richedit
