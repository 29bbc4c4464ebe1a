#include "check_header.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace vdrec::gui {

namespace {

constexpr int kBoxMargin = 4;

}  // namespace

CheckHeader::CheckHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    connect(this, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == 0) emit checkClicked();
    });
}

void CheckHeader::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    viewport()->update();
}

QRect CheckHeader::boxRect(const QRect& section) const {
    QStyleOptionButton option;
    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    return QRect(section.left() + kBoxMargin, section.top() + (section.height() - box.height()) / 2, box.width(),
                 box.height());
}

void CheckHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (logicalIndex != 0) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    // The section is drawn with its text moved right of the box.
    const QRect box = boxRect(rect);
    QStyleOptionHeader header;
    initStyleOption(&header);
    header.rect = rect;
    header.section = logicalIndex;
    header.text = model()->headerData(logicalIndex, orientation()).toString();
    header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &header, painter, this);
    header.rect = rect.adjusted(box.width() + 2 * kBoxMargin, 0, 0, 0);
    style()->drawControl(QStyle::CE_HeaderLabel, &header, painter, this);
    QStyleOptionButton option;
    option.rect = box;
    option.state = QStyle::State_Enabled | (checked_ ? QStyle::State_On : QStyle::State_Off);
    if (!isEnabled()) option.state &= ~QStyle::State_Enabled;
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, this);
    painter->restore();
}

QSize CheckHeader::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (logicalIndex == 0) {
        QStyleOptionButton option;
        size.rwidth() += style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this).width() + 2 * kBoxMargin;
    }
    return size;
}

}  // namespace vdrec::gui
