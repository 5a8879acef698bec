#pragma once

// Unit MainUnit: the configuration window.

#include <cstdint>
#include <memory>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "link/qd_serial.h"
#include "protocol/module_settings.h"
#include "ui/controls/combo_list.h"
#include "ui/controls/group_box.h"
#include "ui/controls/number_edit.h"
#include "ui/controls/picture.h"
#include "ui/controls/status_bar.h"
#include "ui/controls/title_bar.h"
#include "ui/form_services.h"
#include "ui/port_item_delegate.h"
#include "ui/qt_message_target.h"

namespace tovra {

// The tool's one window: lists the ports, opens the chosen one, sends the four requests,
// shows progress and time-outs in the status bar and loads the module's replies.
// Everything runs on the window thread; the link's notifications arrive as queued events.
class TMainForm : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = 389;
    static constexpr int kClientHeight = 322;
    static constexpr int kReplyTimeoutTicks = 3;

    explicit TMainForm(FormServices services = DefaultFormServices(), QWidget* parent = nullptr);
    ~TMainForm() override;

    // Handlers, bound as the layout lists them; public so that tests can drive them.
    void FormShow();
    void FormDestroy();
    void suiButton_OpenPortClick();
    void btn_WriteAllClick();
    void btn_ReadAllClick();
    void suiButton1Click();
    void suiButton2Click();
    void suiNumberEdit_RfFrequencyChange();
    void suiNumberEdit_CustID_HChange();
    void suiNumberEdit_CustID_LChange();
    void suiNumberEdit_NetIDChange();
    void img2Click();
    void tmr1Timer();
    void OnModuleReply(std::uintptr_t w_param);

    void ShowStatus(const QString& text, int panel);

    QDSerial* Link() const { return link_.get(); }

    // Controls, by the names of the layout.
    ui::TitleBar* suiForm1TitleBar = nullptr;
    ui::GroupBox* suiGroupBox1 = nullptr;
    QPushButton* suiButton_OpenPort = nullptr;
    ui::ComboList* suiComboBox_PcPort = nullptr;
    QLabel* Label1 = nullptr;
    ui::ComboList* suiComboBox_PcBaudRate = nullptr;
    QLabel* Label2 = nullptr;
    ui::ComboList* suiComboBox_PcParity = nullptr;
    ui::GroupBox* suiGroupBox2 = nullptr;
    ui::NumberEdit* suiNumberEdit_RfFrequency = nullptr;
    QLabel* Label3 = nullptr;
    ui::GroupBox* suiGroupBox3 = nullptr;
    ui::ComboList* suiComboBox_RfFactor = nullptr;
    QLabel* Label4 = nullptr;
    ui::GroupBox* suiGroupBox10 = nullptr;
    ui::ComboList* suiComboBox_RfMode = nullptr;
    QLabel* Label9 = nullptr;
    ui::GroupBox* suiGroupBox5 = nullptr;
    ui::ComboList* suiComboBox_RFBW = nullptr;
    QLabel* Label6 = nullptr;
    ui::GroupBox* suiGroupBox4 = nullptr;
    ui::ComboList* suiComboBox1 = nullptr;
    ui::GroupBox* suiGroupCtrl = nullptr;
    QPushButton* suiButton1 = nullptr;
    QPushButton* suiButton2 = nullptr;
    ui::GroupBox* suiGroupBox8 = nullptr;
    ui::NumberEdit* suiNumberEdit_CustID_H = nullptr;
    ui::NumberEdit* suiNumberEdit_CustID_L = nullptr;
    ui::GroupBox* suiGroupBox9 = nullptr;
    ui::NumberEdit* suiNumberEdit_NetID = nullptr;
    ui::GroupBox* suiGroupBox7 = nullptr;
    ui::ComboList* suiComboBox_Power = nullptr;
    ui::GroupBox* suiGroupBox6 = nullptr;
    QLabel* Label7 = nullptr;
    ui::ComboList* suiComboBox_McuBaudRate = nullptr;
    QLabel* Label8 = nullptr;
    ui::ComboList* suiComboBox_McuParity = nullptr;
    QPushButton* btn_WriteAll = nullptr;
    QPushButton* btn_ReadAll = nullptr;
    ui::Picture* img1 = nullptr;
    ui::Picture* img2 = nullptr;
    ui::StatusBar* suiStatusBar1 = nullptr;
    QTimer* tmr1 = nullptr;

    std::uint32_t RecvMessage = 0;
    std::int32_t ReplyTicks = -1;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildLayout();  // main_form_layout.cpp
    void BindEvents();
    void ShowPortOpenState();
    void ShowPortClosedState();
    void StartRequest();
    void FillPortList(bool keep_selection);
    void ShowPortDescription();
    ModuleSettings SettingsFromWindow() const;  // main_form_settings.cpp
    void LoadSettings(const ModuleSettings& settings);

    PortItemDelegate* port_delegate_ = nullptr;  // owned by the port list
    FormServices services_;
    QtMessageTarget target_;  // declared before the link, which posts to it
    // The channel's destructor is deliberately not virtual; a final type makes deleting
    // the link through its own type the only possibility.
    struct OwnedLink final : QDSerial {
        // The reader must end before any base destructor resets the object's virtual
        // table under a virtual call in flight on the reader thread.
        ~OwnedLink() { Close(); }
    };
    std::unique_ptr<OwnedLink> link_;
    bool shown_ = false;
};

}  // namespace tovra
