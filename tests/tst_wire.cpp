// The wire messages: exact bytes of what the program sends, and the
// recognition and decoding of what it receives.
#include <QTest>

#include "protocol/Wire.h"

using namespace quillon;

namespace {

QByteArray Bytes(const Byte* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

template <std::size_t N>
QByteArray Bytes(const std::array<Byte, N>& a)
{
    return Bytes(a.data(), N);
}

// A well-formed DiscoveryReply of 112 bytes with recognisable field values.
QByteArray SampleDiscoveryReply()
{
    DiscoveryReply r;
    r.mac = {0x02, 0x4B, 0x7E, 0x0A, 0x1B, 0xFF};
    r.ipAddress = {192, 168, 0, 100};
    r.netMask = {255, 255, 255, 0};
    r.gateway = {192, 168, 0, 1};
    r.deviceName = TextField<DeviceNameWidth>("CAM");
    r.version = TextField<VersionWidth>("1.0.3");
    r.description = TextField<DescriptionWidth>("Door");
    return Bytes(EncodeDiscoveryReply(r));
}

}  // namespace

class TestWire : public QObject {
    Q_OBJECT

private slots:
    void discoveryRequestIsExactly16Bytes()
    {
        QCOMPARE(Bytes(BuildDiscoveryRequest()), QByteArray("TOLVEXut\x00\x16\xFF\xFF\xFF\xFF\xFF\xFF", 16));
    }

    void swapNibbles_data()
    {
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("zero") << 0x00 << 0x00;
        QTest::newRow("a") << 0x61 << 0x16;
        QTest::newRow("z") << 0x7A << 0xA7;
        QTest::newRow("7F") << 0x7F << 0xF7;
        QTest::newRow("80 keeps high half only") << 0x80 << 0xF8;
        QTest::newRow("C1 is FC, not 1C") << 0xC1 << 0xFC;
        QTest::newRow("9A") << 0x9A << 0xF9;
        QTest::newRow("FF") << 0xFF << 0xFF;
    }
    void swapNibbles()
    {
        QFETCH(int, in);
        QFETCH(int, out);
        QCOMPARE(int(SwapNibbles(Byte(in))), out);
    }

    void swapNibblesNeverMapsNonZeroToZero()
    {
        for (int b = 1; b < 256; ++b)
            QVERIFY2(SwapNibbles(Byte(b)) != 0, qPrintable(QString::number(b, 16)));
    }

    void macAndAddressTexts()
    {
        QCOMPARE(MacText({0x02, 0x4B, 0x7E, 0x0A, 0x1B, 0xFF}), std::string("02-4B-7E-0A-1B-FF"));
        QCOMPARE(MacText({0, 0, 0, 0, 0, 0}), std::string("00-00-00-00-00-00"));
        QCOMPARE(DottedDecimal({192, 168, 0, 100}), std::string("192.168.0.100"));
        QCOMPARE(DottedDecimal({0, 0, 0, 0}), std::string("0.0.0.0"));
        QCOMPARE(DottedDecimal({255, 255, 255, 255}), std::string("255.255.255.255"));
    }

    // Every byte of a full ConfigRequest, built field by field.
    void configRequestLayout()
    {
        ConfigRequest request;
        request.SetMac({0x02, 0x4B, 0x7E, 0x01, 0x02, 0x03});
        request.SetIpAddress({10, 0, 0, 1});
        request.SetNetMask({255, 0, 0, 0});
        request.SetGateway({10, 0, 0, 254});
        request.SetDescription("Hall %s");
        request.SetPassword("abc");
        QVERIFY(request.SetNewPassword("xy"));

        QByteArray expected(98, '\0');
        expected.replace(0, 10, QByteArray("TOLVEXut\x00\x90", 10));
        expected.replace(10, 6, QByteArray("\x02\x4B\x7E\x01\x02\x03", 6));
        expected.replace(20, 12, QByteArray("\x0A\x00\x00\x01\xFF\x00\x00\x00\x0A\x00\x00\xFE", 12));
        expected.replace(32, 7, QByteArray("Hall %s"));
        expected.replace(64, 3, QByteArray("\x16\x26\x36"));
        expected.replace(80, 2, QByteArray("\x87\x97"));
        QCOMPARE(Bytes(request.Bytes()), expected);
    }

