#include "script/ui/OpenScriptWindow.h"

#include <QMessageBox>

#include "script/ui/ScriptDlg.h"

namespace corvane {

ScriptDlg* OpenScriptWindow(const ScriptServices& services, const std::string& path,
                            const std::string& params, uint8_t target, QWidget* parent) {
    if (ScriptDlg::Current() != nullptr) {
        const std::string text = "Only one Script can be running at a time.";
        if (services.showMessage) {
            services.showMessage(text, "Script Error");
        } else {
            QMessageBox::warning(parent, "Script Error", QString::fromLatin1(text));
        }
        return nullptr;
    }
    const size_t start = path.find_first_not_of('*');
    auto* window = new ScriptDlg(services, start == std::string::npos ? "" : path.substr(start),
                                 params, target, parent);
    window->show();
    return window;
}

}  // namespace corvane
