#include "app/QtModuleDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <vector>

namespace corvane {

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string QtModuleDialogs::qtFilterOf(const std::string& filter) {
    const std::vector<std::string> parts = split(filter, '|');
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;  // the closing "||"
        std::string name = parts[i];
        if (const size_t open = name.find('('); open != std::string::npos) name.resize(open);
        std::string patterns;
        for (const std::string& p : split(parts[i + 1], ';')) {
            const std::string pattern = trimmed(p) == "*.*" ? "*" : trimmed(p);
            if (pattern.empty()) continue;
            patterns += (patterns.empty() ? "" : " ") + pattern;
        }
        if (!out.empty()) out += ";;";
        out += trimmed(name) + " (" + patterns + ")";
    }
    return out;
}

std::string QtModuleDialogs::plainLines(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

std::optional<std::string> QtModuleDialogs::chooseFile(const std::string& filter) {
    const QString file = QFileDialog::getOpenFileName(parent_, QString(), QString(),
                                                      QString::fromStdString(qtFilterOf(filter)));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::optional<std::string> QtModuleDialogs::chooseFolder(const std::string& title,
                                                         const std::string& initialFolder) {
    const QString folder = QFileDialog::getExistingDirectory(parent_, QString::fromStdString(title),
                                                             QString::fromStdString(initialFolder));
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

void QtModuleDialogs::showMessage(const std::string& text, const std::string& title) {
    QMessageBox::information(parent_, QString::fromStdString(title),
                             QString::fromStdString(plainLines(text)), QMessageBox::Ok);
}

bool QtModuleDialogs::askYesNo(const std::string& text, const std::string& title) {
    return QMessageBox::question(parent_, QString::fromStdString(title),
                                 QString::fromStdString(plainLines(text)),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace corvane
