#include "contacts/PofileDlg.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kova
