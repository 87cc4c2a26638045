#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/DeviceCompareDlg.h"
#include "core/DeviceListFile.h"
#include "core/Dgn.h"
#include "core/RvcMessage.h"
#include "script/ScriptText.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/modules/ModuleDoubles.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The comparison reads saved lists exactly as script lines are read.
TEST(DeviceListLineReader, AgreesWithTheScriptLineReader) {
    const std::string inputs[] = {
        "",
        "DSA  66 *Acme*X1*\r\n",
        "a\tb\x0f\x10\x7f\x80\xff\r\n\nlast",
        std::string("nul\0byte\n", 9),
        "\n\n\r\n",
        "no line feed at all",
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(input);
        size_t scriptPosition = 0;
        size_t listPosition = 0;
        std::string scriptLine;
        std::string listLine;
        for (;;) {
            const bool script = ReadScriptLine(bytesOf(input), scriptPosition, scriptLine);
            const bool list = ReadDeviceListLine(bytesOf(input), listPosition, listLine);
            ASSERT_EQ(script, list);
            if (!script) break;
            EXPECT_EQ(scriptLine, listLine);
            EXPECT_EQ(scriptPosition, listPosition);
        }
    }
}

class DeviceCompareDlgTest : public ::testing::Test {
  protected:
    DeviceCompareDlgTest() {
        test::ensureApplication();
        const std::string id = "Acme*X1*1*2*";
        table.update(*makeMessage(dgn::kProductId, 0x42, bytesOf(id)));
        const uint8_t status[8] = {0x05, 66, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*makeMessage(dgn::kDmRv, 0x42, status));
    }

    // Shows the comparison and closes the window with "Done", returning what it showed.
    std::optional<std::string> shown(const std::string& path) {
        std::optional<std::string> text;
        QString title;
        QFont font;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<DeviceCompareDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            text = dialog->report()->toPlainText().toStdString();
            title = dialog->windowTitle();
            font = dialog->report()->font();
            for (auto* button : dialog->findChild<QDialogButtonBox*>()->buttons()) {
                if (button->text() == "Done") button->click();
            }
        });
        ShowDeviceListComparison(path, table, dialogs);
        EXPECT_EQ(title, "Device Compare");
        EXPECT_EQ(font.pointSize(), 9);
        return text;
    }

    test::FakeClock clock;
    DeviceTable table{clock};
    test::ScriptedDialogs dialogs;
    test::ScratchFolder folder;
};

TEST_F(DeviceCompareDlgTest, ShowsTheReportLineByLine) {
    const std::string path = folder.path() + "/bus.cvdl";
    std::ofstream(path, std::ios::binary)
        << "Created: x\r\nDSA  66 *Acme*X1*\r\nDSA   1 *Old*Box*\r\n";
    EXPECT_EQ(shown(path), "Comparing " + path + "\nMissing:   1   1 Old Box\n");
    EXPECT_TRUE(dialogs.messages.empty());

    ASSERT_TRUE(ExportDeviceList(path, table));
    EXPECT_EQ(shown(path), "Comparing " + path + "\nDevice Lists Match.");
}

TEST_F(DeviceCompareDlgTest, UnreadableFileGivesTheMessageThenAnEmptyWindow) {
    EXPECT_EQ(shown(folder.path() + "/absent.cvdl"), "");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              (test::ScriptedDialogs::Message{"Failed to load file.", "File Error"}));
}

}  // namespace
}  // namespace corvane
