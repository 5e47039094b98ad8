// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "base/paths.h"
#include "binders.h"
#include "help/help_router.h"
#include "help/page_limits.h"
#include "qt_ui.h"

namespace halyard::gui {

namespace {

// A help popup closes the way tool tips and "What's This?" texts do: on any key, on a click inside
// or outside it, and when its window loses the activation. A popup takes every key and click of the
// program while it is open, and a plain label ignores both, which left Halyard deaf until another
// program's window was activated.
class HelpPopup final : public QLabel {
public:
    HelpPopup() : QLabel(nullptr, Qt::Popup) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
            event->ignore();
            return;
        default:
            event->accept();
            close();
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        close();
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowDeactivate && isVisible()) close();
        return QLabel::event(event);
    }
};

QUrl topicUrl(const QString& path) {
    QUrl url;
    url.setScheme("chm");
    const auto hash = path.indexOf('#');
    url.setPath(qs(NormaliseHelpPath(ss(hash < 0 ? path : path.left(hash)))));
    if (hash >= 0) url.setFragment(path.mid(hash + 1));
    return url;
}

QString decode(const std::string& bytes) {
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Older help files are written in the Windows code page rather than UTF-8.
    return text.contains(QChar::ReplacementCharacter)
               ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))
               : text;
}

// Keys that the index list understands while the edit above it keeps the focus.
class IndexKeys : public QObject {
public:
    IndexKeys(QLineEdit* edit, QListWidget* list) : QObject(edit), list_(list) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_PageUp && key != Qt::Key_PageDown)
            return false;
        QApplication::sendEvent(list_, event);
        return true;
    }

private:
    QListWidget* list_;
};

} // namespace

TopicBrowser::TopicBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName("Topic");
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TopicBrowser::follow);
}

void TopicBrowser::follow(const QUrl& link) {
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    const QString scheme = url.scheme().toLower();
    if (scheme == "chm") {
        setSource(url);
        return;
    }
    // A help file may come from anyone: its links reach the desktop only as the user agrees.
    if ((scheme == "http" || scheme == "https" || scheme == "mailto") && confirmOutside &&
        confirmOutside(url))
        QDesktopServices::openUrl(url);
}

QVariant TopicBrowser::loadResource(int type, const QUrl& name) {
    // An empty answer that still counts as one: on an invalid QVariant the document goes on to read
    // the URL from the disk itself, and a page naming file:///dev/zero would never finish loading.
    auto nothing = [type]() -> QVariant {
        if (type == QTextDocument::ImageResource) return QImage();
        if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
            return QString("");
        return QByteArray("");
    };
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    // Nothing outside the help file: no file: or other resources, whatever a page names.
    if (!reader_ || url.scheme() != "chm") return nothing();
    const auto bytes = reader_->read(ss(url.path()));
    if (reader_->state() == HelpReader::State::Damaged) {
        // Told once the page in hand is laid out: the window then drops the file's lists.
        QMetaObject::invokeMethod(this, &TopicBrowser::damaged, Qt::QueuedConnection);
        if (type == QTextDocument::HtmlResource)
            return QString("<h3>The help file is damaged</h3><p>%1.</p>")
                .arg(qs(reader_->problem()).toHtmlEscaped());
        return nothing();
    }
    if (!bytes) {
        if (type == QTextDocument::HtmlResource)
            return QString("<h3>Topic not found</h3><p>The help file holds no page %1.</p>")
                .arg(url.path().toHtmlEscaped());
        return nothing();
    }
    if (type == QTextDocument::ImageResource) return picture(*bytes);
    if (type == QTextDocument::StyleSheetResource)
        return bytes->size() > HelpPageLimits().pageBytes
                   ? QString("")
                   : QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()));
    // A new page: its pictures are counted from here.
    pictures_ = 0;
    pixels_ = 0;
    if (const auto why = CheckHelpPage(*bytes))
        return QString("<h3>This page cannot be shown</h3><p>%1</p>").arg(qs(*why).toHtmlEscaped());
    return decode(*bytes);
}

