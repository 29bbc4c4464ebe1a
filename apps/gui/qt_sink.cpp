#include "qt_sink.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <climits>
#include <string>

#include "dialog_host.h"

namespace vdrec::gui {

namespace {

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void QtSink::message(std::string_view text) {
    if (!quiet_) dialogs_.message(target_.window, fromUtf8(text));
}

bool QtSink::question(std::string_view text) { return !quiet_ && dialogs_.question(target_.window, fromUtf8(text)); }

void QtSink::status(std::string_view text) {
    status_ = text;
    if (target_.status) target_.status->setText(fromUtf8(text));
}

void QtSink::detailStatus(std::string_view text) {
    detail_ = text;
    if (target_.detail) target_.detail->setText(fromUtf8(text));
}

void QtSink::progressRange(int64_t low, int64_t high) {
    low_ = low;
    high_ = std::max(low, high);
    applyProgress();
}

void QtSink::progressPosition(int64_t position) {
    position_ = position;
    applyProgress();
}

// The bar counts in int; a range of sectors or bytes beyond that is shown scaled rather than
// wrapped into a negative or truncated range.
void QtSink::applyProgress() {
    if (!target_.progress) return;
    const uint64_t span = static_cast<uint64_t>(high_) - static_cast<uint64_t>(low_);
    const uint64_t scale = span / INT_MAX + 1;
    const int64_t clamped = std::clamp(position_, low_, high_);
    target_.progress->setRange(0, static_cast<int>(span / scale));
    target_.progress->setValue(static_cast<int>((static_cast<uint64_t>(clamped) - static_cast<uint64_t>(low_)) / scale));
}

std::optional<std::string> QtSink::pickFolder(std::string_view title) {
    if (quiet_) return std::nullopt;
    const auto folder = dialogs_.pickFolder(target_.window, fromUtf8(title));
    if (!folder) return std::nullopt;
    return folder->toStdString();
}

void QtSink::attach(const StatusTarget& target) {
    target_ = target;
    if (target_.status) target_.status->setText(fromUtf8(status_));
    if (target_.detail) target_.detail->setText(fromUtf8(detail_));
    applyProgress();
}

QtSink::Attachment QtSink::detach() {
    Attachment previous{target_, status_, detail_, low_, high_, position_};
    target_ = StatusTarget{target_.window, {}, {}, {}};
    status_.clear();
    detail_.clear();
    low_ = 0, high_ = 100, position_ = 0;
    return previous;
}

void QtSink::restore(const Attachment& attachment) {
    status_ = attachment.status;
    detail_ = attachment.detail;
    low_ = attachment.low, high_ = attachment.high, position_ = attachment.position;
    attach(attachment.target);
}

}  // namespace vdrec::gui
