// Times the box views against a minimal Qt program doing the same work in the
// same run, with 100, 1,000 and 10,000 boxes from the in-memory box service:
//
//   icon click    the main window's icon-mode button (list through the box
//                 core, items, selection reset, bottom bar, repaint of the
//                 window) vs. a plain QListWidget refilled, at 0 and 1,000;
//   table click   the same with the table-mode button vs. a QTableView over
//                 a QStandardItemModel;
//   icon reload   BoxListWidget::updateBoxList()  vs. a plain QListWidget
//                 refilled with the same texts, icons, size hints and tips;
//   table reload  BoxTableModel::refreshBoxList() vs. a QTableView over a
//                 QStandardItemModel with the same five columns;
//   start-up      constructing the main window until it is shown with the
//                 list painted, vs. a plain window with one filled QListWidget.
//
// Both sides fetch the list through box_get_list and are laid out and painted
// before the clock stops. Each figure is the processor time of the fastest of
// several runs, the two sides taking turns. Run it on the offscreen platform (the default here):
//
//   build/bench/vaultrane_view_bench
//
// The proxy's box table on standard output goes to /dev/null while timing.
//
// VAULTRANE_BENCH_CLICKS_ONLY=1 runs the two clicks alone.
//
// Measured on the 2-core build machine (ms, ours / minimal):
//   icon click        0 boxes  0.23 / 0.05 (before: 1.5 / 0.12, a settings
//                              file written at every click)
//   icon click    1,000 boxes  2.1–2.3 / 1.7 (1.27–1.31×; before: 1.8×)
//   table click   1,000 boxes  1.8–2.0 / 2.4–2.7 (0.70–0.76×)
//   icon reload   1,000 boxes  1.8–2.0 / 1.5–1.6  (1.15–1.27×; before: 22 / 3.2)
//   icon reload  10,000 boxes   15 / 10.5          (1.4–1.5×)
//   table reload 10,000 boxes  9–12 / 28–30        (0.3–0.4×)
//   start-up     10,000 boxes   17–18 / 13         (1.32–1.39×; before: 481 / 17)
#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxTabelHeaderView.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "Startup.h"
#include "Vaultrane.h"

#include "box_service.h"
#include "boxdouble.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QListWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const int kBoxCounts[] = {100, 1000, 10000};
const int kClickCounts[] = {0, 1000};
const QSize kListSize(765, 330);
const QSize kTableSize(745, 330);
const QSize kWindowSize(780, 560);
const QPoint kListPos(10, 170);
const int kListSpacing = 20;
const QSize kItemSize(70, 80);
const int kIconSize = 48;
const int kRowHeight = 28;
const int kColumnCount = 5;

// Every state a box can show, in turn.
const unsigned kStates[] = {
    BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_UNSHARED,
    BOX_FLAG_SELF | BOX_FLAG_PLAIN | BOX_FLAG_SHARED,
    BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED,
    BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_UNSHARED | BOX_FLAG_MOUNTED,
    BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED,
    BOX_FLAG_SELF | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED | BOX_FLAG_MOUNTED,
    BOX_FLAG_OTHER | BOX_FLAG_PLAIN | BOX_FLAG_SHARED,
    BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED,
    BOX_FLAG_OTHER | BOX_FLAG_ENCRYPTED | BOX_FLAG_SHARED | BOX_FLAG_MOUNTED,
};

void seedBoxes(int count)
{
    std::vector<BoxDouble::Box> boxes;
    boxes.reserve(count);
    for (int i = 0; i < count; ++i) {
        const unsigned flags = kStates[i % std::size(kStates)];
        const std::string owner = (flags & BOX_FLAG_OTHER) ? "anna" : "tester";
        char name[32];
        std::snprintf(name, sizeof name, "box-%05d", i);
        boxes.push_back({name, "/nonexistent/box/" + owner + "/" + name, owner, flags});
    }
    BoxDouble::reset();
    BoxDouble::setBoxes(boxes);
}

// Runs the posted work (delayed layouts, expose events) and paints `widget`
// at once, as the next frame would.
void settle(QWidget *widget)
{
    QCoreApplication::processEvents();
    widget->repaint();
}

// The processor time this thread spent on `work`: the machine this runs on
// is often shared, and time spent waiting for a processor is no cost of the
// code under test. On an idle machine it matches the wall-clock time.
double elapsedMs(const std::function<void()> &work)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
}

