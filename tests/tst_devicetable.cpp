// The device table model and its rules, without a widget.
#include <QAbstractItemModelTester>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "platform/Dialogs.h"
#include "table/CellForms.h"
#include "table/ConnectToDevice.h"
#include "table/DeviceTable.h"

using namespace quillon;

namespace {

// Records the message boxes instead of showing them.
class BoxRecorder {
public:
    BoxRecorder()
    {
        previous_ = SetBoxHandler([this](BoxKind, const QString& text) { texts << text; });
    }
    ~BoxRecorder() { SetBoxHandler(previous_); }
    QStringList texts;

private:
    BoxHandler previous_;
};

// Receives what the desktop would be asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// Appends a device the way discovery does.
int AddDevice(DeviceTable& table, const QByteArray& mac, const QByteArray& ip = "\n10.0.0.1")
{
    const int n = table.AppendDeviceRow();
    table.SetCell(DeviceTable::ColMac, n, mac);
    table.SetCell(DeviceTable::ColDeviceIp, n, ip);
    table.SetCell(DeviceTable::ColIpAddress, n, ip);
    return n;
}

}  // namespace

class TestDeviceTable : public QObject {
    Q_OBJECT

private slots:
    void newTable()
    {
        DeviceTable table;
        QCOMPARE(table.RowCount(), 2);
        QCOMPARE(table.CurrentColumn(), 5);
        QCOMPARE(table.CurrentRow(), 1);
        QVERIFY(!table.EditingEnabled());
        QVERIFY(!table.IsDeviceRow(1));
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-01"), int(DeviceTable::NoRow));
        for (int c = 0; c < DeviceTable::ColumnCount; ++c) {
            QCOMPARE(table.ColumnWidth(c), 64);
            QVERIFY(table.Cell(c, 0).isEmpty());
        }
    }