    void configRequestTextFields_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("newPassword");
        QTest::addColumn<QByteArray>("expected32to97");

        const QByteArray d32 = QByteArray(32, 'D');
        const QByteArray zeros16(16, '\0');
        auto swapped = [](const QByteArray& plain) {
            QByteArray out(16, '\0');
            for (int i = 0; i < plain.size() && i < 16; ++i)
                out[i] = char(SwapNibbles(Byte(plain[i])));
            return out;
        };
        QTest::newRow("32-byte description fills the field, next field intact")
            << d32 << QByteArray("abc") << QByteArray() << (d32 + swapped("abc") + zeros16 + QByteArray(2, '\0'));
        QTest::newRow("longer description is cut at 32")
            << (d32 + "XYZ") << QByteArray("abc") << QByteArray() << (d32 + swapped("abc") + zeros16 + QByteArray(2, '\0'));
        QTest::newRow("password of 20 carries its first 16")
            << QByteArray() << QByteArray("abcdefghijklmnopqrst") << QByteArray()
            << (QByteArray(32, '\0') + swapped("abcdefghijklmnop") + zeros16 + QByteArray(2, '\0'));
        QTest::newRow("password byte C1 is sent as FC")
            << QByteArray() << QByteArray("\xC1") << QByteArray()
            << (QByteArray(32, '\0') + QByteArray("\xFC") + QByteArray(15, '\0') + zeros16 + QByteArray(2, '\0'));
        QTest::newRow("new password of 16")
            << QByteArray() << QByteArray("p") << QByteArray("0123456789abcdef")
            << (QByteArray(32, '\0') + swapped("p") + swapped("0123456789abcdef") + QByteArray(2, '\0'));
        QTest::newRow("17th new-password byte goes plain into byte 96")
            << QByteArray() << QByteArray("p") << QByteArray("0123456789abcdefZ")
            << (QByteArray(32, '\0') + swapped("p") + swapped("0123456789abcdef") + QByteArray("Z") + QByteArray(1, '\0'));
    }
    void configRequestTextFields()
    {
        QFETCH(QByteArray, description);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, newPassword);
        QFETCH(QByteArray, expected32to97);
        ConfigRequest request;
        request.SetDescription(description.toStdString());
        request.SetPassword(password.toStdString());
        QVERIFY(request.SetNewPassword(newPassword.toStdString()));
        const QByteArray bytes = Bytes(request.Bytes());
        QCOMPARE(bytes.size(), 98);
        QCOMPARE(bytes.mid(16, 4), QByteArray(4, '\0'));
        QCOMPARE(bytes.mid(32), expected32to97);
    }

    void newPasswordOf18IsRefusedAndLeavesTheRequestAlone()
    {
        ConfigRequest request;
        QVERIFY(request.SetNewPassword("ab"));
        const auto before = request.Bytes();
        QVERIFY(!request.SetNewPassword(std::string(18, 'x')));
        QVERIFY(!request.SetNewPassword(std::string(100, 'x')));
        QVERIFY(request.Bytes() == before);
    }

    void recognition_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("kind");
        const QByteArray header = QByteArray("TOLVEXut\x00", 9);
        const QByteArray mac("\x02\x4B\x7E\x00\x00\x01", 6);
        QTest::newRow("discovery reply") << (header + '\x70' + mac) << int(MessageKind::DiscoveryReply);
        QTest::newRow("config reply") << (header + '\x30' + mac) << int(MessageKind::ConfigReply);
        QTest::newRow("discovery request echoed") << (header + '\x16' + mac) << int(MessageKind::OtherOpcode);
        QTest::newRow("config request echoed") << (header + '\x90' + mac) << int(MessageKind::OtherOpcode);
        QTest::newRow("lower-case magic") << (QByteArray("tolvexut\x00\x70", 10) + mac) << int(MessageKind::NotProtocol);
        QTest::newRow("byte 8 not zero") << (QByteArray("TOLVEXut\x01\x70", 10) + mac) << int(MessageKind::NotProtocol);
        QTest::newRow("15 bytes") << (header + '\x70' + mac).left(15) << int(MessageKind::NotProtocol);
        QTest::newRow("empty") << QByteArray() << int(MessageKind::NotProtocol);
    }
    void recognition()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, kind);
        QCOMPARE(int(Recognise(reinterpret_cast<const Byte*>(datagram.constData()), std::size_t(datagram.size()))), kind);
    }

    void decodeDiscoveryReply()
    {
        const QByteArray datagram = SampleDiscoveryReply() + QByteArray(188, '\xEE');  // 300 bytes
        const auto reply = DecodeDiscoveryReply(reinterpret_cast<const Byte*>(datagram.constData()), 300);
        QVERIFY(reply);
        QCOMPARE(MacText(reply->mac), std::string("02-4B-7E-0A-1B-FF"));
        QCOMPARE(DottedDecimal(reply->ipAddress), std::string("192.168.0.100"));
        QCOMPARE(DottedDecimal(reply->netMask), std::string("255.255.255.0"));
        QCOMPARE(DottedDecimal(reply->gateway), std::string("192.168.0.1"));
        QCOMPARE(FieldText(reply->deviceName), std::string("CAM"));
        QCOMPARE(FieldText(reply->version), std::string("1.0.3"));
        QCOMPARE(FieldText(reply->description), std::string("Door"));
    }

    // Short datagrams are ignored; the decoders never read past the length.
    // Each row hands over a heap copy of exactly the received bytes, so the
    // sanitizer build catches any read beyond them.
    void decodersRefuseShortDatagrams_data()
    {
        QTest::addColumn<int>("opcode");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("discovery 111") << 0x70 << 111 << false;
        QTest::newRow("discovery 112") << 0x70 << 112 << true;
        QTest::newRow("discovery 16") << 0x70 << 16 << false;
        QTest::newRow("config 47") << 0x30 << 47 << false;
        QTest::newRow("config 48") << 0x30 << 48 << true;
    }
    void decodersRefuseShortDatagrams()
    {
        QFETCH(int, opcode);
        QFETCH(int, length);
        QFETCH(bool, decoded);
        std::vector<Byte> datagram(std::size_t(length), 0);
        std::copy(Magic.begin(), Magic.end(), datagram.begin());
        datagram[9] = Byte(opcode);
        const bool ok = opcode == 0x70 ? bool(DecodeDiscoveryReply(datagram.data(), datagram.size()))
                                       : bool(DecodeConfigReply(datagram.data(), datagram.size()));
        QCOMPARE(ok, decoded);
    }

    void configReplyAndRequestRoundTrip()
    {
        ConfigReply reply;
        reply.mac = {0x02, 0x4B, 0x7E, 0, 0, 9};
        reply.message = TextField<MessageWidth>(std::string(40, 'M'));
        const auto bytes = EncodeConfigReply(reply);
        const auto decoded = DecodeConfigReply(bytes.data(), bytes.size());
        QVERIFY(decoded);
        QCOMPARE(FieldText(decoded->message), std::string(32, 'M'));  // no zero: all 32

        ConfigRequest request;
        request.SetMac({0x02, 0x4B, 0x7E, 0, 0, 9});
        request.SetPassword("admin");
        QVERIFY(request.SetNewPassword("0123456789abcdefQ"));
        const auto fields = DecodeConfigRequest(request.Bytes().data(), request.Bytes().size());
        QVERIFY(fields);
        QCOMPARE(fields->password[0], SwapNibbles('a'));
        QCOMPARE(fields->newPasswordOverflow, Byte('Q'));
        QVERIFY(!DecodeConfigRequest(request.Bytes().data(), 97));
        QVERIFY(IsDiscoveryRequest(BuildDiscoveryRequest().data(), 16));
        QVERIFY(!IsDiscoveryRequest(request.Bytes().data(), 98));
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
