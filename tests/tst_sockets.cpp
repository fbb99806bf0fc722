// The sender and the listener on real sockets. Runs inside a private
// network namespace with loopback only (see netns-run.sh).
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <thread>

#include "operations/Discovery.h"
#include "operations/LocalAddress.h"
#include "operations/ReplyListener.h"
#include "platform/Error.h"
#include "platform/UdpSocket.h"

using namespace quillon;

namespace {

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr)
            ++count;
        ::closedir(dir);
    }
    return count;
}

// Plays a device: a socket on the device port that collects what arrives.
struct DevicePortSocket {
    UdpSocket socket;
    DevicePortSocket()
    {
        socket.SetReuseAddress(true);
        socket.Bind("0.0.0.0", DevicePort);
    }
    // Waits up to a second for one datagram.
    std::optional<std::pair<QByteArray, UdpSocket::Received>> Take()
    {
        pollfd fd{socket.Descriptor(), POLLIN, 0};
        if (::poll(&fd, 1, 1000) != 1)
            return std::nullopt;
        char buffer[2048];
        const auto r = socket.Receive(buffer, sizeof buffer);
        if (!r)
            return std::nullopt;
        return std::make_pair(QByteArray(buffer, int(r->length)), *r);
    }
};

void SendToListener(UdpSocket& from, const QByteArray& datagram)
{
    from.SendTo(datagram.constData(), std::size_t(datagram.size()), "127.0.0.1", ReplyPort);
}

}  // namespace

class TestSockets : public QObject {
    Q_OBJECT

private slots:
    void init() { SelectedLocalAddress = QStringLiteral("127.0.0.1"); }

    void discoveryRequestGoesOutByBroadcast()
    {
        DevicePortSocket device;
        SendDiscovery();
        SendDiscovery();
        const auto first = device.Take();
        const auto second = device.Take();
        QVERIFY(first && second);
        QCOMPARE(first->first, QByteArray("TOLVEXut\x00\x16\xFF\xFF\xFF\xFF\xFF\xFF", 16));
        QCOMPARE(Ipv4Text(first->second.sourceAddress), std::string("127.0.0.1"));
        // A fresh socket per request: the source port changes.
        QVERIFY(first->second.sourcePort != second->second.sourcePort);
    }

    void unicastSend()
    {
        DevicePortSocket device;
        const QByteArray payload(98, '\x42');
        SendDatagram(reinterpret_cast<const Byte*>(payload.constData()), 98, QStringLiteral("127.0.0.1"), false);
        const auto got = device.Take();
        QVERIFY(got);
        QCOMPARE(got->first, payload);
    }

    // Failures carry the socket layer's text and leave no socket behind.
    void sendFailures_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("broadcast");
        QTest::addColumn<QString>("text");
        QTest::newRow("local address not on this host")
            << "192.0.2.77" << "127.0.0.1" << false << "Cannot assign requested address";
        QTest::newRow("broadcast without permission")
            << "127.0.0.1" << "255.255.255.255" << false << "Permission denied";
        QTest::newRow("no route")
            << "127.0.0.1" << "198.51.100.9" << false << "Network is unreachable";
        QTest::newRow("any address, no route for broadcast")
            << "" << "255.255.255.255" << true << "Network is unreachable";
    }
    void sendFailures()
    {
        QFETCH(QString, local);
        QFETCH(QString, host);
        QFETCH(bool, broadcast);
        QFETCH(QString, text);
        SelectedLocalAddress = local;
        const int before = OpenDescriptors();
        const Byte payload[16] = {};
        try {
            SendDatagram(payload, sizeof payload, host, broadcast);
            QFAIL("no error raised");
        } catch (const PlatformError& e) {
            QCOMPARE(QString::fromLocal8Bit(e.what()), text);
        }
        QCOMPARE(OpenDescriptors(), before);
    }

    void listenerDeliversInOrderAndDropsWhatItMust()
    {
        ReplyListener listener;
        QList<QByteArray> got;
        listener.SetHandler([&](const Byte* b, std::size_t n) { got << QByteArray(reinterpret_cast<const char*>(b), int(n)); });
        listener.Start();
        QVERIFY(listener.EffectiveReceiveBuffer() >= 4 * 1024 * 1024);

        UdpSocket sender;
        const QList<QByteArray> sent = {"a", QByteArray(), QByteArray(1024, 'x'), QByteArray(1025, 'y'),
                                        QByteArray(1500, 'z'), "last"};
        for (const QByteArray& d : sent)
            SendToListener(sender, d);
        QTRY_COMPARE(got.size(), 3);
        QCOMPARE(got, (QList<QByteArray>{"a", QByteArray(1024, 'x'), "last"}));
        QCOMPARE(listener.DroppedOversize(), std::uint64_t(2));
    }

    void secondListenerCannotBind()
    {
        ReplyListener first;
        first.Start();
        ReplyListener second;
        QVERIFY_THROWS_EXCEPTION(PlatformError, second.Start());
        try {
            second.Start();
        } catch (const PlatformError& e) {
            QCOMPARE(QString::fromLocal8Bit(e.what()), QStringLiteral("Address already in use"));
        }
        QVERIFY(!second.IsActive());
    }

    // Datagrams are handled inside a nested event loop, as while a modal
    // dialog waits for the user.
    void handledWhileAModalDialogIsOpen()
    {
        ReplyListener listener;
        int handled = 0;
        listener.SetHandler([&](const Byte*, std::size_t) { ++handled; });
        listener.Start();
        QDialog dialog;
        int seenInside = -1;
        QTimer::singleShot(0, [&] {
            UdpSocket sender;
            for (int i = 0; i < 10; ++i)
                SendToListener(sender, "reply");
            QTRY_COMPARE(handled, 10);  // spins the dialog's own loop
            seenInside = handled;
            dialog.done(1);
        });
        dialog.exec();
        QCOMPARE(seenInside, 10);
    }

    // A burst from another thread, as fast as it can send: nothing lost, in
    // order, and the hand-over stays within its bound while the
    // user-interface thread is busy.
    void burstLosesNothingAndStaysBounded()
    {
        constexpr int Count = 10000;
        ReplyListener listener;
        ReplyListener::Options options;
        options.maxPendingDatagrams = 500;
        std::vector<std::uint32_t> sequence;
        sequence.reserve(Count);
        listener.SetHandler([&](const Byte* b, std::size_t n) {
            std::uint32_t v = 0;
            if (n == 112)
                std::memcpy(&v, b + 16, 4);
            sequence.push_back(v);
        });
        listener.Start(options);

        std::thread sender([] {
            UdpSocket socket;
            QByteArray d(112, '\0');
            for (std::uint32_t i = 0; i < Count; ++i) {
                std::memcpy(d.data() + 16, &i, 4);
                SendToListener(socket, d);
            }
        });
        // Keep the user-interface thread away until the sender is done: the
        // kernel buffer must absorb what the hand-over does not take.
        sender.join();
        QTRY_COMPARE_WITH_TIMEOUT(int(sequence.size()), Count, 20000);
        for (int i = 0; i < Count; ++i)
            QCOMPARE(sequence[std::size_t(i)], std::uint32_t(i));
        QVERIFY(listener.PeakPending() <= 500);
    }
};

QTEST_MAIN(TestSockets)
#include "tst_sockets.moc"
