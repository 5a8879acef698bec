#include "ui/main_form.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QLineEdit>
#include <QLocale>
#include <QShowEvent>

#include "protocol/frame.h"
#include "ui/port_item_delegate.h"
#include "ui/port_source.h"

namespace tovra {

namespace {
constexpr int kPanelPort = 0;
constexpr int kPanelRequest = 1;
constexpr int kPanelTime = 2;
constexpr int kPopupMargin = 12;
constexpr int kPopupMaxWidth = 420;

QString ShortTime(const QTime& time) {
    return QLocale().toString(time, QLocale::ShortFormat);
}
}  // namespace

TMainForm::TMainForm(FormServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), target_(this) {
    BuildLayout();
    BindEvents();
    RecvMessage = RegisterWindowMessage(kReplyMessageName);
    link_ = std::make_unique<OwnedLink>();
    link_->SetNotifyTarget(&target_, RecvMessage);
    ReplyTicks = -1;
}

TMainForm::~TMainForm() {
    FormDestroy();
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == ModuleReplyEvent::kType) {
        const auto* reply = static_cast<ModuleReplyEvent*>(event);
        if (reply->Message() != 0 && reply->Message() == RecvMessage) {
            OnModuleReply(reply->WParam());
            return true;
        }
    }
    return QWidget::event(event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring a minimised window is not a new showing of the form.
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::ShowStatus(const QString& text, int panel) {
    if (panel < 3) {
        suiStatusBar1->SetPanelText(panel, text);
    }
}

void TMainForm::FormShow() {
    FillPortList(false);
    if (suiComboBox_PcPort->Count() > 0) {
        suiComboBox_PcPort->SetItemIndex(0);
    }
    ShowStatus(QStringLiteral("Closed"), kPanelPort);
    suiComboBox_PcPort->setEnabled(true);
    suiComboBox_PcBaudRate->setEnabled(true);
    suiComboBox_PcParity->setEnabled(true);
    btn_WriteAll->setEnabled(false);
    btn_ReadAll->setEnabled(false);
    suiButton_OpenPort->setText(QStringLiteral("Open"));
    ShowStatus(ShortTime(services_.clock()), kPanelTime);
    tmr1->start();
}

void TMainForm::FillPortList(bool keep_selection) {
    const QString previous = suiComboBox_PcPort->Text();
    const bool was_selected = suiComboBox_PcPort->ItemIndex() >= 0;
    const QSignalBlocker quiet(suiComboBox_PcPort);
    suiComboBox_PcPort->clear();
    const QFontMetrics metrics(suiComboBox_PcPort->view()->font());
    int name_width = 0;
    for (const PortInfo& port : services_.list_ports()) {
        const QString name = QString::fromStdString(port.name);
        const QString description = QString::fromStdString(port.description);
        name_width = std::max(name_width, metrics.horizontalAdvance(name));
        suiComboBox_PcPort->addItem(name);
        const int row = suiComboBox_PcPort->count() - 1;
        suiComboBox_PcPort->setItemData(row, description, PortItemDelegate::kDescriptionRole);
        suiComboBox_PcPort->setItemData(row, description, Qt::ToolTipRole);
    }
    port_delegate_->SetNameWidth(name_width);
    // The drop-down is wider than the list itself, so that the descriptions can be read.
    QAbstractItemView* popup = suiComboBox_PcPort->view();
    popup->setMinimumWidth(std::min(popup->sizeHintForColumn(0) + kPopupMargin, kPopupMaxWidth));
    suiComboBox_PcPort->SetItemIndex(-1);
    if (keep_selection) {
        const int again = suiComboBox_PcPort->findText(previous);
        if (was_selected && again >= 0) {
            suiComboBox_PcPort->SetItemIndex(again);
        } else if (suiComboBox_PcPort->isEditable()) {
            suiComboBox_PcPort->setEditText(previous);  // a typed path stays as typed
        }
    }
    ShowPortDescription();
}

void TMainForm::ShowPortDescription() {
    const int index = suiComboBox_PcPort->currentIndex();
    suiComboBox_PcPort->setToolTip(
        index >= 0 ? suiComboBox_PcPort->itemData(index, Qt::ToolTipRole).toString() : QString());
    // A long device path shows its end, where the part that tells ports apart is.
    if (QLineEdit* edit = suiComboBox_PcPort->lineEdit()) {
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
}

void TMainForm::suiButton_OpenPortClick() {
    if (link_->IsOpen()) {
        link_->Close();
        suiStatusBar1->setToolTip(QString());
    } else {
        const std::string port = PortToOpen(suiComboBox_PcPort->Text().toStdString());
        const unsigned baud = suiComboBox_PcBaudRate->Text().toUInt();
        const auto parity = static_cast<unsigned>(suiComboBox_PcParity->ItemIndex());
        link_->Open(port, baud, parity);
        suiStatusBar1->setToolTip(
            link_->IsOpen() ? QString() : QString::fromStdString(link_->LastError().message));
    }
    if (link_->IsOpen()) {
        ShowPortOpenState();
    } else {
        ShowPortClosedState();
    }
}

void TMainForm::ShowPortOpenState() {
    ShowStatus(QStringLiteral("Opened"), kPanelPort);
    suiComboBox_PcPort->setEnabled(false);
    suiComboBox_PcBaudRate->setEnabled(false);
    suiComboBox_PcParity->setEnabled(false);
    btn_WriteAll->setEnabled(true);
    btn_ReadAll->setEnabled(true);
    suiButton_OpenPort->setText(QStringLiteral("Close"));
    suiGroupCtrl->setEnabled(true);
}

void TMainForm::ShowPortClosedState() {
    ShowStatus(QStringLiteral("Closed"), kPanelPort);
    suiComboBox_PcPort->setEnabled(true);
    suiComboBox_PcBaudRate->setEnabled(true);
    suiComboBox_PcParity->setEnabled(true);
    btn_WriteAll->setEnabled(false);
    btn_ReadAll->setEnabled(false);
    ShowStatus(QStringLiteral(" "), kPanelRequest);
    suiButton_OpenPort->setText(QStringLiteral("Open"));
    suiGroupCtrl->setEnabled(false);
}

void TMainForm::StartRequest() {
    ReplyTicks = 0;
    ShowStatus(QStringLiteral("......"), kPanelRequest);
}

void TMainForm::btn_ReadAllClick() {
    if (!link_->IsOpen()) {
        ShowStatus(QStringLiteral("Fail!"), kPanelRequest);
        return;
    }
    link_->ReadAll();  // a request that does not go out ends in the time-out
    StartRequest();
}

void TMainForm::btn_WriteAllClick() {
    if (!link_->IsOpen()) {
        ShowStatus(QStringLiteral("Fail!"), kPanelRequest);
        return;
    }
    const ModuleSettings settings = SettingsFromWindow();
    link_->WriteAll(&settings);
    StartRequest();
}

void TMainForm::suiButton1Click() {
    const std::uint8_t code = suiComboBox1->ItemIndex() == 0 ? 0 : 1;
    const Frame13 frame = BuildVersionWriteFrame(code);
    link_->WriteFrame(frame);
    StartRequest();
}

void TMainForm::suiButton2Click() {
    const Frame13 frame = BuildVersionReadFrame();
    link_->WriteFrame(frame);
    StartRequest();
}

void TMainForm::OnModuleReply(std::uintptr_t w_param) {
    if (!link_) {
        return;
    }
    switch (w_param) {
        case kNotifyGood: {
            ReplyTicks = -1;
            ShowStatus(QStringLiteral("Successful"), kPanelRequest);
            // Taking the copy clears VersionReady in the link: each version is taken once.
            const ModuleSettings decoded = link_->TakeDecoded();
            if (decoded.VersionReady == 1) {
                suiComboBox1->SetItemIndex(decoded.VersionCode);
                return;
            }
            LoadSettings(decoded);
            return;
        }
        case kNotifyChecksumError:
            ReplyTicks = -1;
            ShowStatus(QStringLiteral("Error:CheckSum!"), kPanelRequest);
            return;
        case kNotifyAcknowledged:
            ReplyTicks = -1;
            ShowStatus(QStringLiteral("Successful"), kPanelRequest);
            return;
        case kNotifyPortLost: {
            ReplyTicks = -1;
            const QString reason = QString::fromStdString(link_->LastError().message);
            link_->Close();
            ShowPortClosedState();
            ShowStatus(QStringLiteral("Error:PortLost!"), kPanelRequest);
            suiStatusBar1->setToolTip(reason);
            return;
        }
        default:
            return;  // not a notification this window knows; an awaited count goes on
    }
}

void TMainForm::tmr1Timer() {
    ShowStatus(ShortTime(services_.clock()), kPanelTime);
    if (ReplyTicks >= 0) {
        ++ReplyTicks;
        if (ReplyTicks >= kReplyTimeoutTicks) {
            ReplyTicks = -1;
            ShowStatus(QStringLiteral("Error:TimeOut!"), kPanelRequest);
        }
    }
}

void TMainForm::suiNumberEdit_RfFrequencyChange() {
    const double mhz = suiNumberEdit_RfFrequency->Value();
    if (mhz > 990 || (mhz >= 100 && mhz < 140)) {
        suiNumberEdit_RfFrequency->SetValue(433);
    }
}

namespace {
void CapAtByte(ui::NumberEdit* edit) {
    if (edit->Value() > 255) {
        edit->SetValue(255);
    }
}
}  // namespace

void TMainForm::suiNumberEdit_CustID_HChange() {
    CapAtByte(suiNumberEdit_CustID_H);
}
void TMainForm::suiNumberEdit_CustID_LChange() {
    CapAtByte(suiNumberEdit_CustID_L);
}
void TMainForm::suiNumberEdit_NetIDChange() {
    CapAtByte(suiNumberEdit_NetID);
}

void TMainForm::img2Click() {
    services_.open_url(HomePageUrl());
}

void TMainForm::FormDestroy() {
    tmr1->stop();
    link_.reset();  // closes the port and ends the reader before the window goes
}

}  // namespace tovra
