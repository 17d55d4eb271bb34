#include "platform/qt/file_name.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// The length of the valid UTF-8 sequence at p (at most n bytes), 0 when there is none:
// overlong forms, surrogates and values past U+10FFFF are not valid.
int ValidSequence(const unsigned char* p, qsizetype n) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    int length;
    char32_t value;
    char32_t least;
    if ((c & 0xE0) == 0xC0) {
        length = 2, value = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, value = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, value = c & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (n < length) return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

bool IsEscapedByte(QChar c) {
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF;
}

}  // namespace

QString FileNameFromBytes(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const int length = ValidSequence(p + i, n - i);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(kEscapeBase + p[i]));
            ++i;
            continue;
        }
        name += QString::fromUtf8(reinterpret_cast<const char*>(p + i), length);
        i += length;
    }
    return name;
}

QByteArray FileNameToBytes(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;  // start of the text not yet encoded
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A low surrogate right after a high one is half of a real character.
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (!IsEscapedByte(name[i]) || paired) continue;
        bytes += name.mid(runStart, i - runStart).toUtf8();
        bytes += static_cast<char>(name[i].unicode() - kEscapeBase);
        runStart = i + 1;
    }
    bytes += name.mid(runStart).toUtf8();
    return bytes;
}

QString FileNameForDisplay(const QString& name) {
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const bool paired = i > 0 && shown[i - 1].isHighSurrogate();
        if (IsEscapedByte(shown[i]) && !paired) shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

QString CurrentDirectoryName() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return QString();
        buffer.resize(buffer.size() * 2);
    }
    return FileNameFromBytes(QByteArray(buffer.data()));
}

QUrl FileUrl(const QString& name) {
    return QUrl::fromEncoded("file://" + FileNameToBytes(name).toPercentEncoding("/"));
}
