#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "script/ui/CInfo.h"
#include "script/ui/CLineChartCtrl.h"
#include "script/ui/GraphWindow.h"
#include "script/ui/MenuCommandDlg.h"
#include "script/ui/OpenScriptWindow.h"
#include "script/ui/ParamEntryDlg.h"
#include "script/ui/ScriptDlg.h"
#include "tests/script/ui/ScriptUiHarness.h"

namespace corvane::test {
namespace {

class ScriptDlgTest : public ::testing::Test {
  protected:
    ~ScriptDlgTest() override {
        if (ScriptDlg* open = ScriptDlg::Current()) delete open;
        DeleteClosedWindows();
    }

    ScriptDlg* Open(const std::string& script, const std::string& params = "") {
        return OpenScriptWindow(h.services(), h.Write("test.scr", script), params, 0x42);
    }
    // Runs the script until it ends, as the 100 ms timer would.
    static void RunToEnd(ScriptDlg& window, int maxSteps = 100) {
        for (int i = 0; i < maxSteps && window.engine().state().running; ++i) window.Step();
    }
    static std::vector<std::string> VariableLines(ScriptDlg& window) {
        std::vector<std::string> lines;
        for (int i = 0; i < window.variableList().count(); ++i) {
            lines.push_back(window.variableList().item(i)->text().toStdString());
        }
        return lines;
    }
    static std::vector<std::string> LogLines(ScriptDlg& window) { return window.log().Lines(); }

