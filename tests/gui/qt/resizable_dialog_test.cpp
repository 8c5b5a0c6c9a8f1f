// The resizable dialog base on a small dialog shaped like the download
// dialog: what stretches, what keeps to the bottom edge, the grip, the
// designed size as minimum, and that a size change moves each control once;
// then the download dialog itself, registered as its table says.
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <map>

#include "gui/qt/download_dialog.h"
#include "gui/qt/resizable_dialog.h"

namespace zul::gui {

namespace {

constexpr QSize kDesigned(420, 300);

// Counts the geometry changes a widget goes through.
class GeometryCounter : public QObject {
public:
    int changes = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) ++changes;
        return false;
    }
};

// The download dialog's controls at fixed places, registered from its table.
class TestDialog : public CResizableDialog {
public:
    explicit TestDialog(bool horizontal = true, bool vertical = true) {
        const struct {
            int id;
            QWidget* widget;
            QRect rect;
        } controls[] = {
            {kApplicationFrameId, new QGroupBox(this), {10, 10, 300, 220}},
            {kApplicationListId, new QListWidget(this), {18, 30, 282, 190}},
            {kDownloadButtonId, new QPushButton("&Download", this), {320, 30, 80, 24}},
            {kCloseButtonId, new QPushButton("C&lose", this), {320, 60, 80, 24}},
            {kSetupComPortButtonId, new QPushButton("Setup &COM Port...", this), {320, 196, 90, 24}},
            {kWarningIconId, new QLabel(this), {12, 244, 32, 32}},
            {kWarningLabelId, new QLabel("WARNING:", this), {52, 246, 68, 14}},
            {kWarningTextId, new QLabel("Disable any screensavers before downloading!", this), {52, 262, 278, 14}},
        };
        for (const auto& c : controls) {
            c.widget->setGeometry(c.rect);
            byId[c.id] = c.widget;
        }
        unregistered = new QLabel("&Applications:", this);
        unregistered->setGeometry(18, 12, 100, 14);
        resize(kDesigned);
        InitDialog();
        SetResizable(horizontal, vertical);
        for (const LayoutRegistration& r : kDownloadDialogLayout)
            AddControl(r.controlId, byId.at(r.controlId), r.horizontal, r.vertical, r.excludeFromErase);
        byId[kSizeGripId] = sizeGrip();
    }
    std::map<int, QWidget*> byId;
    QLabel* unregistered;

    std::map<int, QRect> Geometries() const {
        std::map<int, QRect> g;
        for (const auto& [id, w] : byId) g[id] = w->geometry();
        return g;
    }
};

void ShowAt(QWidget& w, QPoint where) {
    w.move(where);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// A press on the grip and one move by `by`, as a mouse drag delivers them.
void DragGrip(QSizeGrip* grip, QPoint by) {
    const QPoint local(grip->width() / 2, grip->height() / 2);
    const QPoint global = grip->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &press);
    QMouseEvent move(QEvent::MouseMove, local + by, global + by, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + by, global + by, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(grip, &release);
}

QRect Shifted(const QRect& r, int dLeft, int dTop, int dRight, int dBottom) {
    return r.adjusted(dLeft, dTop, dRight, dBottom);
}

}  // namespace

