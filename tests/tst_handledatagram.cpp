// Handling received datagrams: listing devices, showing replies, ignoring
// everything else without a trace.
#include <QTest>

#include "operations/Discovery.h"
#include "operations/StatusPanels.h"
#include "table/DeviceTable.h"

using namespace quillon;

namespace {

QByteArray Discovery(MacBytes mac, const char* name = "CAM", Ipv4Bytes ip = {10, 0, 0, 1})
{
    DiscoveryReply r;
    r.mac = mac;
    r.ipAddress = ip;
    r.netMask = {255, 255, 255, 0};
    r.gateway = {10, 0, 0, 254};
    r.deviceName = TextField<DeviceNameWidth>(name);
    r.version = TextField<VersionWidth>("1.0.3");
    r.description = TextField<DescriptionWidth>("Door");
    const auto bytes = EncodeDiscoveryReply(r);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

QByteArray Config(MacBytes mac, const std::string& message)
{
    ConfigReply r;
    r.mac = mac;
    r.message = TextField<MessageWidth>(message);
    const auto bytes = EncodeConfigReply(r);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

constexpr MacBytes Mac1{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x01};
constexpr MacBytes Mac2{0x02, 0x4B, 0x7E, 0x00, 0x00, 0x02};

struct Fixture {
    DeviceTable table;
    StatusPanels status;
    // Hands over a heap copy of exactly the datagram's bytes, so that any
    // read past them shows in the sanitizer build.
    void Feed(const QByteArray& datagram)
    {
        std::vector<Byte> copy(datagram.begin(), datagram.end());
        HandleDatagram(table, status, copy.empty() ? nullptr : copy.data(), copy.size());
    }
    QByteArray Panel(int i) const { return status.Text(i); }
};

}  // namespace

class TestHandleDatagram : public QObject {
    Q_OBJECT

private slots:
    void firstDeviceBecomesRowOne()
    {
        Fixture f;
        f.table.SetupHeader();
        f.Feed(Discovery({0x02, 0x4B, 0x7E, 0x0A, 0x1B, 0xFF}));
        QCOMPARE(f.table.RowCount(), 3);
        const QList<QByteArray> expected = {
            "1",
            "02-4B-7E-0A-1B-FF",
            "\nCAM" + QByteArray(29, '\0'),
            "\n1.0.3" + QByteArray(11, '\0'),
            "\n10.0.0.1",
            "",
            "\n10.0.0.1",
            "\n255.255.255.0",
            "\n10.0.0.254",
            "\nDoor" + QByteArray(28, '\0'),
        };
        for (int c = 0; c < DeviceTable::ColumnCount; ++c)
            QCOMPARE(f.table.Cell(c, 1), expected[c]);
        QCOMPARE(f.Panel(0), QByteArray("\nDevice : \nCAM (02-4B-7E-0A-1B-FF)"));
        QCOMPARE(f.Panel(1), QByteArray("Get Device Information done."));
    }

    void fullFieldsAndLongDatagram()
    {
        Fixture f;
        QByteArray datagram = Discovery(Mac1);
        datagram.replace(64, 16, QByteArray(16, 'V'));
        datagram += QByteArray(188, '\x7F');  // 300 bytes: listed from the first 112
        f.Feed(datagram);
        QCOMPARE(f.table.Cell(3, 1), "\n" + QByteArray(16, 'V'));
        QCOMPARE(f.table.Cell(9, 1).size(), 33);
    }

    void duplicatesAndForeignDevicesAreIgnored()
    {
        Fixture f;
        f.Feed(Discovery(Mac1, "ONE"));
        f.Feed(Discovery(Mac2, "TWO"));
        const QByteArray panel0 = f.Panel(0);
        f.Feed(Discovery(Mac1, "AGAIN"));
        f.Feed(Discovery({0x02, 0x4B, 0x7F, 0, 0, 3}, "FOREIGN"));
        QCOMPARE(f.table.RowCount(), 4);
        QCOMPARE(f.table.Cell(2, 1), "\nONE" + QByteArray(29, '\0'));
        QCOMPARE(f.Panel(0), panel0);
    }

    // Nothing of these changes the table or the status texts.
    void ignoredDatagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray valid = Discovery(Mac1);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("T");
        QTest::newRow("header only") << valid.left(16);
        QTest::newRow("111 bytes") << valid.left(111);
        QTest::newRow("config reply of 47") << Config(Mac1, "Setting OK").left(47);
        QTest::newRow("lower-case magic") << QByteArray("tolvexut") + valid.mid(8);
        QTest::newRow("byte 8 set") << valid.left(8) + '\x01' + valid.mid(9);
        QTest::newRow("discovery request") << QByteArray("TOLVEXut\x00\x16\xFF\xFF\xFF\xFF\xFF\xFF", 16);
        QTest::newRow("config request opcode") << valid.left(9) + '\x90' + valid.mid(10);
        QTest::newRow("unknown opcode") << valid.left(9) + '\x71' + valid.mid(10);
        QTest::newRow("noise") << QByteArray(1024, '\xA5');
    }
    void ignoredDatagrams()
    {
        QFETCH(QByteArray, datagram);
        Fixture f;
        f.Feed(Discovery(Mac2));
        f.status.SetText(0, "before");
        f.status.SetText(1, "before");
        f.Feed(datagram);
        QCOMPARE(f.table.RowCount(), 3);
        QCOMPARE(f.Panel(0), QByteArray("before"));
        QCOMPARE(f.Panel(1), QByteArray("before"));
    }

    void configReply()
    {
        Fixture f;
        f.Feed(Discovery(Mac1, "CAM"));
        f.Feed(Discovery(Mac2, "DOOR"));
        f.Feed(Config(Mac1, "Setting OK"));
        QCOMPARE(f.Panel(0), QByteArray("\nDevice : \nCAM (02-4B-7E-00-00-01)"));
        QCOMPARE(f.Panel(1), QByteArray("\nSetting OK"));
        QCOMPARE(f.table.RowCount(), 4);

        f.Feed(Config(Mac2, std::string(32, 'M')));  // no zero byte: all 32
        QCOMPARE(f.Panel(1), "\n" + QByteArray(32, 'M'));
    }

    // A ConfigReply is matched by MAC text only: the vendor prefix does not
    // matter, and an unlisted MAC shows with an empty name.
    void configReplyMatching()
    {
        Fixture f;
        f.table.AppendDeviceRow();
        f.table.SetCell(1, 1, "AA-BB-CC-00-00-01");
        f.table.SetCell(2, 1, "\nOTHER");
        f.Feed(Config({0xAA, 0xBB, 0xCC, 0, 0, 1}, "Password Error"));
        QCOMPARE(f.Panel(0), QByteArray("\nDevice : \nOTHER (AA-BB-CC-00-00-01)"));
        QCOMPARE(f.Panel(1), QByteArray("\nPassword Error"));

        f.Feed(Config({0x02, 0x4B, 0x7E, 9, 9, 9}, "Setting OK"));
        QCOMPARE(f.Panel(0), QByteArray("\nDevice :  (02-4B-7E-09-09-09)"));
        QCOMPARE(f.Panel(1), QByteArray("\nSetting OK"));
        QCOMPARE(f.table.RowCount(), 3);
    }

    // The status texts follow the table: the panel shows the row's cells as
    // they stand, up to their first NUL.
    void configReplyShowsTheRowAsItStands()
    {
        Fixture f;
        f.Feed(Discovery(Mac1, "CAM"));
        f.table.SetCell(2, 1, QByteArray("Renamed\0tail", 12));
        f.Feed(Config(Mac1, "Setting OK"));
        QCOMPARE(f.Panel(0), QByteArray("\nDevice : Renamed (02-4B-7E-00-00-01)"));
    }
};

QTEST_APPLESS_MAIN(TestHandleDatagram)
#include "tst_handledatagram.moc"