double fastest(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

struct Pair {
    double ours = 0;
    double minimal = 0;
};

// The fastest times of `ours` and `minimal`, run in turns after one warm-up
// each; `between` runs before each of them, off the clock. The fastest run is
// the one least disturbed by other work on the machine.
Pair timeBoth(int runs, const std::function<void()> &ours, const std::function<void()> &minimal,
              const std::function<void()> &between = [] {})
{
    between();
    ours();
    between();
    minimal();
    std::vector<double> oursMs, minimalMs;
    for (int run = 0; run < runs; ++run) {
        between();
        oursMs.push_back(elapsedMs(ours));
        between();
        minimalMs.push_back(elapsedMs(minimal));
    }
    return {fastest(oursMs), fastest(minimalMs)};
}

int runsFor(int boxCount) { return boxCount >= 10000 ? 9 : 25; }

// ---- the minimal program ---------------------------------------------------

struct MinimalBox {
    QString name;
    QString path;
    QString owner;
    BoxInfo state; // only the four state fields, to pick the same icon
};

std::vector<MinimalBox> fetchBoxes()
{
    box_info *head = nullptr;
    std::vector<MinimalBox> boxes;
    if (box_get_list(0xFF, &head) < 0)
        return boxes;
    for (const box_info *node = head; node; node = node->next) {
        MinimalBox box;
        box.name = QString::fromUtf8(node->name);
        box.path = QString::fromUtf8(node->path);
        box.owner = QString::fromUtf8(node->owner);
        box.state.shared = (node->flags & BOX_FLAG_SHARED) != 0;
        box.state.encrypted = (node->flags & BOX_FLAG_ENCRYPTED) != 0;
        box.state.fromOther = (node->flags & BOX_FLAG_OTHER) != 0;
        box.state.mounted = (node->flags & BOX_FLAG_MOUNTED) != 0;
        boxes.push_back(box);
    }
    box_info_list_destroy(head);
    return boxes;
}

class MinimalIcons
{
public:
    const QIcon &icon(const QString &path)
    {
        auto it = m_icons.find(path);
        if (it == m_icons.end())
            it = m_icons.insert(path, QIcon(QPixmap(path)));
        return *it;
    }

private:
    QHash<QString, QIcon> m_icons;
};

void setUpIconList(QListWidget *list)
{
    list->setIconSize(QSize(kIconSize, kIconSize));
    list->setViewMode(QListView::IconMode);
    list->setResizeMode(QListView::Adjust);
    list->setSpacing(kListSpacing);
    list->setFixedSize(kListSize);
}

void fillIconList(QListWidget *list, MinimalIcons &icons)
{
    list->clear();
    for (const MinimalBox &box : fetchBoxes()) {
        auto *item = new QListWidgetItem(icons.icon(BoxListWidget::boxIcon48(box.state)), box.name);
        item->setSizeHint(kItemSize);
        item->setToolTip(box.path);
        list->addItem(item);
    }
}

void fillTable(QStandardItemModel *model, MinimalIcons &icons)
{
    model->removeRows(0, model->rowCount());
    const QString yes = QStringLiteral("是");
    const QString no = QStringLiteral("否");
    for (const MinimalBox &box : fetchBoxes()) {
        QList<QStandardItem *> row;
        row << new QStandardItem(icons.icon(BoxItemDelegate::boxIcon16(box.state)), box.name)
            << new QStandardItem(box.state.encrypted ? yes : no)
            << new QStandardItem(box.state.shared ? yes : no)
            << new QStandardItem(box.state.fromOther ? box.owner : QStringLiteral("本人创建"))
            << new QStandardItem();
        model->appendRow(row);
    }
}

// ---- the three measures ----------------------------------------------------

Pair iconReload(int boxCount)
{
    BoxListWidget ours(nullptr);
    ours.setFixedSize(kListSize);
    ours.show();

    QListWidget minimal;
    setUpIconList(&minimal);
    minimal.show();
    MinimalIcons icons;

    return timeBoth(runsFor(boxCount),
                    [&] { ours.updateBoxList(); settle(&ours); },
                    [&] { fillIconList(&minimal, icons); settle(&minimal); });
}

Pair tableReload(int boxCount)
{
    // Set up as the main window sets up its table.
    BoxTableView ours(nullptr);
    BoxTableModel model(nullptr);
    BoxItemDelegate delegate(&model, nullptr);
    ours.setHorizontalHeader(new BoxTabelHeaderView(&ours));
    ours.setModel(&model);
    ours.setItemDelegate(&delegate);
    ours.verticalHeader()->hide();
    ours.verticalHeader()->setDefaultSectionSize(kRowHeight);
    ours.setShowGrid(false);
    ours.setFixedSize(kTableSize);
    ours.show();

    QTableView minimal;
    QStandardItemModel minimalModel(0, kColumnCount);
    minimal.setModel(&minimalModel);
    minimal.verticalHeader()->hide();
    minimal.verticalHeader()->setDefaultSectionSize(kRowHeight);
    minimal.setShowGrid(false);
    minimal.setFixedSize(kTableSize);
    minimal.show();
    MinimalIcons icons;

    return timeBoth(runsFor(boxCount),
                    [&] { model.refreshBoxList(); settle(&ours); },
                    [&] { fillTable(&minimalModel, icons); settle(&minimal); });
}

void showAndPaint(QWidget *window)
{
    window->show();
    settle(window);
    if (!window->windowHandle() || !window->windowHandle()->isExposed())
        std::fprintf(stderr, "warning: a window was not exposed after show()\n");
}

// The main window's display-mode buttons: the click runs the mode slot, which
// reloads the list through the box core and resets the selection; the clock
// stops after the repaint. The minimal program rebuilds a QListWidget (or the
// table) with the same boxes.
Pair iconClick(int boxCount)
{
    Vaultrane window;
    window.show();
    settle(&window);

    QListWidget minimal;
    setUpIconList(&minimal);
    minimal.show();
    MinimalIcons icons;

    return timeBoth(runsFor(boxCount),
                    [&] { window.slot_show_icon_mode(true); settle(&window); },
                    [&] { fillIconList(&minimal, icons); settle(&minimal); });
}

Pair tableClick(int boxCount)
{
    Vaultrane window;
    window.show();
    window.slot_show_table_mode(true);
    settle(&window);

    QTableView minimal;
    QStandardItemModel minimalModel(0, kColumnCount);
    minimal.setModel(&minimalModel);
    minimal.verticalHeader()->hide();
    minimal.verticalHeader()->setDefaultSectionSize(kRowHeight);
    minimal.setShowGrid(false);
    minimal.setFixedSize(kTableSize);
    minimal.show();
    MinimalIcons icons;

    return timeBoth(runsFor(boxCount),
                    [&] { window.slot_show_table_mode(true); settle(&window); },
                    [&] { fillTable(&minimalModel, icons); settle(&minimal); });
}

Pair startUp(int boxCount)
{
    std::unique_ptr<QWidget> window;
    auto ours = [&] {
        window = std::make_unique<Vaultrane>();
        showAndPaint(window.get());
    };
    auto minimal = [&] {
        window = std::make_unique<QWidget>();
        window->setFixedSize(kWindowSize);
        auto *list = new QListWidget(window.get());
        setUpIconList(list);
        list->move(kListPos);
        MinimalIcons icons;
        fillIconList(list, icons);
        showAndPaint(window.get());
    };
    // The last window goes before the next run starts the clock.
    auto closeWindow = [&] {
        window.reset();
        QCoreApplication::processEvents();
    };
    const Pair times = timeBoth(runsFor(boxCount), ours, minimal, closeWindow);
    closeWindow();
    return times;
}

// ---- report ----------------------------------------------------------------

FILE *g_report = stdout;

void printRow(const char *what, int boxCount, const Pair &times)
{
    std::fprintf(g_report, "%-13s %6d %10.2f %10.2f %7.2fx\n", what, boxCount, times.ours,
                 times.minimal, times.ours / times.minimal);
    std::fflush(g_report);
}

void printGrowth(const char *what, const Pair &at1000, const Pair &at10000)
{
    std::fprintf(g_report, "%-13s growth 1,000 -> 10,000 boxes: ours %.1fx, minimal %.1fx (linear: 10x)\n",
                 what, at10000.ours / at1000.ours, at10000.minimal / at1000.minimal);
}

// Keeps the report on the real standard output and sends everything else
// written there (the proxy's box tables) to /dev/null.
void silenceStdout()
{
    std::fflush(stdout);
    const int reportFd = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    if (reportFd < 0 || devNull < 0)
        return;
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
    if (FILE *report = fdopen(reportFd, "w"))
        g_report = report;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window remembers its display mode: in a folder of the run, never
    // in the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    loadStyleSheet("blue.css");
    silenceStdout();

    std::fprintf(g_report, "%-13s %6s %10s %10s %8s\n", "measure", "boxes", "ours ms", "minimal ms", "ratio");
    std::vector<Pair> icon, table, start;
    for (const int boxCount : kClickCounts) {
        seedBoxes(boxCount);
        printRow("icon click", boxCount, iconClick(boxCount));
        printRow("table click", boxCount, tableClick(boxCount));
    }
    if (qEnvironmentVariableIsSet("VAULTRANE_BENCH_CLICKS_ONLY"))
        return 0;
    for (const int boxCount : kBoxCounts) {
        seedBoxes(boxCount);
        icon.push_back(iconReload(boxCount));
        printRow("icon reload", boxCount, icon.back());
        table.push_back(tableReload(boxCount));
        printRow("table reload", boxCount, table.back());
        start.push_back(startUp(boxCount));
        printRow("start-up", boxCount, start.back());
    }
    printGrowth("icon reload", icon[1], icon[2]);
    printGrowth("table reload", table[1], table[2]);
    printGrowth("start-up", start[1], start[2]);
    return 0;
}
