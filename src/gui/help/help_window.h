#pragma once
// The compiled-help engine on this platform: .chm files read with chmlib and shown in Halyard's own
// help window (contents, index with type-ahead, the topic with its images and links, back and
// forward), popups as small tool-tip-like windows.
#include <QLabel>
#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <memory>

#include "base/dos_devices.h"
#include "base/ports.h"
#include "help/chm_file.h"
#include "help/help_router.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;

namespace halyard::gui {

// Shows the topics of one help file; links between topics stay inside it, web and e-mail links go
// to the desktop.
class TopicBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit TopicBrowser(QWidget* parent);
    void setFile(const ChmFile* chm) { chm_ = chm; }
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void follow(const QUrl& link);
    const ChmFile* chm_ = nullptr;
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow();
    // Loads the contents and the index when the file is another one.
    void setFile(const ChmFile* chm, const QString& name);
    // A topic by its path in the help file ("/linker.htm", "linker.htm#map").
    void showTopic(const QString& path);
    void showContents();
    void showIndex(const QString& keyword);

    TopicBrowser* topic() const { return topic_; }
    QTreeWidget* contents() const { return contents_; }
    QListWidget* index() const { return index_; }
    QLineEdit* indexEdit() const { return indexEdit_; }

private:
    void typeAhead(const QString& text);
    // The contents entry of the topic shown becomes the current one.
    void followInContents(const QUrl& topic);
    void openIndexEntry();
    const ChmFile* chm_ = nullptr;
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

private:
    // The help file, opened once and again when it changes; nothing (after a message naming it)
    // when it cannot be read.
    const ChmFile* file(const std::string& windowsPath);
    HelpWindow* showWindow();
    void showPopup(const QString& text, int x, int y);

    DosDevices& dd_;
    Ui& ui_;
    std::unique_ptr<ChmFile> chm_;
    std::string chmPath_;
    std::filesystem::file_time_type chmTime_{};
    QPointer<HelpWindow> window_;
    QPointer<QLabel> popup_;
};

} // namespace halyard::gui
