#include "mainwindow.h"

#include "datagram.h"
#include "devicefiltermodel.h"
#include "devicemodel.h"
#include "devicesteps.h"
#include "devicetableview.h"
#include "logindata.h"
#include "packettransceiver.h"
#include "platform.h"
#include "scancycle.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSizePolicy>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(new PacketTransceiver, parent)
{ }

MainWindow::MainWindow(PacketTransceiver *packetTransceiver, QWidget *parent)
    : QMainWindow(parent)
    , transceiver(packetTransceiver)
{
    setWindowIcon(QIcon(QStringLiteral(":/veltrano")));
    setWindowTitle(QStringLiteral("Quorvel Device Finder"));
    setContextMenuPolicy(Qt::NoContextMenu);

    transceiver->setParent(this);

    centralFrame = new QFrame(this);
    setCentralWidget(centralFrame);

    deviceModel = new DeviceModel(this);
    deviceView = new DeviceTableView(this);
    // The view sorts and filters only what it shows; the rows stay in deviceModel.
    filterModel = new DeviceFilterModel(this);
    filterModel->setSourceModel(deviceModel);
    deviceView->setModel(filterModel);
    deviceView->setAccessibleName(tr("Devices"));
    // These widths suit small fonts; a larger one widens a column until its
    // header and its widest text show whole: the longest host name (24
    // characters) and an IP address, both with the conflict mark beside them,
    // and a MAC address made of the font's widest hex digit.
    const QFontMetrics metrics = deviceView->fontMetrics();
    QChar widestDigit = QLatin1Char('0');
    for (const QChar digit : QStringLiteral("123456789ABCDEF")) {
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widestDigit))
            widestDigit = digit;
    }
    struct Column
    {
        int leastWidth;
        QString sample;
        bool mark;
    };
    const Column columns[] = { { 100, {}, false }, { 70, {}, false },
        { 130, QString(24, QLatin1Char('n')), true },
        { 120, QStringLiteral("255.255.255.255"), true }, { 70, {}, false },
        { 120, QString(2, widestDigit).append(QLatin1Char(':')).repeated(6).chopped(1), false },
        { 190, {}, false } };
    int widening = 0;
    for (int column = DeviceModel::ColumnDeviceName; column <= DeviceModel::ColumnStatus;
         ++column) {
        const Column &c = columns[column];
        widening += deviceView->fitColumn(column, c.leastWidth, c.sample, c.mark) - c.leastWidth;
    }

    auto *layout = new QVBoxLayout;
    layout->addWidget(deviceView);
    centralFrame->setLayout(layout);

    createActions();

    contextMenu = new QMenu(this);
    contextMenu->addAction(editAct);
    contextMenu->addAction(webAct);
    contextMenu->addSeparator();
    contextMenu->addAction(copyAct);
    contextMenu->addAction(exportAct);
    contextMenu->addSeparator();
    contextMenu->addAction(deletePasswordAct);

    toolBar = new QToolBar;
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addAction(scanAct);
    toolBar->addAction(editAct);
    toolBar->addAction(aboutAct);
    // Reached by Tab like any tool bar widget; the label names it for screen readers too.
    auto *selectorLabel = new QLabel(tr("Network interface"));
    selectorLabel->setContentsMargins(12, 0, 6, 0);
    interfaceSelector = new QComboBox;
    interfaceSelector->setObjectName(QStringLiteral("interfaceSelector"));
    interfaceSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    interfaceSelector->setAccessibleName(tr("Network interface"));
    interfaceSelector->setToolTip(tr("Network interface"));
    selectorLabel->setBuddy(interfaceSelector);
    toolBar->addWidget(selectorLabel);
    toolBar->addWidget(interfaceSelector);
    updateInterfaceSelector();
    // The filter at the far right.
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    filterEdit = new QLineEdit;
    filterEdit->setClearButtonEnabled(true);
    filterEdit->setMaximumWidth(filterEdit->fontMetrics().averageCharWidth() * 30);
    toolBar->addWidget(filterEdit);

    setActionTexts();

    addToolBar(toolBar);
    setStatusBar(new QStatusBar(this));
    // A widget of its own, so that action status tips still show over it for a moment.
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusBar()->addWidget(statusLabel, 1);
    setMinimumWidth(890 + widening);

    scanCycle = new ScanCycle(transceiver, deviceModel, this);

    updateActions();
    // A scan changes the table once a reply: the counts, and the commands of
    // a selected row that a reply completes, follow once the replies waiting
    // are in.
    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    refreshTimer->setInterval(0);
    connect(refreshTimer, &QTimer::timeout, this, [this] {
        updateActions();
        updateStatusSummary();
    });
    const auto tableChanged = [this] {
        if (!refreshTimer->isActive())
            refreshTimer->start();
    };
    for (const QAbstractItemModel *model : { static_cast<QAbstractItemModel *>(deviceModel),
             static_cast<QAbstractItemModel *>(filterModel) }) {
        connect(model, &QAbstractItemModel::rowsInserted, this, tableChanged);
        connect(model, &QAbstractItemModel::rowsRemoved, this, tableChanged);
        connect(model, &QAbstractItemModel::modelReset, this, tableChanged);
    }
    connect(deviceModel, &QAbstractItemModel::dataChanged, this, tableChanged);
    updateStatusSummary();
    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        filterModel->setFilterText(text);
        updateActions();
        updateStatusSummary();
    });
    // Escape in the filter: every row again, and back to the table.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), filterEdit);
    escape->setContext(Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        filterEdit->clear();
        deviceView->setFocus(Qt::ShortcutFocusReason);
    });
    deviceView->setFocus();

    DeviceSteps::connectModel(transceiver, deviceModel);
    // Queued, as the model's below: a request sent while replies are handed on
    // (the restart after a set reply) must not open a box in the middle of that.
    connect(transceiver, &PacketTransceiver::warningMessage, this, &MainWindow::onTranscvrWarning,
        Qt::QueuedConnection);
    connect(deviceView, &QAbstractItemView::doubleClicked, this, &MainWindow::edit);
    connect(deviceView, &DeviceTableView::popup, this, &MainWindow::deviceViewPopup);
    connect(deviceView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &MainWindow::updateActions);
    connect(deviceModel, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateActions);
    connect(scanCycle, &ScanCycle::checked, this, &MainWindow::checkDeviceCount);
    connect(deviceModel, &DeviceModel::fullChanged, this, &MainWindow::updateStatusSummary);
    connect(transceiver, &PacketTransceiver::interfacesChanged, this, [this] {
        updateInterfaceSelector();
        updateStatusSummary();
    });
    connect(interfaceSelector, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        // Entry 0 is the one in use already.
        if (index > 0
            && transceiver->selectInterfaceEntry(interfaceSelector->itemData(index).toString()))
            scan();
    });
    // Queued: the box opens once the device's reply has been dealt with.
    connect(deviceModel, &DeviceModel::warningMessage, this, &MainWindow::onTranscvrWarning,
        Qt::QueuedConnection);
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions()
{
    scanAct = new QAction(QIcon(QStringLiteral(":/scan")), QString(), this);
    connect(scanAct, &QAction::triggered, this, &MainWindow::scan);

    editAct = new QAction(QIcon(QStringLiteral(":/edit")), QString(), this);
    // The argument-less form: the view's current row.
    connect(editAct, &QAction::triggered, this, [this] { edit(); });

    aboutAct = new QAction(QIcon(QStringLiteral(":/about")), QString(), this);
    connect(aboutAct, &QAction::triggered, this, &MainWindow::about);

    webAct = new QAction(QIcon(QStringLiteral(":/web")), QString(), this);
    connect(webAct, &QAction::triggered, this, &MainWindow::launchBrowser);

    exportAct = new QAction(QIcon(QStringLiteral(":/exportconn")), QString(), this);
    connect(exportAct, &QAction::triggered, this, &MainWindow::exportConnectionsToXml);

    deletePasswordAct = new QAction(QIcon(QStringLiteral(":/trash")), QString(), this);
    connect(deletePasswordAct, &QAction::triggered, this, &MainWindow::deleteStoredPassword);

    filterAct = new QAction(this);
    connect(filterAct, &QAction::triggered, this, [this] {
        filterEdit->setFocus(Qt::ShortcutFocusReason);
        filterEdit->selectAll();
    });
    addAction(filterAct);

    // Only while the table has the focus: in the filter field Ctrl+C copies its text.
    copyAct = new QAction(this);
    copyAct->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAct, &QAction::triggered, this, &MainWindow::copySelectedRows);
    deviceView->addAction(copyAct);

    // Not in the tool bar, so the window itself carries their shortcuts.
    addAction(webAct);
    addAction(exportAct);
    addAction(deletePasswordAct);
}

