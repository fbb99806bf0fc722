// quillon-devsim as the program meets it: a real simulator process and real
// UDP sockets on loopback, inside the test's own network namespace.
//
// The test plays the program side: it listens on 0.0.0.0:62631 and sends its
// requests from a socket bound to 127.0.0.1, which makes 255.255.255.255
// reachable on the namespace's loopback.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <vector>

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include "DevsimProcess.h"
#include "platform/UdpSocket.h"
#include "protocol/Wire.h"

using namespace quillon;

namespace {

using Datagram = std::vector<Byte>;
constexpr const char* Broadcast = "255.255.255.255";

// Largest datagram the program's listener takes in; it drops longer ones.
bool ListenerWouldTake(const Datagram& d)
{
    return !d.empty() && d.size() <= MaxDatagramSize && DecodeDiscoveryReply(d.data(), d.size()).has_value();
}

QString Mac(const Datagram& d) { return QString::fromStdString(MacText(DecodeDiscoveryReply(d.data(), d.size())->mac)); }

QString MacOf(int deviceNumber)
{
    return QString("02-4B-7E-%1-%2-%3")
        .arg((deviceNumber >> 16) & 0xFF, 2, 16, QChar('0'))
        .arg((deviceNumber >> 8) & 0xFF, 2, 16, QChar('0'))
        .arg(deviceNumber & 0xFF, 2, 16, QChar('0'))
        .toUpper();
}

MacBytes MacBytesOf(const QString& text)
{
    MacBytes mac{};
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<Byte>(text.mid(3 * i, 2).toUInt(nullptr, 16));
    return mac;
}

QString Text(const Ipv4Bytes& a) { return QString::fromStdString(DottedDecimal(a)); }

template <std::size_t N>
QByteArray Field(const std::array<Byte, N>& field)
{
    return QByteArray(reinterpret_cast<const char*>(field.data()), N);
}

QByteArray Padded(const QByteArray& text, int width) { return text.leftJustified(width, '\0', true); }

// The program's side of the wire.
class ProgramSide {
public:
    ProgramSide()
    {
        listener_.Bind("0.0.0.0", ReplyPort);
        receiveBuffer_ = listener_.SetReceiveBuffer(16 << 20, true);
        listener_.SetNonBlocking(true);
        const int on = 1;
        ::setsockopt(listener_.Descriptor(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sender_.Bind("127.0.0.1", 0);
        sender_.SetBroadcast(true);
    }

    int ReceiveBuffer() const { return receiveBuffer_; }

    template <std::size_t N>
    void Send(const std::array<Byte, N>& bytes, const char* host)
    {
        sender_.SendTo(bytes.data(), bytes.size(), host, DevicePort);
    }
    void Discover(const char* host = Broadcast) { Send(BuildDiscoveryRequest(), host); }

    // Datagrams until `count` have come or `timeoutMs` have passed.
    std::vector<Datagram> Collect(std::size_t count, int timeoutMs)
    {
        std::vector<Datagram> got;
        QDeadlineTimer deadline(timeoutMs);
        std::vector<Byte> buffer(4096);
        while (got.size() < count) {
            if (auto r = listener_.Receive(buffer.data(), buffer.size())) {
                got.emplace_back(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(r->length));
                continue;
            }
            if (deadline.hasExpired())
                break;
            pollfd watch{listener_.Descriptor(), POLLIN, 0};
            ::poll(&watch, 1, static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        }
        return got;
    }
    std::vector<Datagram> CollectFor(int ms) { return Collect(SIZE_MAX, ms); }

    // Datagrams as "what -> address it was sent to" (the IP header's
    // destination, which tells a broadcast from a unicast), until `count`
    // have come or `timeoutMs` have passed. "what" is a discovery reply's
    // "MAC address/mask/gateway" or a config reply's "MAC message".
    QStringList CollectAddressed(int count, int timeoutMs)
    {
        QStringList got;
        QDeadlineTimer deadline(timeoutMs);
        std::vector<Byte> buffer(4096);
        while (got.size() < count) {
            iovec data{buffer.data(), buffer.size()};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
            msghdr message{};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(listener_.Descriptor(), &message, MSG_DONTWAIT);
            if (n < 0) {
                if (deadline.hasExpired())
                    break;
                pollfd watch{listener_.Descriptor(), POLLIN, 0};
                ::poll(&watch, 1, static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
                continue;
            }
            QString destination = "?";
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    in_pktinfo info{};
                    std::memcpy(&info, CMSG_DATA(c), sizeof info);
                    destination = QString::fromStdString(Ipv4Text(ntohl(info.ipi_addr.s_addr)));
                }
            }
            const auto size = static_cast<std::size_t>(n);
            QString what = "unknown";
            if (const auto reply = DecodeDiscoveryReply(buffer.data(), size))
                what = QString::fromStdString(MacText(reply->mac)) + " " + Text(reply->ipAddress) + "/" +
                       Text(reply->netMask) + "/" + Text(reply->gateway);
            else if (const auto config = DecodeConfigReply(buffer.data(), size))
                what = QString::fromStdString(MacText(config->mac) + " " + FieldText(config->message));
            got << what + " -> " + destination;
        }
        return got;
    }

    // One discovery, its replies by MAC.
    std::map<QString, DiscoveryReply> Snapshot(std::size_t expected)
    {
        Discover();
        std::map<QString, DiscoveryReply> byMac;
        for (const Datagram& d : Collect(expected, 3000))
            if (auto reply = DecodeDiscoveryReply(d.data(), d.size()))
                byMac[QString::fromStdString(MacText(reply->mac))] = *reply;
        return byMac;
    }

    // The message of the one ConfigReply that comes within `timeoutMs`, or
    // an empty text when none does.
    QString ConfigAnswer(int timeoutMs = 2000)
    {
        for (const Datagram& d : Collect(1, timeoutMs))
            if (auto reply = DecodeConfigReply(d.data(), d.size()))
                return QString::fromStdString(FieldText(reply->message));
        return {};
    }

private:
    UdpSocket listener_;
    UdpSocket sender_;
    int receiveBuffer_ = 0;
};

ConfigRequest MakeConfig(const QString& mac, const QByteArray& password)
{
    ConfigRequest request;
    request.SetMac(MacBytesOf(mac));
    request.SetIpAddress({127, 0, 9, 9});
    request.SetNetMask({255, 255, 0, 0});
    request.SetGateway({127, 0, 0, 1});
    // A device takes the description up to its first zero byte.
    request.SetDescription(std::string_view("Lab bench 3\0junk", 16));
    request.SetPassword(password.toStdString());
    return request;
}

// Runs the simulator to its end with arguments that make it stop by itself.
struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};
Finished RunToEnd(const QStringList& arguments)
{
    QProcess process;
    process.start(DevsimProcess::Program(), arguments);
    Finished f;
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
        return f;
    }
    f.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    f.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    f.err = QString::fromLocal8Bit(process.readAllStandardError());
    return f;
}

}  // namespace

