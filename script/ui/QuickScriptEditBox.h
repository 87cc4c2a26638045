#pragma once

#include <QPlainTextEdit>
#include <string>
#include <string_view>

namespace corvane {

// The Quick Script edit: a right-click asks for the help of the caret's line instead of a
// context menu.
class QuickScriptEditBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit QuickScriptEditBox(QWidget* parent = nullptr);

    // The caret's line, whole.
    std::string CaretLine() const;
    // Replaces the selection by `text`; LF CR and CR LF pairs become one line break.
    void InsertTemplate(std::string_view text);

  Q_SIGNALS:
    void helpRequested();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace corvane
