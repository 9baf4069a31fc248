#include "ui/recent_list.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace RecentList {

QByteArray CutEntry(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= kEntryBytes) return bytes;
    int cut = kEntryBytes;
    // Step back over continuation bytes so that no character is split.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return bytes.left(cut);
}

QStringList Load(const QString& fileName) {
    QStringList entries;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return entries;
    const QByteArray head = file.read(4);
    if (head.size() < 4) return entries;
    const qint32 count = qFromLittleEndian<qint32>(head.constData());
    for (qint32 k = 0; k < count; ++k) {
        const QByteArray entry = file.read(1 + kEntryBytes);
        if (entry.size() < 1 + kEntryBytes) break;
        const int length = std::min<int>(static_cast<unsigned char>(entry[0]), kEntryBytes);
        entries << QString::fromUtf8(entry.mid(1, length));
    }
    return entries;
}

bool Save(const QString& fileName, const QStringList& entries) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray out(4, '\0');
    qToLittleEndian<qint32>(static_cast<qint32>(entries.size()), out.data());
    for (const QString& text : entries) {
        QByteArray entry(1 + kEntryBytes, '\0');
        const QByteArray bytes = CutEntry(text);
        entry[0] = static_cast<char>(bytes.size());
        entry.replace(1, bytes.size(), bytes);
        out += entry;
    }
    // A short write (a full disk) shows only in the flush; commit alone would still put the
    // truncated file in place of the old one.
    if (file.write(out) != out.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace RecentList
