#pragma once

#include <QListWidget>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The script log: a list whose last line is the open line that text is appended to.
class CInfo : public QListWidget {
    Q_OBJECT
  public:
    explicit CInfo(QWidget* parent = nullptr);

    // Continues the open line. LF characters are dropped and every CR finishes a line, so a
    // value holding a CR shows as two lines.
    void AppendText(std::string_view text);
    // AppendText, then a fresh empty open line.
    void AppendLine(std::string_view text);
    // Back to the one empty open line.
    void Clear();
    std::vector<std::string> Lines() const;
};

}  // namespace corvane
