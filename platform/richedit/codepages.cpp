// Code pages of RTF text: which one a font's character set names, and decoding bytes through it.
#include "codepages.h"

#include <map>
#include <mutex>

#include <QStringDecoder>

namespace velkora::richedit {

int codePageForCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 2: return 42; // Symbol: decoded through its own table
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

QByteArray codecNameForCodePage(int cp)
{
    switch (cp) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 874: return "windows-874";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 1361: return "ibm-1363";
    case 10000: return "macintosh";
    case 10001: return "Shift_JIS";
    case 10002: return "Big5";
    case 10003: return "EUC-KR";
    case 10004: return "x-mac-arabic";
    case 10005: return "x-mac-hebrew";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10008: return "GB2312";
    case 10021: return "windows-874"; // the nearest ICU has to Mac Thai
    case 10029: return "x-mac-centraleurroman";
    case 10081: return "x-mac-turkish";
    case 65001: return "UTF-8";
    default:
        if (cp >= 1250 && cp <= 1258)
            return "windows-" + QByteArray::number(cp);
        return QByteArray();
    }
}

namespace {

// The page's 256 characters, or null when one of its bytes does not decode to one character.
const std::vector<char16_t> *singleByteTable(const QByteArray &name)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::unique_ptr<const std::vector<char16_t>>> tables;
    const std::lock_guard lock(mutex);
    const auto known = tables.find(name);
    if (known != tables.end())
        return known->second.get();
    auto table = std::make_unique<std::vector<char16_t>>(256);
    bool single = true;
    for (int b = 0; b < 256 && single; ++b) {
        QStringDecoder one(name.constData());
        const char byte = char(b);
        const QString c = one.decode(QByteArrayView(&byte, 1));
        single = c.size() == 1; // a byte the page leaves out decodes as it would in a run
        (*table)[size_t(b)] = single ? c.at(0).unicode() : 0;
    }
    if (!single)
        table.reset();
    return tables.emplace(name, std::move(table)).first->second.get();
}

} // namespace

CodePageDecoder::CodePageDecoder(int codePage) : m_codePage(codePage)
{
    if (codePage == 42) {
        m_symbol = true;
        return;
    }
    QByteArray name = codecNameForCodePage(codePage);
    if (name.isEmpty())
        name = "windows-1252";
    // The Windows and Mac code pages of one byte a character (not UTF-8 nor the Asian ones) decode
    // by a table of their 256 characters, made once a run for each page (it takes 256 decoders)
    // and shared by every reader: a reader is made for every body.
    if (name.startsWith("windows-") || name.startsWith("x-mac-")) {
        m_table = singleByteTable(name);
        if (m_table)
            return;
    }
    m_decoder = std::make_unique<QStringDecoder>(name.constData());
    if (!m_decoder->isValid())
        m_decoder = std::make_unique<QStringDecoder>("windows-1252");
    if (!m_decoder->isValid())
        m_decoder = std::make_unique<QStringDecoder>(QStringDecoder::Latin1);
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder &&) noexcept = default;
CodePageDecoder &CodePageDecoder::operator=(CodePageDecoder &&) noexcept = default;

void CodePageDecoder::decodeInto(const QByteArray &bytes, QString &out)
{
    if (!m_table) {
        out += decode(bytes);
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + bytes.size());
    char16_t *to = reinterpret_cast<char16_t *>(out.data()) + at;
    for (const char b : bytes)
        *to++ = (*m_table)[static_cast<unsigned char>(b)];
}

QString CodePageDecoder::decode(const QByteArray &bytes)
{
    if (m_symbol) {
        QString out;
        out.reserve(bytes.size());
        for (const char b : bytes)
            out += QChar(symbolFontCharacter(static_cast<unsigned char>(b)));
        return out;
    }
    if (m_table) {
        QString out(bytes.size(), Qt::Uninitialized);
        char16_t *to = reinterpret_cast<char16_t *>(out.data());
        for (const char b : bytes)
            *to++ = (*m_table)[static_cast<unsigned char>(b)];
        return out;
    }
    return m_decoder->decode(bytes);
}

char16_t symbolFontCharacter(unsigned char b)
{
    // Adobe Symbol encoding, the part that has Unicode counterparts.
    static const char16_t upper[] = {
        // 0x41..0x5A
        0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C,
        0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396};
    static const char16_t lower[] = {
        // 0x61..0x7A
        0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
        0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6};
    if (b >= 0x41 && b <= 0x5A)
        return upper[b - 0x41];
    if (b >= 0x61 && b <= 0x7A)
        return lower[b - 0x61];
    switch (b) {
    case 0x22: return 0x2200; // for all
    case 0x24: return 0x2203; // there exists
    case 0x27: return 0x220B;
    case 0x2A: return 0x2217;
    case 0x2D: return 0x2212;
    case 0x40: return 0x2245;
    case 0x5C: return 0x2234;
    case 0x5E: return 0x22A5;
    case 0x7E: return 0x223C;
    case 0xA0: return 0x20AC;
    case 0xA2: return 0x2032;
    case 0xA3: return 0x2264;
    case 0xA4: return 0x2044;
    case 0xA5: return 0x221E;
    case 0xA7: return 0x2663;
    case 0xA8: return 0x2666;
    case 0xA9: return 0x2665;
    case 0xAA: return 0x2660;
    case 0xAB: return 0x2194;
    case 0xAC: return 0x2190;
    case 0xAD: return 0x2191;
    case 0xAE: return 0x2192;
    case 0xAF: return 0x2193;
    case 0xB0: return 0x00B0;
    case 0xB1: return 0x00B1;
    case 0xB2: return 0x2033;
    case 0xB3: return 0x2265;
    case 0xB4: return 0x00D7;
    case 0xB5: return 0x221D;
    case 0xB6: return 0x2202;
    case 0xB7: return 0x2022; // bullet
    case 0xB8: return 0x00F7;
    case 0xB9: return 0x2260;
    case 0xBA: return 0x2261;
    case 0xBB: return 0x2248;
    case 0xBC: return 0x2026;
    case 0xC5: return 0x2295;
    case 0xC6: return 0x2205;
    case 0xC7: return 0x2229;
    case 0xC8: return 0x222A;
    case 0xD0: return 0x2220;
    case 0xD1: return 0x2207;
    case 0xD2: return 0x00AE;
    case 0xD3: return 0x00A9;
    case 0xD4: return 0x2122;
    case 0xD5: return 0x220F;
    case 0xD6: return 0x221A;
    case 0xD7: return 0x22C5;
    case 0xD8: return 0x00AC;
    case 0xD9: return 0x2227;
    case 0xDA: return 0x2228;
    case 0xDB: return 0x21D4;
    case 0xDC: return 0x21D0;
    case 0xDD: return 0x21D1;
    case 0xDE: return 0x21D2;
    case 0xDF: return 0x21D3;
    case 0xE0: return 0x25CA;
    case 0xE5: return 0x2211;
    case 0xF2: return 0x222B;
    default:
        return b < 0x80 ? static_cast<char16_t>(b) : static_cast<char16_t>(0xF000 + b);
    }
}

} // namespace velkora::richedit
