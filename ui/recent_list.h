#pragma once
// The recent-list files ("Downloads.dat", "Find.dat", "Filter.dat") and the local bookmarks
// ("bookmark.dat"): a little-endian 32-bit count, then that many 51-byte entries of a length byte
// and 50 bytes of UTF-8 text.

#include <QString>
#include <QStringList>

namespace RecentList {

// The most bytes one entry keeps.
constexpr int kEntryBytes = 50;

// Returns the entries of `fileName` in file order; a missing or short file gives what could be
// read (nothing when it is missing, or when its count is negative).
QStringList Load(const QString& fileName);
// Creates `fileName` anew with `entries`, each cut to 50 bytes without splitting a character.
// The new file replaces the old one only once it is complete, so a failed write keeps the old
// entries. Returns false, changing nothing, when the file cannot be written.
bool Save(const QString& fileName, const QStringList& entries);
// Returns `text` as UTF-8 cut to at most 50 bytes on a character boundary.
QByteArray CutEntry(const QString& text);

} // namespace RecentList
