#pragma once

// kalder-gallery: drives the desktop client against a running recorder simulator and saves one
// picture of every window, tab and page an operator can reach, for looking at them side by side.
// A developer tool: not installed, not a test.
#include "main_window.h"

#include <QDir>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPushButton;

namespace kalder::gallery {

// One line of the gallery: a picture, or a window that could not be opened and why.
struct GalleryEntry {
    QString file;    // empty when there is no picture
    QString caption; // what it shows
    QString note;    // how it was taken, or why it is missing
};

// Takes the pictures and keeps the list of them. GUI thread only.
class Camera {
public:
    explicit Camera(const QString& folder);

    // Saves the screen under the frame of `window`'s top-level window, widened to the frames of
    // the visible `extras` (pop-ups and side windows), as "<nnn>-<slug>.png"; falls back to
    // QWidget::grab() when the screen shows nothing there. False when nothing could be saved.
    bool shot(const QString& slug, const QString& caption, QWidget* window,
              const QList<QWidget*>& extras = {});
    // The same for a rectangle of the screen (full-screen view).
    bool shotScreen(const QString& slug, const QString& caption, const QRect& rect);
    // A window that could not be opened: listed with the reason.
    void missing(const QString& caption, const QString& reason);
    // Writes "gallery.tsv": file, caption and note per line, in the order taken.
    bool writeList() const;

    int pictures() const;
    int missingCount() const;

private:
    QString nextFile(const QString& slug);
    bool save(const QString& slug, const QString& caption, QPixmap picture, QString note);

    QDir m_folder;
    int m_count = 0;
    std::vector<GalleryEntry> m_entries;
    // "<picture>\t<problem>" for every window shown (accessibility.tsv).
    QStringList m_audit;
};

// What a screen reader would miss in `top` and its controls, one line each (audit.cpp).
QStringList auditWindow(QWidget* top);

// Ends the main window's notification box, if one is open, with its OK (else unchanged).
void acceptAnyBox(MainWindow& w);

// The simulator's admin port: one command, its one-line reply ("" when unreachable).
std::string simAdmin(std::uint16_t adminPort, const std::string& command);

// Waits while the GUI runs until `done` holds; false after `timeoutMs`.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000);

// Runs `trigger`, which opens a dialog with an event loop of its own (exec()); `whileOpen` runs
// inside that loop once the application's active modal widget is not `before` and must end it.
// When no new modal dialog appears within `timeoutMs` (or `trigger` returns first) `whileOpen`
// is not called; false then.
bool duringModal(const std::function<void()>& trigger,
                 const std::function<void(QWidget* dialog)>& whileOpen, int timeoutMs = 10000);

// The visible top-level windows besides `window`.
QList<QWidget*> otherWindows(const QWidget& window);
// Waits up to `timeoutMs` for a visible top-level window that is not in `before`.
QWidget* newWindow(const QList<QWidget*>& before, int timeoutMs);
// Closes every visible top-level window besides `window` (a step's leftovers: result notices,
// dialogs it could not close), a dialog with Reject; their captions for the list.
QStringList closeOtherWindows(const QWidget& window);

// The push button named "control<id>" in `window` (the PTZ and firmware windows name theirs so).
QPushButton* controlButton(QWidget* window, int id);
// The first push button in `parent` whose accessible name or text is `caption`.
QPushButton* buttonNamed(QWidget* parent, const QString& caption);
// File-name part of a caption: lower case, words joined by '-'.
QString slugOf(const QString& caption);

struct Gallery;
// Presses the fields of `panel` (in `window`) one after another until a list pop-up and a time
// pop-up have opened once each, shoots each over `window`, and closes it with Escape.
void shootPopups(Gallery& g, QWidget* window, QWidget* panel, const QString& where);

// What every step needs.
struct Gallery {
    MainWindow& window;
    Camera& camera;
    std::uint16_t port = 0;
    std::uint16_t adminPort = 0;
    QString dataFolder;
    // The first second of the backup made by shootBackup (0: none), for local playback.
    std::uint32_t backupStart = 0;
    std::string admin(const std::string& command) const { return simAdmin(adminPort, command); }
};

// The steps, in the order the gallery runs them (live_shots.cpp, search_shots.cpp,
// setup_shots.cpp, local_shots.cpp, site_shots.cpp). Each leaves the main window in live view with
// no other window open, whatever it managed to show.
bool waitForLivePictures(Gallery& g);
void shootLiveView(Gallery& g);
void shootMedia(Gallery& g);
void shootDevices(Gallery& g);
void shootRemoteSearch(Gallery& g);
void shootRemoteLogs(Gallery& g);
void shootRemotePlayback(Gallery& g);
void shootBackup(Gallery& g);
void shootRemoteSetup(Gallery& g);
void shootLocalSetup(Gallery& g);
void shootLocalSearch(Gallery& g);
void shootConnectAndNotifications(Gallery& g);
// The last step: gives the recorder the gallery started up, starts four simulators of four
// channels of its own, connects them as one site and gives the site up again (the main window
// is then without a recorder).
void shootSite(Gallery& g);

} // namespace kalder::gallery
