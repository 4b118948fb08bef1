#pragma once

#include <QString>

#include <functional>

class QWidget;

// Shows a kind of file kept beside an entry in the program itself (the page of an electronic
// invoice); false when the file is not of its kind.
using AttachmentViewer = std::function<bool(QWidget *owner, const QString &path)>;

// The viewer tried first by openAttachedFile; the program sets it at start-up.
void setAttachmentViewer(AttachmentViewer viewer);

// Opens a file kept beside an entry: in the program's viewer when it shows that kind of file,
// else in the desktop's application for it. False when neither could.
bool openAttachedFile(QWidget *owner, const QString &path);