class TestDevsim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!DevsimProcess::Program().isEmpty(), "QUILLON_DEVSIM must name the simulator");
        program_ = std::make_unique<ProgramSide>();
    }
    void init() { program_->CollectFor(0); }  // nothing left over from an earlier test

    void discoveryReplies_data();
    void discoveryReplies();
    void configRequest_data();
    void configRequest();
    void newPasswordReplacesOld();
    void faultSwitches_data();
    void faultSwitches();
    void malformedDatagrams();
    void burstAnswersAtOnceBeforeDelayedDevices();
    void delayAndJitterHoldBackReplies();
    void badCommandLineIsRefused_data();
    void badCommandLineIsRefused();
    void portTakenEndsWithStatus1();
    void sigintEndsCleanlyWithRepliesPending();
    void quietPrintsOnlyTheListeningLine();
    void helpNamesEveryOption();
    void replyDestinations_data();
    void replyDestinations();
    void autoRepliesFollowTheDevicesAddress();
    void bindServesOneInterface_data();
    void bindServesOneInterface();
    void bindWithoutSuchInterfaceEndsWithStatus1();

private:
    std::unique_ptr<ProgramSide> program_;
};

void TestDevsim::discoveryReplies_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QStringList>("macs");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("names");  // the full 32-byte fields, zeros cut
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QByteArray>("version");      // all 16 bytes
    QTest::addColumn<QByteArray>("description");  // all 32 bytes

    QStringList macs, addresses, names;
    for (int i = 1; i <= 8; ++i) {
        macs << MacOf(i);
        addresses << QString("127.0.1.%1").arg(i);
        names << QString("SIM-%1").arg(i);
    }
    const QByteArray version = Padded("1.0.3", 16);
    const QByteArray description = Padded("Simulated device", 32);
    QTest::newRow("defaults, broadcast")
        << QStringList{} << Broadcast << macs << addresses << names << "255.0.0.0" << "127.0.0.254" << version
        << description;
    QTest::newRow("defaults, unicast") << QStringList{} << "127.0.0.1" << macs << addresses << names << "255.0.0.0"
                                       << "127.0.0.254" << version << description;

    // Counting carries across bytes; texts that fill or overfill their fields
    // go out without a terminating zero.
    const QString name32 = "-ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";  // 31 bytes after the number
    QTest::newRow("custom fleet, carries, full-width texts")
        << QStringList{"--count", "3", "--first-mac", "02:4b:7e:00:00:fe", "--first-ip", "10.0.0.254",
                       "--mask", "255.255.255.0", "--gateway", "0.0.0.0", "--name", "%1" + name32 + "xyz",
                       "--version", "0123456789ABCDEF", "--description",
                       "Thirty-three bytes of description"}
        << Broadcast << QStringList{"02-4B-7E-00-00-FE", "02-4B-7E-00-00-FF", "02-4B-7E-00-01-00"}
        << QStringList{"10.0.0.254", "10.0.0.255", "10.0.1.0"}
        << QStringList{"1" + name32, "2" + name32, "3" + name32} << "255.255.255.0" << "0.0.0.0"
        << QByteArray("0123456789ABCDEF") << QByteArray("Thirty-three bytes of descriptio");
}

