#include "contacts/PofileDlg.h"

#include "signalling/PortMappingState.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kova {
namespace {

TEST(PofileDlg, OkFollowsNameAndMail) {
    CPofileDlg dlg("Ann", "ann@example.org", "192.0.2.7");
    EXPECT_FALSE(dlg.okButton()->isEnabled()) << "disabled when the dialog opens";
    dlg.nameEdit()->setText("");
    EXPECT_FALSE(dlg.okButton()->isEnabled());
    dlg.nameEdit()->setText("Anna");
    EXPECT_TRUE(dlg.okButton()->isEnabled());
    dlg.mailEdit()->clear();
    EXPECT_FALSE(dlg.okButton()->isEnabled());
    dlg.mailEdit()->setText("id-42");
    EXPECT_TRUE(dlg.okButton()->isEnabled());
    EXPECT_EQ(dlg.name(), "Anna");
    EXPECT_EQ(dlg.mail(), "id-42");
}

TEST(PofileDlg, FieldsHoldAtMost64Characters) {
    CPofileDlg dlg(QString(80, 'n'), QString(80, 'm'), {});
    EXPECT_EQ(dlg.name().size(), 64);
    dlg.mailEdit()->setText(QString(100, 'x'));
    EXPECT_EQ(dlg.mail().size(), 64);
}

TEST(PofileDlg, ShowsWhatTheRouterDidBelowTheAddresses) {
    CPofileDlg dlg("Ann", "ann@example.org", "192.0.2.7");
    EXPECT_TRUE(dlg.portMappingLabel()->isHidden());
    using S = PortMappingState::Status;
    PortMappingState state{{}, {}, false, {{MapProtocol::Udp, 6321, S::NoRouter, {}}}};
    dlg.showPortMapping(state);
    EXPECT_EQ(dlg.portMappingLabel()->text(), "UDP 6321: not forwarded: no router answered");
    state = {"UPnP IGD",
             "203.0.113.1",
             false,
             {{MapProtocol::Udp, 6321, S::InUse, "198.51.100.200"},
              {MapProtocol::Tcp, 6327, S::Forwarded, {}}}};
    dlg.showPortMapping(state);
    EXPECT_EQ(dlg.portMappingLabel()->text(),
              "Router: UPnP IGD, external address 203.0.113.1\n"
              "UDP 6321: not forwarded: in use by 198.51.100.200\n"
              "TCP 6327: forwarded by the router");
    EXPECT_FALSE(dlg.portMappingLabel()->isHidden());
}

}  // namespace
}  // namespace kova