void MainWindow::setActionTexts()
{
    scanAct->setText(tr("Scan / Refresh"));
    scanAct->setShortcut(QKeySequence(tr("F5")));
    scanAct->setStatusTip(tr("Detect and list devices in network"));
    scanAct->setToolTip(tr("Detect and list devices in network") + QStringLiteral(" [F5]"));

    editAct->setText(tr("Edit network settings"));
    editAct->setShortcut(QKeySequence(tr("Ctrl+E")));
    editAct->setStatusTip(tr("Edit currently selected device"));
    editAct->setToolTip(tr("Edit currently selected device") + QStringLiteral(" [Ctrl+E]"));

    aboutAct->setText(tr("About"));

    webAct->setText(tr("Open in web browser"));
    webAct->setShortcut(QKeySequence(tr("Ctrl+W")));
    webAct->setStatusTip(tr("Open currently selected device in a web browser (works only if device "
                            "is properly configured)"));
    webAct->setToolTip(tr("Open currently selected device in a web browser")
        + QStringLiteral(" [Ctrl+W]. Works only if device is properly configured."));

    exportAct->setText(tr("Export connection for Zet7"));
    exportAct->setShortcut(QKeySequence(tr("Ctrl+X")));
    exportAct->setStatusTip(tr("Export connections to a xml file for Zet7"));
    exportAct->setToolTip(
        tr("Export connections to a xml file for Zet7") + QStringLiteral(" [Ctrl+X]."));

    deletePasswordAct->setText(tr("Delete stored password"));
    deletePasswordAct->setShortcut(QKeySequence(tr("Del")));
    deletePasswordAct->setStatusTip(tr("Delete locally stored password for selected connections"));
    deletePasswordAct->setToolTip(
        tr("Delete locally stored password for selected connections") + QStringLiteral(" [Del]."));

    filterAct->setShortcut(QKeySequence(tr("Ctrl+F")));
    filterEdit->setPlaceholderText(tr("Filter (Ctrl+F)"));
    filterEdit->setAccessibleName(tr("Filter devices"));
    filterEdit->setToolTip(tr("Show only the devices with this text in a column or a mark"));
    // The clear button shows an icon alone.
    for (QToolButton *button : filterEdit->findChildren<QToolButton *>())
        button->setAccessibleName(tr("Clear filter"));

    copyAct->setText(tr("Copy"));
    copyAct->setShortcut(QKeySequence(tr("Ctrl+C")));
    copyAct->setStatusTip(tr("Copy the selected devices as text for a spreadsheet or a ticket"));
}

