#include "ui/AttachmentOpening.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

AttachmentViewer &viewer()
{
    static AttachmentViewer shown;
    return shown;
}

} // namespace

void setAttachmentViewer(AttachmentViewer shown)
{
    viewer() = std::move(shown);
}

bool openAttachedFile(QWidget *owner, const QString &path)
{
    if (viewer() && viewer()(owner, path))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
