// The two status texts that replies set: panel 0 names the device, panel 1
// carries the message. The main window shows them in its status bar.
#pragma once

#include <QByteArray>
#include <QObject>
#include <array>

namespace quillon {

class StatusPanels : public QObject {
    Q_OBJECT

public:
    static constexpr int DevicePanel = 0;
    static constexpr int MessagePanel = 1;

    explicit StatusPanels(QObject* parent = nullptr);

    QByteArray Text(int panel) const;
    void SetText(int panel, const QByteArray& text);

signals:
    void textChanged(int panel, const QByteArray& text);

private:
    std::array<QByteArray, 2> texts_;
};

}  // namespace quillon