void MainWindow::updateActions()
{
    const QModelIndexList rows = selectedDevices(DeviceModel::ColumnIpAddress);
    int count = rows.count();
    const bool single = count == 1;
    bool editEnabled = single;
    bool webEnabled = single;
    bool deleteEnabled = single;

    for (const QModelIndex &ipIndex : rows) {
        const QString name
            = ipIndex.siblingAtColumn(DeviceModel::ColumnDeviceName).data().toString();
        if (ipIndex.data().isNull() || name.isEmpty()) {
            editEnabled = false;
            webEnabled = false;
            --count;
        } else if (name.startsWith(QLatin1String("QuorvelNET"))) {
            --count;
        }
        // Only a single row can enable it: Ctrl+A on thousands of rows reads no store.
        if (single
            && !hasLoginData(
                ipIndex.siblingAtColumn(DeviceModel::ColumnMacAddress).data().toString()))
            deleteEnabled = false;
    }

    editAct->setEnabled(editEnabled);
    webAct->setEnabled(webEnabled);
    exportAct->setEnabled(count != 0);
    deletePasswordAct->setEnabled(deleteEnabled);
    copyAct->setEnabled(!rows.isEmpty());
}

QModelIndex MainWindow::deviceIndex(const QModelIndex &viewIndex, int column) const
{
    if (viewIndex.model() != filterModel)
        return QModelIndex();
    return filterModel->mapToSource(viewIndex).siblingAtColumn(column);
}