// Only a picture whose header tells its size, within the limits of one picture and of the page,
// is decoded; any other is left out as an empty one.
QImage TopicBrowser::picture(const std::string& bytes) {
    const HelpPageLimits limits;
    const auto size = PictureSize(bytes);
    if (!size || ++pictures_ > limits.pictures) return QImage();
    const std::uint64_t pixels = std::uint64_t(size->first) * size->second;
    if (pixels > limits.picturePixels || pixels_ + pixels > limits.pagePixels) return QImage();
    pixels_ += pixels;
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
}

HelpWindow::HelpWindow() {
    setObjectName("HelpWindow");
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(this);
    bar->setObjectName("HelpToolBar");
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back");
    back->setObjectName("Back");
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward");
    forward->setObjectName("Forward");
    back->setEnabled(false);
    forward->setEnabled(false);
    layout->addWidget(bar);

    auto* split = new QSplitter(this);
    tabs_ = new QTabWidget(split);
    tabs_->setObjectName("HelpNavigation");
    contents_ = new QTreeWidget(tabs_);
    contents_->setObjectName("Contents");
    contents_->setHeaderHidden(true);
    tabs_->addTab(contents_, "Contents");
    auto* indexPage = new QWidget(tabs_);
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->addWidget(new QLabel("Type in the keyword to find:", indexPage));
    indexEdit_ = new QLineEdit(indexPage);
    indexEdit_->setObjectName("IndexKeyword");
    indexLayout->addWidget(indexEdit_);
    index_ = new QListWidget(indexPage);
    index_->setObjectName("Index");
    indexLayout->addWidget(index_, 1);
    auto* display = new QPushButton("Display", indexPage);
    display->setObjectName("Display");
    indexLayout->addWidget(display, 0, Qt::AlignRight);
    tabs_->addTab(indexPage, "Index");
    topic_ = new TopicBrowser(split);
    split->addWidget(tabs_);
    split->addWidget(topic_);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 560});
    layout->addWidget(split, 1);

    connect(back, &QAction::triggered, topic_, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, topic_, &QTextBrowser::forward);
    connect(topic_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(topic_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, Qt::UserRole).toString();
        if (!local.isEmpty()) showTopic(local);
    });
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, Qt::UserRole).toString();
        if (!local.isEmpty()) showTopic(local);
    });
    connect(topic_, &QTextBrowser::sourceChanged, this, &HelpWindow::followInContents);
    connect(indexEdit_, &QLineEdit::textEdited, this, &HelpWindow::typeAhead);
    connect(indexEdit_, &QLineEdit::returnPressed, this, &HelpWindow::openIndexEntry);
    connect(index_, &QListWidget::itemActivated, this, &HelpWindow::openIndexEntry);
    connect(display, &QPushButton::clicked, this, &HelpWindow::openIndexEntry);
    indexEdit_->installEventFilter(new IndexKeys(indexEdit_, index_));
    resize(820, 600);
}

void HelpWindow::setFile(HelpReader* reader, const QString& name) {
    if (reader == reader_) return;
    reader_ = reader;
    topic_->setFile(reader);
    topic_->clearHistory();
    topic_->clear();
    setWindowTitle(reader && !reader->title().empty() ? qs(reader->title()) : name);
    contents_->clear();
    index_->clear();
    if (!reader) return;
    {
        std::vector<QTreeWidgetItem*> parents;
        for (const SitemapEntry& entry : reader->contents()) {
            const auto level = std::min<std::size_t>(static_cast<std::size_t>(entry.level), parents.size());
            parents.resize(level);
            auto* item =
                parents.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
            item->setText(0, qs(entry.name));
            item->setData(0, Qt::UserRole, qs(entry.local));
            parents.push_back(item);
        }
        contents_->expandToDepth(0);
    }
    for (const SitemapEntry& entry : reader->index()) {
        // The reader bounds the level too; this keeps the indent short whatever it says.
        const int indent = std::clamp(entry.level, 0, SitemapMaxLevel) * 4;
        auto* item = new QListWidgetItem(QString(indent, ' ') + qs(entry.name), index_);
        item->setData(Qt::UserRole, qs(entry.local));
    }
    if (reader->state() == HelpReader::State::Damaged) showDamaged(qs(reader->problem()));
}

