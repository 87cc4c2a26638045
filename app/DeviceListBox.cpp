#include "app/DeviceListBox.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QSignalBlocker>

#include "app/DeviceRowDelegate.h"
#include "app/DeviceRowLayout.h"

namespace corvane {

DeviceListBox::DeviceListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new DeviceRowDelegate(*this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(this, &QListWidget::itemSelectionChanged, this, &DeviceListBox::deviceSelectionChanged);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT deviceDoubleClicked(); });
}

void DeviceListBox::describe(QListWidgetItem& item, const RVCDevice& device) {
    // The row is drawn, not written: this is what it says for tooltips and screen readers.
    const QString line = QString::fromStdString(rowTextsOf(device).line());
    item.setData(Qt::AccessibleTextRole, line);
    item.setToolTip(line);
}

void DeviceListBox::rebuild(const std::vector<RVCDevice>& devices, bool showPhantoms) {
    const DeviceRows::Key remembered = selectedKey();
    const QSignalBlocker quiet(this);
    clear();
    rows_.rebuild(devices, showPhantoms);
    for (int i = 0; i < rows_.count(); ++i) {
        auto* item = new QListWidgetItem;
        describe(*item, rows_.at(i));
        addItem(item);
    }
    if (auto row = rows_.reselect(remembered)) setCurrentRow(*row);
    ++rebuildCount_;
}

std::vector<DeviceRows::Key> DeviceListBox::refreshStatus(const std::vector<RVCDevice>& devices) {
    std::vector<DeviceRows::Key> keys;
    for (int row : rows_.refreshStatus(devices)) {
        describe(*item(row), rows_.at(row));
        viewport()->update(visualItemRect(item(row)));
        keys.push_back(rows_.keyOf(row));
    }
    return keys;
}

std::optional<RVCDevice> DeviceListBox::selectedDevice() const {
    const QList<QListWidgetItem*> chosen = selectedItems();
    if (chosen.isEmpty()) return std::nullopt;
    const int r = row(chosen.front());
    if (r < 0 || r >= rows_.count()) return std::nullopt;
    return rows_.at(r);
}

DeviceRows::Key DeviceListBox::selectedKey() const {
    const auto device = selectedDevice();
    return device ? DeviceRows::Key{device->dsa, device->sa} : DeviceRows::Key{};
}

void DeviceListBox::selectRow(int row) { setCurrentRow(row); }

void DeviceListBox::setEmptyText(const QString& text) {
    if (text == emptyText_) return;
    emptyText_ = text;
    if (count() == 0) viewport()->update();
}

void DeviceListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (count() != 0 || emptyText_.isEmpty()) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect(), Qt::AlignCenter, emptyText_);
}

void DeviceListBox::contextMenuEvent(QContextMenuEvent* event) {
    Q_EMIT contextMenuWanted(event->globalPos());
}

}  // namespace corvane