class ResizableDialogTest : public QObject {
    Q_OBJECT
private slots:
    void gripSitsInTheCornerAndTheDesignedSizeIsTheMinimum() {
        TestDialog dialog;
        QCOMPARE(dialog.designedSize(), kDesigned);
        QCOMPARE(dialog.minimumSize(), kDesigned);
        QCOMPARE(dialog.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QSizeGrip* grip = dialog.sizeGrip();
        QVERIFY(grip != nullptr);
        QVERIFY(!grip->size().isEmpty());
        QCOMPARE(grip->geometry().bottomRight(), dialog.rect().bottomRight());
        const LayoutEntry* entry = dialog.controlLayout().Find(kSizeGripId);
        QVERIFY(entry != nullptr);
        QCOMPARE(entry->horizontal, EdgeMode::Move);
        QCOMPARE(entry->vertical, EdgeMode::Move);
        QVERIFY(entry->excludeFromErase);
        // Showing it keeps the designed size.
        ShowAt(dialog, {40, 40});
        QCOMPARE(dialog.size(), kDesigned);
        QVERIFY(grip->isVisible());
    }

    void dragFortyWiderThirtyTallerThroughTheGrip() {
        TestDialog dialog;
        ShowAt(dialog, {40, 40});
        const std::map<int, QRect> before = dialog.Geometries();
        const QRect label = dialog.unregistered->geometry();
        QSignalSpy batches(&dialog, &CResizableDialog::controlsMoved);

        DragGrip(dialog.sizeGrip(), {40, 30});
        QCOMPARE(dialog.size(), kDesigned + QSize(40, 30));

        const struct {
            int id;
            int dLeft, dTop, dRight, dBottom;
        } expected[] = {
            {kApplicationListId, 0, 0, 40, 30},   {kApplicationFrameId, 0, 0, 40, 30},
            {kDownloadButtonId, 0, 30, 0, 30},    {kCloseButtonId, 0, 30, 0, 30},
            {kSetupComPortButtonId, 0, 30, 0, 30}, {kWarningIconId, 0, 30, 0, 30},
            {kWarningLabelId, 0, 30, 0, 30},      {kWarningTextId, 0, 30, 0, 30},
            {kSizeGripId, 40, 30, 40, 30},
        };
        const std::map<int, QRect> after = dialog.Geometries();
        for (const auto& x : expected)
            QVERIFY2(after.at(x.id) == Shifted(before.at(x.id), x.dLeft, x.dTop, x.dRight, x.dBottom),
                     qPrintable(QString("control %1").arg(x.id)));
        QCOMPARE(dialog.sizeGrip()->geometry().bottomRight(), dialog.rect().bottomRight());
        QCOMPARE(dialog.unregistered->geometry(), label);
        QCOMPARE(batches.size(), 1);
        QCOMPARE(batches.at(0).at(0).toInt(), 9);
    }

    void smallerThanDesignedIsRefused() {
        TestDialog dialog;
        ShowAt(dialog, {40, 40});
        const std::map<int, QRect> designed = dialog.Geometries();
        QSignalSpy batches(&dialog, &CResizableDialog::controlsMoved);

        DragGrip(dialog.sizeGrip(), {-40, -30});
        QCOMPARE(dialog.size(), kDesigned);
        dialog.resize(kDesigned - QSize(1, 1));
        QCOMPARE(dialog.size(), kDesigned);
        QCOMPARE(batches.size(), 0);
        QVERIFY(dialog.Geometries() == designed);

        // Larger, then dragged back below the minimum: stops at the designed
        // size with every control back where it was designed.
        dialog.resize(kDesigned + QSize(60, 50));
        DragGrip(dialog.sizeGrip(), {-100, -100});
        QCOMPARE(dialog.size(), kDesigned);
        QVERIFY(dialog.Geometries() == designed);
    }

    void eachSizeChangeMovesEachControlOnceAndTheSameSizeNothing() {
        TestDialog dialog;
        ShowAt(dialog, {40, 40});
        std::map<int, GeometryCounter> counters;
        for (const auto& [id, w] : dialog.byId) w->installEventFilter(&counters[id]);
        QSignalSpy batches(&dialog, &CResizableDialog::controlsMoved);

        dialog.resize(kDesigned + QSize(40, 30));
        QCOMPARE(batches.size(), 1);
        for (const auto& [id, counter] : counters) {
            // Stretched controls get a resize, moved ones a move: one each.
            QVERIFY2(counter.changes == 1, qPrintable(QString("control %1: %2").arg(id).arg(counter.changes)));
        }

        const std::map<int, QRect> laidOut = dialog.Geometries();
        dialog.resize(kDesigned + QSize(40, 30));
        QResizeEvent same(dialog.size(), dialog.size());
        QApplication::sendEvent(&dialog, &same);
        QCOMPARE(batches.size(), 1);
        for (const auto& [id, counter] : counters) QCOMPARE(counter.changes, 1);
        QVERIFY(dialog.Geometries() == laidOut);

        // Only taller: the stretched controls grow, the bottom ones move,
        // nothing moves sideways.
        dialog.resize(kDesigned + QSize(40, 50));
        QCOMPARE(batches.size(), 2);
        const std::map<int, QRect> taller = dialog.Geometries();
        for (const auto& [id, r] : taller) {
            QCOMPARE(r.left(), laidOut.at(id).left());
            QCOMPARE(r.right(), laidOut.at(id).right());
            QCOMPARE(r.bottom(), laidOut.at(id).bottom() + 20);
        }
    }

    void growthTurnedOffKeepsTheDesignedWidth() {
        TestDialog dialog(false, true);
        QCOMPARE(dialog.maximumWidth(), kDesigned.width());
        QCOMPARE(dialog.maximumHeight(), QWIDGETSIZE_MAX);
        ShowAt(dialog, {40, 40});
        const QRect list = dialog.byId.at(kApplicationListId)->geometry();
        DragGrip(dialog.sizeGrip(), {40, 30});
        QCOMPARE(dialog.size(), kDesigned + QSize(0, 30));
        QCOMPARE(dialog.byId.at(kApplicationListId)->geometry(), list.adjusted(0, 0, 0, 30));

        TestDialog neither(false, false);
        QCOMPARE(neither.maximumSize(), kDesigned);
    }

    void aLayoutDesignsThePlacesAndThenLetsGo() {
        CResizableDialog dialog;
        auto* frame = new QGroupBox("Frame", &dialog);
        auto* list = new QListWidget(frame);
        auto* inner = new QVBoxLayout(frame);
        inner->addWidget(list);
        auto* ok = new QPushButton("OK", &dialog);
        auto* buttons = new QVBoxLayout;
        buttons->addStretch();
        buttons->addWidget(ok);
        auto* top = new QHBoxLayout(&dialog);
        top->addWidget(frame, 1);
        top->addLayout(buttons);
        const QSize hint = dialog.sizeHint();

        dialog.InitDialog();
        QVERIFY(dialog.layout() == nullptr);
        QCOMPARE(dialog.size(), hint);
        QCOMPARE(dialog.designedSize(), hint);
        // The layout put the controls side by side, the button at the bottom.
        QVERIFY(frame->geometry().right() < ok->geometry().left());
        QVERIFY(ok->geometry().bottom() > dialog.height() - 30);
        dialog.AddControl(1, frame, EdgeMode::Stretch, EdgeMode::Stretch);
        dialog.AddControl(2, ok, EdgeMode::Move, EdgeMode::Move);
        // A widget that is not inside the dialog is not registered.
        QWidget stranger;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("control 3 is not inside"));
        dialog.AddControl(3, &stranger, EdgeMode::Move, EdgeMode::Move);
        QVERIFY(dialog.Control(3) == nullptr);

        ShowAt(dialog, {40, 40});
        QCOMPARE(dialog.size(), hint);
        const QRect frameBefore = frame->geometry();
        const QRect okBefore = ok->geometry();
        const QRect listBefore = list->geometry();
        dialog.resize(hint + QSize(40, 30));
        QCOMPARE(frame->geometry(), frameBefore.adjusted(0, 0, 40, 30));
        QCOMPARE(ok->geometry(), okBefore.translated(40, 30));
        // The frame's own layout still fills it.
        QTRY_COMPARE(list->width(), listBefore.width() + 40);
    }