void HelpWindow::showDamaged(const QString& why) {
    contents_->clear();
    index_->clear();
    topic_->clearHistory();
    topic_->setHtml(QString("<h3>The help file is damaged</h3><p>%1.</p>"
                            "<p>Halyard stopped reading it. Replace the file to see its help again.</p>")
                        .arg((why.left(1).toUpper() + why.mid(1)).toHtmlEscaped()));
}

void HelpWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

void HelpWindow::showTopic(const QString& path) {
    topic_->setSource(topicUrl(path));
}

void HelpWindow::followInContents(const QUrl& topic) {
    const std::string shown = NormaliseHelpPath(ss(topic.path()));
    for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
        const QString local = (*it)->data(0, Qt::UserRole).toString();
        if (local.isEmpty() || NormaliseHelpPath(ss(local.section('#', 0, 0))) != shown) continue;
        contents_->setCurrentItem(*it);
        contents_->scrollToItem(*it);
        return;
    }
    contents_->setCurrentItem(nullptr);
}

void HelpWindow::showContents() {
    tabs_->setCurrentWidget(contents_);
    if (topic_->source().isEmpty() && reader_ && reader_->state() == HelpReader::State::Good &&
        !reader_->defaultTopic().empty())
        showTopic(qs(reader_->defaultTopic()));
}

void HelpWindow::showIndex(const QString& keyword) {
    tabs_->setCurrentIndex(1);
    indexEdit_->setText(keyword);
    typeAhead(keyword);
    indexEdit_->setFocus();
}

void HelpWindow::typeAhead(const QString& text) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty()) return;
    for (int i = 0; i < index_->count(); ++i) {
        if (index_->item(i)->text().trimmed().startsWith(wanted, Qt::CaseInsensitive)) {
            index_->setCurrentRow(i);
            index_->scrollToItem(index_->item(i), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpWindow::openIndexEntry() {
    QListWidgetItem* item = index_->currentItem();
    if (!item) return;
    const QString local = item->data(Qt::UserRole).toString();
    if (!local.isEmpty()) showTopic(local);
}

QtHelpEngine::~QtHelpEngine() {
    delete window_.data();
    delete popup_.data();
}

HelpReader* QtHelpEngine::file(const std::string& windowsPath) {
    const std::filesystem::path host = dd_.toHost(windowsPath);
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(host, ec);
    if (!reader_ || !SameText(chmPath_, windowsPath) || ec || time != chmTime_) {
        if (window_) window_->setFile(nullptr, {});
        reader_.reset();
        chmPath_.clear();
        if (!ec && std::filesystem::is_regular_file(host, ec)) {
            reader_ = std::make_unique<HelpReader>(host);
            chmPath_ = windowsPath;
            chmTime_ = time;
        }
    }
    if (reader_ && reader_->open()) return reader_.get();
    if (reader_ && reportDamage()) return nullptr;
    if (reader_ && reader_->state() == HelpReader::State::NoReader)
        ui_.warn("Cannot show help from " + windowsPath + ":\r" + reader_->problem());
    else
        ui_.warn("Cannot open the help file " + windowsPath + "\rIt is missing or is no compiled help file.");
    return nullptr;
}

bool QtHelpEngine::reportDamage() {
    if (!reader_ || reader_->state() != HelpReader::State::Damaged) return false;
    if (window_) window_->showDamaged(qs(reader_->problem()));
    // Once for each request, however many of its steps found the damage.
    if (damageTold_) return true;
    damageTold_ = true;
    ui_.warn("The help file " + chmPath_ + " is damaged and cannot be shown:\r" + reader_->problem() + ".");
    return true;
}

HelpWindow* QtHelpEngine::showWindow() {
    if (!window_) {
        window_ = new HelpWindow;
        centreOnScreen(*window_); // not over the main window's corner, where the pages are
        // The reader lives while the window is open.
        QObject::connect(window_, &HelpWindow::closed, window_, [this] {
            if (reader_) reader_->stop();
        });
        window_->topic()->confirmOutside = [this](const QUrl& url) {
            return ui_.message(MsgKind::Confirmation,
                               "Open " + ss(url.toDisplayString()) +
                                   " outside Halyard?\rThe link comes from the help file.",
                               {Answer::Yes, Answer::No}) == Answer::Yes;
        };
        QObject::connect(window_->topic(), &TopicBrowser::damaged, window_, [this] { reportDamage(); });
    }
    window_->setFile(reader_.get(), qs(chmPath_));
    // While a modal dialog runs, only its own windows take input: the help window joins it and
    // leaves again when the dialog closes.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window_ && window_->parentWidget() != modal) {
        window_->setParent(modal, Qt::Window);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            QPointer<HelpWindow> w = window_;
            QObject::connect(dialog, &QDialog::finished, w, [w, dialog] {
                if (!w || w->parentWidget() != dialog) return;
                const bool shown = w->isVisible();
                w->setParent(nullptr, Qt::Window);
                if (shown) w->show();
            });
        }
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_;
}

void QtHelpEngine::showPopup(const QString& text, int x, int y) {
    if (!popup_) {
        popup_ = new HelpPopup;
        popup_->setObjectName("HelpPopup");
        popup_->setWordWrap(true);
        popup_->setTextFormat(Qt::PlainText);
        popup_->setFrameStyle(QFrame::Box | QFrame::Plain);
        popup_->setMargin(6);
        popup_->setAutoFillBackground(true);
        QPalette p = popup_->palette();
        p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
        p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
        popup_->setPalette(p);
    }
    popup_->setText(text);
    // As wide as the text up to a readable measure; the height then follows the wrapped lines.
    const int width = popup_->fontMetrics().horizontalAdvance(text) + 2 * popup_->margin() + 4;
    popup_->setFixedWidth(std::min(width, 360));
    popup_->adjustSize();
    QPoint at(x, y);
    if (QScreen* screen = QGuiApplication::screenAt(at) ? QGuiApplication::screenAt(at)
                                                        : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - popup_->width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - popup_->height())));
    }
    popup_->move(at);
    popup_->show();
}

