#pragma once

#include <QIcon>
#include <QPixmap>

namespace corvane {

// The program's icon, drawn rather than loaded: a ring of address colours around a "C".
class AppIcon {
  public:
    static QPixmap pixmap(int size);
    static QIcon icon();
};

}  // namespace corvane
