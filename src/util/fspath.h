#pragma once
// File names are the file system's bytes, and a QString has to carry them without loss: valid
// UTF-8 decodes as usual, and each byte that is not part of valid UTF-8 (a Latin-1 name from an
// old collection or a FAT stick) becomes the lone surrogate U+DC80 + byte, which decoded text
// never holds, and encodes back to the very same byte. Every name read from the file system goes
// through PathFromBytes, every name handed to it through PathToBytes; QFile::encodeName and
// decodeName would replace such bytes for good.
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArray>
#include <QString>

namespace velorixa::util {

QString PathFromBytes(const QByteArray& bytes);
QByteArray PathToBytes(const QString& path);
// The name for people to read: each escaped byte shown as its Latin-1 character (what such
// names most often are), everything else as it is. Never hand this back to the file system.
QString PathForDisplay(const QString& path);
// The path holds escaped bytes (it is not valid UTF-8 on disk).
bool PathHasRawBytes(const QString& path);

}  // namespace velorixa::util