int QtHelpEngine::HtmlHelp(WindowHandle, const std::optional<std::string>& fileName, int command,
                           const HtmlHelpData& data) {
    damageTold_ = false;
    if (command == HH_CLOSE_ALL) {
        if (window_) window_->close();
        if (popup_) popup_->close();
        return 1;
    }
    if (command == HH_DISPLAY_TEXT_POPUP && data.popup) {
        const HHPopup& p = *data.popup;
        if (p.text || !fileName) {
            showPopup(qs(p.text.value_or("")), p.x, p.y);
            return 1;
        }
        // "C:\Halyard\halyard.chm::/CSHelp.txt": the help file, then the popup topics file in it.
        const auto sep = fileName->find("::");
        HelpReader* reader = file(fileName->substr(0, sep));
        if (!reader) return 0;
        const std::string inner = sep == std::string::npos ? "/CSHelp.txt" : fileName->substr(sep + 2);
        const auto topics = ParsePopupTopics(reader->read(inner).value_or(""));
        if (reportDamage()) return 0;
        // A popup alone keeps no reader running.
        if (!window_ || !window_->isVisible()) reader->stop();
        const auto it = topics.find(p.idString);
        showPopup(it != topics.end() ? qs(it->second)
                                     : QString("No Help topic is associated with this item."),
                  p.x, p.y);
        return 1;
    }
    if (!fileName) return 0;
    HelpReader* reader = file(*fileName);
    if (!reader) return 0;
    switch (command) {
    case HH_DISPLAY_TOC:
        showWindow()->showContents();
        return reportDamage() ? 0 : 1;
    case HH_DISPLAY_INDEX:
        showWindow()->showIndex(qs(data.keyword));
        return reportDamage() ? 0 : 1;
    case HH_HELP_CONTEXT: {
        const auto topic = reader->topicForContext(static_cast<std::uint32_t>(data.number));
        if (reportDamage()) return 0;
        if (!topic) {
            ui_.warn("Help topic " + std::to_string(data.number) + " is not in the help file " + *fileName +
                     ".");
            return 0;
        }
        showWindow()->showTopic(qs(*topic));
        return reportDamage() ? 0 : 1;
    }
    default:
        return 0;
    }
}

int QtHelpEngine::WinHelp(WindowHandle, const std::string& file, int command, const HelpData&) {
    if (command == HELP_QUIT) return 1;
    ui_.warn("Cannot show help from " + file + ":\rWinHelp files (.hlp) are not supported on this platform.");
    return 0;
}

std::pair<int, int> QtHelpEngine::cursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

} // namespace halyard::gui
