// SPDX-License-Identifier: GPL-3.0-or-later
// The memory map window: where the memory of a link went. A strip per page draws the ranges to
// scale with their sections; a tree lists ranges, sections, the input sections of each object
// file, and symbols, with address, size, share and the change against the last build (or the
// pinned baseline). A double-click on a symbol or an object opens its source.
#include <QAbstractItemView>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/error.h"
#include "base/paths.h"
#include "binders.h"
#include "help/context_help.h"
#include "panels.h"
#include "shell/embedded.h"
#include "shell/open_at_line.h"
#include "tool_output/memory_model.h"
#include "tool_output/memory_report.h"

namespace halyard::gui {

namespace {

enum Column { NameCol, AddressCol, SizeCol, ShareCol, ChangeCol, NoteCol, Columns };
enum Role { SortRole = Qt::UserRole + 1, KindRole, IndexRole, ShareRole };
enum Kind { RangeRow, SectionRow, InputRow, SymbolRow, RemovedRow, GroupRow, LaterRow };
// A map with more symbols than this gets its symbol rows when an object is opened or the filter
// looks for them: a row costs memory and time, and a large map has hundreds of thousands.
constexpr size_t EagerSymbols = 20'000;

QString hex(std::uint64_t v) {
    return QString("%1h").arg(v, 4, 16, QLatin1Char('0')).toUpper().replace("H", "h");
}

// The share column of a range is its used/free bar, drawn by the desktop's style.
class ShareDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.data(KindRole).toInt() != RangeRow)
            return QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.minimum = 0;
        bar.maximum = 1000;
        bar.progress =
            static_cast<int>(std::lround(std::clamp(index.data(ShareRole).toDouble(), 0.0, 1.0) * 1000));
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.palette = option.palette;
        bar.state = option.state | QStyle::State_Horizontal;
        const QWidget* w = option.widget;
        (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ProgressBar, &bar, painter, w);
    }
};

