#include "BoxListWidget.h"

#include "BoxAccessibleText.h"
#include "BoxOperations.h"
#include "BoxRules.h"
#include "BoxStateText.h"
#include "RightButtonMenu.h"
#include "ScrollBarStyle.h"
#include "ViewKeys.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPair>
#include <QScrollBar>
#include <QUrl>

BoxListWidget::BoxListWidget(QWidget *parent)
    : QListWidget(parent)
{
    m_pRightMenu = new RightButtonMenu(this);
    connect(m_pRightMenu, &RightButtonMenu::signal_right_menu_func_triggered,
            this, &BoxListWidget::signal_right_menu_func_triggered);

    QFont font;
    font.setPixelSize(12);
    QPalette pal = palette();
    pal.setBrush(QPalette::WindowText, QBrush(QColor("#333333")));

    setIconSize(QSize(48, 48));
    setFont(font);
    setPalette(pal);

    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setSpacing(20);

    verticalScrollBar()->setStyleSheet(kThinScrollBarStyle);

    setAccessibleName(tr("保护箱图标视图"));
    setAccessibleDescription(tr("方向键选择保护箱，回车键打开或挂载，菜单键或 Shift+F10 打开操作菜单"));
}

QString BoxListWidget::boxIcon48(const BoxInfo &box)
{
    if (box.fromOther) {
        if (!box.encrypted)
            return ":/images/image/share_48.png";
        return box.mounted ? ":/images/image/sahre_unlock48.png"
                           : ":/images/image/sahre_lock48.png";
    }
    if (box.encrypted) {
        if (box.shared)
            return box.mounted ? ":/images/image/person_sahre_unlock_48.png"
                               : ":/images/image/person_sahre_lock48.png";
        return box.mounted ? ":/images/image/person_unlock_48.png"
                           : ":/images/image/person_lock_48.png";
    }
    return box.shared ? ":/images/image/person_share_48.png" : ":/images/image/person_48.png";
}

