// The window's part in a LAN battle: the chat line and the bulletin.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QApplication>
#include <QKeyEvent>
#include <memory>

#include "app/tqsform.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "support/lan_fakes.h"
#include "support/qt_helpers.h"

namespace {

TEST(LanWindow, EnterSendsTheChatLineAndTheRelayedLineShowsInTheBulletin) {
    jq::test::ScratchWorkFolder folder;
    auto form = std::make_unique<TqsForm>();
    jq::GameState& g = form->game();
    jq::testing::FakeClientLink link;
    g.lan->AttachClient(&link);
    g.netConnected = 1;
    g.myNetSeat = 1;
    form->edInput->setEditText(QStringLiteral("大家好"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(form->edInput, &enter);  // it holds the focus
    ASSERT_EQ(link.Sent().size(), 1u);
    EXPECT_EQ(jq::net::DecodeChat(link.Sent()[0])->text, jq::Gb("大家好"));
    EXPECT_TRUE(form->edInput->currentText().isEmpty());

    jq::PutBoundedText(g.seatTable[1].name, 32, jq::Gb("小王"));
    const jq::net::Packet back = jq::net::EncodeChat({1, jq::Gb("大家好")});
    g.lan->ClientReceived(back.data(), back.size());
    jq::net::ProcessClientMessage(g);
    EXPECT_EQ(form->reBulltin->toPlainText(), QStringLiteral("小王：大家好"));
    g.lan->AttachClient(nullptr);
}

}  // namespace