void TestDevsim::discoveryReplies()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, destination);
    QFETCH(QStringList, macs);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, names);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, description);

    DevsimProcess sim;
    QVERIFY2(sim.Start(arguments), qPrintable(sim.ErrorText()));
    program_->Discover(destination.toLatin1().constData());
    const auto replies = program_->Collect(macs.size(), 3000);
    QCOMPARE(replies.size(), std::size_t(macs.size()));

    for (std::size_t i = 0; i < replies.size(); ++i) {
        const Datagram& d = replies[i];
        QCOMPARE(d.size(), DiscoveryReplySize);
        QVERIFY2(d[16] == 0 && d[17] == 0 && d[18] == 0 && d[19] == 0, "bytes 16-19 are zero");
        const auto reply = DecodeDiscoveryReply(d.data(), d.size());
        QVERIFY(reply);
        // Without delays the devices answer in order.
        QCOMPARE(QString::fromStdString(MacText(reply->mac)), macs[int(i)]);
        QCOMPARE(Text(reply->ipAddress), addresses[int(i)]);
        QCOMPARE(Text(reply->netMask), mask);
        QCOMPARE(Text(reply->gateway), gateway);
        QCOMPARE(QString::fromLatin1(FieldText(reply->deviceName)), names[int(i)]);
        QCOMPARE(Field(reply->version), version);
        QCOMPARE(Field(reply->description), description);
    }
    QVERIFY(program_->CollectFor(200).empty());
    QVERIFY(sim.WaitForLine(QString("discovery -> %1 replies").arg(macs.size())));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::configRequest_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("answer");  // empty: no answer at all
    QTest::addColumn<bool>("applied");

    QTest::newRow("right password, unicast to the device")
        << MacOf(3) << QByteArray("admin") << "127.0.1.3" << "Setting OK" << true;
    QTest::newRow("right password, broadcast") << MacOf(3) << QByteArray("admin") << Broadcast << "Setting OK" << true;
    QTest::newRow("wrong password") << MacOf(3) << QByteArray("admim") << "127.0.1.3" << "Password Error" << false;
    QTest::newRow("password with extra byte") << MacOf(3) << QByteArray("admin!") << Broadcast << "Password Error"
                                              << false;
    QTest::newRow("empty password") << MacOf(3) << QByteArray() << Broadcast << "Password Error" << false;
    QTest::newRow("MAC outside the fleet") << MacOf(9) << QByteArray("admin") << Broadcast << "" << false;
    QTest::newRow("fleet MAC with another prefix")
        << "02-4B-7F-00-00-03" << QByteArray("admin") << Broadcast << "" << false;
}

