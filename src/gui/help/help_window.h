// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The compiled-help engine on this platform: .chm files read by the help reader process (HelpReader)
// and shown in Halyard's own help window (contents, index with type-ahead, the topic with its images
// and links, back and forward), popups as small tool-tip-like windows. The reader runs while the
// window is open; a file that makes it fail is shown as damaged.
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <memory>

#include "base/dos_devices.h"
#include "base/ports.h"
#include "help/help_reader.h"
#include "help/help_router.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;

namespace halyard::gui {

// Shows the topics of one help file. Pages, style sheets and pictures come from the help file only
// (a page naming "file:///dev/zero" gets nothing); links between topics stay inside it, web and
// e-mail links go to the desktop once the user agrees, any other link is not followed.
class TopicBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit TopicBrowser(QWidget* parent);
    void setFile(HelpReader* reader) { reader_ = reader; }
    // Asked before a link leaves Halyard; no answer means no.
    std::function<bool(const QUrl&)> confirmOutside;
    QVariant loadResource(int type, const QUrl& name) override;

signals:
    // The reader failed while a page or picture was loaded.
    void damaged();

private:
    void follow(const QUrl& link);
    QImage picture(const std::string& bytes);
    HelpReader* reader_ = nullptr;
    // The pictures of the page being shown, counted against HelpPageLimits.
    int pictures_ = 0;
    std::uint64_t pixels_ = 0;
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow();
    // Loads the contents and the index when the file is another one.
    void setFile(HelpReader* reader, const QString& name);
    // In place of the topic and the lists: the file cannot be shown, and why.
    void showDamaged(const QString& why);
    // A topic by its path in the help file ("/linker.htm", "linker.htm#map").
    void showTopic(const QString& path);
    void showContents();
    void showIndex(const QString& keyword);

    TopicBrowser* topic() const { return topic_; }
    QTreeWidget* contents() const { return contents_; }
    QListWidget* index() const { return index_; }
    QLineEdit* indexEdit() const { return indexEdit_; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void typeAhead(const QString& text);
    // The contents entry of the topic shown becomes the current one.
    void followInContents(const QUrl& topic);
    void openIndexEntry();
    HelpReader* reader_ = nullptr;
    QTabWidget* tabs_;
    QTreeWidget* contents_;
    QLineEdit* indexEdit_;
    QListWidget* index_;
    TopicBrowser* topic_;
};

class QtHelpEngine : public HelpEngine {
public:
    QtHelpEngine(DosDevices& dd, Ui& ui) : dd_(dd), ui_(ui) {}
    ~QtHelpEngine() override;

    bool loadHtmlHelp() override { return true; }
    int HtmlHelp(WindowHandle owner, const std::optional<std::string>& file, int command,
                 const HtmlHelpData& data) override;
    int WinHelp(WindowHandle owner, const std::string& file, int command, const HelpData& data) override;
    std::pair<int, int> cursorPos() override;

    HelpWindow* window() const { return window_; }
    QLabel* popup() const { return popup_; }

    HelpReader* reader() const { return reader_.get(); }

private:
    // The help file's reader, made again when the file changes; nothing (after a message naming
    // it) when the file cannot be read.
    HelpReader* file(const std::string& windowsPath);
    // True, after telling the user and the window, when the file just turned out to be damaged.
    bool reportDamage();
    HelpWindow* showWindow();
    void showPopup(const QString& text, int x, int y);

    DosDevices& dd_;
    Ui& ui_;
    std::unique_ptr<HelpReader> reader_;
    bool damageTold_ = false;
    std::string chmPath_;
    std::filesystem::file_time_type chmTime_{};
    QPointer<HelpWindow> window_;
    QPointer<QLabel> popup_;
};

} // namespace halyard::gui