    ScriptUiHarness h;
};

TEST_F(ScriptDlgTest, ButtonLineClickedSendsItsCommand) {
    ScriptDlg* window = Open("DEFINE a 1FFFF [B1]\nBUTTON \"Go\" [SEND 1FFFE 00]\n");
    ASSERT_NE(window, nullptr);
    RunToEnd(*window);
    EXPECT_EQ(VariableLines(*window), std::vector<std::string>{"[ Go ]"});

    QListWidget& list = window->variableList();
    Q_EMIT list.itemClicked(list.item(0));

    const auto frames = h.sender.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].dgn, 0x1FFFEu);
    EXPECT_EQ(frames[0].data, std::vector<uint8_t>{0x00});
    EXPECT_EQ(window->status(), "Executing SEND 1FFFE 00");
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

TEST_F(ScriptDlgTest, TheTimerStepsTheScriptEveryTenthOfASecond) {
    ScriptDlg* window = Open("\"one\n\"two\n\"three\n");
    QElapsedTimer elapsed;
    elapsed.start();
    while (window->status() != "Script Complete" && elapsed.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(window->status(), "Script Complete");
    // Four steps: three lines and the end of the file.
    EXPECT_GE(elapsed.elapsed(), 300);
    EXPECT_EQ(LogLines(*window), (std::vector<std::string>{"one", "two", "three", ""}));
}

TEST_F(ScriptDlgTest, ClickingALineWithoutCommandDoesNothing) {
    ScriptDlg* window = Open("CONSTANT c \"7\"\nMAKEVISIBLE c\n");
    RunToEnd(*window);
    ASSERT_EQ(window->variableList().count(), 1);
    const std::string before = window->status();
    window->ClickVariable(0);
    EXPECT_EQ(window->status(), before);
    EXPECT_TRUE(h.sender.frames().empty());
}

TEST_F(ScriptDlgTest, MonitorLinesFollowTheirValues) {
    ScriptDlg* window =
        Open("MONITOR v 1FFFF [B1] $%3.0f$ \"Volts\"\nSIMRX 20 1FFFF 05 FF FF FF FF FF FF FF\n");
    RunToEnd(*window);
    const auto lines = VariableLines(*window);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Volts"), std::string::npos);
    EXPECT_NE(lines[0].find("5"), std::string::npos);
}

TEST_F(ScriptDlgTest, LogSplitsAtCarriageReturnsAndDropsLineFeeds) {
    ScriptDlg* window = Open(":nothing\n");
    window->AppendText("volts ");
    window->AppendLine("12\r\n5");
    window->AppendLine("next");
    EXPECT_EQ(LogLines(*window), (std::vector<std::string>{"volts 12", "5", "next", ""}));
}

TEST_F(ScriptDlgTest, OpeningShowsPathTargetAndStatus) {
    const std::string path = h.Write("shown.scr", "\"hello\n");
    ScriptDlg* window = OpenScriptWindow(h.services(), "**" + path, "", 0x42);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->path(), path);
    EXPECT_EQ(window->windowTitle().toStdString(), "Executing Script");
    EXPECT_EQ(window->findChildren<QLineEdit*>()[1]->text().toStdString(), "66");
    EXPECT_EQ(window->status(), "Starting Script");
    EXPECT_FALSE(window->button(ScriptButton::Close)->isEnabled());
    EXPECT_TRUE(window->button(ScriptButton::Abort)->isEnabled());
    RunToEnd(*window);
    EXPECT_EQ(window->status(), "Script Complete");
    EXPECT_TRUE(window->button(ScriptButton::Close)->isEnabled());
    EXPECT_TRUE(window->button(ScriptButton::RunAgain)->isEnabled());
    EXPECT_EQ(LogLines(*window), (std::vector<std::string>{"hello", ""}));
}

TEST_F(ScriptDlgTest, MissingFileLeavesOnlyClose) {
    ScriptDlg* window = OpenScriptWindow(h.services(), (h.folder / "none.scr").string(), "", 1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->status(), "Could not open file.");
    EXPECT_TRUE(window->button(ScriptButton::Close)->isEnabled());
    EXPECT_FALSE(window->button(ScriptButton::Abort)->isEnabled());
    EXPECT_FALSE(window->button(ScriptButton::RunAgain)->isEnabled());
}

TEST_F(ScriptDlgTest, OnlyOneScriptAtATime) {
    ScriptDlg* first = Open("WAIT 60\n");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenScriptWindow(h.services(), h.Write("b.scr", "\n"), "", 1), nullptr);
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0],
              std::make_pair(std::string("Script Error"),
                             std::string("Only one Script can be running at a time.")));

    // A running script is not closed; once aborted, Close frees the slot.
    first->Step();
    first->CloseScript();
    DeleteClosedWindows();
    EXPECT_EQ(ScriptDlg::Current(), first);
    first->button(ScriptButton::Abort)->click();
    first->button(ScriptButton::Close)->click();
    DeleteClosedWindows();
    EXPECT_EQ(ScriptDlg::Current(), nullptr);
    EXPECT_NE(OpenScriptWindow(h.services(), h.Write("c.scr", "\n"), "", 1), nullptr);
}

TEST_F(ScriptDlgTest, RunAgainStartsFromTheTop) {
    ScriptDlg* window = Open("\"line\n");
    RunToEnd(*window);
    window->button(ScriptButton::RunAgain)->click();
    EXPECT_EQ(window->status(), "Restarting Script");
    EXPECT_FALSE(window->button(ScriptButton::Close)->isEnabled());
    RunToEnd(*window);
    EXPECT_EQ(LogLines(*window), (std::vector<std::string>{"line", "line", ""}));
}

TEST_F(ScriptDlgTest, SaveLogButtonAddsTheExtensionOnlyWhenMissing) {
    ScriptDlg* window = Open("\"first\n\"second\n");
    RunToEnd(*window);
    struct Case {
        std::string chosen;
        std::string written;
    };
    for (const Case& c : {Case{"plain", "plain.log"}, Case{"notes.txt", "notes.txt"}}) {
        h.chosenLogFile = (h.folder / c.chosen).string();
        for (QPushButton* b : window->findChildren<QPushButton*>()) {
            if (b->text() == "Save Log") b->click();
        }
        EXPECT_EQ(ScriptUiHarness::Read((h.folder / c.written).string()), "first\r\nsecond\r\n\r\n")
            << c.chosen;
        EXPECT_EQ(window->status(), "Saved");
    }
    EXPECT_FALSE(std::filesystem::exists(h.folder / "notes.txt.log"));
}

