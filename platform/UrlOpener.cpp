#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace quillon {

void OpenUrl(const QByteArray& address)
{
    // Device texts are single-byte characters; read them as Latin-1.
    const QUrl url(QString::fromLatin1(address), QUrl::TolerantMode);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

}  // namespace quillon
