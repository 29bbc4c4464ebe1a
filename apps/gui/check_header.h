#pragma once
// A list header whose first section carries the check box that checks or clears every row.

#include <QHeaderView>

namespace vdrec::gui {

class CheckHeader final : public QHeaderView {
    Q_OBJECT
public:
    explicit CheckHeader(QWidget* parent);
    void setChecked(bool checked);
    bool isChecked() const { return checked_; }

signals:
    // A click on the first section; the owner decides and calls setChecked.
    void checkClicked();

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QRect boxRect(const QRect& section) const;
    bool checked_ = false;
};

}  // namespace vdrec::gui
