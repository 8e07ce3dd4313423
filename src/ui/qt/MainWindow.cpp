#include "ui/qt/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeView>

#include "startup/App.h"
#include "ui/qt/FocusOrder.h"
#include "ui/qt/Icons.h"
#include "ui/qt/StatusPanel.h"

namespace stowaway {

namespace {

// The tab control's strip is 20 pixels high, whatever the style would like.
class StripTabBar : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(StripHeight + 1);
        return size;
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

  public:
    static constexpr int StripHeight = 20;
};

}  // namespace

MainWindow::MainWindow(App& app, ViewHub& hub) : FormView(hub), app_(app) {
    MainForm& f = app_.FrmMain;
    setObjectName(ToQ(f.name()));
    setWindowIcon(ProgramIcon());
    // A fixed, dialog-style window: it can be minimised, not resized or maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    setStyleSheet(FrameStyleSheet);
    client_ = new QWidget(this);
    client_->setObjectName("ClientArea");
    client_->setFixedSize(MainForm::ClientWidth, MainForm::ClientHeight);
    setCentralWidget(client_);
    setClientArea(client_);

    buildCrateStrip();
    buildTabs();
    buildCrateDataPage();

    // Page "Crate Options".
    add(f.FrmBackupLocation, true);
    add(f.Label1);
    add(f.CmdBrowseBackupLoacation);
    add(f.CmdDeleteBackup);
    add(f.TxtBackupLocation);
    add(f.FrmRestore, true);
    add(f.Label4);
    add(f.CmdBrowseRestore);
    add(f.TxtRestoreLocation);
    add(f.ChkOverwriteOlder);
    add(f.FrmCompressionLevel, true);
    // Its caption grows with the slider's suffix; it extends to the right inside
    // its frame rather than shrinking to an unreadable size.
    add(f.LblCompression)->setProperty("autoSize", true);
    add(f.HSlCompression);
    add(f.FrmCrateOptions, true);
    add(f.ChkUpdateOnly);
    add(f.ChkMultiDisk);

    // Page "Program Options".
    add(f.FrmPaths, true);
    add(f.Label2);
    add(f.CmdBrowseLogFile);
    add(f.TxtLogPath);
    add(f.Label3);
    add(f.CmdBrowseTxtViewer);
    add(f.TxtLogViewer);
    add(f.FrmGeneral, true);
    add(f.ChkArgumentEditing);
    add(f.ChkHideOutput);

    buildBottom();
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    OrderFocusChain(client_);

    // The window follows the form: its caption, and closing when the program ends.
    bind(
        {&f}, this,
        [this, &f] {
            setWindowTitle(ToQ(f.caption()));
            if (f.visible()) {
                if (!isVisible() && !closed_) {
                    shown_ = true;
                    show();
                }
            } else if (shown_ && !closed_) {
                closeFromProgram();
            }
        },
        false);
}

void MainWindow::buildCrateStrip() {
    MainForm& f = app_.FrmMain;
    add(f.FrmCrates, true);
    add(f.LstCrate);
    add(f.CmdBackup);
    add(f.CmdRestore);
    add(f.CmdDeleteCrate);
    add(f.CmdRenameCrate);
    add(f.Label5);
    add(f.TxtAddCrate);
    add(f.CmdAddCrate);
    add(f.TxtDebug);
}

