#include "devicetableview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

class tst_DeviceTableView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layoutSettings();
    void click_selectsWholeRows_ctrlAndShiftExtend();
    void doubleClick_opensNoEditorAndIsReported();
    void headerClick_sortsByThatColumn();
    void contextMenu_isHandedOutAsPopupOnly_data();
    void contextMenu_isHandedOutAsPopupOnly();
    void currentRowText_followsCurrentIndexNotSelection();

private:
    QPoint cellCenter(int row, int column) const
    {
        return view->visualRect(model->index(row, column)).center();
    }

    QStandardItemModel *model = nullptr;
    DeviceTableView *view = nullptr;
};

void tst_DeviceTableView::init()
{
    view = new DeviceTableView;
    model = new QStandardItemModel(0, 7, view);
    const QStringList names = { "delta", "alpha", "charlie", "bravo" };
    for (int row = 0; row < names.size(); ++row) {
        QList<QStandardItem *> items;
        for (int column = 0; column < 7; ++column)
            items << new QStandardItem(QStringLiteral("%1-%2").arg(names.at(row)).arg(column));
        model->appendRow(items);
    }
    view->setModel(model);
    view->resize(900, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void tst_DeviceTableView::cleanup()
{
    delete view;
    view = nullptr;
    model = nullptr;
}

void tst_DeviceTableView::layoutSettings()
{
    QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    // Rows are 20 pixels high unless the style's minimum section size is larger.
    const int rowHeight = qMax(20, view->verticalHeader()->minimumSectionSize());
    QCOMPARE(view->verticalHeader()->defaultSectionSize(), rowHeight);
    QCOMPARE(view->rowHeight(1), rowHeight);
    QCOMPARE(view->horizontalHeader()->defaultSectionSize(), 120);
    QVERIFY(view->horizontalHeader()->stretchLastSection());
    QCOMPARE(view->horizontalHeader()->defaultAlignment(), Qt::Alignment(Qt::AlignLeft));
    QVERIFY(view->isSortingEnabled());
    QVERIFY(view->verticalHeader()->isVisible());
    QVERIFY(view->horizontalHeader()->isVisible());
}

void tst_DeviceTableView::click_selectsWholeRows_ctrlAndShiftExtend()
{
    QWidget *viewport = view->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCenter(1, 4));
    QCOMPARE(view->selectionModel()->selectedIndexes().size(), 7);
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->selectionModel()->selectedRows().at(0).row(), 1);

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, cellCenter(3, 0));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, cellCenter(1, 2));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view->selectionModel()->selectedRows().at(0).row(), 3);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCenter(0, 3));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, cellCenter(2, 6));
    QModelIndexList rows = view->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, QModelIndexList({ model->index(0, 0), model->index(1, 0), model->index(2, 0) }));
}

void tst_DeviceTableView::doubleClick_opensNoEditorAndIsReported()
{
    QSignalSpy doubleClicked(view, &QAbstractItemView::doubleClicked);
    const QPoint at = cellCenter(2, 1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(doubleClicked.count(), 1);
    QCOMPARE(doubleClicked.at(0).at(0).toModelIndex(), model->index(2, 1));
    QVERIFY(!view->indexWidget(model->index(2, 1)));

    QTest::keyClick(view, Qt::Key_F2);
    QTest::keyClicks(view, "typed");
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(!view->indexWidget(model->index(2, 1)));
    QCOMPARE(model->item(2, 1)->text(), QStringLiteral("charlie-1"));
}

void tst_DeviceTableView::headerClick_sortsByThatColumn()
{
    QHeaderView *header = view->horizontalHeader();
    const QPoint section(header->sectionViewportPosition(3) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section);
    QStringList order;
    for (int row = 0; row < model->rowCount(); ++row)
        order << model->item(row, 3)->text();
    const bool ascending = header->sortIndicatorOrder() == Qt::AscendingOrder;
    QStringList sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (!ascending)
        std::reverse(sorted.begin(), sorted.end());
    QCOMPARE(order, sorted);
    QCOMPARE(header->sortIndicatorSection(), 3);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section);
    QCOMPARE(model->item(0, 3)->text(),
        ascending ? QStringLiteral("delta-3") : QStringLiteral("alpha-3"));
}

void tst_DeviceTableView::contextMenu_isHandedOutAsPopupOnly_data()
{
    QTest::addColumn<bool>("onRow");
    QTest::newRow("on a row") << true;
    QTest::newRow("below the rows") << false;
}

void tst_DeviceTableView::contextMenu_isHandedOutAsPopupOnly()
{
    QFETCH(bool, onRow);

    QPoint globalPos;
    int seen = 0;
    connect(view, &DeviceTableView::popup, this, [&](QContextMenuEvent *event) {
        ++seen;
        globalPos = event->globalPos();
    });
    const QPoint pos = onRow ? cellCenter(1, 2) : QPoint(20, view->viewport()->height() - 5);
    const QPoint global = view->viewport()->mapToGlobal(pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, global);
    QApplication::sendEvent(view->viewport(), &event);

    QCOMPARE(seen, 1);
    QCOMPARE(globalPos, global);
    QVERIFY(!QApplication::activePopupWidget());
}

void tst_DeviceTableView::currentRowText_followsCurrentIndexNotSelection()
{
    view->setCurrentIndex(QModelIndex());
    QVERIFY(view->currentRowText(3).isNull());

    view->selectionModel()->setCurrentIndex(model->index(2, 0), QItemSelectionModel::NoUpdate);
    view->selectionModel()->select(
        model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(view->currentRowText(3), QStringLiteral("charlie-3"));
    QCOMPARE(view->currentRowText(6), QStringLiteral("charlie-6"));
    QVERIFY(view->currentRowText(9).isEmpty());

    DeviceTableView empty;
    QVERIFY(empty.currentRowText(0).isNull());
}

QTEST_MAIN(tst_DeviceTableView)
#include "tst_devicetableview.moc"
