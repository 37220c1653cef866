#pragma once

#include <QHeaderView>

// Column header of the box table: paints its own captions, with a small
// arrow after the three filterable ones, and reports every press with the
// section under the mouse.
class BoxTabelHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    explicit BoxTabelHeaderView(QWidget *parent);

signals:
    void signal_clicked_section(int index);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};
