#include "script/ui/QuickScriptDlg.h"

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QPushButton>
#include <QTextBlock>

#include "script/ui/QuickScriptEditBox.h"
#include "script/ui/QuickScriptText.h"
#include "tests/script/ui/ScriptUiHarness.h"

namespace corvane::test {
namespace {

class QuickScriptDlgTest : public ::testing::Test {
  protected:
    std::unique_ptr<QuickScriptDlg> Make() {
        return std::make_unique<QuickScriptDlg>(
            h.settings, path, [this](const std::string& text, const std::string& title) {
                h.messages.emplace_back(title, text);
            });
    }
    static QPushButton* Button(QuickScriptDlg& dialog, const QString& text) {
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
            if (b->text() == text) return b;
        }
        return nullptr;
    }
    // Puts the caret on `line` of the edit.
    static void CaretTo(QuickScriptDlg& dialog, int line) {
        QTextCursor cursor(dialog.edit().document()->findBlockByNumber(line));
        dialog.edit().setTextCursor(cursor);
    }

    ScriptUiHarness h;
    std::string path = (h.folder / "QuickScript.scp").string();
};

TEST_F(QuickScriptDlgTest, OpensWithTheFileLines) {
    h.Write("QuickScript.scp", "SEND 1FFFE 00\r\n\"hi\tthere\r\nlast");
    auto dialog = Make();
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Quick Script");
    EXPECT_EQ(dialog->edit().toPlainText().toStdString(), "SEND 1FFFE 00\n\"hithere\nlast");
}

TEST_F(QuickScriptDlgTest, MissingFileGivesAnEmptyEdit) {
    auto dialog = Make();
    EXPECT_TRUE(dialog->edit().toPlainText().isEmpty());
}

TEST_F(QuickScriptDlgTest, CancelLeavesTheFileUnchanged) {
    const std::string original = "\"keep me\n";
    h.Write("QuickScript.scp", original);
    auto dialog = Make();
    dialog->edit().setPlainText("\"changed");
    Button(*dialog, "Cancel")->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(ScriptUiHarness::Read(path), original);
}

TEST_F(QuickScriptDlgTest, RunSavesEveryLineWithCrLf) {
    auto dialog = Make();
    const std::string longLine = "\"" + std::string(300, 'x');
    dialog->edit().setPlainText(QString::fromStdString("SEND 1FFFE 00\n" + longLine + "\n"));
    Button(*dialog, "Run")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ScriptUiHarness::Read(path), "SEND 1FFFE 00\r\n" + longLine + "\r\n");
}

TEST_F(QuickScriptDlgTest, RunToAnUnwritablePathStillCloses) {
    path = (h.folder / "missing" / "q.scp").string();
    auto dialog = Make();
    dialog->edit().setPlainText("x");
    dialog->Run();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(QuickScriptTextTest, SerialisesAsTheFileIsWritten) {
    struct Case {
        std::vector<std::string> lines;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{""}, ""},
        {{"a"}, "a\r\n"},
        {{"a", ""}, "a\r\n"},
        {{"a", "", "b"}, "a\r\n\r\nb\r\n"},
        {{"", ""}, "\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(QuickScriptText::Serialise(c.lines), c.text);
}

TEST_F(QuickScriptDlgTest, ContextHelpShowsEveryMatchInListOrder) {
    h.Write("QuickScript.scp", "updatemean x\n\n\"[TARGETMAKE]\nsend 1fffe 00\n");
    auto dialog = Make();
    struct Case {
        int line;
        std::vector<std::string> titles;
    };
    const std::vector<Case> cases = {
        {0, {"UPDATEMEAN", "UPDATE"}},
        {1, {}},
        {2, {"TARGETMAKE", "TARGET", "MAKE"}},
        {3, {"SEND"}},
    };
    for (const Case& c : cases) {
        h.messages.clear();
        CaretTo(*dialog, c.line);
        dialog->ShowContextHelp();
        std::vector<std::string> titles;
        for (const auto& [title, text] : h.messages) titles.push_back(title);
        EXPECT_EQ(titles, c.titles) << c.line;
    }
    CaretTo(*dialog, 3);
    h.messages.clear();
    dialog->ShowContextHelp();
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].second.substr(0, 28), "SEND hdgn h1 h2 h3 h4 ... \n\r");
}

TEST_F(QuickScriptDlgTest, RightClickAsksForHelp) {
    h.Write("QuickScript.scp", "PAUSE\n");
    auto dialog = Make();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(dialog->edit().viewport(), &event);
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].first, "PAUSE");
}

TEST_F(QuickScriptDlgTest, InsertReplacesTheSelection) {
    auto dialog = Make();
    EXPECT_TRUE(dialog->Insert("Logging Commands", "Log Text"));
    EXPECT_EQ(dialog->edit().toPlainText().toStdString(), "\n\"");
    dialog->edit().selectAll();
    EXPECT_TRUE(dialog->Insert("RVC Basics", "SEND"));
    EXPECT_EQ(dialog->edit().toPlainText().toStdString(), "SEND hdgn h1 h2 h3 h4 ... ");
    EXPECT_TRUE(dialog->Insert("Program Flow", "@executionPoint"));
    EXPECT_EQ(dialog->edit().toPlainText().toStdString(), "SEND hdgn h1 h2 h3 h4 ... ");
    EXPECT_FALSE(dialog->Insert("RVC Basics", "nothing"));
}

TEST_F(QuickScriptDlgTest, InsertMenuItemsInsertTheirTemplates) {
    auto dialog = Make();
    QMenuBar* bar = dialog->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QAction* triggered = nullptr;
    for (QAction* top : bar->actions()) {
        if (top->text() != "Insert") continue;
        for (QAction* sub : top->menu()->actions()) {
            if (sub->text() != "Graphing Commands") continue;
            for (QAction* item : sub->menu()->actions()) {
                if (item->text() == "GRAPHITEM") triggered = item;
            }
        }
    }
    ASSERT_NE(triggered, nullptr);
    triggered->trigger();
    EXPECT_EQ(dialog->edit().toPlainText().toStdString(), "GRAPHITEM variable dmin dmax");
}

TEST_F(QuickScriptDlgTest, SizeIsStoredAndRestored) {
    QSize designed;
    {
        auto dialog = Make();
        designed = dialog->size();
        dialog->resize(designed.width() + 40, designed.height() + 30);
        dialog->reject();
    }
    EXPECT_EQ(h.settings.readInteger("dd", "CX").value_or(0), designed.width() + 40);
    auto again = Make();
    EXPECT_EQ(again->size(), QSize(designed.width() + 40, designed.height() + 30));
    // Never smaller than designed.
    again->resize(10, 10);
    EXPECT_GE(again->width(), designed.width());
}

}  // namespace
}  // namespace corvane::test