void TestDevsim::configRequest()
{
    QFETCH(QString, mac);
    QFETCH(QByteArray, password);
    QFETCH(QString, destination);
    QFETCH(QString, answer);
    QFETCH(bool, applied);

    DevsimProcess sim;
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
    const auto before = program_->Snapshot(8);
    QCOMPARE(before.size(), std::size_t(8));

    program_->Send(MakeConfig(mac, password).Bytes(), destination.toLatin1().constData());
    if (answer.isEmpty()) {
        QVERIFY(program_->CollectFor(300).empty());
        QVERIFY(sim.WaitForLine("config for " + mac + " -> ignored"));
    } else {
        QCOMPARE(program_->ConfigAnswer(), answer);
        QVERIFY(sim.WaitForLine("config for " + mac + " -> " + answer));
    }

    const auto after = program_->Snapshot(8);
    QCOMPARE(after.size(), std::size_t(8));
    for (const auto& [deviceMac, reply] : after) {
        const DiscoveryReply& old = before.at(deviceMac);
        if (applied && deviceMac == MacOf(3)) {
            QCOMPARE(Text(reply.ipAddress), QString("127.0.9.9"));
            QCOMPARE(Text(reply.netMask), QString("255.255.0.0"));
            QCOMPARE(Text(reply.gateway), QString("127.0.0.1"));
            QCOMPARE(Field(reply.description), Padded("Lab bench 3", 32));
            QCOMPARE(Field(reply.deviceName), Field(old.deviceName));
            QCOMPARE(Field(reply.version), Field(old.version));
        } else {
            QCOMPARE(Field(EncodeDiscoveryReply(reply)), Field(EncodeDiscoveryReply(old)));
        }
    }
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::newPasswordReplacesOld()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start(), qPrintable(sim.ErrorText()));
    const QString mac = MacOf(5);
    const auto tryPassword = [&](const QByteArray& password) {
        program_->Send(MakeConfig(mac, password).Bytes(), Broadcast);
        return program_->ConfigAnswer();
    };
    const auto changePassword = [&](const QByteArray& current, const QByteArray& next) {
        ConfigRequest request = MakeConfig(mac, current);
        if (!request.SetNewPassword(next.toStdString()))
            return QString("does not fit");
        program_->Send(request.Bytes(), Broadcast);
        return program_->ConfigAnswer();
    };

    // 0xC1 goes out as 0xFC: its low half is lost on the wire.
    const QByteArray secret("s3cr\xC1t");
    QCOMPARE(changePassword("wrong", secret), QString("Password Error"));
    QCOMPARE(tryPassword(secret), QString("Password Error"));
    QCOMPARE(changePassword("admin", secret), QString("Setting OK"));
    QCOMPARE(tryPassword("admin"), QString("Password Error"));
    QCOMPARE(tryPassword(secret), QString("Setting OK"));  // no new password: it stays
    QCOMPARE(tryPassword("s3cr\xC5t"), QString("Setting OK"));  // same bytes on the wire
    QCOMPARE(tryPassword("s3cr\xD1t"), QString("Password Error"));

    // A 17th character travels untransformed in byte 96, but requests carry
    // only 16 bytes of the current password, so it is never checked.
    QCOMPARE(changePassword(secret, "ABCDEFGHIJKLMNOPQ"), QString("Setting OK"));
    QCOMPARE(tryPassword("ABCDEFGHIJKLMNOP"), QString("Setting OK"));
    QCOMPARE(tryPassword("ABCDEFGHIJKLMNO"), QString("Password Error"));

    // Other devices keep their own password.
    program_->Send(MakeConfig(MacOf(6), "admin").Bytes(), Broadcast);
    QCOMPARE(program_->ConfigAnswer(), QString("Setting OK"));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::faultSwitches_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("datagrams");
    QTest::addColumn<QStringList>("listed");  // distinct vendor MACs, in order of first arrival
    QTest::addColumn<int>("foreign");         // distinct MACs without the vendor prefix
    QTest::addColumn<int>("addresses");       // distinct IP addresses

    QStringList all;
    for (int i = 1; i <= 8; ++i)
        all << MacOf(i);
    QStringList without3 = all;
    without3.removeAt(2);
    QStringList without1and8 = all.mid(1, 6);

    QTest::newRow("duplicate") << QStringList{"--duplicate"} << 16 << all << 0 << 8;
    QTest::newRow("silent 3") << QStringList{"--silent", "3"} << 7 << without3 << 0 << 7;
    QTest::newRow("silent 1 and 8") << QStringList{"--silent", "1", "--silent", "8"} << 6 << without1and8 << 0 << 6;
    QTest::newRow("foreign 2") << QStringList{"--foreign", "2"} << 10 << all << 2 << 10;
    QTest::newRow("same ip") << QStringList{"--same-ip"} << 8 << all << 0 << 7;
}

