#include "script/ui/CInfo.h"

#include <QFont>

namespace corvane {

CInfo::CInfo(QWidget* parent) : QListWidget(parent) {
    QFont font("Courier New", 9);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    Clear();
}

void CInfo::Clear() {
    clear();
    addItem(QString());
}

void CInfo::AppendText(std::string_view text) {
    std::string open;
    if (count() > 0) {
        QListWidgetItem* last = takeItem(count() - 1);
        open = last->text().toLatin1().toStdString();
        delete last;
    }
    for (char c : text) {
        if (c != '\n') open += c;
    }
    setUpdatesEnabled(false);
    size_t start = 0;
    for (size_t cr = open.find('\r'); cr != std::string::npos; cr = open.find('\r', start)) {
        addItem(QString::fromLatin1(open.data() + start, static_cast<qsizetype>(cr - start)));
        start = cr + 1;
    }
    addItem(QString::fromLatin1(open.data() + start, static_cast<qsizetype>(open.size() - start)));
    setUpdatesEnabled(true);
    scrollToBottom();
}

void CInfo::AppendLine(std::string_view text) {
    AppendText(text);
    addItem(QString());
    scrollToBottom();
}

std::vector<std::string> CInfo::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) lines.push_back(item(i)->text().toLatin1().toStdString());
    return lines;
}

}  // namespace corvane
