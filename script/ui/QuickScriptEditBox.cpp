#include "script/ui/QuickScriptEditBox.h"

#include <QContextMenuEvent>
#include <QTextBlock>

namespace corvane {

QuickScriptEditBox::QuickScriptEditBox(QWidget* parent) : QPlainTextEdit(parent) {
    QFont font("Courier New", 9);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

std::string QuickScriptEditBox::CaretLine() const {
    return textCursor().block().text().toLatin1().toStdString();
}

void QuickScriptEditBox::InsertTemplate(std::string_view text) {
    QString converted;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '\n' || c == '\r') && i + 1 < text.size() &&
            (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != c) {
            ++i;  // the second byte of a line-break pair
        }
        converted += (c == '\r') ? QChar('\n') : QChar::fromLatin1(c);
    }
    textCursor().insertText(converted);
}

void QuickScriptEditBox::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    Q_EMIT helpRequested();
}

}  // namespace corvane