void MainWindow::buildTabs() {
    MainForm& f = app_.FrmMain;
    auto* tabControl = new QWidget(client_);
    placeWidget(tabControl, f.SSTMain);
    const int width = f.SSTMain.place().width;
    const int height = f.SSTMain.place().height;
    const int strip = StripTabBar::StripHeight;
    // Each page is a panel below the strip; places inside are given from the tab
    // control's top-left, hence the offset of the strip.
    for (int i = 0; i < 3; ++i) {
        auto* page = new QFrame(tabControl);
        page->setObjectName(QString("Tab%1").arg(i));
        page->setFrameShape(QFrame::StyledPanel);
        page->setGeometry(0, strip, width, height - strip);
        page->setVisible(i == 0);
        pages_[i] = page;
        addContainer("Tab" + std::to_string(i), page, -strip);
    }
    tabs_ = new StripTabBar(tabControl);
    tabs_->setObjectName("SSTMainTabs");
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    for (const std::string& caption : f.SSTMain.captions()) tabs_->addTab(ToQ(caption));
    tabs_->setGeometry(0, 0, width, strip + 1);
    tabs_->raise();
    QObject::connect(tabs_, &QTabBar::currentChanged, [this, &f](int index) {
        for (int i = 0; i < 3; ++i) pages_[i]->setVisible(i == index);
        if (!updating() && index != f.SSTMain.tab()) forward([&] { f.SSTMain.click(index); });
    });
    bind({&f.SSTMain}, tabControl, [this, &f] {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(f.SSTMain.tab());
        for (int i = 0; i < 3; ++i) pages_[i]->setVisible(i == f.SSTMain.tab());
    });
}

void MainWindow::buildCrateDataPage() {
    MainForm& f = app_.FrmMain;

    auto* drives = new QComboBox(containerOf(f.DrvSelect.place()));
    placeWidget(drives, f.DrvSelect);
    QObject::connect(drives, &QComboBox::activated, [this, drives, &f](int index) {
        forward([&] { f.DrvSelect.setDrive(FromQ(drives->itemText(index))); });
    });
    bind({&f.DrvSelect}, drives, [drives, &f] {
        QStringList items;
        for (const std::string& drive : f.DrvSelect.drives()) items << ToQ(drive);
        QStringList shown;
        for (int i = 0; i < drives->count(); ++i) shown << drives->itemText(i);
        if (items != shown) {
            drives->clear();
            drives->addItems(items);
        }
        drives->setCurrentIndex(static_cast<int>(items.indexOf(ToQ(f.DrvSelect.drive()))));
        ApplyColours(drives, f.DrvSelect.colours());
    });

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folders_->setReadOnly(true);
    tree_ = new QTreeView(containerOf(f.DirSelect.place()));
    tree_->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) tree_->hideColumn(column);
    tree_->setHeaderHidden(true);
    // Deep folders scroll sideways instead of being cut short.
    tree_->setTextElideMode(Qt::ElideNone);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    placeWidget(tree_, f.DirSelect);
    QObject::connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged,
                     [this, &f](const QModelIndex& current) {
                         if (updating() || !current.isValid()) return;
                         const std::string path = FromQ(folders_->filePath(current));
                         forward([&] { f.DirSelect.setPath(path); });
                     });
    bind({&f.DirSelect, &f.DrvSelect}, tree_, [this, &f] {
        showFolder();
        ApplyColours(tree_, f.DirSelect.colours());
    });

    auto* files = new QListWidget(containerOf(f.FileSelect.place()));
    placeWidget(files, f.FileSelect);
    files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files->setUniformItemSizes(true);
    QObject::connect(files, &QListWidget::itemSelectionChanged, [this, files, &f] {
        forward([&] {
            for (int i = 0; i < files->count() && i < f.FileSelect.count(); ++i)
                f.FileSelect.setSelected(i, files->item(i)->isSelected());
            // The entry chosen last is the list's current file.
            const int current = files->currentRow();
            if (current >= 0 && current < f.FileSelect.count() &&
                files->item(current)->isSelected())
                f.FileSelect.setSelected(current, true);
        });
    });
    QObject::connect(files, &QListWidget::doubleClicked,
                     [this, &f] { forward([&] { f.FileSelect.doubleClick(); }); });
    bind({&f.FileSelect}, files, [files, &f] {
        bool same = files->count() == f.FileSelect.count();
        for (int i = 0; same && i < files->count(); ++i)
            same = files->item(i)->text() == ToQ(f.FileSelect.items()[static_cast<std::size_t>(i)]);
        if (!same) {
            files->clear();
            for (const std::string& name : f.FileSelect.items()) files->addItem(ToQ(name));
        }
        for (int i = 0; i < files->count(); ++i)
            files->item(i)->setSelected(f.FileSelect.selected(i));
        ApplyColours(files, f.FileSelect.colours());
    });

    add(f.ChkRecurse);
    add(f.CmdSelectDir);
    add(f.CmdDeSelectDir);
    add(f.CmdSelectFile);
    add(f.CmdDeSelectFile);
    add(f.LstDir);
    add(f.LstFile);
    add(f.ChkIncludeExclude);
    add(f.CmdIncludeExclude)->setProperty(WidestTextProperty, "Exclude");
    add(f.TxtDirWildcard);
    add(f.ChkDateIncludeExclude);
    add(f.CmdDateIncludeExclude)->setProperty(WidestTextProperty, "Before");
    add(f.TxtDateIncludeExclude)->setProperty(WidestTextProperty, "12/28/2026");
    add(f.TxtDateDirWildcard);
}

