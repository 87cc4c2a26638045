#include "script/RVCDatumMonitor.h"

namespace corvane {

std::unique_ptr<RVCDatumMonitor> RVCDatumMonitor::FromDefinition(const DatumDefinition& d,
                                                                 bool visibleInList) {
    auto datum = std::make_unique<RVCDatumMonitor>();
    datum->name = d.name;
    datum->title = d.title;
    datum->dgn = d.dgn;
    datum->instance = d.instance;
    datum->secondaryInstance = d.secondaryInstance;
    datum->selector = d.selection.selector;
    datum->byteIndex = d.selection.byteIndex;
    datum->bitShift = d.selection.bitShift;
    datum->multiplier = d.multiplier;
    datum->offset = d.offset;
    datum->format = d.format;
    datum->formatKind = d.formatKind;
    datum->raw = NotAvailableValue(d.selection.selector);
    datum->packet.fill(0xFF);
    datum->visible = visibleInList ? 1 : 0;
    datum->changed = visibleInList ? 1 : 0;
    return datum;
}

std::string RVCDatumMonitor::DisplayLine() const {
    return title + "\t" + ValueText() + "\t" + std::to_string(updates);
}

void RVCDatumMonitor::Zero() {
    raw = 0;
    changed = 1;
}

void RVCDatumMonitor::Reset() {
    raw = NotAvailableValue(selector);
    packet.fill(0xFF);
    changed = 1;
}

}  // namespace corvane
