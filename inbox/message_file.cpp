#include "inbox/message_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QTimeZone>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/file.h"
#include "platform/qt/file_name.h"
#include "sound/message_sidecar.h"
#include "sound/recorded_time.h"
#include "sound/wave_converter.h"
#include "sound/wave_metadata.h"

namespace {

QByteArray LowerSuffix(const QByteArray& name, qsizetype* stemLength) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0) return {};
    *stemLength = dot;
    return name.mid(dot).toLower();
}

int64_t Nanoseconds(const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QDateTime FromRecorded(const RecordedTime& t) {
    const QDateTime when(QDate(t.year, t.month, t.day),
                         QTime(t.hour, t.minute, std::min(t.second, 59)),
                         t.utc ? Qt::UTC : Qt::LocalTime);
    return when.isValid() ? when : QDateTime();
}

QString Text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void PutLe64(QByteArray& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.append(static_cast<char>(v >> (8 * i)));
}

}  // namespace

QByteArray FolderEntry::Stamp() const {
    QByteArray b;
    b.reserve(48);
    PutLe64(b, static_cast<uint64_t>(size));
    PutLe64(b, static_cast<uint64_t>(mtimeNs));
    PutLe64(b, inode);
    if (!sidecar.isEmpty()) {
        PutLe64(b, static_cast<uint64_t>(sidecarSize));
        PutLe64(b, static_cast<uint64_t>(sidecarMtimeNs));
    }
    return b;
}

bool ListFolder(const QString& folder, std::vector<FolderEntry>& entries, QString* error) {
    entries.clear();
    QByteArray dirBytes = FileNameToBytes(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(dirBytes.constData()), ::closedir);
    if (!dir) {
        if (error)
            *error =
                QStringLiteral("Cannot open folder %1: %2")
                    .arg(FileNameForDisplay(folder), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!dirBytes.endsWith('/')) dirBytes += '/';
    const int fd = ::dirfd(dir.get());
    struct Sidecar {
        QByteArray name;
        int64_t size, mtimeNs;
    };
    QHash<QByteArray, Sidecar> sidecars;  // by lower-case stem
    while (const dirent* e = ::readdir(dir.get())) {
        const QByteArray name(e->d_name);
        qsizetype stem = 0;
        const QByteArray suffix = LowerSuffix(name, &stem);
        const bool message = suffix == ".wav" || suffix == ".gsm";
        if (!message && suffix != ".txt") continue;
        struct stat st;
        if (::fstatat(fd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!message) {
            sidecars.insert(name.left(stem).toLower(),
                            {name, static_cast<int64_t>(st.st_size), Nanoseconds(st.st_mtim)});
            continue;
        }
        FolderEntry entry;
        entry.bytes = dirBytes + name;
        entry.path = FileNameFromBytes(entry.bytes);
        entry.size = st.st_size;
        entry.mtimeNs = Nanoseconds(st.st_mtim);
        entry.inode = st.st_ino;
        entry.sidecar = name.left(stem);  // the stem until the sidecars are all known
        entries.push_back(std::move(entry));
    }
    for (FolderEntry& entry : entries) {
        const auto found = sidecars.constFind(entry.sidecar.toLower());
        entry.sidecar.clear();
        if (found == sidecars.constEnd()) continue;
        entry.sidecar = dirBytes + found->name;
        entry.sidecarSize = found->size;
        entry.sidecarMtimeNs = found->mtimeNs;
    }
    return true;
}

QByteArray ContentKey(const QByteArray& pathBytes, int64_t size) {
    CFile file;
    if (!file.Open(pathBytes.toStdString(), CFile::modeRead, nullptr, /*regularOnly=*/true))
        return {};
    return ContentKey(file, size);
}

QByteArray ContentKey(CFile& file, int64_t size) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer;
    const auto add = [&](uint64_t at, int64_t n) {
        buffer.resize(n);
        file.Seek(at);
        const size_t got = file.Read(buffer.data(), static_cast<size_t>(n));
        hash.addData(QByteArrayView(buffer.constData(), static_cast<qsizetype>(got)));
    };
    const auto failed = CatchException([&] {
        if (size <= 2 * kKeyEdgeBytes) {
            add(0, size);
        } else {
            add(0, kKeyEdgeBytes);
            add(static_cast<uint64_t>(size - kKeyEdgeBytes), kKeyEdgeBytes);
        }
    });
    if (failed) return {};
    QByteArray key;
    PutLe64(key, static_cast<uint64_t>(size));
    return key + hash.result();
}

MessageFacts ReadMessage(const FolderEntry& entry) {
    MessageFacts facts;
    const std::string path = entry.bytes.toStdString();
    WaveHeader header;
    WaveMetadata metadata;
    bool raw = false;
    CFile file;
    auto openError = std::make_unique<CFileException>();
    ExceptionPtr failure;
    if (!file.Open(path, CFile::modeRead, openError.get(), /*regularOnly=*/true)) {
        failure.reset(openError.release());
    } else {
        failure = CatchException([&] {
            raw = WaveConverter::ReadSourceHeader(file, path, header);
            if (!raw) ReadWaveMetadata(file, metadata);
        });
    }
    if (failure) {
        facts.error = QString::fromStdString(failure->Message());
    } else {
        if (std::strcmp(WaveConverter::EncodingName(header.formatTag), "unsupported") == 0)
            facts.error = QStringLiteral("Unsupported wave format.");
        facts.lengthMs = static_cast<uint32_t>(
            std::min<uint64_t>(WaveConverter::LengthMs(header, raw), UINT32_MAX));
    }
    // The same open file: each open costs a buffer of its own.
    if (file.IsOpen()) facts.key = ContentKey(file, entry.size);

    MessageSidecar sidecar;
    if (!entry.sidecar.isEmpty()) ReadMessageSidecar(entry.sidecar.toStdString(), sidecar);

    if (!sidecar.Caller().empty())
        facts.who = Text(sidecar.Caller());
    else if (!metadata.artist.empty())
        facts.who = Text(metadata.artist);
    else if (!metadata.originator.empty())
        facts.who = Text(metadata.originator);
    else
        facts.who = FileNameForDisplay(QFileInfo(entry.path).fileName());

    if (sidecar.origTime) {
        facts.when = QDateTime::fromSecsSinceEpoch(*sidecar.origTime, Qt::UTC).toLocalTime();
    } else if (const auto t = ParseSidecarTime(sidecar.origDate)) {
        facts.when = FromRecorded(*t);
    }
    if (!facts.when.isValid()) {
        if (const auto t = ParseIsoTime(metadata.originationDate, metadata.originationTime))
            facts.when = FromRecorded(*t);
        else if (const auto c = ParseIsoTime(metadata.created))
            facts.when = FromRecorded(*c);
    }
    if (!facts.when.isValid())
        facts.when = QDateTime::fromMSecsSinceEpoch(entry.mtimeNs / 1000000, Qt::UTC).toLocalTime();

    if (facts.lengthMs == 0 && sidecar.durationSeconds)
        facts.lengthMs = static_cast<uint32_t>(
            std::min<uint64_t>(*sidecar.durationSeconds * 1000ull, UINT32_MAX));
    return facts;
}