void MainWindow::showFolder() {
    const MainForm& f = app_.FrmMain;
    const std::string& path = f.DirSelect.path();
    const std::string& drive = f.DrvSelect.drive();
    std::string root = "/";
    if (!drive.empty() && path.rfind(drive, 0) == 0) root = drive;
    const QSignalBlocker blocker(tree_->selectionModel());
    folders_->setRootPath(ToQ(root));
    tree_->setRootIndex(folders_->index(ToQ(root)));
    if (path.empty()) return;
    const QModelIndex index = folders_->index(ToQ(path));
    if (!index.isValid()) return;
    tree_->setCurrentIndex(index);
    tree_->expand(index);
    tree_->scrollTo(index);
}

void MainWindow::buildBottom() {
    MainForm& f = app_.FrmMain;
    auto* status = new QStatusBar(client_);
    placeWidget(status, f.StBMain);
    status->setSizeGripEnabled(false);
    status->setContentsMargins(0, 0, 0, 0);
    auto* panel = new StatusPanel(status);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    // Placed by hand: the status bar's own layout leaves too little height for the text.
    panel->setGeometry(0, 0, status->width(), status->height());
    panel->setProperty(HeightOnlyProperty, true);
    bind({&f.StBMain}, status, [panel, &f] {
        panel->setStatus(ToQ(f.StBMain.panelText()));
        if (f.StBMain.panelWidth() > 0) panel->resize(f.StBMain.panelWidth() - 2, panel->height());
    });

    // The progress bar lies over the right end of the status bar, ending at the
    // client area's right edge.
    QWidget* bar = add(f.PrBMain);
    const Place& p = f.PrBMain.place();
    const Place& s = f.StBMain.place();
    bar->setGeometry(MainForm::ClientWidth - p.width, s.y, p.width, s.height);
    bar->raise();
}

void MainWindow::buildMenus() {
    for (MainForm::Menu& menu : app_.FrmMain.menus()) {
        QMenu* m = menuBar()->addMenu(ToQ(menu.title->caption()));
        m->setObjectName(ToQ(menu.title->name()));
        registerWidget(menu.title->name(), m);
        for (MenuItem* item : menu.items) {
            QAction* action = item->separator() ? m->addSeparator() : m->addAction(QString());
            action->setObjectName(ToQ(item->name()));
            if (!item->shortcut().empty()) {
                action->setShortcut(QKeySequence(ToQ(item->shortcut())));
                action->setShortcutContext(Qt::WindowShortcut);
                addAction(action);
            }
            QObject::connect(action, &QAction::triggered,
                             [this, item] { forward([item] { item->click(); }); });
            bind(
                {item}, m,
                [action, item] {
                    if (!item->separator()) action->setText(ToQ(item->caption()));
                    action->setEnabled(item->enabled());
                    action->setVisible(item->visible());
                },
                false);
        }
        MenuItem* title = menu.title;
        bind(
            {title}, m,
            [m, title] {
                m->setTitle(ToQ(title->caption()));
                m->menuAction()->setVisible(title->visible());
                m->setEnabled(title->enabled());
            },
            false);
    }
}

void MainWindow::closeFromProgram() {
    closingFromModel_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) return;
    closed_ = true;
    // The close box stores the shown Crate and saves; a close that the program
    // asked for (Exit) has done that already.
    if (!closingFromModel_) forward([this] { app_.FrmMain.close(); });
    if (onClosed) onClosed();
}

}  // namespace stowaway