// One row per page: its ranges side by side, each as wide as its share of the page's length, its
// sections drawn where they lie in it.
class MemoryStrip : public QWidget {
public:
    explicit MemoryStrip(QWidget* parent) : QWidget(parent) {
        setObjectName("MemoryStrip");
        setMouseTracking(true);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    std::function<void(int range)> onRangeClicked;

    void show(const MemoryModel* m) {
        model_ = m;
        pages_.clear();
        if (m)
            for (const MemoryUse& r : m->ranges)
                if (std::find(pages_.begin(), pages_.end(), r.page) == pages_.end()) pages_.push_back(r.page);
        std::sort(pages_.begin(), pages_.end());
        setFixedHeight(std::max<int>(1, static_cast<int>(pages_.size())) * RowHeight + 4);
        update();
    }
    // Where each range is drawn, for tests and for the mouse.
    struct Box {
        int range;
        QRect rect;
    };
    std::vector<Box> boxes() const {
        std::vector<Box> out;
        if (!model_) return out;
        const int labelWidth = fontMetrics().horizontalAdvance("Page 00") + 8;
        for (size_t p = 0; p < pages_.size(); ++p) {
            std::vector<int> ranges;
            std::uint64_t total = 0;
            for (size_t k = 0; k < model_->ranges.size(); ++k)
                if (model_->ranges[k].page == pages_[p]) {
                    ranges.push_back(static_cast<int>(k));
                    total += model_->ranges[k].length;
                }
            std::sort(ranges.begin(), ranges.end(),
                      [&](int a, int b) { return model_->ranges[a].origin < model_->ranges[b].origin; });
            const int width = std::max(10, this->width() - labelWidth - 4);
            // A small range still gets a few pixels, taken from the large ones.
            constexpr int MinWidth = 6;
            const int spare = width - MinWidth * static_cast<int>(ranges.size());
            int x = labelWidth;
            for (int k : ranges) {
                const double share =
                    total ? static_cast<double>(model_->ranges[k].length) / static_cast<double>(total) : 0;
                const int w = MinWidth + static_cast<int>(std::max(0, spare) * share);
                out.push_back({k, QRect(x, 2 + static_cast<int>(p) * RowHeight, w - 1, RowHeight - 4)});
                x += w;
            }
        }
        return out;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        if (!model_ || pages_.empty()) {
            p.setPen(pal.color(QPalette::PlaceholderText));
            p.drawText(rect(), Qt::AlignCenter, "No memory configuration");
            return;
        }
        const int labelWidth = fontMetrics().horizontalAdvance("Page 00") + 8;
        for (size_t k = 0; k < pages_.size(); ++k) {
            p.setPen(pal.color(QPalette::WindowText));
            p.drawText(QRect(0, 2 + static_cast<int>(k) * RowHeight, labelWidth, RowHeight - 4),
                       Qt::AlignVCenter | Qt::AlignLeft, QString("Page %1").arg(pages_[k]));
        }
        const QColor code = pal.color(QPalette::Highlight);
        const QColor data = code.lighter(150);
        for (const Box& b : boxes()) {
            const MemoryUse& r = model_->ranges[static_cast<size_t>(b.range)];
            p.fillRect(b.rect, pal.color(QPalette::Base));
            for (const MapSection& s : model_->sections) {
                if (s.range != b.range || s.size == 0 || r.length == 0) continue;
                const double from = static_cast<double>(s.load - r.origin) / static_cast<double>(r.length);
                const double size = static_cast<double>(s.size) / static_cast<double>(r.length);
                QRect part(b.rect.left() + static_cast<int>(from * b.rect.width()), b.rect.top(),
                           std::max(1, static_cast<int>(std::ceil(size * b.rect.width()))), b.rect.height());
                p.fillRect(part.intersected(b.rect), s.name == ".text" ? code : data);
            }
            p.setPen(pal.color(QPalette::Mid));
            p.drawRect(b.rect);
            const QString name = QString::fromStdString(r.name);
            if (fontMetrics().horizontalAdvance(name) + 4 < b.rect.width()) {
                p.setPen(pal.color(QPalette::Text));
                p.drawText(b.rect.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, name);
            }
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const int k = rangeAt(event->position().toPoint());
        if (k < 0) return QToolTip::hideText();
        const MemoryUse& r = model_->ranges[static_cast<size_t>(k)];
        QString tip =
            QString("%1: origin %2, length %3, used %4 (%5 %)")
                .arg(QString::fromStdString(r.name), hex(r.origin), hex(r.length), hex(r.used))
                .arg(r.length ? 100.0 * static_cast<double>(r.used) / static_cast<double>(r.length) : 0, 0,
                     'f', 1);
        for (const MapSection& s : model_->sections)
            if (s.range == k && s.size > 0)
                tip += QString("\n%1  %2  %3 bytes")
                           .arg(QString::fromStdString(s.name), hex(s.load))
                           .arg(s.size);
        QToolTip::showText(event->globalPosition().toPoint(), tip, this);
    }
    void mousePressEvent(QMouseEvent* event) override {
        const int k = rangeAt(event->position().toPoint());
        if (k >= 0 && onRangeClicked) onRangeClicked(k);
    }

private:
    static constexpr int RowHeight = 26;
    int rangeAt(QPoint at) const {
        for (const Box& b : boxes())
            if (b.rect.contains(at)) return b.range;
        return -1;
    }
    const MemoryModel* model_ = nullptr;
    std::vector<int> pages_;
};

// Filters by name while keeping the rows above a match, and sorts by each column's own value.
class RowFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        const QVariant x = a.data(SortRole), y = b.data(SortRole);
        if (x.typeId() == QMetaType::QString || y.typeId() == QMetaType::QString)
            return QString::compare(x.toString(), y.toString(), Qt::CaseInsensitive) < 0;
        return x.toDouble() < y.toDouble();
    }
};