TEST_F(ScriptDlgTest, SaveCommandWritesExactlyTheNameGiven) {
    const std::string target = (h.folder / "exact").string();
    ScriptDlg* window = Open("\"kept\nSAVE " + target + "\n");
    RunToEnd(*window);
    EXPECT_EQ(ScriptUiHarness::Read(target), "kept\r\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(target + ".log"));
}

TEST_F(ScriptDlgTest, SaveToAnUncreatableFileSaysSo) {
    ScriptDlg* window = Open("\n");
    const std::string bad = (h.folder / "no" / "such" / "x.log").string();
    EXPECT_FALSE(window->SaveLog(bad));
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].first, "Error");
    EXPECT_EQ(h.messages[0].second, "Error Trying to Initialize File (" + bad + ")");
}

class CurrentFolder {
  public:
    explicit CurrentFolder(const std::filesystem::path& to)
        : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(to);
    }
    ~CurrentFolder() { std::filesystem::current_path(saved_); }

  private:
    std::filesystem::path saved_;
};

TEST_F(ScriptDlgTest, PrintLogOfAnEmptyLogPrintsNothing) {
    CurrentFolder here(h.folder);
    ScriptDlg* window = Open(":quiet\n");
    RunToEnd(*window);
    window->PrintLog();
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0], std::make_pair(std::string("Error"), std::string("Nothing to Print")));
    EXPECT_TRUE(h.printed.empty());
}

TEST_F(ScriptDlgTest, PrintLogWritesTheFileAndHandsItToThePrinter) {
    CurrentFolder here(h.folder);
    ScriptDlg* window = Open("\"to paper\n");
    RunToEnd(*window);
    window->PrintLog();
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.printed, std::vector<std::string>{"TEMP.TXT"});
    EXPECT_EQ(ScriptUiHarness::Read((h.folder / "TEMP.TXT").string()), "to paper\r\n\r\n");
    EXPECT_EQ(window->status(), "Printing");
}

TEST_F(ScriptDlgTest, GraphTakesEightItemsAndIgnoresTheRest) {
    std::string script = "DEFINE v 1FFFF [B1]\nGRAPHSTART 20 50\n";
    for (int i = 0; i < 9; ++i) script += "GRAPHITEM v 0 100\n";
    ScriptDlg* window = Open(script);
    RunToEnd(*window);
    ASSERT_NE(window->graph(), nullptr);
    EXPECT_EQ(window->graph()->chart().items().size(), 8u);
    EXPECT_EQ(window->graph()->chart().size(), QSize(80, 50));
    EXPECT_EQ(window->graph()->chart().items()[7].colour, QColor(64, 64, 64));
}

TEST_F(ScriptDlgTest, GraphItemWithMinNotBelowMaxOrUnknownNameAddsNothing) {
    ScriptDlg* window = Open(
        "DEFINE v 1FFFF [B1]\nGRAPHSTART 10 40\nGRAPHITEM v 15.0 10.0\nGRAPHITEM v 10 10\n"
        "GRAPHITEM nope 0 10\n");
    RunToEnd(*window);
    EXPECT_TRUE(window->graph()->chart().items().empty());
    EXPECT_EQ(LogLines(*window), (std::vector<std::string>{"NOPEnot defined for graphing.", ""}));
}

