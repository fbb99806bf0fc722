// Asks the desktop to open an address in its default handler (the web
// browser for http addresses). The outcome is ignored: a failed opening is
// silent.
#pragma once

#include <QByteArray>

namespace quillon {

void OpenUrl(const QByteArray& address);

}  // namespace quillon