class MemoryView : public QWidget {
public:
    MemoryView(TEmbedded& e, QMainWindow* main) : QWidget(main, Qt::Window), e_(e), main_(main) {
        setObjectName("MemoryMap");
        setWindowTitle("Memory Map");
        setHelpTopic(this, HelpTopic::MemoryMap);
        auto* layout = new QVBoxLayout(this);
        auto* top = new QHBoxLayout;
        filter_ = new QLineEdit(this);
        filter_->setObjectName("MemoryFilter");
        filter_->setPlaceholderText("Filter by name");
        filter_->setClearButtonEnabled(true);
        auto* open = new QPushButton("Open map file...", this);
        open->setObjectName("MemoryOpenMap");
        open->setToolTip("Show any map file, not only the project's");
        pin_ = new QPushButton("Pin as baseline", this);
        pin_->setObjectName("MemoryPin");
        pin_->setToolTip("Compare later builds with this one instead of the build before each");
        auto* reload = new QPushButton("Project map", this);
        reload->setObjectName("MemoryProjectMap");
        reload->setToolTip("Show the map of the project's last link again");
        top->addWidget(filter_, 1);
        top->addWidget(reload);
        top->addWidget(open);
        top->addWidget(pin_);
        layout->addLayout(top);
        file_ = new QLabel(this);
        file_->setObjectName("MemoryMapFile");
        file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        file_->setWordWrap(true);
        layout->addWidget(file_);
        strip_ = new MemoryStrip(this);
        layout->addWidget(strip_);
        change_ = new QLabel(this);
        change_->setObjectName("MemoryChange");
        layout->addWidget(change_);
        items_ = new QStandardItemModel(0, Columns, this);
        items_->setHorizontalHeaderLabels({"Name", "Address", "Size", "Share", "Change", "Note"});
        proxy_ = new RowFilter(this);
        proxy_->setSourceModel(items_);
        proxy_->setRecursiveFilteringEnabled(true);
        proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
        proxy_->setFilterKeyColumn(NameCol);
        proxy_->setSortRole(SortRole);
        tree_ = new QTreeView(this);
        tree_->setObjectName("MemoryTree");
        tree_->setModel(proxy_);
        tree_->setItemDelegateForColumn(ShareCol, new ShareDelegate(tree_));
        tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree_->setUniformRowHeights(true);
        tree_->setAlternatingRowColors(true);
        tree_->setSortingEnabled(true);
        tree_->sortByColumn(AddressCol, Qt::AscendingOrder);
        tree_->setExpandsOnDoubleClick(true);
        layout->addWidget(tree_, 1);
        resize(800, 560);

        connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
            if (index.data(KindRole).toInt() != InputRow) return;
            const auto k = static_cast<size_t>(index.data(IndexRole).toInt());
            if (QStandardItem* item = items_->itemFromIndex(proxy_->mapToSource(index));
                item && k < symbolsOf_.size())
                for (const auto& [at, range] : inputItems_[k])
                    if (at == item) addSymbols(item, k, range);
        });
        connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
            addSymbolsNamed(text);
            proxy_->setFilterFixedString(text);
            if (!text.isEmpty()) tree_->expandAll();
        });
        connect(open, &QPushButton::clicked, this, [this] { openMapFile(); });
        connect(reload, &QPushButton::clicked, this, [this] { showProject({}); });
        connect(pin_, &QPushButton::clicked, this, [this] { pinBaseline(); });
        connect(tree_, &QTreeView::activated, this, [this](const QModelIndex& index) { activate(index); });
        strip_->onRangeClicked = [this](int range) { select(range); };
    }

    // While it shows the project's map, a link that rewrote the map is shown at once.
    void refresh() {
        if (!isVisible() || !project_ || e_.buildOutput.running() || e_.buildOutput.mapFile().empty()) return;
        const auto written = e_.dd.lastWriteTime(e_.buildOutput.mapFile());
        if (e_.buildOutput.mapFile() == map_ && written == loaded_) return;
        const QModelIndex current = tree_->currentIndex();
        const std::string range = current.isValid() && current.data(KindRole).toInt() == RangeRow
                                      ? current.data().toString().toStdString()
                                      : std::string();
        load(e_.buildOutput.mapFile());
        select(range);
    }

    // The project's last link; its map as the present options name it when no link ran yet.
    void showProject(const std::string& range) {
        project_ = true;
        std::string map = e_.buildOutput.mapFile();
        if (map.empty()) map = e_.buildOutput.projectMapFile();
        output_ = e_.buildOutput.projectOutputFile();
        if (map.empty()) {
            clear("The project's link writes no map file: add -m with a file name to its linker options or "
                  "command file.");
        } else if (!e_.dd.fileExists(map)) {
            clear("No map file yet: " + map + " is written by the next link. Build the project.");
        } else {
            load(map);
        }
        select(range);
        present();
    }

    void openMapFile() {
        FileDialog d{"Open Map File", "Map files (*.map)|*.map|All files|*.*",
                     map_.empty() ? e_.CompSourceDir : ExtractFileDir(map_), "", "map"};
        const auto chosen = e_.ui.openFile(d);
        if (!chosen) return;
        // Another link's map: no snapshots of the project's to compare with.
        output_.clear();
        project_ = false;
        load(*chosen);
    }

    const MemoryModel& model() const { return model_; }

