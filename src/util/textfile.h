#pragma once
// Text files the player keeps (lists, station lists, performance sets, settings): one line's
// bytes as text, and a whole file written so that a failure never leaves it half written.
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArray>
#include <QString>

namespace velorixa::util {

// One line's bytes as text: UTF-8 when valid, else Latin-1 (files from an 8-bit code page).
QString DecodeTextLine(const QByteArray& bytes);

// Writes data to path through a temporary file renamed over the old one (QSaveFile): on any
// failure the old file stays as it was. False, with a reason in *error, when it failed.
bool SaveWhole(const QString& path, const QByteArray& data, QString* error);

}  // namespace velorixa::util