void TestDevsim::faultSwitches()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, datagrams);
    QFETCH(QStringList, listed);
    QFETCH(int, foreign);
    QFETCH(int, addresses);

    DevsimProcess sim;
    QVERIFY2(sim.Start(arguments), qPrintable(sim.ErrorText()));
    program_->Discover();
    auto replies = program_->Collect(std::size_t(datagrams), 3000);
    const auto late = program_->CollectFor(200);
    replies.insert(replies.end(), late.begin(), late.end());
    QCOMPARE(replies.size(), std::size_t(datagrams));

    QStringList vendor;
    std::set<QString> others;
    std::set<QString> ips;
    for (const Datagram& d : replies) {
        QVERIFY(ListenerWouldTake(d));
        const QString mac = Mac(d);
        if (mac.startsWith(QString::fromLatin1(VendorPrefix.data(), VendorPrefix.size()))) {
            if (!vendor.contains(mac))
                vendor << mac;
        } else {
            QVERIFY2(mac.startsWith("02-4B-7F-"), qPrintable(mac));
            others.insert(mac);
        }
        ips.insert(Text(DecodeDiscoveryReply(d.data(), d.size())->ipAddress));
    }
    QCOMPARE(vendor, listed);
    QCOMPARE(int(others.size()), foreign);
    QCOMPARE(int(ips.size()), addresses);
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::malformedDatagrams()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--malformed"}), qPrintable(sim.ErrorText()));
    program_->Discover();
    const auto got = program_->Collect(8 + 9, 3000);
    QVERIFY(program_->CollectFor(200).empty());

    // The program's listener takes exactly the fleet's eight replies.
    QStringList taken;
    for (const Datagram& d : got)
        if (ListenerWouldTake(d))
            taken << Mac(d);
    taken.sort();
    QStringList fleet;
    for (int i = 1; i <= 8; ++i)
        fleet << MacOf(i);
    QCOMPARE(taken, fleet);

    const auto has = [&](auto&& condition) { return std::any_of(got.begin(), got.end(), condition); };
    const auto magicAt = [](const Datagram& d, const char* magic) {
        return d.size() >= 8 && std::equal(d.begin(), d.begin() + 8, magic);
    };
    QVERIFY2(has([](const Datagram& d) { return d.empty(); }), "an empty datagram");
    QVERIFY2(has([](const Datagram& d) { return d.size() == 1500; }), "a 1500-byte datagram");
    QVERIFY2(has([&](const Datagram& d) { return d.size() < DiscoveryReplySize && magicAt(d, "TOLVEXut"); }),
             "a truncated reply");
    QVERIFY2(has([&](const Datagram& d) { return magicAt(d, "tolvexut"); }), "a wrong magic");
    QVERIFY2(has([&](const Datagram& d) { return magicAt(d, "TOLVEXut") && d.size() > 9 && d[8] != 0; }),
             "byte 8 not zero");
    for (const Byte opcode : {Byte{OpDiscoveryRequest}, Byte{OpConfigRequest}})
        QVERIFY2(has([&](const Datagram& d) { return magicAt(d, "TOLVEXut") && d.size() > 9 && d[8] == 0 && d[9] == opcode; }),
                 "a request opcode");
    QVERIFY(sim.WaitForLine("9 malformed"));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::burstAnswersAtOnceBeforeDelayedDevices()
{
    QVERIFY2(program_->ReceiveBuffer() >= 4 << 20,
             qPrintable(QString("receive buffer only %1 bytes").arg(program_->ReceiveBuffer())));
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--burst", "2000", "--delay", "1000"}), qPrintable(sim.ErrorText()));
    program_->Discover();
    // Devices 9 to 2008 are the burst: all of them well before the fleet's delay ...
    auto got = program_->Collect(2008, 800);
    QCOMPARE(got.size(), std::size_t(2000));
    // ... and then the delayed fleet.
    const auto fleet = program_->Collect(8, 3000);
    got.insert(got.end(), fleet.begin(), fleet.end());
    QCOMPARE(got.size(), std::size_t(2008));

    std::set<QString> distinct;
    for (std::size_t i = 0; i < got.size(); ++i) {
        QVERIFY(ListenerWouldTake(got[i]));
        distinct.insert(Mac(got[i]));
        QCOMPARE(Mac(got[i]), MacOf(i < 2000 ? int(i) + 9 : int(i) - 2000 + 1));
    }
    QCOMPARE(distinct.size(), std::size_t(2008));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::delayAndJitterHoldBackReplies()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--delay", "300", "--jitter", "200"}), qPrintable(sim.ErrorText()));
    QElapsedTimer clock;
    clock.start();
    program_->Discover();
    QVERIFY(program_->Collect(1, 290).empty());
    QCOMPARE(program_->Collect(8, 3000).size(), std::size_t(8));
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString("took %1 ms").arg(clock.elapsed())));

    // Config replies wait as well.
    clock.restart();
    program_->Send(MakeConfig(MacOf(2), "admin").Bytes(), Broadcast);
    QCOMPARE(program_->ConfigAnswer(3000), QString("Setting OK"));
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString("after %1 ms").arg(clock.elapsed())));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

