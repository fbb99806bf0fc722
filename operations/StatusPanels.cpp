#include "operations/StatusPanels.h"

namespace quillon {

StatusPanels::StatusPanels(QObject* parent) : QObject(parent), texts_{QByteArray("Device"), QByteArray("Message")} {}

QByteArray StatusPanels::Text(int panel) const
{
    return panel == DevicePanel || panel == MessagePanel ? texts_[static_cast<std::size_t>(panel)] : QByteArray();
}

void StatusPanels::SetText(int panel, const QByteArray& text)
{
    if (panel != DevicePanel && panel != MessagePanel)
        return;
    texts_[static_cast<std::size_t>(panel)] = text;
    emit textChanged(panel, text);
}

}  // namespace quillon