    void theDownloadDialogFollowsItsTable() {
        CDownloadDlg dialog(nullptr);
        // Registered as the table says, in its order, after the grip, each
        // entry at the place of the control it names.
        const std::vector<LayoutEntry>& entries = dialog.controlLayout().entries();
        QCOMPARE(entries.size(), std::size(kDownloadDialogLayout) + 1);
        QCOMPARE(entries[0].controlId, kSizeGripId);
        for (std::size_t i = 0; i < std::size(kDownloadDialogLayout); ++i) {
            const LayoutRegistration& want = kDownloadDialogLayout[i];
            const LayoutEntry& got = entries[i + 1];
            const QString where = QString("entry %1 (control %2)").arg(i + 1).arg(want.controlId);
            QVERIFY2(got.controlId == want.controlId, qPrintable(where));
            QVERIFY2(got.horizontal == want.horizontal && got.vertical == want.vertical, qPrintable(where));
            QVERIFY2(got.excludeFromErase == want.excludeFromErase, qPrintable(where));
            QWidget* control = dialog.control(want.controlId);
            QVERIFY2(control != nullptr && dialog.Control(want.controlId) == control, qPrintable(where));
            const QRect r = control->geometry();
            QVERIFY2((LayoutRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}) == got.rect, qPrintable(where));
        }

        ShowAt(dialog, {20, 20});
        const QSize designed = dialog.size();
        QCOMPARE(dialog.designedSize(), designed);
        QCOMPARE(dialog.minimumSize(), designed);
        QCOMPARE(dialog.sizeGrip()->geometry().bottomRight(), dialog.rect().bottomRight());
        std::map<int, QRect> before;
        for (const LayoutEntry& e : entries) before[e.controlId] = dialog.Control(e.controlId)->geometry();
        QWidget* listLabel = dialog.findChild<QWidget*>("listLabel");
        QVERIFY(listLabel != nullptr);
        const QRect label = listLabel->geometry();
        QSignalSpy batches(&dialog, &CResizableDialog::controlsMoved);

        DragGrip(dialog.sizeGrip(), {40, 30});
        QCOMPARE(dialog.size(), designed + QSize(40, 30));
        const struct {
            int id;
            int dLeft, dTop, dRight, dBottom;
        } expected[] = {
            {kApplicationListId, 0, 0, 40, 30},   {kApplicationFrameId, 0, 0, 40, 30},
            {kDownloadButtonId, 0, 30, 0, 30},    {kCloseButtonId, 0, 30, 0, 30},
            {kSetupComPortButtonId, 0, 30, 0, 30}, {kWarningIconId, 0, 30, 0, 30},
            {kWarningLabelId, 0, 30, 0, 30},      {kWarningTextId, 0, 30, 0, 30},
            {kSizeGripId, 40, 30, 40, 30},
        };
        for (const auto& x : expected)
            QVERIFY2(dialog.Control(x.id)->geometry() == Shifted(before.at(x.id), x.dLeft, x.dTop, x.dRight, x.dBottom),
                     qPrintable(QString("control %1").arg(x.id)));
        QCOMPARE(listLabel->geometry(), label);
        QCOMPARE(batches.size(), 1);

        // The same size again moves nothing; below the designed size is refused.
        dialog.resize(dialog.size());
        QResizeEvent same(dialog.size(), dialog.size());
        QApplication::sendEvent(&dialog, &same);
        QCOMPARE(batches.size(), 1);
        DragGrip(dialog.sizeGrip(), {-100, -100});
        QCOMPARE(dialog.size(), designed);
        for (const auto& [id, r] : before)
            QVERIFY2(dialog.Control(id)->geometry() == r, qPrintable(QString("control %1").arg(id)));
    }
};

}  // namespace zul::gui

QTEST_MAIN(zul::gui::ResizableDialogTest)
#include "resizable_dialog_test.moc"
