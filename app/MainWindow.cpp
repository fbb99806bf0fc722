#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>

#include "app/CfgDlg.h"
#include "app/DesignFont.h"
#include "app/DeviceGrid.h"
#include "app/PwdDlg.h"
#include "operations/DeviceUpdate.h"
#include "operations/Discovery.h"
#include "operations/LocalAddress.h"
#include "operations/ReplyListener.h"
#include "operations/StatusPanels.h"
#include "platform/Adapters.h"
#include "platform/Dialogs.h"
#include "platform/UrlOpener.h"
#include "table/ConnectToDevice.h"
#include "table/DeviceTable.h"

namespace quillon {

TMainF* MainF = nullptr;

namespace {

// The designed client area and font.
constexpr int ClientWidth = 822;
constexpr int ClientHeight = 296;
constexpr int StatusBarTop = 279;
constexpr int StatusBarHeight = 17;
constexpr int AdapterEntryLimit = AdapterSlotCount;

// Status panels and adapter entries start with a line feed; they are shown
// on one line.
QString OneLine(const QByteArray& text)
{
    QByteArray shown = text;
    const auto nul = shown.indexOf('\0');
    if (nul >= 0)
        shown.truncate(nul);
    shown.replace('\n', ' ');
    return QString::fromLatin1(shown).simplified();
}

// The adapter list's rows are 13 pixels high.
class AdapterRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
    }
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

void LogoLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

TMainF::TMainF(QWidget* parent)
    : QMainWindow(parent),
      table_(new DeviceTable(this)),
      status_(new StatusPanels(this)),
      listener_(new ReplyListener(this))
{
    setObjectName(QStringLiteral("MainF"));
    setWindowTitle(QStringLiteral("CORVANE Quillon"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/quillon.ico")));
    setFont(DesignFont(11));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    CreateControls();
    CreateMenu();

    listener_->SetHandler([this](const Byte* bytes, std::size_t length) { IdUDPServerUDPRead(bytes, length); });
    connect(status_, &StatusPanels::textChanged, this, &TMainF::ShowStatus);
    connect(table_, &DeviceTable::commandsEnabledBySelection, this, [this] {
        BtnUpdSel->setEnabled(true);
        BtnConDev->setEnabled(true);
    });

    Guard([this] { FormCreate(); });

    move(187, 112);
    setFixedSize(sizeHint());
}

TMainF::~TMainF()
{
    listener_->Stop();
    if (MainF == this)
        MainF = nullptr;
}

void TMainF::CreateControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    Logo = new LogoLabel(client);
    Logo->setObjectName(QStringLiteral("Logo"));
    Logo->setGeometry(672, 0, 150, 50);
    Logo->setPixmap(QPixmap(QStringLiteral(":/assets/logo.gif")));
    Logo->setScaledContents(true);
    Logo->setCursor(Qt::PointingHandCursor);
    connect(Logo, &LogoLabel::clicked, this, [this] { Guard([this] { MnuTolvexClick(); }); });

    Label1 = new QLabel(QStringLiteral("Select Adapter :"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(48, 208, 95, 16);
    Label1->setFont(DesignFont(13));

    DevList = new DeviceGrid(table_, client);
    DevList->setObjectName(QStringLiteral("DevList"));
    DevList->setGeometry(0, 80, 793, 121);

    BtnRefresh = MakeButton(client, "BtnRefresh", "Refresh", {216, 8, 80, 33});
    BtnRefresh->setIcon(QIcon(QStringLiteral(":/assets/refresh.png")));
    BtnRefresh->setIconSize({16, 16});
    BtnExit = MakeButton(client, "BtnExit", "Exit", {344, 8, 80, 33});
    BtnExit->setIcon(QIcon(QStringLiteral(":/assets/exit.png")));
    BtnExit->setIconSize({16, 16});
    BtnUpdSel = MakeButton(client, "BtnUpdSel", "Update Device", {176, 240, 90, 36});
    BtnUpdMul = MakeButton(client, "BtnUpdMul", "Update Multi", {288, 240, 90, 36});
    BtnUpdAll = MakeButton(client, "BtnUpdAll", "Update All", {392, 240, 90, 36});
    BtnConDev = MakeButton(client, "BtnConDev", "Connect to Device", {528, 240, 100, 36});

    ChkBcast = new QCheckBox(QStringLiteral("Control Packet Force Broadcast"), client);
    ChkBcast->setObjectName(QStringLiteral("ChkBcast"));
    ChkBcast->setGeometry(512, 208, 185, 25);

    EthList = new QComboBox(client);
    EthList->setObjectName(QStringLiteral("EthList"));
    EthList->setGeometry(152, 208, 313, 21);
    EthList->setEditable(true);
    EthList->setInsertPolicy(QComboBox::NoInsert);  // typed text never becomes an entry
    EthList->setItemDelegate(new AdapterRowDelegate(EthList));

    StatusMsg = new QStatusBar(client);
    StatusMsg->setObjectName(QStringLiteral("StatusMsg"));
    StatusMsg->setGeometry(0, StatusBarTop, ClientWidth, StatusBarHeight);
    StatusMsg->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusMsg);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = new QLabel(StatusMsg);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(300);
    StatusMsg->addWidget(StatusPanel0);
    StatusMsg->addWidget(StatusPanel1);
    ShowStatus(StatusPanels::DevicePanel, status_->Text(StatusPanels::DevicePanel));
    ShowStatus(StatusPanels::MessagePanel, status_->Text(StatusPanels::MessagePanel));

    // Tab order: the grid first, then the buttons, the check box, the list.
    const QList<QWidget*> order = {DevList, BtnRefresh, BtnExit, BtnUpdSel, BtnUpdMul,
                                   BtnUpdAll, BtnConDev, ChkBcast, EthList};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    Logo->setFocusPolicy(Qt::NoFocus);
    StatusMsg->setFocusPolicy(Qt::NoFocus);

    auto bind = [this](QPushButton* button, void (TMainF::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    };
    bind(BtnRefresh, &TMainF::BtnRefreshClick);
    bind(BtnExit, &TMainF::BtnExitClick);
    bind(BtnUpdSel, &TMainF::BtnUpdSelClick);
    bind(BtnUpdMul, &TMainF::BtnUpdMulClick);
    bind(BtnUpdAll, &TMainF::BtnUpdAllClick);
    bind(BtnConDev, &TMainF::BtnConDevClick);
    connect(EthList, &QComboBox::currentIndexChanged, this, [this] { Guard([this] { EthListChange(); }); });
    connect(EthList, &QComboBox::editTextChanged, this, [this] { Guard([this] { EthListChange(); }); });
}

void TMainF::CreateMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    auto menu = [bar](const char* name, const char* caption) {
        QMenu* m = bar->addMenu(QString::fromLatin1(caption));
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const char* caption, void (TMainF::*handler)()) {
        QAction* a = m->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
        return a;
    };
    File1 = menu("File1", "File");
    MnuExit = item(File1, "MnuExit", "Exit", &TMainF::BtnExitClick);
    Option1 = menu("Option1", "Option");
    MnuRefresh = item(Option1, "MnuRefresh", "Refresh", &TMainF::BtnRefreshClick);
    MnuUpdateDev = item(Option1, "MnuUpdateDev", "Update Device", &TMainF::BtnUpdSelClick);
    MnuUpdMul = item(Option1, "MnuUpdMul", "Update Multi-Device", &TMainF::BtnUpdMulClick);
    MnuUpdateAll = item(Option1, "MnuUpdateAll", "Update All", &TMainF::BtnUpdAllClick);
    // The mark is set by the handler alone: the action is made checkable
    // only while the handler sets it, so a click never toggles it by itself.
    MnuBcast = item(Option1, "MnuBcast", "Control Packet Force Broadcast", &TMainF::MnuBcastClick);
    Help2 = menu("Help2", "Help");
    MnuTolvex = item(Help2, "MnuTolvex", "CORVANE Website", &TMainF::MnuTolvexClick);
    MnuVer = item(Help2, "MnuVer", "Version", &TMainF::MnuVerClick);
}

void TMainF::Guard(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowError(QString());
    }
}

void TMainF::FormCreate()
{
    FillAdapterList();
    listener_->Start();
    table_->SetupHeader();
    BtnUpdSel->setEnabled(false);
    BtnUpdMul->setEnabled(false);
    BtnUpdAll->setEnabled(false);
    BtnConDev->setEnabled(false);
}

void TMainF::FillAdapterList()
{
    const auto adapters = EnumerateAdapters();
    int n = 0;
    if (adapters) {
        for (const AdapterInfo& adapter : *adapters) {
            const auto& hw = adapter.hardwareAddress;
            const QString hardware = QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", hw[0], hw[1], hw[2], hw[3],
                                                       hw[4], hw[5]);
            for (const QString& address : adapter.ipv4Addresses) {
                if (n == AdapterEntryLimit)
                    break;
                const QByteArray entry = "\n" + QStringLiteral("%1 (%2)").arg(address, hardware).toLatin1();
                QSignalBlocker block(EthList);
                EthList->addItem(OneLine(entry), entry);
                AdapterAddressTable[static_cast<std::size_t>(n)] = address;
                ++n;
            }
        }
    }
    for (int i = n; i < AdapterSlotCount; ++i)
        AdapterAddressTable[static_cast<std::size_t>(i)].clear();
    {
        // Selecting entry 0 does not run the change handler.
        QSignalBlocker block(EthList);
        EthList->setCurrentIndex(n > 0 ? 0 : -1);
    }
    SelectedLocalAddress = AdapterAddressTable[0];
}

QByteArray TMainF::AdapterEntry(int index) const
{
    return EthList->itemData(index).toByteArray();
}

void TMainF::EthListChange()
{
    const int i = EthList->currentIndex();
    if (i >= 0 && i < EthList->count() && i < AdapterSlotCount)
        SelectedLocalAddress = AdapterAddressTable[static_cast<std::size_t>(i)];
}

void TMainF::ShowStatus(int panel, const QByteArray& text)
{
    QLabel* label = panel == StatusPanels::DevicePanel ? StatusPanel0 : StatusPanel1;
    label->setText(OneLine(text));
}

void TMainF::IdUDPServerUDPRead(const unsigned char* bytes, std::size_t length)
{
    if (length == 0)
        return;
    HandleDatagram(*table_, *status_, bytes, length);
}

void TMainF::BtnRefreshClick()
{
    table_->ClearDeviceTable();
    BtnUpdMul->setEnabled(true);
    BtnUpdAll->setEnabled(true);
    SendDiscovery();
}

void TMainF::BtnExitClick()
{
    if (MainF != nullptr)
        MainF->close();
    else
        close();
}

UpdateCommand TMainF::MakeUpdateCommand()
{
    return UpdateCommand{*table_, *PwdDlg, *CfgDlg, [this] { return ChkBcast->isChecked(); },
                         [this] { BtnUpdSel->setEnabled(false); }};
}

void TMainF::BtnUpdSelClick()
{
    UpdateCommand command = MakeUpdateCommand();
    UpdateCurrentRow(command);
}

void TMainF::BtnUpdMulClick()
{
    UpdateCommand command = MakeUpdateCommand();
    UpdateTickedRows(command);
}

void TMainF::BtnUpdAllClick()
{
    UpdateCommand command = MakeUpdateCommand();
    UpdateAllRows(command);
}

void TMainF::BtnConDevClick()
{
    quillon::BtnConDevClick(*table_);
}

void TMainF::MnuTolvexClick()
{
    OpenUrl(QByteArray(WebsiteAddress));
}

void TMainF::MnuVerClick()
{
    ShowMessage(QString::fromLatin1(VersionText));
}

void TMainF::SetBcastMark(bool on)
{
    MnuBcast->setCheckable(on);
    MnuBcast->setChecked(on);
}

void TMainF::MnuBcastClick()
{
    // The check box is the truth; the menu mark follows it.
    if (ChkBcast->isChecked()) {
        SetBcastMark(false);
        ChkBcast->setChecked(false);
    } else {
        ChkBcast->setChecked(true);
        SetBcastMark(true);
    }
}

}  // namespace quillon
