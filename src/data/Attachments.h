#pragma once

#include <QString>

#include <optional>

// An entry's attachment is stored by its bare file name inside the archive's "allegati" folder.
// The name comes from the database, which other tools may have edited, so it is never trusted
// as a path.

// True when name is a plain file name: not empty, no path separator, no drive or stream colon,
// no "..", no control character, not absolute.
bool isBareAttachmentName(const QString &name);

// The file of the attachment named storedName inside attachmentsFolder; nothing when the name
// is not a bare file name, so that it is neither opened nor deleted.
std::optional<QString> attachmentFile(const QString &attachmentsFolder, const QString &storedName);

// The message shown when a stored attachment name is refused.
QString refusedAttachmentMessage(const QString &storedName);