void TestDevsim::badCommandLineIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("too many devices") << QStringList{"--count", "60000", "--burst", "40001"} << "100000";
    QTest::newRow("given 127 address runs out of 127/8")
        << QStringList{"--first-ip", "127.255.255.250", "--count", "10"} << "127.0.0.0/8";
    QTest::newRow("addresses wrap") << QStringList{"--first-ip", "255.255.255.254", "--count", "3"}
                                    << "255.255.255.255";
    QTest::newRow("MAC counting changes the prefix")
        << QStringList{"--first-mac", "02-4B-7E-FF-FF-FF", "--count", "2"} << "first three bytes";
    QTest::newRow("short MAC") << QStringList{"--first-mac", "02-4B-7E-00-01"} << "--first-mac";
    QTest::newRow("mask with three parts") << QStringList{"--mask", "255.0.0"} << "--mask";
    QTest::newRow("octet over 255") << QStringList{"--gateway", "127.0.0.256"} << "--gateway";
    QTest::newRow("count not a number") << QStringList{"--count", "eight"} << "--count";
    QTest::newRow("negative delay") << QStringList{"--delay", "-5"} << "--delay";
    QTest::newRow("silent device outside the fleet") << QStringList{"--silent", "9"} << "--silent";
    QTest::newRow("same ip with one device") << QStringList{"--same-ip", "--count", "1"} << "--same-ip";
    QTest::newRow("unknown option") << QStringList{"--port", "9"} << "port";
    QTest::newRow("device without address") << QStringList{"--device", "203.0.113"} << "--device";
    QTest::newRow("device with four parts")
        << QStringList{"--device", "203.0.113.5,255.255.255.0,203.0.113.1,1.2.3.4"} << "--device";
    QTest::newRow("device with empty mask") << QStringList{"--device", "203.0.113.5,"} << "--device";
    QTest::newRow("unknown reply mode") << QStringList{"--reply-to", "sideways"} << "--reply-to";
    QTest::newRow("bind to a non-address") << QStringList{"--bind", "lo"} << "--bind";
    QTest::newRow("bind to the wildcard") << QStringList{"--bind", "0.0.0.0"} << "--bind";
    QTest::newRow("too many devices with given ones")
        << QStringList{"--count", "100000", "--device", "203.0.113.5"} << "100000";
}

void TestDevsim::badCommandLineIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);
    const Finished f = RunToEnd(arguments);
    QCOMPARE(f.exitCode, 2);
    QVERIFY2(f.err.contains(complaint), qPrintable(f.err));
    QVERIFY2(!f.out.contains("listening"), qPrintable(f.out));
}

void TestDevsim::portTakenEndsWithStatus1()
{
    UdpSocket holder;  // no SO_REUSEADDR: nobody else may bind the port
    holder.Bind("0.0.0.0", DevicePort);
    const Finished f = RunToEnd({});
    QCOMPARE(f.exitCode, 1);
    QVERIFY2(f.err.contains("cannot bind") && f.err.contains("62630"), qPrintable(f.err));
    QVERIFY(!f.out.contains("listening"));
}

