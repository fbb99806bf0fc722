// Table texts back into bytes: dotted quads, MAC texts, hex pairs.
#include <QTest>

#include "protocol/AddressText.h"

using namespace quillon;

using Quad = std::array<std::int32_t, 4>;
Q_DECLARE_METATYPE(Quad)

class TestAddressText : public QObject {
    Q_OBJECT

private slots:
    void parseDottedQuad_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<Quad>("values");  // checked when accepted

        QTest::newRow("plain") << QByteArray("192.168.0.1") << true << Quad{192, 168, 0, 1};
        QTest::newRow("reply cell") << QByteArray("\n192.168.1.100") << true << Quad{192, 168, 1, 100};
        QTest::newRow("small") << QByteArray("1.2.3.4") << true << Quad{1, 2, 3, 4};
        QTest::newRow("zeros") << QByteArray("0.0.0.0") << true << Quad{0, 0, 0, 0};
        QTest::newRow("all 255") << QByteArray("255.255.255.255") << true << Quad{255, 255, 255, 255};
        QTest::newRow("leading zeros are decimal") << QByteArray("010.001.000.001") << true << Quad{10, 1, 0, 1};
        QTest::newRow("letters dropped") << QByteArray("192.168.1.1abc") << true << Quad{192, 168, 1, 1};
        QTest::newRow("letter inside a number") << QByteArray("19a2.168.1.1") << true << Quad{192, 168, 1, 1};
        QTest::newRow("blank dropped") << QByteArray("1 2.3.4.5") << true << Quad{12, 3, 4, 5};
        QTest::newRow("minus dropped") << QByteArray("-10.1.1.1") << true << Quad{10, 1, 1, 1};
        QTest::newRow("high bytes dropped") << QByteArray("\xB9" "9.1.2.3\xFF") << true << Quad{9, 1, 2, 3};
        QTest::newRow("ten leading zeros") << QByteArray("0000000001.0.0.1") << true << Quad{1, 0, 0, 1};
        QTest::newRow("stops at NUL") << QByteArray("10.0.0.1\0" "9.9.9.9", 16) << true << Quad{10, 0, 0, 1};
        QTest::newRow("31 kept characters fit")
            << QByteArray("0000000000000000000000001.2.3.4") << true << Quad{1, 2, 3, 4};

        QTest::newRow("256") << QByteArray("256.1.1.1") << false << Quad{};
        QTest::newRow("twelve nines") << QByteArray("999999999999.0.0.1") << false << Quad{};
        QTest::newRow("huge run of digits") << (QByteArray(30, '9') + ".0.0.1") << false << Quad{};
        QTest::newRow("two dots") << QByteArray("1.2.3") << false << Quad{};
        QTest::newRow("four dots") << QByteArray("1.2.3.4.5") << false << Quad{};
        QTest::newRow("empty") << QByteArray("") << false << Quad{};
        QTest::newRow("no dots") << QByteArray("abc") << false << Quad{};
        QTest::newRow("two dots in a row") << QByteArray("1..2.3") << false << Quad{};
        QTest::newRow("begins with a dot") << QByteArray(".1.2.3") << false << Quad{};
        QTest::newRow("ends with a dot") << QByteArray("1.2.3.") << false << Quad{};
        QTest::newRow("32 kept characters") << QByteArray("00000000000000000000000001.2.3.4") << false << Quad{};
        QTest::newRow("dots only after NUL") << QByteArray("1\0.2.3.4", 8) << false << Quad{};
    }
    void parseDottedQuad()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, accepted);
        QFETCH(Quad, values);
        Quad out{-7, -7, -7, -7};
        QCOMPARE(ParseDottedQuad(std::string_view(text.constData(), std::size_t(text.size())), out), accepted);
        if (accepted)
            QCOMPARE(out, values);
    }

    // A wrong number of dots rejects before any value is written.
    void dotCountRejectionLeavesValuesUntouched()
    {
        for (const char* text : {"1.2.3", "1.2.3.4.5", "", "abc"}) {
            Quad out{-7, -7, -7, -7};
            QVERIFY(!ParseDottedQuad(text, out));
            QCOMPARE(out, (Quad{-7, -7, -7, -7}));
        }
    }

    void quadBytes() { QCOMPARE(QuadBytes({192, 168, 0, 100}), (Ipv4Bytes{0xC0, 0xA8, 0x00, 0x64})); }

    void hexPairToByte_data()
    {
        QTest::addColumn<char>("high");
        QTest::addColumn<char>("low");
        QTest::addColumn<int>("value");
        QTest::newRow("digits") << '4' << 'B' << 0x4B;
        QTest::newRow("lower case") << 'f' << 'e' << 0xFE;
        QTest::newRow("G in high half") << 'G' << '1' << 0x01;
        QTest::newRow("G in low half") << '1' << 'G' << 0x10;
        QTest::newRow("two separators") << '-' << ':' << 0x00;
        QTest::newRow("NUL") << '\0' << 'A' << 0x0A;
        QTest::newRow("high bytes count as zero") << char(0xC1) << char(0xF9) << 0x00;
    }
    void hexPairToByte()
    {
        QFETCH(char, high);
        QFETCH(char, low);
        QFETCH(int, value);
        QCOMPARE(int(HexPairToByte(high, low)), value);
    }

    void parseMacText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("mixed case") << QByteArray("02-4B-7E-0A-1b-FF") << QByteArray("\x02\x4B\x7E\x0A\x1B\xFF", 6);
        QTest::newRow("colons") << QByteArray("02:4B:7E:0A:1B:FF") << QByteArray("\x02\x4B\x7E\x0A\x1B\xFF", 6);
        QTest::newRow("short") << QByteArray("02-4B-7E") << QByteArray("\x02\x4B\x7E\x00\x00\x00", 6);
        QTest::newRow("no separators") << QByteArray("024B7E0A1BFF") << QByteArray("\x02\xB7\x0A\xBF\x00\x00", 6);
        QTest::newRow("bad digit") << QByteArray("0G-4B-7E-0A-1B-FF") << QByteArray("\x00\x4B\x7E\x0A\x1B\xFF", 6);
        QTest::newRow("empty") << QByteArray() << QByteArray(6, '\0');
        QTest::newRow("NUL ends the text") << QByteArray("02-4B\0-7E-0A-1B-FF", 18) << QByteArray("\x02\x4B\x00\x00\x00\x00", 6);
    }
    void parseMacText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, bytes);
        MacBytes mac{1, 1, 1, 1, 1, 1};
        ParseMacText(std::string_view(text.constData(), std::size_t(text.size())), mac);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(mac.data()), 6), bytes);
    }
};

QTEST_APPLESS_MAIN(TestAddressText)
#include "tst_addresstext.moc"
