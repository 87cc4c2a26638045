#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <cstdlib>

#include "core/CanIdentifier.h"
#include "core/LongMessages.h"
#include "core/RvcFrame.h"
#include "core/TransportStage.h"
#include "script/ui/CInfo.h"
#include "script/ui/CLineChartCtrl.h"
#include "script/ui/GraphWindow.h"
#include "script/ui/OpenScriptWindow.h"
#include "script/ui/ScriptDlg.h"
#include "sim/SimulatedVehicle.h"
#include "tests/script/ui/ScriptUiHarness.h"

namespace corvane::test {
namespace {

// The tool's transmissions go on the simulated bus.
class VehicleSender final : public FrameSender {
  public:
    explicit VehicleSender(sim::SimulatedVehicle& vehicle) : vehicle_(vehicle) {}
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        vehicle_.receive(makeFrame(CanIdentifier{priority, dgn, sa, 0}, 0, length,
                                   std::span<const uint8_t>(data, length)));
    }
    bool echoTransmits() const override { return false; }

  private:
    sim::SimulatedVehicle& vehicle_;
};

class SimulatedVehicleScriptTest : public ::testing::Test {
  protected:
    SimulatedVehicleScriptTest()
        : longMessages(h.manager, h.transmit), transportStage(longMessages, h.transmit) {
        h.manager.setTransportStage(&transportStage);
        h.transmit.setSender(&sender);
    }
    ~SimulatedVehicleScriptTest() override {
        h.transmit.setSender(nullptr);
        h.manager.setTransportStage(nullptr);
        if (ScriptDlg* open = ScriptDlg::Current()) delete open;
        DeleteClosedWindows();
    }

    // 100 ms of the vehicle and one step of the window, as the timer gives them.
    void Tick(ScriptDlg& window) {
        h.clock.advanceMs(100);
        vehicle.advanceTo(h.clock.steadyMilliseconds(),
                          [this](const RvcFrame& frame) { h.manager.intake(frame); });
        window.Step();
    }
    std::string Log(ScriptDlg& window) {
        std::string text;
        for (const std::string& line : window.log().Lines()) text += line + "\n";
        return text;
    }

    ScriptUiHarness h;
    sim::SimulatedVehicle vehicle;
    VehicleSender sender{vehicle};
    LongMessages longMessages;
    TransportStage transportStage;
};

TEST_F(SimulatedVehicleScriptTest, ExampleScriptFindsTheWaterHeaterAndMonitorsIt) {
    ScriptDlg* window = OpenScriptWindow(
        h.services(), std::string(CORVANE_EXAMPLE_SCRIPTS) + "/water-heater-check.scr", "", 0xFF);
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 400 && window->engine().state().running; ++i) Tick(*window);
    EXPECT_EQ(window->status(), "Script Complete") << Log(*window);
    const std::string log = Log(*window);
    EXPECT_NE(log.find("Found ACME Heater 5 at 101"), std::string::npos) << log;
    EXPECT_NE(log.find("Water heater check complete"), std::string::npos) << log;
    EXPECT_EQ(log.find("No timer ran"), std::string::npos) << log;
    ASSERT_EQ(window->variableList().count(), 1);
    const std::string line = window->variableList().item(0)->text().toStdString();
    EXPECT_NE(line.find("Water temperature"), std::string::npos);
    EXPECT_EQ(line.find("N/D"), std::string::npos) << line;
}

// A script with a MONITOR list, a log and a graph. With CORVANE_SCREENSHOT set, the window and
// its graph are saved there as one picture.
TEST_F(SimulatedVehicleScriptTest, MonitorListLogAndGraphTogether) {
    const std::string script =
        "\"Watching the water heater and the inverter\n"
        "MONITOR temp 1FFF7:01 [W5 * 0.03125 - 273] $%6.1f C$ \"Water temperature\"\n"
        "MONITOR dc 1FFFD:01 [W3 * 0.05] $%6.2f V$ \"House battery\"\n"
        "BUTTON \"Request status\" [REQUEST 1FFF7]\n"
        "GRAPHSTART 40 60\nGRAPHITEM temp 0 100\nGRAPHITEM dc 10 15\n"
        "ONTIMER adv [1] {GRAPHADVANCE}\n\"Graph started at [TIMER] s\nIDLE\n";
    ScriptDlg* window = OpenScriptWindow(h.services(), h.Write("watch.scr", script), "", 0x65);
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 300; ++i) Tick(*window);
    EXPECT_EQ(window->variableList().count(), 3);
    ASSERT_NE(window->graph(), nullptr);
    EXPECT_EQ(window->graph()->chart().items().size(), 2u);
    // The graph advanced once a second: the lines reached the right edge.
    const QImage& picture = window->graph()->chart().picture();
    bool drawn = false;
    for (int y = 0; y < picture.height(); ++y) {
        drawn = drawn || QColor(picture.pixel(picture.width() - 1, y)) == QColor(255, 255, 255);
    }
    EXPECT_TRUE(drawn);

    if (const char* folder = std::getenv("CORVANE_SCREENSHOT")) {
        const QImage dialog = window->grab().toImage();
        const QImage graph = window->graph()->grab().toImage();
        QImage both(dialog.width() + graph.width() + 10, std::max(dialog.height(), graph.height()),
                    QImage::Format_RGB32);
        both.fill(QColor(200, 200, 200));
        QPainter painter(&both);
        painter.drawImage(0, 0, dialog);
        painter.drawImage(dialog.width() + 10, 0, graph);
        painter.end();
        EXPECT_TRUE(both.save(QString(folder) + "/script-window.png"));
    }
}

}  // namespace
}  // namespace corvane::test