void TestDevsim::sigintEndsCleanlyWithRepliesPending()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--delay", "5000"}), qPrintable(sim.ErrorText()));
    program_->Discover();
    QVERIFY(sim.WaitForLine("discovery -> 8 replies"));
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(sim.Process().processId()), SIGINT);
    QVERIFY(sim.Process().waitForFinished(2000));
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.Process().exitCode(), 0);
    QVERIFY(sim.WaitForLine("8 delayed replies dropped", 0));
    QVERIFY(program_->CollectFor(100).empty());
}

void TestDevsim::quietPrintsOnlyTheListeningLine()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--quiet"}), qPrintable(sim.ErrorText()));
    program_->Discover();
    QCOMPARE(program_->Collect(8, 3000).size(), std::size_t(8));
    program_->Send(MakeConfig(MacOf(1), "nope").Bytes(), Broadcast);
    QCOMPARE(program_->ConfigAnswer(), QString("Password Error"));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
    QCOMPARE(sim.Lines(), QStringList{"quillon-devsim: 8 devices listening on 0.0.0.0:62630"});
}

void TestDevsim::helpNamesEveryOption()
{
    const Finished f = RunToEnd({"--help"});
    QCOMPARE(f.exitCode, 0);
    for (const char* option : {"--count", "--first-mac", "--first-ip", "--mask", "--gateway", "--name", "--version",
                               "--description", "--password", "--delay", "--jitter", "--burst", "--foreign",
                               "--duplicate", "--malformed", "--silent", "--same-ip", "--quiet", "--device",
                               "--reply-to", "--bind", "62630", "62631",
                               "Setting OK", "Password Error"})
        QVERIFY2(f.out.contains(option), option);
}

// Given devices (--device) and where each reply goes (--reply-to): devices
// count on in MAC after the others and carry their own address, mask and
// gateway; "auto" broadcasts exactly for devices whose own subnet does not
// hold the requester (127.0.0.1).
void TestDevsim::replyDestinations_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("replies");  // in sending order

    const QString one = MacOf(1) + " 127.0.1.1/255.0.0.0/127.0.0.254";
    QTest::newRow("default: to the requester") << QStringList{"--count", "1"} << QStringList{one + " -> 127.0.0.1"};
    QTest::newRow("requester") << QStringList{"--count", "1", "--reply-to", "requester"}
                               << QStringList{one + " -> 127.0.0.1"};
    QTest::newRow("broadcast") << QStringList{"--count", "1", "--reply-to", "broadcast"}
                               << QStringList{one + " -> 255.255.255.255"};
    QTest::newRow("bound to loopback") << QStringList{"--count", "1", "--bind", "127.0.0.1"}
                                       << QStringList{one + " -> 127.0.0.1"};
    QTest::newRow("auto, given devices on and off the requester's subnet")
        << QStringList{"--count", "1", "--mask", "255.255.0.0", "--reply-to", "auto", "--foreign", "1",
                       "--device", "203.0.113.50,255.255.255.0,203.0.113.1", "--device", "127.0.200.1",
                       "--device", "127.0.200.1,255.255.255.0", "--device", "127.0.0.77,0.0.0.0,0.0.0.0"}
        << QStringList{MacOf(1) + " 127.0.1.1/255.255.0.0/127.0.0.254 -> 127.0.0.1",
                       "02-4B-7F-00-00-02 127.0.1.2/255.255.0.0/127.0.0.254 -> 127.0.0.1",
                       MacOf(3) + " 203.0.113.50/255.255.255.0/203.0.113.1 -> 255.255.255.255",
                       MacOf(4) + " 127.0.200.1/255.255.0.0/127.0.0.254 -> 127.0.0.1",
                       MacOf(5) + " 127.0.200.1/255.255.255.0/127.0.0.254 -> 255.255.255.255",
                       MacOf(6) + " 127.0.0.77/0.0.0.0/0.0.0.0 -> 127.0.0.1"};
    QTest::newRow("given devices only, broadcast")
        << QStringList{"--count", "0", "--reply-to", "broadcast", "--device", "192.0.2.1", "--device", "192.0.2.1"}
        << QStringList{MacOf(1) + " 192.0.2.1/255.0.0.0/127.0.0.254 -> 255.255.255.255",
                       MacOf(2) + " 192.0.2.1/255.0.0.0/127.0.0.254 -> 255.255.255.255"};
}

