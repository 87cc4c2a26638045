#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QValidator>

#include "app/KestrixLinkDlg.h"
#include "tests/app/MainWindowHarness.h"

namespace corvane {
namespace {

TEST(KestrixLinkDlg, ShowsEveryControlAndReadsThemBack) {
    test::ensureApplication();
    KestrixLinkDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "KestrixLink Connection");
    bool otcLabel = false;
    for (auto* label : dialog.findChildren<QLabel*>())
        otcLabel |= label->text() == "OTC (One-Time Only Code) From Display";
    EXPECT_TRUE(otcLabel);
    EXPECT_EQ(dialog.password()->echoMode(), QLineEdit::Normal);  // typed characters show

    KestrixLinkDetails in;
    in.userName = "tech";
    in.linkId = "RV-77";
    in.linkIdType = KestrixLinkDetails::kByModuleId;
    dialog.load(in);
    EXPECT_TRUE(dialog.byModuleId()->isChecked());

    // The code box takes digits only.
    QString typed = "12a3";
    int pos = 0;
    EXPECT_EQ(dialog.otc()->validator()->validate(typed, pos), QValidator::Invalid);
    typed = "123";
    EXPECT_EQ(dialog.otc()->validator()->validate(typed, pos), QValidator::Acceptable);
    dialog.otc()->setText("123");
    dialog.password()->setText("p&ss");
    auto out = dialog.read();
    EXPECT_EQ(out.userName, "tech");
    EXPECT_EQ(out.linkId, "RV-77");
    EXPECT_EQ(out.otcText, "123");
    EXPECT_EQ(out.password, "p&ss");
    EXPECT_EQ(out.linkIdType, KestrixLinkDetails::kByModuleId);
}

TEST(KestrixLinkDlg, CancelLeavesTheDetailsAndOkTakesWhatWasTyped) {
    test::ensureApplication();
    KestrixLinkDlgAsker asker(nullptr);
    KestrixLinkDetails details;
    details.userName = "before";

    auto answer = [](bool ok, const char* typed) {
        QTimer::singleShot(0, [ok, typed] {
            auto* dialog = qobject_cast<KestrixLinkDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->userName()->setText(typed);
            auto* box = dialog->findChild<QDialogButtonBox*>();
            box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
    };
    answer(false, "ignored");
    EXPECT_FALSE(asker.ask(details));
    EXPECT_EQ(details.userName, "before");

    answer(true, "after");
    EXPECT_TRUE(asker.ask(details));
    EXPECT_EQ(details.userName, "after");
}

}  // namespace
}  // namespace corvane