    void headerSetup()
    {
        DeviceTable table;
        table.SetupHeader();
        const QList<QByteArray> headers = {"", "MAC Address", "Device Name", "Version", "DeviceIP",
                                           "NewPassword", "IP Address", "NetMask", "Gateway", "Description"};
        const QList<int> widths = {16, 96, 80, 80, 80, 72, 72, 72, 72, 116};
        for (int c = 0; c < DeviceTable::ColumnCount; ++c) {
            QCOMPARE(table.Cell(c, 0), headers[c]);
            QCOMPARE(table.ColumnWidth(c), widths[c]);
            QCOMPARE(table.headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headers[c]));
        }
    }

    void appendAndClear()
    {
        DeviceTable table;
        QCOMPARE(table.AppendDeviceRow(), 1);
        QCOMPARE(table.RowCount(), 3);
        QCOMPARE(table.Cell(0, 1), QByteArray("1"));
        for (int c = 0; c < DeviceTable::ColumnCount; ++c)
            QVERIFY(table.Cell(c, 2).isEmpty());
        for (int i = 2; i <= 10; ++i)
            QCOMPARE(table.AppendDeviceRow(), i);
        QCOMPARE(table.Cell(0, 10), QByteArray("10"));

        table.SetCell(5, 11, "typed into the spare row");
        table.ClearDeviceTable();
        QCOMPARE(table.RowCount(), 2);
        for (int c = 0; c < DeviceTable::ColumnCount; ++c)
            QVERIFY(table.Cell(c, 1).isEmpty());
        QCOMPARE(table.AppendDeviceRow(), 1);
        QVERIFY(table.Cell(5, 2).isEmpty());  // rows that come back start empty
    }

    void findRowByMac()
    {
        DeviceTable table;
        AddDevice(table, "02-4B-7E-00-00-01");
        AddDevice(table, "02-4B-7E-00-00-02");
        AddDevice(table, "02-4B-7E-00-00-03");
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-02"), 2);
        QCOMPARE(table.FindRowByMac("02-4b-7e-00-00-02"), int(DeviceTable::NoRow));  // case matters
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-0"), int(DeviceTable::NoRow));   // whole text only

        // The index follows every write of column 1: the last matching row wins.
        table.SetCell(DeviceTable::ColMac, 1, "02-4B-7E-00-00-03");
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-03"), 3);
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-01"), int(DeviceTable::NoRow));
        table.SetCell(DeviceTable::ColMac, 3, "other");
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-03"), 1);
        // The header row and the spare row are never considered.
        table.SetCell(DeviceTable::ColMac, 0, "HDR");
        table.SetCell(DeviceTable::ColMac, table.RowCount() - 1, "SPARE");
        QCOMPARE(table.FindRowByMac("HDR"), int(DeviceTable::NoRow));
        QCOMPARE(table.FindRowByMac("SPARE"), int(DeviceTable::NoRow));
        // A spare-row text becomes findable once the row turns into a device row.
        table.AppendDeviceRow();
        QCOMPARE(table.FindRowByMac("SPARE"), table.RowCount() - 2);

        table.ClearDeviceTable();
        QCOMPARE(table.FindRowByMac("02-4B-7E-00-00-02"), int(DeviceTable::NoRow));
        QCOMPARE(table.FindRowByMac("SPARE"), int(DeviceTable::NoRow));
    }

    void cellForms()
    {
        std::array<Byte, 32> name = TextField<32>("CAM");
        const QByteArray cell = ReplyTextCell(name);
        QCOMPARE(cell.size(), 33);
        QCOMPARE(cell, QByteArray("\nCAM") + QByteArray(29, '\0'));
        QCOMPARE(ReplyTextCell(TextField<16>("1.0.3")).size(), 17);
        QCOMPARE(ReplyAddressCell({0, 0, 0, 0}), QByteArray("\n0.0.0.0"));
        QCOMPARE(ReplyAddressCell({255, 255, 255, 255}).size(), 16);
        QCOMPARE(MacCell({0x02, 0x4B, 0x7E, 0x0A, 0x1B, 0xFF}), QByteArray("02-4B-7E-0A-1B-FF"));
        QCOMPARE(RowNumberCell(10), QByteArray("10"));
    }

    void selection()
    {
        DeviceTable table;
        AddDevice(table, "02-4B-7E-00-00-01");
        QSignalSpy enabled(&table, &DeviceTable::commandsEnabledBySelection);

        // Fixed cells and the header row select nothing.
        QVERIFY(!table.SelectCell(2, 1));
        QVERIFY(!table.SelectCell(6, 0));
        QCOMPARE(enabled.count(), 0);
        QVERIFY(!table.EditingEnabled());

        QVERIFY(table.SelectCell(6, 1));
        QCOMPARE(enabled.count(), 1);
        QVERIFY(table.EditingEnabled());
        QVERIFY(table.CanEditCurrentCell());

        // The spare row: commands enabled, editing off.
        QVERIFY(table.SelectCell(9, 2));
        QCOMPARE(enabled.count(), 2);
        QVERIFY(!table.EditingEnabled());
        QCOMPARE(table.CurrentRow(), 2);
        QCOMPARE(table.CurrentColumn(), 9);
    }

    // Shrinking below the current row moves it to row 1 with a selection event.
    void clearMovesTheCurrentCell()
    {
        DeviceTable table;
        for (int i = 1; i <= 3; ++i)
            AddDevice(table, "02-4B-7E-00-00-0" + QByteArray::number(i));
        QVERIFY(table.SelectCell(7, 3));
        QVERIFY(table.EditingEnabled());
        QSignalSpy enabled(&table, &DeviceTable::commandsEnabledBySelection);
        QSignalSpy moved(&table, &DeviceTable::currentCellChanged);
        table.ClearDeviceTable();
        QCOMPARE(enabled.count(), 1);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(table.CurrentRow(), 1);
        QCOMPARE(table.CurrentColumn(), 7);
        QVERIFY(!table.EditingEnabled());
    }

    // On row 1 with editing on, a clear keeps the switch: the user may type
    // into the spare row, and an appended device keeps that column 5.
    void clearOnRowOneKeepsTheSwitch()
    {
        DeviceTable table;
        AddDevice(table, "02-4B-7E-00-00-01");
        QVERIFY(table.SelectCell(5, 1));
        QSignalSpy enabled(&table, &DeviceTable::commandsEnabledBySelection);
        table.ClearDeviceTable();
        QCOMPARE(enabled.count(), 0);
        QVERIFY(table.EditingEnabled());
        table.SetEditText(5, 1, "secret");
        AddDevice(table, "02-4B-7E-00-00-09");
        QCOMPARE(table.Cell(5, 1), QByteArray("secret"));
        QCOMPARE(table.Cell(1, 1), QByteArray("02-4B-7E-00-00-09"));
    }

    void editWarnings_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("message");  // empty: none
        const QString ip = QStringLiteral("IP address Length Error !!");
        const QString pw = QStringLiteral("Password Length must less than 16 !!");
        const QString ds = QStringLiteral("Description Length must less than 32 !!");
        QTest::newRow("ip 16") << 6 << 16 << QString();
        QTest::newRow("ip 17") << 6 << 17 << ip;
        QTest::newRow("mask 17") << 7 << 17 << ip;
        QTest::newRow("gateway 40") << 8 << 40 << ip;
        QTest::newRow("password 17") << 5 << 17 << QString();
        QTest::newRow("password 18") << 5 << 18 << pw;
        QTest::newRow("description 33") << 9 << 33 << QString();
        QTest::newRow("description 34") << 9 << 34 << ds;
    }
    void editWarnings()
    {
        QFETCH(int, column);
        QFETCH(int, length);
        QFETCH(QString, message);
        DeviceTable table;
        AddDevice(table, "02-4B-7E-00-00-01");
        BoxRecorder boxes;
        const QByteArray text(length, 'x');
        table.SetEditText(column, 1, text);
        QCOMPARE(boxes.texts, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(table.Cell(column, 1), text);  // a warning never refuses the text
    }

    // The limits count bytes, the leading line feed and NULs included.
    void warningCountsBytes()
    {
        DeviceTable table;
        AddDevice(table, "02-4B-7E-00-00-01");
        BoxRecorder boxes;
        table.SetEditText(9, 1, "\n" + QByteArray(32, '\0'));
        table.SetEditText(6, 1, "\n255.255.255.255");
        QVERIFY(boxes.texts.isEmpty());
        table.SetEditText(9, 1, "\n" + QByteArray(32, 'a') + "b");
        QCOMPARE(boxes.texts.size(), 1);
    }

    void connectToDevice()
    {
        DeviceTable table;
        UrlCatcher catcher;
        AddDevice(table, "02-4B-7E-00-00-01", "\n192.168.0.100");
        QVERIFY(table.SelectCell(5, 1));
        QCOMPARE(DeviceWebAddress(table).value(), QByteArray("http://192.168.0.100"));
        BtnConDevClick(table);
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("http://192.168.0.100"))});

        // On the spare row nothing happens.
        QVERIFY(table.SelectCell(5, 2));
        QVERIFY(!DeviceWebAddress(table));
        BtnConDevClick(table);
        QCOMPARE(catcher.urls.size(), 1);
    }

    void displayForms()
    {
        QCOMPARE(DeviceTable::DisplayText("\nCAM" + QByteArray(29, '\0')), QStringLiteral("CAM"));
        QCOMPARE(DeviceTable::DisplayText("\n10.0.0.1"), QStringLiteral("10.0.0.1"));
        QCOMPARE(DeviceTable::DisplayText("a\nb"), QStringLiteral("a b"));
        QCOMPARE(DeviceTable::DisplayText("caf\xE9"), QStringLiteral("caf\u00E9"));
        QCOMPARE(DeviceTable::EditorText(QByteArray("\nDoor\0tail", 10)), QStringLiteral("\nDoor"));
    }

    // The Qt face: model rows are table rows 1 and below, fixed cells are
    // not selectable, and only the current cell with editing on is editable.
    void itemModel()
    {
        DeviceTable table;
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
        table.SetupHeader();
        for (int i = 1; i <= 5; ++i)
            AddDevice(table, "02-4B-7E-00-00-0" + QByteArray::number(i));
        QCOMPARE(table.rowCount(), 6);
        QCOMPARE(table.columnCount(), 10);
        QCOMPARE(table.data(table.index(0, 1)).toString(), QStringLiteral("02-4B-7E-00-00-01"));
        QCOMPARE(table.data(table.index(0, 4)).toString(), QStringLiteral("10.0.0.1"));
        QCOMPARE(table.data(table.index(0, 4), DeviceTable::CellBytesRole).toByteArray(), QByteArray("\n10.0.0.1"));
        QCOMPARE(table.flags(table.index(0, 4)), Qt::NoItemFlags);
        QVERIFY(!(table.flags(table.index(0, 6)) & Qt::ItemIsEditable));
        QVERIFY(table.SelectCell(6, 1));
        QVERIFY(table.flags(table.index(0, 6)) & Qt::ItemIsEditable);
        QVERIFY(!(table.flags(table.index(1, 6)) & Qt::ItemIsEditable));

        BoxRecorder boxes;
        QVERIFY(table.setData(table.index(0, 6), QStringLiteral("10.0.0.250")));
        QCOMPARE(table.Cell(6, 1), QByteArray("10.0.0.250"));
        QVERIFY(table.setData(table.index(0, 9), QStringLiteral("caf\u00E9")));
        QCOMPARE(table.Cell(9, 1), QByteArray("caf\xE9"));  // typed as Latin-1 bytes
        QVERIFY(!table.setData(table.index(0, 2), QStringLiteral("x")));  // fixed column

        table.ClearDeviceTable();
        QCOMPARE(table.rowCount(), 1);
    }

    // Appending and finding stay constant-time per row: 50,000 devices are
    // listed and looked up quickly.
    void manyRows()
    {
        DeviceTable table;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 50000; ++i) {
            const QByteArray mac = QByteArray("02-4B-7E-") + QByteArray::number(0x100000 + i, 16).toUpper();
            QCOMPARE(table.FindRowByMac(mac), int(DeviceTable::NoRow));
            AddDevice(table, mac);
        }
        QCOMPARE(table.RowCount(), 50002);
        QCOMPARE(table.FindRowByMac("02-4B-7E-10C34F"), 50000);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        table.ClearDeviceTable();
        QCOMPARE(table.RowCount(), 2);
    }
};

QTEST_MAIN(TestDeviceTable)
#include "tst_devicetable.moc"