// A read-only share wears a crossed-out pencil in its lower right corner.
void BoxListWidget::addReadOnlyBadge(QPixmap &picture)
{
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor("#808080"), 1));
    painter.setBrush(QColor("#FFFFFF"));
    painter.drawEllipse(QRectF(29.5, 29.5, 18, 18));
    painter.setPen(QPen(QColor("#333333"), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(34, 43), QPointF(43, 34));
    painter.setPen(QPen(QColor("#FF0000"), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(33.5, 33.5), QPointF(43.5, 43.5));
}

const QIcon &BoxListWidget::stateIcon(const BoxInfo &box)
{
    const bool readOnly = box.fromOther && box.access == SharePermission::ReadOnly;
    QIcon &icon = readOnly ? m_readOnlyIcons[boxStateKey(box)] : m_stateIcons[boxStateKey(box)];
    if (icon.isNull()) {
        // The same picture in the selected state: Qt would otherwise draw the
        // current box greyed out under its selection frame.
        QPixmap picture(boxIcon48(box));
        if (readOnly)
            addReadOnlyBadge(picture);
        icon.addPixmap(picture);
        icon.addPixmap(picture, QIcon::Selected);
    }
    return icon;
}

QString BoxListWidget::toolTip(const BoxInfo &box)
{
    QStringList lines{box.path};
    const QString access = BoxStateText::access(box);
    if (!access.isEmpty())
        lines << tr("权限：%1").arg(access);
    const QString elsewhere = BoxStateText::mountedElsewhere(box);
    if (!elsewhere.isEmpty() && !box.mounted)
        lines << elsewhere;
    return lines.join(QLatin1Char('\n'));
}

BoxResult BoxListWidget::updateBoxList()
{
    QList<BoxInfo> boxes;
    const BoxResult result = BoxOperations::list(boxes);
    // What could not be read stays as it was; the caller shows why.
    if (!result.ok())
        return result;

    bool remembered = false;
    QString name, owner;
    int row = currentRow();
    if (row >= 0 && row < m_boxList.size()) {
        remembered = true;
        name = m_boxList[row].name;
        owner = m_boxList[row].owner;
    }

    // One reset for the whole list; the current row goes with it.
    clear();
    m_boxList = std::move(boxes);

    // Boxes in the same state read alike, and so do other users' boxes of
    // the same owner: each description is made once per reload.
    QHash<QPair<int, QString>, QString> descriptions;
    auto descriptionOf = [&descriptions](const BoxInfo &box) {
        const QPair<int, QString> key(boxStateKey(box) | int(box.access) << 4 | (box.mountedElsewhere ? 1 << 8 : 0),
                                      box.fromOther ? box.owner : QString());
        auto it = descriptions.find(key);
        if (it == descriptions.end())
            it = descriptions.insert(key, BoxAccessibleText::description(box));
        return *it;
    };

    for (const BoxInfo &box : qAsConst(m_boxList)) {
        // Complete before it joins the list, so that adding it is the only
        // change the view hears of.
        auto *item = new QListWidgetItem(stateIcon(box), box.name);
        item->setData(Qt::SizeHintRole, QSize(70, 80));
        item->setData(Qt::ToolTipRole, toolTip(box));
        // Screen readers take the name from the text.
        item->setData(Qt::AccessibleDescriptionRole, descriptionOf(box));
        addItem(item);
    }

    if (remembered) {
        for (int i = 0; i < m_boxList.size(); ++i) {
            if (m_boxList[i].name == name && m_boxList[i].owner == owner) {
                setCurrentRow(i);
                break;
            }
        }
    }
    return result;
}

bool BoxListWidget::selectBox(const QString &name, const QString &owner)
{
    for (int i = 0; i < m_boxList.size(); ++i) {
        if (BoxOperations::isBox(m_boxList[i], name, owner)) {
            setCurrentRow(i);
            scrollToItem(item(i));
            return true;
        }
    }
    clearCurrentItem();
    return false;
}

BoxInfo BoxListWidget::currentBoxInfo() const
{
    int row = currentRow();
    if (row < 0 || row >= m_boxList.size())
        return BoxInfo();
    return m_boxList[row];
}

void BoxListWidget::clearCurrentItem()
{
    setCurrentIndex(QModelIndex());
    emit signal_item_selected(false);
}

void BoxListWidget::mousePressEvent(QMouseEvent *e)
{
    QModelIndex index = indexAt(e->pos());
    setCurrentIndex(index);
    emit signal_item_selected(index.row() != -1);

    if (e->button() == Qt::RightButton && index.isValid())
        showBoxMenu(index.row(), QCursor::pos());
    // Handled as a move so that the base class never records a pressed item:
    // no pressed/clicked signals and no dragging of icons.
    QListWidget::mouseMoveEvent(e);
}

void BoxListWidget::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    activateRow(indexAt(e->pos()).row());
}

void BoxListWidget::keyPressEvent(QKeyEvent *e)
{
    const int row = currentRow();
    if (ViewKeys::opensContextMenu(e)) {
        if (row >= 0)
            showBoxMenu(row, viewport()->mapToGlobal(visualRect(currentIndex()).center()));
        return;
    }
    if (ViewKeys::activates(e)) {
        activateRow(row);
        return;
    }
    QListWidget::keyPressEvent(e);
}

// The menu key's own context-menu event (sent by some platforms besides the
// key press) is left to keyPressEvent, so that the menu opens once, at the
// current box.
void BoxListWidget::contextMenuEvent(QContextMenuEvent *e)
{
    e->accept();
}

void BoxListWidget::activateRow(int row)
{
    if (row < 0 || row >= m_boxList.size())
        return;
    const BoxInfo box = m_boxList[row];
    if (BoxRules::opening(box) == BoxOpening::Mount) {
        emit signal_mount_box_triggered();
        return;
    }
    // An empty path would name the working directory; it is no box folder.
    if (!box.path.isEmpty() && QDir(box.path).exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(box.path));
}

void BoxListWidget::showBoxMenu(int row, const QPoint &globalPos)
{
    if (row < 0 || row >= m_boxList.size())
        return;
    m_pRightMenu->setBoxInfo(m_boxList[row]);
    m_pRightMenu->exec(globalPos);
}
