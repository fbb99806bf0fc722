// The main window: the device table, the adapter drop-down, the command
// buttons, the menu, the status bar and the logo.
//
// Every command handler runs behind one boundary (Guard) that shows an
// escaped error in the error box and lets the program carry on with the
// state as the handler left it.
#pragma once

#include <QByteArray>
#include <QLabel>
#include <QMainWindow>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QMenu;
class QPushButton;
class QStatusBar;

namespace quillon {

class DeviceGrid;
class DeviceTable;
class ReplyListener;
class StatusPanels;
struct UpdateCommand;

// The logo: a picture that takes clicks.
class LogoLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class TMainF : public QMainWindow {
    Q_OBJECT

public:
    // The web site that Help > "CORVANE Website" and the logo open.
    static constexpr const char* WebsiteAddress = "https://www.corvane.example/";
    static constexpr const char* VersionText = "Version 1.0 Build 141120";

    explicit TMainF(QWidget* parent = nullptr);
    ~TMainF() override;

    // Controls, by their names.
    LogoLabel* Logo;
    QLabel* Label1;
    DeviceGrid* DevList;
    QPushButton* BtnRefresh;
    QPushButton* BtnExit;
    QPushButton* BtnUpdSel;
    QPushButton* BtnUpdMul;
    QPushButton* BtnUpdAll;
    QPushButton* BtnConDev;
    QCheckBox* ChkBcast;
    QComboBox* EthList;
    QStatusBar* StatusMsg;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;

    QMenu* File1;
    QMenu* Option1;
    QMenu* Help2;
    QAction* MnuExit;
    QAction* MnuRefresh;
    QAction* MnuUpdateDev;
    QAction* MnuUpdMul;
    QAction* MnuUpdateAll;
    QAction* MnuBcast;
    QAction* MnuTolvex;
    QAction* MnuVer;

    DeviceTable& Table() const { return *table_; }
    StatusPanels& Status() const { return *status_; }
    ReplyListener& IdUDPServer() const { return *listener_; }
    // The exact bytes behind adapter entry i (leading line feed included).
    QByteArray AdapterEntry(int index) const;

    // Command handlers.
    void BtnRefreshClick();
    void BtnExitClick();
    void BtnUpdSelClick();
    void BtnUpdMulClick();
    void BtnUpdAllClick();
    void BtnConDevClick();
    void MnuTolvexClick();
    void MnuVerClick();
    void MnuBcastClick();
    void EthListChange();
    void IdUDPServerUDPRead(const unsigned char* bytes, std::size_t length);

    // Runs a handler; an error that escapes it is shown in the error box.
    static void Guard(const std::function<void()>& handler);

private:
    void CreateControls();
    void CreateMenu();
    void FormCreate();
    void FillAdapterList();
    void ShowStatus(int panel, const QByteArray& text);
    UpdateCommand MakeUpdateCommand();
    void SetBcastMark(bool on);

    DeviceTable* table_;
    StatusPanels* status_;
    ReplyListener* listener_;
};

// The single instance, set by the entry.
extern TMainF* MainF;

}  // namespace quillon