private:
    void present() {
        show();
        raise();
        activateWindow();
    }

    void clear(const std::string& why) {
        symbolsOf_.clear();
        inputItems_.clear();
        model_ = {};
        map_.clear();
        diff_.reset();
        file_->setText(qs(why));
        change_->clear();
        items_->removeRows(0, items_->rowCount());
        strip_->show(nullptr);
        pin_->setEnabled(false);
    }

    void load(const std::string& map) {
        MemoryModel m;
        if (!e_.run([&] { m = ReadMemoryModel(e_.dd.readLines(map)); })) return;
        model_ = std::move(m);
        map_ = map;
        loaded_ = e_.dd.lastWriteTime(map);
        diff_.reset();
        std::string since;
        if (!output_.empty()) {
            const SnapshotFiles f = SnapshotFilesOf(output_);
            const bool pinned = e_.dd.fileExists(f.baseline);
            const std::string against = pinned ? f.baseline : f.previous;
            std::optional<MemorySnapshot> before;
            if (e_.dd.fileExists(against)) e_.run([&] { before = ReadSnapshot(e_.dd.readBytes(against)); });
            if (before) {
                since = pinned ? "the baseline" : "the last build";
                diff_ = CompareMemory(*before, SnapshotOf(model_));
            }
            pin_->setEnabled(e_.dd.fileExists(f.current) || pinned);
            pin_->setText(pinned ? "Unpin baseline" : "Pin as baseline");
        } else {
            pin_->setEnabled(false);
        }
        QString text = qs(map);
        for (const auto& p : model_.problems)
            text += "\n" + qs(p);
        file_->setText(text);
        change_->setText(diff_ ? qs(ChangeSummary(*diff_, since))
                               : qs(output_.empty() ? std::string() : "No earlier build to compare with"));
        strip_->show(&model_);
        fill();
    }

    // Pins the last build's snapshot, or unpins the one pinned.
    void pinBaseline() {
        if (output_.empty()) return;
        const SnapshotFiles f = SnapshotFilesOf(output_);
        const bool pinned = e_.dd.fileExists(f.baseline);
        if (!e_.run([&] { PinBaseline(e_.dd, output_, pinned ? std::string() : f.current); })) return;
        e_.ui.inform(pinned ? "Every build is compared with the build before it again."
                            : "Later builds are compared with this one (" + f.baseline + ").");
        load(map_);
    }

    static QList<QStandardItem*> row(Kind kind, int index, const QString& name, const QVariant& address,
                                     std::uint64_t size, double share) {
        QList<QStandardItem*> cells;
        for (int c = 0; c < Columns; ++c) {
            auto* item = new QStandardItem;
            item->setData(kind, KindRole);
            item->setData(index, IndexRole);
            cells << item;
        }
        cells[NameCol]->setText(name);
        cells[NameCol]->setData(name, SortRole);
        if (address.isValid()) {
            cells[AddressCol]->setText(hex(address.toULongLong()));
            cells[AddressCol]->setData(address.toULongLong(), SortRole);
        }
        cells[SizeCol]->setText(QString::number(size));
        cells[SizeCol]->setData(static_cast<qulonglong>(size), SortRole);
        cells[SizeCol]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cells[ShareCol]->setText(QString::number(share * 100, 'f', 1) + " %");
        cells[ShareCol]->setData(share, ShareRole);
        cells[ShareCol]->setData(share, SortRole);
        cells[ChangeCol]->setData(0, SortRole);
        cells[ChangeCol]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (kind == GroupRow) {
            // Below the ranges in address order, with no numbers of its own.
            cells[AddressCol]->setData(QVariant::fromValue(~std::uint64_t{0}), SortRole);
            cells[SizeCol]->setText({});
            cells[ShareCol]->setText({});
        }
        return cells;
    }

    static void change(QList<QStandardItem*>& cells, std::int64_t delta, const QString& word = {}) {
        if (delta == 0 && word.isEmpty()) return;
        cells[ChangeCol]->setText((word.isEmpty() ? QString() : word + " ") + qs(SignedBytes(delta)));
        cells[ChangeCol]->setData(static_cast<qlonglong>(delta), SortRole);
    }

    void fill() {
        // Filled apart from the view, which then sorts and filters it once, not at every row.
        proxy_->setSourceModel(nullptr);
        items_->removeRows(0, items_->rowCount());
        std::vector<QStandardItem*> rangeItems;
        auto share = [&](std::uint64_t size, int range) {
            const std::uint64_t length = range >= 0 ? model_.ranges[static_cast<size_t>(range)].length : 0;
            return length ? static_cast<double>(size) / static_cast<double>(length) : 0.0;
        };
        for (size_t k = 0; k < model_.ranges.size(); ++k) {
            const MemoryUse& r = model_.ranges[k];
            auto cells = row(RangeRow, static_cast<int>(k), qs(r.name), QVariant::fromValue(r.origin), r.used,
                             r.length ? static_cast<double>(r.used) / static_cast<double>(r.length) : 0.0);
            cells[NoteCol]->setText(QString("page %1, length %2, %3 bytes free%4")
                                        .arg(r.page)
                                        .arg(hex(r.length))
                                        .arg(r.free())
                                        .arg(r.nearlyFull() ? ", over 90 %" : ""));
            if (diff_) change(cells, diff_->range(r.name, r.page));
            items_->appendRow(cells);
            rangeItems.push_back(cells[NameCol]);
        }
        QStandardItem* outside = nullptr;
        auto parentOf = [&](int range) {
            if (range >= 0) return rangeItems[static_cast<size_t>(range)];
            if (!outside) {
                auto cells = row(GroupRow, -1, "(in no range)", {}, 0, 0);
                items_->appendRow(cells);
                outside = cells[NameCol];
            }
            return outside;
        };
        // Symbols by input section, in address order.
        symbolsOf_.assign(model_.inputs.size(), {});
        inputItems_.assign(model_.inputs.size(), {});
        for (size_t k = 0; k < model_.symbols.size(); ++k)
            if (model_.symbols[k].input >= 0)
                symbolsOf_[static_cast<size_t>(model_.symbols[k].input)].push_back(k);
        for (size_t k = 0; k < model_.sections.size(); ++k) {
            const MapSection& s = model_.sections[k];
            // A section that runs in another range than it loads in is listed in both.
            for (int pass = 0; pass < 2; ++pass) {
                const int range = pass == 0 ? s.range : s.runRange;
                if (pass == 1 && range < 0) continue;
                const bool runs = pass == 1;
                const std::uint64_t at = runs ? s.run : s.load;
                auto cells = row(SectionRow, static_cast<int>(k), qs(s.name), QVariant::fromValue(at), s.size,
                                 share(s.size, range));
                QString note = qs(s.attributes);
                if (s.run != s.load)
                    note += (note.isEmpty() ? "" : ", ") +
                            (runs ? QString("runs here, loads at %1").arg(hex(s.load))
                                  : QString("runs at %1").arg(hex(s.run)));
                cells[NoteCol]->setText(note);
                if (diff_) change(cells, diff_->section(s.name));
                parentOf(range)->appendRow(cells);
                addInputs(cells[NameCol], s, range);
            }
        }
        if (diff_) addRemoved();
        addSymbolsNamed(filter_->text());
        proxy_->setSourceModel(items_);
        tree_->collapseAll();
        for (int r = 0; r < proxy_->rowCount(); ++r)
            tree_->expand(proxy_->index(r, 0));
        for (int c = 0; c < Columns; ++c)
            tree_->resizeColumnToContents(c);
        // Room for the deepest rows' names too, which are folded away now; a window of 800 pixels
        // still shows every column.
        int widest = 0;
        const QFontMetrics metrics(tree_->font());
        for (const auto& in : model_.inputs)
            widest = std::max(widest, metrics.horizontalAdvance(qs(in.origin())));
        for (const auto& sym : model_.symbols)
            widest = std::max(widest, metrics.horizontalAdvance(qs(sym.name)));
        tree_->setColumnWidth(NameCol, std::clamp(widest + 4 * tree_->indentation() + 8, 160, 300));
        tree_->setColumnWidth(ShareCol, std::max(tree_->columnWidth(ShareCol), 110));
    }

    void addInputs(QStandardItem* section, const MapSection& s, int range) {
        auto share = [&](std::uint64_t size) {
            const std::uint64_t length = range >= 0 ? model_.ranges[static_cast<size_t>(range)].length : 0;
            return length ? static_cast<double>(size) / static_cast<double>(length) : 0.0;
        };
        for (size_t k = s.firstInput; k < s.firstInput + s.inputCount; ++k) {
            const MapInput& in = model_.inputs[k];
            const QString name = in.hole ? QString("--HOLE--") : qs(in.origin());
            auto cells = row(InputRow, static_cast<int>(k), name, QVariant::fromValue(in.address), in.size,
                             share(in.size));
            cells[NoteCol]->setText(in.hole ? (in.fill.empty() ? QString() : "fill " + qs(in.fill))
                                            : qs(in.section));
            if (diff_ && !in.hole) change(cells, diff_->input(in.origin(), in.section));
            section->appendRow(cells);
            inputItems_[k].push_back({cells[NameCol], range});
            if (symbolsOf_[k].empty()) continue;
            if (model_.symbols.size() <= EagerSymbols)
                addSymbols(cells[NameCol], k, range);
            else {
                auto* later = new QStandardItem("(symbols)");
                later->setData(LaterRow, KindRole);
                cells[NameCol]->appendRow(later);
            }
        }
    }

    void addSymbols(QStandardItem* input, size_t k, int range) {
        if (input->rowCount() == 1 && input->child(0)->data(KindRole).toInt() == LaterRow)
            input->removeRow(0);
        if (input->rowCount() > 0) return;
        const std::uint64_t length = range >= 0 ? model_.ranges[static_cast<size_t>(range)].length : 0;
        for (size_t sym : symbolsOf_[k]) {
            const MapSymbol& m = model_.symbols[sym];
            auto symbol =
                row(SymbolRow, static_cast<int>(sym), qs(m.name), QVariant::fromValue(m.address), m.size,
                    length ? static_cast<double>(m.size) / static_cast<double>(length) : 0.0);
            symbol[NoteCol]->setText(m.sizeInferred ? "size inferred" : "");
            if (diff_) {
                if (const MemoryChange* c = diff_->symbolChange(m.name))
                    change(symbol, c->delta(), c->added ? "new" : QString());
            }
            input->appendRow(symbol);
        }
    }

    // Before the filter looks for a name, the symbol rows that hold it are made.
    void addSymbolsNamed(const QString& text) {
        if (text.isEmpty() || model_.symbols.size() <= EagerSymbols) return;
        const std::string wanted = text.toLower().toStdString();
        for (size_t k = 0; k < symbolsOf_.size(); ++k) {
            const bool holds = std::any_of(symbolsOf_[k].begin(), symbolsOf_[k].end(), [&](size_t sym) {
                std::string name = model_.symbols[sym].name;
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                return name.find(wanted) != std::string::npos;
            });
            if (holds)
                for (const auto& [item, range] : inputItems_[k])
                    addSymbols(item, k, range);
        }
    }

    void addRemoved() {
        QList<QStandardItem*> group;
        for (const MemoryChange& c : diff_->symbols) {
            if (!c.removed) continue;
            if (group.isEmpty()) {
                group = row(GroupRow, -1, "(removed symbols)", {}, 0, 0);
                items_->appendRow(group);
            }
            auto cells = row(RemovedRow, -1, qs(c.name), {}, static_cast<std::uint64_t>(c.before), 0);
            change(cells, c.delta(), "removed");
            group[NameCol]->appendRow(cells);
        }
    }

    void select(const std::string& range) {
        for (size_t k = 0; k < model_.ranges.size(); ++k)
            if (model_.ranges[k].name == range) return select(static_cast<int>(k));
    }
    void select(int range) {
        for (int r = 0; r < proxy_->rowCount(); ++r) {
            const QModelIndex i = proxy_->index(r, 0);
            if (i.data(KindRole).toInt() == RangeRow && i.data(IndexRole).toInt() == range) {
                tree_->setCurrentIndex(i);
                tree_->expand(i);
                tree_->scrollTo(i, QAbstractItemView::PositionAtTop);
            }
        }
    }

    void activate(const QModelIndex& index) {
        const QModelIndex name = index.siblingAtColumn(NameCol);
        const int kind = name.data(KindRole).toInt(), k = name.data(IndexRole).toInt();
        if (kind == SymbolRow || kind == RemovedRow) {
            openSymbol(name.data(Qt::DisplayRole).toString().toStdString());
        } else if (kind == InputRow && !model_.inputs[static_cast<size_t>(k)].hole) {
            openObject(model_.inputs[static_cast<size_t>(k)]);
        }
    }

    // The compiler puts "_" before a C name: the C name is looked for first, then the name itself.
    void openSymbol(const std::string& name) {
        std::vector<std::string> names;
        if (name.size() > 1 && name[0] == '_') names.push_back(name.substr(1));
        names.push_back(name);
        for (const auto& n : names)
            if (openDefinition(main_, n)) return;
        e_.ui.inform(symbolIndexBusy(main_) ? "The symbol index is still being made; try again in a moment."
                                            : "No definition of " + name + " was found in the project.");
    }

    // An object file's source: the project's file of the same name, or a file beside it.
    void openObject(const MapInput& in) {
        const std::string stem = [&] {
            std::string n = ExtractFileName(in.object);
            const size_t dot = n.rfind('.');
            return dot == std::string::npos ? n : n.substr(0, dot);
        }();
        for (const std::string& source : e_.ProjectListBox.items()) {
            std::string n = ExtractFileName(TrimRight(source));
            const size_t dot = n.rfind('.');
            if (SameText(dot == std::string::npos ? n : n.substr(0, dot), stem)) {
                OpenAtLine(e_, e_.dd.absolute(TrimRight(source)), 1);
                return;
            }
        }
        for (const char* ext : {".c", ".asm", ".s"}) {
            const std::string beside = AddTrailingBackslash(e_.CompSourceDir) + stem + ext;
            if (e_.dd.fileExists(beside)) {
                OpenAtLine(e_, beside, 1);
                return;
            }
        }
        e_.ui.inform("No source of " + in.origin() + " is in the project or in " +
                     RemoveTrailingBackslash(e_.CompSourceDir) + ".");
    }

    TEmbedded& e_;
    QMainWindow* main_;
    MemoryModel model_;
    std::optional<MemoryDiff> diff_;
    // Per input section: its symbols (indices into the model), and its rows with their range.
    std::vector<std::vector<size_t>> symbolsOf_;
    std::vector<std::vector<std::pair<QStandardItem*, int>>> inputItems_;
    std::string map_, output_;
    std::optional<std::filesystem::file_time_type> loaded_; // when the map shown was written
    bool project_ = false;                                  // the project's map, not one opened
    QLineEdit* filter_;
    QPushButton* pin_;
    QLabel *file_, *change_;
    MemoryStrip* strip_;
    QStandardItemModel* items_;
    RowFilter* proxy_;
    QTreeView* tree_;
};

} // namespace

void attachMemoryMap(TEmbedded& e, QMainWindow* window, QMdiArea*) {
    BuildOutput& out = e.buildOutput;
    auto* view = new MemoryView(e, window);
    view->hide();
    out.showMemoryMap = [view](const std::string& range) { view->showProject(range); };
    QObject::connect(view, &QObject::destroyed, [&out] { out.showMemoryMap = nullptr; });

    auto* action = new QAction(window);
    action->setObjectName("MemoryMap1");
    bind(action, out.MemoryMap1);
    window->addAction(action);
    for (QAction* a : window->menuBar()->actions())
        if (a->menu() && a->text().toStdString() == e.menu.Project1.caption()) a->menu()->addAction(action);

    // What the last link changed, beside the status panels.
    auto* note = new QLabel(window->statusBar());
    note->setObjectName("MemoryChangeNote");
    window->statusBar()->addPermanentWidget(note);
    auto sync = [&out, note, view](BuildOutput::Change c) {
        const QString text = qs(out.memoryChange());
        if (note->text() != text) note->setText(text);
        note->setVisible(!text.isEmpty());
        if (c == BuildOutput::Change::State) view->refresh();
    };
    sync(BuildOutput::Change::State);
    out.observe(sync);
}

} // namespace halyard::gui