void TestDevsim::replyDestinations()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, replies);
    DevsimProcess sim;
    QVERIFY2(sim.Start(arguments), qPrintable(sim.ErrorText()));
    program_->Discover();
    QCOMPARE(program_->CollectAddressed(replies.size() + 1, 500), replies);
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

// Under "auto" a device answers from its settings as they are after the
// request: a refused request from a foreign device is broadcast, the
// answer to the one that moves it onto the requester's subnet is not.
void TestDevsim::autoRepliesFollowTheDevicesAddress()
{
    DevsimProcess sim;
    QVERIFY2(sim.Start({"--count", "0", "--reply-to", "auto", "--device", "203.0.113.50,255.255.255.0"}),
             qPrintable(sim.ErrorText()));
    program_->Send(MakeConfig(MacOf(1), "wrong").Bytes(), Broadcast);
    QCOMPARE(program_->CollectAddressed(2, 500), QStringList{MacOf(1) + " Password Error -> 255.255.255.255"});
    program_->Send(MakeConfig(MacOf(1), "admin").Bytes(), Broadcast);  // to 127.0.9.9/16
    QCOMPARE(program_->CollectAddressed(2, 500), QStringList{MacOf(1) + " Setting OK -> 127.0.0.1"});
    QVERIFY(sim.WaitForLine("-> Password Error, by broadcast"));
    program_->Discover();
    QCOMPARE(program_->CollectAddressed(2, 500),
             QStringList{MacOf(1) + " 127.0.9.9/255.255.0.0/127.0.0.1 -> 127.0.0.1"});
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
}

// --bind serves the interface that holds the address and no other: a
// broadcast that leaves by loopback is not seen by a simulator bound to a
// second interface, and the other way round. The second interface is a
// veth pair made inside this test's own namespace.
void TestDevsim::bindServesOneInterface_data()
{
    QTest::addColumn<QString>("bind");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("served");
    QTest::newRow("loopback, asked on loopback") << "127.0.0.1" << "127.0.0.1" << true;
    QTest::newRow("loopback, asked on the veth") << "127.0.0.1" << "192.0.2.9" << false;
    QTest::newRow("veth, asked on the veth") << "192.0.2.9" << "192.0.2.9" << true;
    QTest::newRow("veth, asked on loopback") << "192.0.2.9" << "127.0.0.1" << false;
}

void TestDevsim::bindServesOneInterface()
{
    QFETCH(QString, bind);
    QFETCH(QString, from);
    QFETCH(bool, served);

    static bool made = false;
    if (!made) {
        for (const char* command : {"link add qv0 type veth peer name qv1", "addr add 192.0.2.9/24 dev qv0",
                                    "link set qv1 up", "link set qv0 up"})
            QCOMPARE(QProcess::execute("ip", QString(command).split(' ')), 0);
        made = true;
    }

    DevsimProcess sim;
    QVERIFY2(sim.Start({"--count", "1", "--bind", bind}), qPrintable(sim.ErrorText()));
    QVERIFY(sim.WaitForLine("(" + bind + ") only"));
    UdpSocket sender;
    sender.Bind(from.toStdString(), 0);
    sender.SetBroadcast(true);
    const auto request = BuildDiscoveryRequest();
    sender.SendTo(request.data(), request.size(), Broadcast, DevicePort);
    QCOMPARE(program_->Collect(1, served ? 3000 : 400).size(), std::size_t(served ? 1 : 0));
    QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
    QCOMPARE(sim.Lines().filter(" discovery -> ").size(), served ? 1 : 0);
}

void TestDevsim::bindWithoutSuchInterfaceEndsWithStatus1()
{
    const Finished f = RunToEnd({"--bind", "198.51.100.77"});
    QCOMPARE(f.exitCode, 1);
    QVERIFY2(f.err.contains("198.51.100.77") && f.err.contains("no interface"), qPrintable(f.err));
    QVERIFY(!f.out.contains("listening"));
}

QTEST_GUILESS_MAIN(TestDevsim)
#include "tst_devsim.moc"