TEST_F(ScriptDlgTest, DatumAtMinimumIsDrawnAtTheBottomAndAboveMaximumAtTheTop) {
    ScriptDlg* window = Open(
        "DEFINE low 1FFFF [B1]\nDEFINE high 1FFFE [B1]\nGRAPHSTART 10 40\n"
        "GRAPHITEM low 10 60\nGRAPHITEM high 0 100\n"
        "SIMRX 20 1FFFF 0A FF FF FF FF FF FF FF\nSIMRX 20 1FFFE 65 FF FF FF FF FF FF FF\n"
        "GRAPHADVANCE\nGRAPHADVANCE\n");
    RunToEnd(*window);
    const CLineChartCtrl& chart = window->graph()->chart();
    const QImage& picture = chart.picture();
    const int right = picture.width() - 1;
    EXPECT_EQ(chart.items()[0].position, 0);
    EXPECT_EQ(chart.items()[1].position, 100);
    EXPECT_EQ(QColor(picture.pixel(right, picture.height() - 1)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(picture.pixel(right, 0)), QColor(0, 255, 255));
    // Between the lines the new column shows grid or black, never a line colour.
    const QColor middle(picture.pixel(right - 1, picture.height() / 2 + 3));
    EXPECT_TRUE(middle == QColor(0, 0, 0) || middle == QColor(0, 128, 0));
}

TEST_F(ScriptDlgTest, GraphOutlivesTheScriptWindowAndALaterGraphStart) {
    ScriptDlg* window = Open("GRAPHSTART 10 40\nGRAPHSTART 5 20\n");
    window->Step();
    QPointer<GraphWindow> first = window->graph();
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->closeEnabled());
    RunToEnd(*window);
    QPointer<GraphWindow> second = window->graph();
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->closeEnabled());
    EXPECT_FALSE(second->closeEnabled());
    EXPECT_FALSE(second->close());
    window->CloseScript();
    DeleteClosedWindows();
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->closeEnabled());
    delete first;
    delete second;
}

// Answers the next modal dialog once it is shown.
template <typename Dialog, typename Answer>
void AnswerNextDialog(Answer answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST_F(ScriptDlgTest, AskForParamsTakesTheEditedText) {
    ScriptDlg* window = Open("ASKFORPARAMS\n\"<[PARAMS]>\n", "old");
    AnswerNextDialog<ParamEntryDlg>([](ParamEntryDlg& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("params");
        EXPECT_EQ(edit->text().toStdString(), "old");
        edit->setText("new one");
        dialog.accept();
    });
    RunToEnd(*window);
    EXPECT_EQ(LogLines(*window)[0], "<NEW ONE>");
}

TEST_F(ScriptDlgTest, AskForParamsCancelledKeepsTheText) {
    ScriptDlg* window = Open("ASKFORPARAMS\n\"<[PARAMS]>\n", "OLD");
    AnswerNextDialog<ParamEntryDlg>([](ParamEntryDlg& dialog) { dialog.reject(); });
    RunToEnd(*window);
    EXPECT_EQ(LogLines(*window)[0], "<OLD>");
}

TEST_F(ScriptDlgTest, MenuDoubleClickChoosesThatToken) {
    ScriptDlg* window = Open("MENU ab \"Short\" two \"Second\" abc \"Third\"\n\"<[PARAMS]>\n");
    AnswerNextDialog<MenuCommandDlg>([](MenuCommandDlg& dialog) {
        auto* list = dialog.findChild<QListWidget*>("menu");
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->item(0)->text().toStdString(), "Short\t[]");
        EXPECT_EQ(list->item(1)->text().toStdString(), "Second\t[two]");
        EXPECT_EQ(dialog.choice(), "");
        Q_EMIT list->itemDoubleClicked(list->item(2));
    });
    RunToEnd(*window);
    EXPECT_NE(LogLines(*window)[0].find("ABC"), std::string::npos) << LogLines(*window)[0];
}

TEST_F(ScriptDlgTest, MenuSelectionThenOk) {
    const std::vector<MenuEntry> entries = {{"one", "First"}, {"two", "Second"}};
    MenuCommandDlg dialog(entries);
    EXPECT_EQ(dialog.choice(), "one");
    dialog.findChild<QListWidget*>("menu")->setCurrentRow(1);
    EXPECT_EQ(dialog.choice(), "two");
}

}  // namespace
}  // namespace corvane::test