QModelIndexList MainWindow::selectedDevices(int column) const
{
    QModelIndexList cells;
    for (const QModelIndex &row : deviceView->selectionModel()->selectedRows())
        cells << deviceIndex(row, column);
    return cells;
}

void MainWindow::copySelectedRows()
{
    if (deviceView->selectionModel()->hasSelection())
        QGuiApplication::clipboard()->setText(deviceView->selectedRowsText());
}

void MainWindow::deviceViewPopup(QContextMenuEvent *event)
{
    contextMenu->popup(event->globalPos());
}

void MainWindow::launchBrowser()
{
    const QModelIndexList selected = selectedDevices(DeviceModel::ColumnIpAddress);
    if (selected.size() != 1)
        return;
    // The text is the device's word: pasted into a URL, "1@evil.example" would
    // send the user to another host.
    const QString host = Datagram::canonicalIpv4(selected.first().data().toString());
    if (host.isNull())
        return;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPath(QStringLiteral("/index.cgi"));
    QDesktopServices::openUrl(url);
}

void MainWindow::deleteStoredPassword()
{
    const QMessageBox::StandardButton answer
        = QMessageBox::question(this, tr("Store deleted password"),
            tr("Do you really want to delete stored password for selected connections?"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton);
    if (answer != QMessageBox::Ok)
        return;

    const QModelIndexList rows = selectedDevices(DeviceModel::ColumnMacAddress);
    for (const QModelIndex &macIndex : rows) {
        const QString macAddress = macIndex.data().toString();
        if (hasLoginData(macAddress))
            removeLoginData(macAddress);
    }
    deletePasswordAct->setEnabled(false);
}

void MainWindow::moveToTop()
{
    const Qt::WindowFlags flags = windowFlags();
    setWindowFlags(flags | Qt::WindowStaysOnTopHint);
    show();
    setWindowFlags(flags);
    show();
}

void MainWindow::onTranscvrWarning(QString title, QString msg)
{
    QMessageBox::warning(this, title, msg, QMessageBox::Ok, QMessageBox::NoButton);
}

QStringList MainWindow::loadLoginData(QString macAddress)
{
    return LoginData::load(macAddress);
}

void MainWindow::updateInterfaceSelector()
{
    const QSignalBlocker blocker(interfaceSelector);
    interfaceSelector->clear();
    const QStringList entries = transceiver->interfaces();
    for (const QString &entry : entries)
        interfaceSelector->addItem(
            QStringLiteral("%1 (%2)").arg(
                PacketTransceiver::entryPart(entry, PacketTransceiver::EntryName),
                PacketTransceiver::entryPart(entry, PacketTransceiver::EntryAddress)),
            entry);
    interfaceSelector->setEnabled(!entries.isEmpty());
}

void MainWindow::updateStatusSummary()
{
    const QString entry = transceiver->interfaces().value(0);
    const QString name = PacketTransceiver::entryPart(entry, PacketTransceiver::EntryName);
    const QString ip = transceiver->localIpAddress();
    const QString full = deviceModel->isFull()
        ? QStringLiteral(", ") + tr("table full: further devices ignored until the next scan")
        : QString();
    const QLocale locale;
    // While a filter is set, how many rows it leaves.
    const QString shown = filterModel->filterText().isEmpty()
        ? QString()
        : tr(", %1 shown").arg(locale.toString(filterModel->rowCount()));
    // Until the check, the table is still filling.
    if (scanCycle->isRunning()) {
        statusLabel->setText((entry.isEmpty() ? tr("Scanning, no IPv4 network interface...")
                                              : tr("Scanning on %1 (%2)...").arg(name, ip))
            + shown + full);
        return;
    }
    const int rows = deviceModel->rowCount();
    const int incompleteCode = InformationIncomplete().code();
    int conflicts = 0;
    int incomplete = 0;
    for (int row = 0; row < rows; ++row) {
        // The model marks a conflict by the cell's tool tip.
        const auto marked = [this, row](int column) {
            return !deviceModel->index(row, column).data(Qt::ToolTipRole).toString().isEmpty();
        };
        if (marked(DeviceModel::ColumnIpAddress) || marked(DeviceModel::ColumnHostname))
            ++conflicts;
        if (deviceModel->index(row, DeviceModel::ColumnMacAddress)
                .data(DeviceModel::StatusCodeRole)
                .toInt()
            == incompleteCode)
            ++incomplete;
    }
    QString text;
    if (entry.isEmpty())
        text = rows == 1 ? tr("1 device, no IPv4 network interface")
                         : tr("%1 devices, no IPv4 network interface").arg(locale.toString(rows));
    else
        text = rows == 1 ? tr("1 device on %1 (%2)").arg(name, ip)
                         : tr("%1 devices on %2 (%3)").arg(locale.toString(rows), name, ip);
    text += shown;
    if (conflicts > 0)
        text += tr(", %1 with conflicts").arg(locale.toString(conflicts));
    if (incomplete > 0)
        text += tr(", %1 incomplete").arg(locale.toString(incomplete));
    statusLabel->setText(text + full);
}

void MainWindow::scan()
{
    transceiver->refreshInterfaces();
    if (!transceiver->bindSocket()) {
        QMessageBox::critical(this, tr("Scan devices"),
            tr("Could not bind socket! Please check if another application instance is already "
               "running!"),
            QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }

    scanCycle->start();
    updateStatusSummary();
}

void MainWindow::checkDeviceCount()
{
    // The cycle has marked what is still incomplete.
    updateStatusSummary();
    if (deviceModel->rowCount() > 0)
        return;

    const QStringList entries = transceiver->interfaces();
    QStringList names;
    for (const QString &entry : entries)
        names << PacketTransceiver::entryPart(entry, PacketTransceiver::EntryName);
    // Two addresses of one interface are no choice: the name picks the first.
    names.removeDuplicates();
    if (!isOlderWindows() && names.size() < 2) {
        QMessageBox::information(this, QStringLiteral("Quorvel Device Finder"),
            tr("No devices found!"), QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    const QString ipAddress = transceiver->localIpAddress();

    bool accepted = false;
    const QString name = QInputDialog::getItem(this, QStringLiteral("Scan/Refresh"),
        tr("No device replied on %1.<p>Try another network interface or cancel?").arg(ipAddress),
        names, 0, false, &accepted, Qt::WindowCloseButtonHint, Qt::ImhNone);
    if (!accepted)
        return;
    transceiver->selectInterface(name);
    scan();
}
