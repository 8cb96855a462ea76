// The server's main window: its tray icon with the menu "About..." / "Exit",
// and the about box, which is this window itself.
//
// Created hidden once the server is on the bus and before the event loop
// runs; it lives as long as the process. Creating it sets up the start-up
// log and the shared message boxes (INIT_ERR_SUPPORT, CreateMyDialogs).
// "OK" and the window's close button only hide it; only "Exit" ends the
// process, after asking when clients still hold objects.
//
// Without a display (Qt's offscreen platform) and on a desktop without a
// notification area there is no tray icon: the server then runs until its
// lifetime rules or a signal end it. The menu exists all the same.
//
// What the window needs from the rest of the process comes in as Hooks, so
// its behaviour can be driven without a desktop: the number of live objects,
// how to end the process, how to open a link, how to run a message box.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <optional>
#include <string>

#include "uMyDialogs/TMyDialogs.h"

namespace orbantis::ui {

// The program's version as the about box shows it.
struct FileVersion {
  int major = 0;
  int minor = 0;
  int release = 0;
  int build = 0;
  bool operator==(const FileVersion&) const = default;
};

// "major.minor.release" (missing or non-numeric parts are 0) and the build
// number; an empty build takes a fourth part of version, if any.
FileVersion ParseFileVersion(const QString& version, const QString& build);

// This program's version, from the build (ORBANTIS_VERSION, ORBANTIS_BUILD).
FileVersion ProgramFileVersion();

class Tfm_ServerWnd : public QDialog {
 public:
  // The fixed texts of the window.
  static const QString kTitle;        // "ORBANTIS": tray tip, log set-up caption, box captions
  static const QString kPublisher;    // in parentheses after the title in the caption
  static const QString kProductLine;  // the bold italic first line
  static const QString kComments;     // "For questions and additional information:"
  static const QString kSupportAddress;
  static const QString kSalesAddress;
  static const QString kNotice;
  static const QString kMailSubject;          // "Question about ORBANTIS Server"
  static const QString kExitCaption;          // "COM Server Warning"
  static const QString kExitQuestion;         // the text asked on Exit while objects are alive
  static const QString kCreationFaultPrefix;  // "Exception in TfmServerWnd.FormCreate metod : "

  using ErrSupportSetUp = std::function<bool(void* windowHandle, const std::string& caption,
                                             const std::string& personalFolder, const std::string& appDataFolder)>;

  struct Hooks {
    // Live automation objects; none when empty.
    std::function<int()> activeObjects;
    // Ends the process; default QCoreApplication::quit().
    std::function<void()> quit;
    // Opens a "mailto:" link; default QDesktopServices::openUrl().
    std::function<void(const QString& link)> openLink;
    // Runs the Exit question and the creation fault box; default
    // DefaultMessagePresenter().
    MessagePresenter presenter;
    // The start-up log set-up; default orbantis::INIT_ERR_SUPPORT.
    ErrSupportSetUp errSupportSetUp;
    // The version the about box shows; default ProgramFileVersion().
    std::optional<FileVersion> fileVersion;
  };

  explicit Tfm_ServerWnd(Hooks hooks = {});
  ~Tfm_ServerWnd() override;

  // "About...": shows this window as the about box, centred, in front.
  void About();

  // "Exit": when objects are alive, asks kExitQuestion first (warning icon,
  // Yes and No, No the default) and keeps running unless the answer is Yes.
  // Otherwise removes the tray icon, hides the window and ends the process.
  // True when the process was told to end.
  bool Exit();

  // Opens MailtoLink(address), as clicking a contact link does.
  void OpenContact(const QString& address);

  // The tray icon's clicks. The right button opens the menu (the platform
  // pops up the icon's context menu); the left button, a double click and the
  // middle button do nothing.
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

  // "mailto:" + address + "?Subject=" + kMailSubject + "&Body=" and a body of
  // two blank lines.
  static QString MailtoLink(const QString& address);

  QMenu* TrayMenu() const { return FPopupMenu1; }
  // Null without a display or without a notification area.
  QSystemTrayIcon* TrayIcon() const { return FTrayIcon; }
  // The text shown when the start-up set-up failed; empty when it went well.
  const QString& CreationFault() const { return FCreationFault; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildControls();
  void buildTray();
  void setUpErrSupport();
  void showVersion();
  QMessageBox::StandardButton present(QMessageBox& box);

  Hooks FHooks;
  QLabel* FProductName = nullptr;
  QLabel* FLbVers = nullptr;
  QLabel* FLbBuildNumb = nullptr;
  QPushButton* FOKButton = nullptr;
  QMenu* FPopupMenu1 = nullptr;
  QSystemTrayIcon* FTrayIcon = nullptr;
  QString FCreationFault;
  bool FAsking = false;
};

}  // namespace orbantis::ui
