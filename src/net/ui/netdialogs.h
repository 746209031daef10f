// The dialogs of a LAN battle: host or join, the host's address with a seat
// and a name, and the waiting room before each battle.
#pragma once

#include <QDialog>
#include <QString>

#include "core/qipan.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// "您想以怎样的身份参予网战": host the battle, or join another computer's.
class TfmSelectNetType : public QDialog {
    Q_OBJECT
public:
    explicit TfmSelectNetType(const QString& localAddress, QWidget* parent = nullptr);
    void FormCreate(const QString& localAddress);

    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;  // the local IPv4 address
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;         // "我坐庄（位置1）"
    QRadioButton* rbtJoinOthersBattle = nullptr;  // selected when it opens
    QPushButton* BitBtn1 = nullptr;               // OK; there is no Cancel

protected:
    void reject() override {}  // only OK closes it
};

// "请输入详细的登录信息...": the host's address, the player's name and a seat.
class TfmSelectTheHost : public QDialog {
    Q_OBJECT
public:
    TfmSelectTheHost(jq::GameState& g, QWidget* parent = nullptr);
    void FormCreate();
    // "确定": keeps the address and the name in the options record.
    void BitBtn1Click();
    // The seat chosen, 0..3.
    int Seat() const;

    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;  // the host's address
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Edit2 = nullptr;  // the player's name
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;  // seat 0, the host's; disabled
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // "确定"
    QPushButton* BitBtn2 = nullptr;  // "取消"

private:
    jq::GameState& g_;
};

// "等待庄家开始": who has joined; the host starts the battle, a joining
// player may leave. It is shown without a modal loop (the main timer keeps
// running the LAN battle) and closes itself once the battle starts or the
// side is no longer connected.
class TfmWaitBattleStart : public QDialog {
    Q_OBJECT
public:
    TfmWaitBattleStart(jq::GameState& g, const QString& localAddress, QWidget* parent = nullptr);
    void FormCreate(const QString& localAddress);
    void Timer1Timer();
    void BitBtn2Click();  // "开始战役" (host)
    void BitBtn1Click();  // "退出网战" (joining player)

    QGroupBox* GroupBox1 = nullptr;
    QLabel* lbUser[4] = {};    // "位置1：" .. "位置4："
    QLabel* CheckBox[4] = {};  // the names of seats 0..3
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;  // the local IPv4 address
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QTimer* Timer1 = nullptr;
    int timer1Tag = 0;

protected:
    void reject() override;

private:
    void Finish();

    jq::GameState& g_;
    bool finishing_ = false;
};
